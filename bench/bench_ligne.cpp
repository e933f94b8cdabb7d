// gsicom over a real pseudo-terminal, as a surveyor runs it. For each job size and
// line speed, gsicom-sim serves one generated job, tools/com1.sh gives its pty to the
// native gsicom as COM1, and a whole run is made: port 1, the speed, job 1,
// observations, leave (wake-up, identification, directory, download, leave).
//
// For each run: gsicom's wall time; the floor its protocol sets for that run; their
// ratio; gsicom's CPU time (user + system) and peak resident memory; where the time
// above the floor went. Then the in-process benchmark on virtual time, so that one
// command gives every figure. It prints figures and never fails on a slow machine.
//
// The floor of one exchange: the request goes out, gsicom sleeps 250 ms, then one
// read ends 50 ms after the last byte of the reply. The bytes (requests and replies,
// 10 bits a byte at the line's rate) cross the line during the 250 ms sleep, so they
// count only where they take longer than it:
//     max(250 ms, request + reply on the line) + 50 ms
// (an empty reply: 250 ms + the read's total limit, 10 x 2047 + 50 ms). The wake-up
// adds its 20 x 125 ms. The requests are those the simulator logged; each reply is
// replayed from the simulator's core on the same generated memory.
//
//   bench_ligne [--lignes 10,100,1000] [--bauds 19200,57600] [--gsicom PATH]
//               [--sans-simule]
//   bench_ligne --mesurer RESULTAT PROGRAMME [ARG]...   (one measured child; internal)
//   bench_ligne --vide                                  (returns at once: a reference)
//
// Needs root (the private /dev of tools/com1.sh).
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/ptrace.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "instrument.hpp"
#include "memoire.hpp"

namespace {

namespace fs = std::filesystem;
namespace sim = gsicom::sim;

constexpr double kAttenteMs = 250;                 // after each request
constexpr double kIntervalleMs = 50;               // after the reply's last byte
constexpr double kReveilMs = 20 * 125;             // the wake-up's progress line
constexpr double kLectureVideMs = 10 * 2047 + 50;  // a read that gets nothing

std::uint64_t horloge(clockid_t quelle)
{
    timespec t{};
    ::clock_gettime(quelle, &t);
    return std::uint64_t(t.tv_sec) * 1000000000u + std::uint64_t(t.tv_nsec);
}

// --- One measured child -------------------------------------------------------------

// The peak resident memory of the process, from /proc, in KiB; -1 when unknown.
long lirePicMemoire(pid_t pid)
{
    std::ifstream statut("/proc/" + std::to_string(pid) + "/status");
    std::string ligne;
    while (std::getline(statut, ligne)) {
        if (ligne.rfind("VmHWM:", 0) == 0) return std::atol(ligne.c_str() + 6);
    }
    return -1;
}

// Runs PROGRAMME and writes its figures to RESULTAT. The peak memory is read from
// /proc at the child's exit (a ptrace exit stop, before its memory is released):
// wait4's ru_maxrss would also count this process's own pages, which a child keeps
// as its high-water mark through fork and exec.
int mesurer(const char* resultat, char** programme)
{
    const std::uint64_t debutReel = horloge(CLOCK_REALTIME);
    const std::uint64_t debut = horloge(CLOCK_MONOTONIC);
    const pid_t pid = ::fork();
    if (pid < 0) return 125;
    if (pid == 0) {
        ::ptrace(PTRACE_TRACEME, 0, nullptr, nullptr);
        ::execv(programme[0], programme);
        _exit(127);
    }
    int statut = 0;
    rusage usage{};
    long pic = -1;
    bool premier = true;
    while (::wait4(pid, &statut, 0, &usage) == pid && WIFSTOPPED(statut)) {
        int signal = WSTOPSIG(statut);
        if (premier && signal == SIGTRAP) {  // stopped after exec
            ::ptrace(PTRACE_SETOPTIONS, pid, nullptr,
                     reinterpret_cast<void*>(PTRACE_O_TRACEEXIT | PTRACE_O_EXITKILL));
            signal = 0;
        } else if ((statut >> 8) == (SIGTRAP | (PTRACE_EVENT_EXIT << 8))) {
            pic = lirePicMemoire(pid);
            std::ofstream(std::string(resultat) + ".smaps")
                << std::ifstream("/proc/" + std::to_string(pid) + "/smaps").rdbuf();
            signal = 0;
        }
        premier = false;
        ::ptrace(PTRACE_CONT, pid, nullptr, reinterpret_cast<void*>(long(signal)));
    }
    const std::uint64_t fin = horloge(CLOCK_MONOTONIC);
    const std::uint64_t finReel = horloge(CLOCK_REALTIME);
    const int code = WIFEXITED(statut) ? WEXITSTATUS(statut) : 128 + WTERMSIG(statut);
    if (std::FILE* f = std::fopen(resultat, "w")) {
        std::fprintf(f, "%llu %ld %ld %ld %ld %d %llu %llu\n",
                     static_cast<unsigned long long>(fin - debut),
                     long(usage.ru_utime.tv_sec * 1000000 + usage.ru_utime.tv_usec),
                     long(usage.ru_stime.tv_sec * 1000000 + usage.ru_stime.tv_usec), pic,
                     usage.ru_maxrss, code, static_cast<unsigned long long>(debutReel),
                     static_cast<unsigned long long>(finReel));
        std::fclose(f);
    }
    return code;
}

struct Mesure {
    bool lue = false;
    double murMs = 0;
    double utilisateurMs = 0;
    double systemeMs = 0;
    long picKio = -1;
    long maxrssKio = -1;  // wait4's, for comparison
    int code = -1;
    std::uint64_t debutReelNs = 0;
    std::uint64_t finReelNs = 0;
};

Mesure lireMesure(const std::string& chemin)
{
    Mesure m;
    std::ifstream f(chemin);
    unsigned long long mur = 0, debut = 0, fin = 0;
    long u = 0, s = 0;
    if (f >> mur >> u >> s >> m.picKio >> m.maxrssKio >> m.code >> debut >> fin) {
        m.lue = true;
        m.murMs = double(mur) / 1e6;
        m.utilisateurMs = double(u) / 1e3;
        m.systemeMs = double(s) / 1e3;
        m.debutReelNs = debut;
        m.finReelNs = fin;
    }
    return m;
}

// --- Processes ----------------------------------------------------------------------

struct Chemins {
    std::string moi;  // this program
    std::string gsicom = GSICOM_BINAIRE;
    std::string simulateur = GSICOM_SIMULATEUR;
    std::string benchSimule = GSICOM_BENCH_SIMULE;
    std::string com1 = std::string(GSICOM_SOURCES) + "/tools/com1.sh";
};

// The child's standard streams: a file each (empty: ours, as they are).
struct Flux {
    std::string entree = "/dev/null";
    std::string sortie = "/dev/null";
    std::string erreurs = "/dev/null";
    int sortieFd = -1;  // a pipe instead of sortie
};

pid_t lancer(const std::vector<std::string>& arguments, const Flux& flux,
             const std::string& dossier = {})
{
    const pid_t pid = ::fork();
    if (pid != 0) return pid;
    if (!dossier.empty() && ::chdir(dossier.c_str()) != 0) _exit(126);
    const auto ecrire = [](const std::string& chemin) {
        return chemin.empty() ? -2 : ::open(chemin.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    };
    const int entree = flux.entree.empty() ? -2 : ::open(flux.entree.c_str(), O_RDONLY);
    const int sortie = flux.sortieFd >= 0 ? flux.sortieFd : ecrire(flux.sortie);
    const int erreurs = ecrire(flux.erreurs);
    if (entree == -1 || sortie == -1 || erreurs == -1) _exit(126);
    if (entree >= 0) ::dup2(entree, 0);
    if (sortie >= 0) ::dup2(sortie, 1);
    if (erreurs >= 0) ::dup2(erreurs, 2);
    std::vector<char*> argv;
    for (const std::string& a : arguments) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    ::execv(argv[0], argv.data());
    _exit(127);
}

int attendre(pid_t pid)
{
    int statut = 0;
    while (::waitpid(pid, &statut, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(statut) ? WEXITSTATUS(statut) : 128 + WTERMSIG(statut);
}

// The simulator ends by itself once gsicom has closed the port (--une-session);
// stopped after 5 s otherwise.
void arreterSimulateur(pid_t pid)
{
    for (int essai = 0; essai < 500; ++essai) {
        int statut = 0;
        if (::waitpid(pid, &statut, WNOHANG) == pid) return;
        ::usleep(10000);
    }
    ::kill(pid, SIGTERM);
    attendre(pid);
}

// The first line the simulator prints: "gsicom-sim: /dev/pts/N".
std::string lirePty(int fd)
{
    std::string ligne;
    const std::uint64_t limite = horloge(CLOCK_MONOTONIC) + 5000000000ull;
    while (ligne.find('\n') == std::string::npos) {
        const std::uint64_t maintenant = horloge(CLOCK_MONOTONIC);
        if (maintenant >= limite) return {};
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, int((limite - maintenant) / 1000000) + 1) <= 0) continue;
        char lu[256];
        const ssize_t n = ::read(fd, lu, sizeof lu);
        if (n <= 0) return {};
        ligne.append(lu, std::size_t(n));
    }
    ligne.resize(ligne.find('\n'));
    static constexpr char kPrefixe[] = "gsicom-sim: ";
    return ligne.rfind(kPrefixe, 0) == 0 ? ligne.substr(sizeof kPrefixe - 1) : std::string{};
}

// --- The simulator's log -------------------------------------------------------------

struct Requete {
    double heureMs;  // local time of day, when the simulator read it
    std::string texte;
};

// The log's C escapes back to bytes.
std::string decoder(const std::string& texte)
{
    std::string octets;
    for (std::size_t i = 0; i < texte.size(); ++i) {
        if (texte[i] != '\\' || i + 1 == texte.size()) {
            octets += texte[i];
            continue;
        }
        switch (texte[++i]) {
            case 'r': octets += '\r'; break;
            case 'n': octets += '\n'; break;
            case 't': octets += '\t'; break;
            case 'x':
                octets += char(std::strtol(texte.substr(i + 1, 2).c_str(), nullptr, 16));
                i += 2;
                break;
            default: octets += texte[i];
        }
    }
    return octets;
}

// "HH:MM:SS.mmm  SSSSS.mmm > request" lines; events ("#") are skipped.
std::vector<Requete> lireJournal(const std::string& chemin)
{
    std::vector<Requete> requetes;
    std::ifstream f(chemin);
    std::string ligne;
    while (std::getline(f, ligne)) {
        int h = 0, m = 0, s = 0, ms = 0, texte = 0;
        unsigned long long secondes = 0, millis = 0;
        char genre = 0;
        if (std::sscanf(ligne.c_str(), "%d:%d:%d.%d %llu.%llu %c %n", &h, &m, &s, &ms, &secondes,
                        &millis, &genre, &texte) >= 7 &&
            genre == '>' && texte > 0) {
            requetes.push_back({((h * 60.0 + m) * 60.0 + s) * 1000.0 + ms,
                                decoder(ligne.substr(std::size_t(texte)))});
        }
    }
    return requetes;
}

double heureLocaleMs(std::uint64_t reelNs)
{
    const std::time_t secondes = std::time_t(reelNs / 1000000000u);
    std::tm t{};
    ::localtime_r(&secondes, &t);
    return ((t.tm_hour * 60.0 + t.tm_min) * 60.0 + t.tm_sec) * 1000.0 +
           double(reelNs % 1000000000u) / 1e6;
}

// b - a on times of day, across midnight.
double ecartMs(double a, double b)
{
    double d = b - a;
    if (d < -43200000.0) d += 86400000.0;
    return d;
}

// --- One run ------------------------------------------------------------------------

struct Course {
    int lignes = 0;
    unsigned baud = 0;
    Mesure mesure;
    std::size_t echanges = 0;
    std::uint64_t octetsEnvoyes = 0;
    std::uint64_t octetsRecus = 0;
    double ligneMs = 0;          // the bytes at the line's rate, both ways
    double plancherMs = 0;       // the protocol's floor
    double demarrageMs = 0;      // gsicom's start to its first request
    double reveilEnPlusMs = 0;   // the wake-up exchange beyond its floor
    double echangeEnPlusMs = 0;  // the mean of every other exchange beyond its floor
    double echangeEnPlusMaxMs = 0;
    double finMs = 0;     // the last exchange's floor to gsicom's exit
    std::string fichier;  // "ok", or what is wrong with the exported file
    std::string erreur;   // why the run could not be measured
};

std::string lireFichier(const fs::path& chemin)
{
    std::ifstream f(chemin, std::ios::binary);
    std::ostringstream texte;
    texte << f.rdbuf();
    return texte.str();
}

// The export file against the job the simulator served: every line as sent, its LF
// stored as CR LF.
std::string verifierFichier(const fs::path& dossier, const sim::JobSimule& job)
{
    std::vector<fs::path> exports;
    for (const auto& entree : fs::directory_iterator(dossier)) {
        if (entree.path().extension() == ".GSI") exports.push_back(entree.path());
    }
    if (exports.size() != 1) return std::to_string(exports.size()) + " GSI files";
    std::string attendu;
    for (const std::string& ligne : job.observations) attendu += ligne + "\r\r\n";
    const std::string lu = lireFichier(exports[0]);
    if (lu == attendu) return "ok";
    return "DIFFERS (" + std::to_string(lu.size()) + " of " + std::to_string(attendu.size()) +
           " bytes)";
}

// Floor, bytes and where the time went, from the log and the replies replayed.
void analyser(Course& c, const std::vector<Requete>& requetes, const sim::Memoire& memoire)
{
    sim::Instrument instrument(memoire);
    const double msParOctet = 10.0 * 1000.0 / c.baud;
    std::vector<double> planchers;
    for (const Requete& r : requetes) {
        const std::string demande = r.texte + "\r\n";
        std::size_t reponse = 0;
        for (const sim::Morceau& m : instrument.recevoir(demande)) reponse += m.octets.size();
        const double surLaLigne = double(demande.size() + reponse) * msParOctet;
        double plancher = reponse == 0 ? kAttenteMs + kLectureVideMs
                                       : std::max(kAttenteMs, surLaLigne) + kIntervalleMs;
        if (r.texte == "a") plancher += kReveilMs;
        planchers.push_back(plancher);
        c.octetsEnvoyes += demande.size();
        c.octetsRecus += reponse;
        c.ligneMs += surLaLigne;
        c.plancherMs += plancher;
    }
    c.echanges = requetes.size();
    if (requetes.empty()) return;
    const double debut = heureLocaleMs(c.mesure.debutReelNs);
    const double fin = heureLocaleMs(c.mesure.finReelNs);
    c.demarrageMs = ecartMs(debut, requetes.front().heureMs);
    double somme = 0;
    std::size_t nombre = 0;
    for (std::size_t i = 0; i + 1 < requetes.size(); ++i) {
        const double enPlus = ecartMs(requetes[i].heureMs, requetes[i + 1].heureMs) - planchers[i];
        if (requetes[i].texte == "a") {
            c.reveilEnPlusMs += enPlus;
        } else {
            somme += enPlus;
            ++nombre;
            c.echangeEnPlusMaxMs = std::max(c.echangeEnPlusMaxMs, enPlus);
        }
    }
    c.echangeEnPlusMs = nombre ? somme / double(nombre) : 0;
    c.finMs = ecartMs(requetes.back().heureMs, fin) - planchers.back();
}

Course courir(const Chemins& chemins, const std::string& racine, int lignes, unsigned baud)
{
    Course c;
    c.lignes = lignes;
    c.baud = baud;
    const std::string dossier = racine + "/" + std::to_string(lignes) + "-" + std::to_string(baud);
    fs::create_directories(dossier + "/export");
    const std::string journal = dossier + "/requetes.log";
    const std::string resultat = dossier + "/mesure.txt";
    const std::string reponses = dossier + "/reponses.txt";
    // Port 1, the speed (2: 19200, 4: 57600), job 1, observations, leave.
    std::ofstream(reponses) << "1\n" << (baud == 57600 ? 4 : 2) << "\n1\n1\n1\n";

    int tube[2];
    if (::pipe2(tube, O_CLOEXEC) != 0) {
        c.erreur = "pipe";
        return c;
    }
    Flux fluxSim;
    fluxSim.sortieFd = tube[1];
    fluxSim.erreurs = dossier + "/simulateur.err";
    const pid_t simulateur =
        lancer({chemins.simulateur, "--jobs", "1", "--mesures", std::to_string(lignes - 1),
                "--journal", journal, "--une-session"},
               fluxSim);
    ::close(tube[1]);
    const std::string pty = lirePty(tube[0]);
    ::close(tube[0]);
    if (pty.empty()) {
        c.erreur = "gsicom-sim did not start";
        ::kill(simulateur, SIGTERM);
        attendre(simulateur);
        return c;
    }
    Flux fluxGsicom;
    fluxGsicom.entree = reponses;
    fluxGsicom.sortie = dossier + "/console.txt";
    fluxGsicom.erreurs = dossier + "/erreurs.txt";
    attendre(
        lancer({"/bin/bash", chemins.com1, pty, chemins.moi, "--mesurer", resultat, chemins.gsicom},
               fluxGsicom, dossier + "/export"));
    arreterSimulateur(simulateur);

    c.mesure = lireMesure(resultat);
    if (!c.mesure.lue) {
        c.erreur = "no measure (see " + fluxGsicom.erreurs + ")";
        return c;
    }
    sim::Memoire memoire;
    std::string erreur;
    std::istringstream generee("generer 1 " + std::to_string(lignes - 1) + "\n");
    sim::chargerMemoire(generee, memoire, erreur);  // as gsicom-sim builds it
    analyser(c, lireJournal(journal), memoire);
    c.fichier = verifierFichier(dossier + "/export", memoire.jobs.at(0));
    return c;
}

// --- Printing -----------------------------------------------------------------------

void imprimerCourses(const std::vector<Course>& courses)
{
    std::printf("\n%6s %6s %5s %9s %9s %7s %9s %9s %10s %8s %8s %9s %9s %4s  %s\n", "lines", "baud",
                "exch", "bytes out", "bytes in", "line s", "floor s", "wall s", "wall/floor",
                "CPU ms", "CPU/wall", "peak KiB", "ru_maxrss", "code", "file");
    for (const Course& c : courses) {
        if (!c.erreur.empty()) {
            std::printf("%6d %6u  %s\n", c.lignes, c.baud, c.erreur.c_str());
            continue;
        }
        const Mesure& m = c.mesure;
        const double cpu = m.utilisateurMs + m.systemeMs;
        std::printf(
            "%6d %6u %5zu %9llu %9llu %7.2f %9.3f %9.3f %10.4f %8.1f %7.3f%% %9ld %9ld %4d  %s\n",
            c.lignes, c.baud, c.echanges, static_cast<unsigned long long>(c.octetsEnvoyes),
            static_cast<unsigned long long>(c.octetsRecus), c.ligneMs / 1000, c.plancherMs / 1000,
            m.murMs / 1000, m.murMs / c.plancherMs, cpu, 100 * cpu / m.murMs, m.picKio, m.maxrssKio,
            m.code, c.fichier.c_str());
    }
    std::printf(
        "  floor: per exchange max(250 ms, line time of request + reply) + 50 ms, plus the\n"
        "  2.5 s wake-up line. line s: the bytes both ways at 10 bits a byte; they cross the\n"
        "  line during the 250 ms wait, so they add to the floor only where they outlast it.\n");
    std::printf(
        "  peak KiB: VmHWM at gsicom's exit. ru_maxrss (wait4) reads the kernel's approximate\n"
        "  per-CPU counters and keeps the forking parent's high-water mark through exec.\n");
    std::printf("\nWhere the time above the floor went (from the simulator's log, 1 ms steps):\n");
    std::printf("%6s %6s %10s %12s %16s %15s %8s %10s\n", "lines", "baud", "start ms",
                "wake-up +ms", "exchange +ms avg", "exchange +ms max", "end ms", "total +ms");
    for (const Course& c : courses) {
        if (!c.erreur.empty()) continue;
        std::printf("%6d %6u %10.1f %12.1f %16.3f %15.1f %8.1f %10.1f\n", c.lignes, c.baud,
                    c.demarrageMs, c.reveilEnPlusMs, c.echangeEnPlusMs, c.echangeEnPlusMaxMs,
                    c.finMs, c.mesure.murMs - c.plancherMs);
    }
    std::printf(
        "  start: exec, loader, start screen, the scan of COM1 to COM30, opening the port;\n"
        "  end: the last reply's floor to the exit. wall - floor = start + wake-up\n"
        "  + (exchanges - 1) x avg + end, give or take the log's millisecond steps.\n");
}

// Resident memory at the exit by what is mapped (the program, each library, heap,
// stack, other anonymous pages), from the smaps copied at the exit stop.
void imprimerRepartition(const std::string& smaps)
{
    std::ifstream f(smaps);
    std::vector<std::pair<std::string, long>> parts;
    std::string ligne, nom = "?";
    long total = 0, partage = 0;
    while (std::getline(f, ligne)) {
        if (ligne.rfind("Shared_Clean:", 0) == 0 || ligne.rfind("Shared_Dirty:", 0) == 0) {
            partage += std::atol(ligne.c_str() + 13);
        }
        if (!ligne.empty() && std::isxdigit(static_cast<unsigned char>(ligne[0])) &&
            ligne.find('-') < ligne.find(' ')) {
            std::istringstream champs(ligne);
            std::string adresses, droits, decalage, peripherique, inode, chemin;
            champs >> adresses >> droits >> decalage >> peripherique >> inode;
            std::getline(champs >> std::ws, chemin);
            nom = chemin.empty() ? "[anonymous]" : fs::path(chemin).filename().string();
        } else if (ligne.rfind("Rss:", 0) == 0) {
            const long kio = std::atol(ligne.c_str() + 4);
            auto it = std::find_if(parts.begin(), parts.end(),
                                   [&](const auto& p) { return p.first == nom; });
            if (it == parts.end()) it = parts.insert(parts.end(), {nom, 0});
            it->second += kio;
            total += kio;
        }
    }
    if (total == 0) return;
    std::sort(parts.begin(), parts.end(),
              [](const auto& a, const auto& b) { return a.second > b.second; });
    std::printf(
        "\nResident memory of gsicom at its exit, by mapping (last run, %ld KiB, of which\n"
        "%ld KiB are pages shared with other processes, %ld KiB its own):\n",
        total, partage, total - partage);
    for (const auto& [quoi, kio] : parts) {
        if (kio > 0) std::printf("  %-28s %6ld KiB\n", quoi.c_str(), kio);
    }
}

// The peak memory of a program that does nothing, measured the same way.
long picReference(const Chemins& chemins, const std::string& racine,
                  const std::vector<std::string>& programme)
{
    const std::string resultat = racine + "/reference.txt";
    std::vector<std::string> arguments = {chemins.moi, "--mesurer", resultat};
    arguments.insert(arguments.end(), programme.begin(), programme.end());
    attendre(lancer(arguments, Flux{}));
    return lireMesure(resultat).picKio;
}

void imprimerObjectifs(const std::vector<Course>& courses)
{
    double pireMur = 0, pireCpu = 0;
    long picMin = -1, picMax = -1;
    for (const Course& c : courses) {
        if (!c.erreur.empty()) continue;
        const Mesure& m = c.mesure;
        pireMur = std::max(pireMur, m.murMs / c.plancherMs);
        pireCpu = std::max(pireCpu, 100 * (m.utilisateurMs + m.systemeMs) / m.murMs);
        picMin = picMin < 0 ? m.picKio : std::min(picMin, m.picKio);
        picMax = std::max(picMax, m.picKio);
    }
    const auto etat = [](bool atteint) { return atteint ? "met" : "MISSED"; };
    std::printf("\nGoals:\n");
    std::printf("  wall time within 2%% of the floor   worst wall/floor %.4f          %s\n",
                pireMur, etat(pireMur <= 1.02));
    std::printf("  CPU under 1%% of wall               worst %.3f%%                  %s\n", pireCpu,
                etat(pireCpu < 1.0));
    std::printf("  peak memory under 4 MiB (4096 KiB) highest %ld KiB               %s\n", picMax,
                etat(picMax >= 0 && picMax < 4096));
    std::printf("  peak memory flat in the job's size %ld to %ld KiB (spread %ld KiB)\n", picMin,
                picMax, picMax - picMin);
}

std::vector<long> lireListe(const char* texte)
{
    std::vector<long> valeurs;
    std::stringstream s(texte);
    std::string mot;
    while (std::getline(s, mot, ',')) valeurs.push_back(std::atol(mot.c_str()));
    return valeurs;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc >= 2 && std::strcmp(argv[1], "--vide") == 0) return 0;
    if (argc >= 4 && std::strcmp(argv[1], "--mesurer") == 0) return mesurer(argv[2], argv + 3);

    Chemins chemins;
    chemins.moi = fs::read_symlink("/proc/self/exe").string();
    std::vector<long> tailles = {10, 100, 1000};
    std::vector<long> bauds = {19200, 57600};
    bool simule = true;
    for (int i = 1; i < argc; ++i) {
        const std::string option = argv[i];
        if (option == "--lignes" && i + 1 < argc) {
            tailles = lireListe(argv[++i]);
        } else if (option == "--bauds" && i + 1 < argc) {
            bauds = lireListe(argv[++i]);
        } else if (option == "--gsicom" && i + 1 < argc) {
            chemins.gsicom = fs::absolute(argv[++i]).string();
        } else if (option == "--sans-simule") {
            simule = false;
        } else {
            std::fprintf(stderr,
                         "usage: bench_ligne [--lignes 10,100,1000] [--bauds 19200,57600] "
                         "[--gsicom PATH] [--sans-simule]\n");
            return 2;
        }
    }
    for (const long t : tailles) {
        if (t < 1) {
            std::fprintf(stderr, "bench_ligne: a job has at least 1 line\n");
            return 2;
        }
    }
    for (const long b : bauds) {
        if (b != 19200 && b != 57600) {
            std::fprintf(stderr, "bench_ligne: 19200 or 57600 baud\n");
            return 2;
        }
    }
    if (::geteuid() != 0) {
        std::fprintf(stderr, "bench_ligne: needs root (the private /dev of tools/com1.sh)\n");
        return 2;
    }
    char modele[] = "/tmp/bench_ligne.XXXXXX";
    if (::mkdtemp(modele) == nullptr) {
        std::perror("bench_ligne: mkdtemp");
        return 1;
    }
    const std::string racine = modele;

    double prevuS = 0;
    for (const long t : tailles) prevuS += double(bauds.size()) * (0.3 * double(t + 15) + 2.8);
    std::printf("gsicom over a pty: %s against gsicom-sim as COM1, one job downloaded\n",
                chemins.gsicom.c_str());
    std::printf("runs in %s; about %.0f s in all\n", racine.c_str(), prevuS);
    std::fflush(stdout);
    std::vector<Course> courses;
    for (const long t : tailles) {
        for (const long b : bauds) {
            courses.push_back(courir(chemins, racine, int(t), unsigned(b)));
            const Course& c = courses.back();
            std::printf("  %5ld lines at %5ld baud: %s\n", t, b,
                        c.erreur.empty() ? (std::to_string(c.mesure.murMs / 1000) + " s").c_str()
                                         : c.erreur.c_str());
            std::fflush(stdout);
        }
    }
    imprimerCourses(courses);
    imprimerObjectifs(courses);
    imprimerRepartition(racine + "/" + std::to_string(tailles.back()) + "-" +
                        std::to_string(bauds.back()) + "/mesure.txt.smaps");
    std::printf("\nReferences, peak memory measured the same way:\n");
    std::printf("  /bin/true (C, libc only)                 %6ld KiB\n",
                picReference(chemins, racine, {"/bin/true"}));
    std::printf("  bench_ligne --vide (C++, returns at once) %5ld KiB\n",
                picReference(chemins, racine, {chemins.moi, "--vide"}));
    std::fflush(stdout);

    if (simule) {
        std::printf("\n");
        std::fflush(stdout);
        attendre(lancer({chemins.benchSimule}, Flux{"/dev/null", "", "", -1}));
    }
    return 0;
}
