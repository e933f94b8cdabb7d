// gsicom-sim: the simulated total station served on a pseudo-terminal.
//
// It prints the slave device ("gsicom-sim: /dev/pts/N") as its first line, answers
// every request written to it as sim::Instrument decides, paced at the baud rate the
// program set on the line, logs every request it receives, and serves until SIGINT
// or SIGTERM (or, with --une-session, until a program has opened the port, talked
// and closed it). --aide lists the options.
#include <fcntl.h>
#include <poll.h>
#include <sys/inotify.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <deque>
#include <fstream>
#include <optional>

#include "instrument.hpp"
#include "memoire.hpp"

namespace {

namespace sim = gsicom::sim;

struct Options {
    std::string fichierMemoire;
    long jobs = -1;  // generated jobs; -1: the demo memory
    long mesures = 10;
    std::string lien;
    std::string journal;
    bool cadence = true;
    bool uneSession = false;
    bool aide = false;
    sim::Pannes pannes;
};

bool lireNombre(std::string_view texte, long& valeur, long minimum = 0, long maximum = LONG_MAX)
{
    const char* fin = texte.data() + texte.size();
    const auto [p, e] = std::from_chars(texte.data(), fin, valeur);
    return e == std::errc{} && p == fin && valeur >= minimum && valeur <= maximum;
}

// C escapes \r \n \t \\ \" \xHH, so that a reply can hold CR, LF, SUB or NUL.
bool decoder(std::string_view texte, std::string& octets)
{
    octets.clear();
    for (std::size_t i = 0; i < texte.size(); ++i) {
        if (texte[i] != '\\') {
            octets += texte[i];
            continue;
        }
        if (++i == texte.size()) return false;
        switch (texte[i]) {
            case 'r': octets += '\r'; break;
            case 'n': octets += '\n'; break;
            case 't': octets += '\t'; break;
            case '\\': octets += '\\'; break;
            case '"': octets += '"'; break;
            case 'x': {
                unsigned valeur = 0;
                const char* debut = texte.data() + i + 1;
                const auto [p, e] = std::from_chars(
                    debut, debut + std::min<std::size_t>(2, texte.size() - i - 1), valeur, 16);
                if (e != std::errc{} || p != debut + 2) return false;
                octets += char(valeur);
                i += 2;
                break;
            }
            default: return false;
        }
    }
    return true;
}

std::string echapper(std::string_view octets)
{
    std::string texte;
    for (const char c : octets) {
        const auto u = static_cast<unsigned char>(c);
        char hex[5];
        switch (c) {
            case '\r': texte += "\\r"; break;
            case '\n': texte += "\\n"; break;
            case '\t': texte += "\\t"; break;
            case '\\': texte += "\\\\"; break;
            default:
                std::snprintf(hex, sizeof hex, "\\x%02X", u);
                texte += (u < 0x20 || u > 0x7E) ? std::string(hex) : std::string(1, c);
        }
    }
    return texte;
}

// "3,5,9": request numbers.
bool lireListe(std::string_view texte, std::set<long>& rangs)
{
    std::size_t debut = 0;
    for (std::size_t fin = 0; fin != std::string_view::npos; debut = fin + 1) {
        fin = texte.find(',', debut);
        long n = 0;
        if (!lireNombre(texte.substr(debut, fin - debut), n, 1)) return false;
        rangs.insert(n);
    }
    return true;
}

// "KEY=TEXT" with TEXT decoded.
bool lirePaire(std::string_view arg, std::string& cle, std::string& octets)
{
    const std::size_t egal = arg.find('=');
    return egal != std::string_view::npos && decoder(arg.substr(0, egal), cle) && !cle.empty() &&
           decoder(arg.substr(egal + 1), octets);
}

const char kAide[] = R"(Usage : gsicom-sim [OPTION]...
Une station totale simulee sur un pseudo-terminal. Ecrit d'abord "gsicom-sim: /dev/pts/N",
puis sert jusqu'a SIGINT ou SIGTERM.

Memoire (defaut : trois jobs de demonstration)
  --memoire FICHIER        la memoire lue dans ce fichier (format de sim/memoire.hpp)
  --jobs N                 N jobs generes (JOB1, JOB2...)
  --mesures M              lignes de mesure par job genere (defaut 10)
Service
  --lien CHEMIN            un lien symbolique vers le pty (remplace un ancien lien)
  --journal FICHIER        les requetes recues, une par ligne (defaut : stderr)
  --sans-cadence           repond d'un bloc, sans suivre la vitesse de la ligne
  --une-session            s'arrete quand le programme a ferme le port apres avoir parle
Pannes (N : rang de la requete, 1 pour la premiere, "a" et "c" compris)
  --silence-des N          plus aucune reponse a partir de la requete N (appareil eteint)
  --sans-reponse N[,N...]  aucune reponse a ces requetes (repetable)
  --delai MS               chaque reponse commence MS millisecondes apres la requete
  --coupure OCTETS         une reponse plus longue part en deux morceaux...
  --ecart MS               ...separes par MS millisecondes de silence
  --reponse-a N=TEXTE      cette reponse, CR LF compris, a la requete N (repetable)
  --reponse-pour R=TEXTE   cette reponse a chaque requete R, sans son CR LF (repetable)
  --raccroche-des N        la ligne est coupee a l'arrivee de la requete N
TEXTE et R acceptent \r \n \t \\ \" et \xHH : --reponse-pour '?=\x1A\r\n'
)";

bool lireDuree(std::string_view texte, std::uint32_t& ms)
{
    long n = 0;
    return lireNombre(texte, n, 0, 600000) && ((ms = std::uint32_t(n)), true);
}

// One option and its value; false when the value is refused.
bool appliquer(std::string_view nom, std::string_view v, Options& o)
{
    std::string cle, texte;
    long n = 0;
    sim::Pannes& p = o.pannes;
    if (nom == "--memoire") return !(o.fichierMemoire = v).empty();
    if (nom == "--jobs") return lireNombre(v, o.jobs, 0, 10000);
    if (nom == "--mesures") return lireNombre(v, o.mesures, 0, 1000000);
    if (nom == "--lien") return !(o.lien = v).empty();
    if (nom == "--journal") return !(o.journal = v).empty();
    if (nom == "--silence-des") return lireNombre(v, p.silenceDes, 1);
    if (nom == "--sans-reponse") return lireListe(v, p.sansReponse);
    if (nom == "--delai") return lireDuree(v, p.delaiMs);
    if (nom == "--ecart") return lireDuree(v, p.ecartMs);
    if (nom == "--raccroche-des") return lireNombre(v, p.raccrocheDes, 1);
    if (nom == "--coupure") return lireNombre(v, n, 1) && ((p.coupure = std::size_t(n)), true);
    if (nom == "--reponse-a") {
        return lirePaire(v, cle, texte) && lireNombre(cle, n, 1) && ((p.reponseA[n] = texte), true);
    }
    return lirePaire(v, cle, texte) && ((p.reponsePour[cle] = texte), true);  // --reponse-pour
}

bool lireOptions(int argc, char** argv, Options& o, std::string& erreur)
{
    static constexpr std::string_view kAvecValeur[] = {
        "--memoire",     "--jobs",         "--mesures",      "--lien",    "--journal",
        "--silence-des", "--sans-reponse", "--delai",        "--coupure", "--ecart",
        "--reponse-a",   "--reponse-pour", "--raccroche-des"};
    for (int i = 1; i < argc; ++i) {
        const std::string_view nom = argv[i];
        if (nom == "--aide" || nom == "-h" || nom == "--help") {
            o.aide = true;
        } else if (nom == "--sans-cadence") {
            o.cadence = false;
        } else if (nom == "--une-session") {
            o.uneSession = true;
        } else if (std::find(std::begin(kAvecValeur), std::end(kAvecValeur), nom) ==
                   std::end(kAvecValeur)) {
            erreur = "option inconnue : " + std::string(nom);
            return false;
        } else if (++i == argc || !appliquer(nom, argv[i], o)) {
            erreur = std::string(nom) + (i == argc ? " attend une valeur" : " : valeur refusee");
            return false;
        }
    }
    if (!o.fichierMemoire.empty() && o.jobs >= 0) {
        erreur = "--memoire et --jobs s'excluent";
        return false;
    }
    return true;
}

// --- The line -------------------------------------------------------------------

volatile std::sig_atomic_t gArret = 0;

void onSignal(int)
{
    gArret = 1;
}

std::uint64_t nowNs()
{
    timespec t{};
    ::clock_gettime(CLOCK_MONOTONIC, &t);
    return std::uint64_t(t.tv_sec) * 1000000000u + std::uint64_t(t.tv_nsec);
}

// The pseudo-terminal, with a slave descriptor of our own: the line then stays up
// while the program closes its side (between its port scan and the real open), and
// the speed the program chose can be read here.
struct Pty {
    int master = -1;
    int slave = -1;
    std::string path;
    Pty() = default;
    Pty(const Pty&) = delete;
    Pty& operator=(const Pty&) = delete;
    ~Pty() { close(); }
    void close()
    {
        if (master >= 0) ::close(master);
        if (slave >= 0) ::close(slave);
        master = slave = -1;
    }
};

bool openPty(Pty& pty)
{
    pty.master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (pty.master < 0 || ::grantpt(pty.master) != 0 || ::unlockpt(pty.master) != 0) {
        return false;
    }
    const char* nom = ::ptsname(pty.master);
    if (nom == nullptr) return false;
    pty.path = nom;
    pty.slave = ::open(nom, O_RDWR | O_NOCTTY | O_CLOEXEC);
    termios t{};
    if (pty.slave < 0 || ::tcgetattr(pty.slave, &t) != 0) return false;
    ::cfmakeraw(&t);  // no echo of our replies back to us, no CR/LF translation
    ::cfsetspeed(&t, B19200);
    return ::tcsetattr(pty.slave, TCSANOW, &t) == 0 &&
           ::fcntl(pty.master, F_SETFL, O_NONBLOCK) == 0;
}

// Time of one byte on the line (start bit, 8 data bits, stop bit) at the speed the
// program set.
std::uint64_t byteNs(int slave)
{
    static constexpr struct {
        speed_t code;
        std::uint64_t baud;
    } kVitesses[] = {{B1200, 1200},   {B2400, 2400},   {B4800, 4800},   {B9600, 9600},
                     {B19200, 19200}, {B38400, 38400}, {B57600, 57600}, {B115200, 115200}};
    termios t{};
    std::uint64_t baud = 19200;
    if (::tcgetattr(slave, &t) == 0) {
        for (const auto& v : kVitesses) {
            if (::cfgetospeed(&t) == v.code) baud = v.baud;
        }
    }
    return 10000000000ull / baud;  // 10 bits a byte
}

// One piece of a reply on its way. A piece after the first of the same reply keeps
// its gap of silence after the previous one, however long that one took to send.
struct Envoi {
    std::uint64_t prevuNs;  // not before this
    std::uint64_t ecartNs;  // silence after the previous piece
    std::string octets;
    bool commence = false;
    std::uint64_t debutNs = 0;     // first byte on the line
    std::uint64_t parOctetNs = 0;  // 0: no pacing
    std::size_t envoyes = 0;
};

enum class Fin { continuer, arret, erreur };

// The simulator at work: the pty, the instrument, the replies on their way, the log.
struct Serveur {
    const Options& options;
    Pty& pty;
    int inotify;
    std::FILE* journal;
    sim::Instrument instrument;
    std::uint64_t debutNs = nowNs();
    std::deque<Envoi> file{};
    std::uint64_t ligneLibreNs = 0;  // the last byte sent has left the line
    bool attenteEcriture = false;    // the pty is full: wait until it drains
    std::size_t journalises = 0;     // requests already logged
    int ouvertures = 0;              // descriptors of the slave open elsewhere
    bool session = false;            // requests came since the port was last free

    // One line: wall clock, seconds since start, then "> request" (C escapes,
    // without its CR LF) or "# event".
    void noter(char genre, const std::string& texte)
    {
        timespec mur{};
        ::clock_gettime(CLOCK_REALTIME, &mur);
        std::tm t{};
        ::localtime_r(&mur.tv_sec, &t);
        const unsigned long long ms = (nowNs() - debutNs) / 1000000u;
        std::fprintf(journal, "%02d:%02d:%02d.%03ld %6llu.%03llu %c %s\n", t.tm_hour, t.tm_min,
                     t.tm_sec, mur.tv_nsec / 1000000, ms / 1000, ms % 1000, genre, texte.c_str());
        std::fflush(journal);
    }

    // Bytes the program wrote, if any; false when the pty cannot be read.
    bool lire(std::string& octets)
    {
        char lus[4096];
        const ssize_t n = ::read(pty.master, lus, sizeof lus);
        if (n > 0) octets.assign(lus, std::size_t(n));
        if (n > 0 || errno == EAGAIN || errno == EINTR) return true;
        noter('#', std::string("lecture du pty impossible : ") + std::strerror(errno));
        return false;
    }

    Fin repondre(std::string_view octets)
    {
        const std::uint64_t maintenant = nowNs();
        const auto morceaux = instrument.recevoir(octets);
        for (const auto& requetes = instrument.requetes(); journalises < requetes.size();) {
            noter('>', echapper(requetes[journalises++]));
            session = true;
        }
        if (instrument.raccroche()) {
            noter('#', "raccroche : la ligne est coupee");
            return Fin::arret;
        }
        if (ouvertures == 0) return portLibre();  // written, then closed at once: nobody hears
        for (std::size_t i = 0; i < morceaux.size(); ++i) {
            // The pieces of one reply come with rising delays; the next reply starts low.
            const std::uint32_t avant = i > 0 ? morceaux[i - 1].delaiMs : UINT32_MAX;
            const std::uint32_t d = morceaux[i].delaiMs;
            file.push_back({maintenant + d * 1000000ull, (d > avant ? d - avant : 0) * 1000000ull,
                            morceaux[i].octets});
        }
        return Fin::continuer;
    }

    // Opens and closes of the slave by others, from inotify.
    Fin suivreOuvertures()
    {
        alignas(inotify_event) char evenements[4096];
        const ssize_t n = ::read(inotify, evenements, sizeof evenements);
        for (ssize_t i = 0; i < n;) {
            const auto* e = reinterpret_cast<const inotify_event*>(evenements + i);
            if (e->mask & IN_OPEN) ++ouvertures;
            if ((e->mask & IN_CLOSE) && ouvertures > 0 && --ouvertures == 0) {
                if (const Fin f = portLibre(); f != Fin::continuer) return f;
            }
            i += ssize_t(sizeof(inotify_event) + e->len);
        }
        return Fin::continuer;
    }

    // The last program holding the port has closed it. What was still coming is
    // lost, as on a real port that nobody holds open, and the exclusive mode ends.
    Fin portLibre()
    {
        file.clear();
        attenteEcriture = false;
        ::tcflush(pty.slave, TCIFLUSH);
        ::ioctl(pty.slave, TIOCNXCL);
        if (!session) return Fin::continuer;
        session = false;
        noter('#', "port ferme par le programme");
        return options.uneSession ? Fin::arret : Fin::continuer;
    }

    // Writes what is due by now: at the line's pace, or whole pieces without it.
    void emettre(std::uint64_t maintenant)
    {
        while (!file.empty() && !attenteEcriture) {
            Envoi& e = file.front();
            if (!e.commence) {
                const std::uint64_t debut = std::max(e.prevuNs, ligneLibreNs + e.ecartNs);
                if (maintenant < debut) return;
                e.commence = true;
                e.debutNs = debut;
                e.parOctetNs = options.cadence ? byteNs(pty.slave) : 0;
            }
            std::size_t dus = e.octets.size();
            if (e.parOctetNs != 0) {
                dus = std::min<std::uint64_t>(dus, (maintenant - e.debutNs) / e.parOctetNs + 1);
            }
            const ssize_t n = ::write(pty.master, e.octets.data() + e.envoyes, dus - e.envoyes);
            if (n < 0 && errno == EAGAIN) {
                attenteEcriture = true;
                return;
            }
            e.envoyes += n > 0 ? std::size_t(n) : 0;
            if (n < 0) noter('#', std::string("ecriture perdue : ") + std::strerror(errno));
            if (n >= 0 && e.envoyes < e.octets.size()) return;
            ligneLibreNs = e.parOctetNs ? e.debutNs + e.octets.size() * e.parOctetNs : maintenant;
            file.pop_front();
        }
    }

    std::optional<std::uint64_t> prochainEnvoi(std::uint64_t maintenant) const
    {
        if (file.empty() || attenteEcriture) return std::nullopt;
        const Envoi& e = file.front();
        if (!e.commence) return std::max({maintenant, e.prevuNs, ligneLibreNs + e.ecartNs});
        return std::max(maintenant, e.debutNs + e.envoyes * e.parOctetNs);
    }

    Fin servir(const sigset_t& masqueAttente)
    {
        while (gArret == 0) {
            const std::uint64_t maintenant = nowNs();
            pollfd fds[2] = {{pty.master, short(POLLIN | (attenteEcriture ? POLLOUT : 0)), 0},
                             {inotify, POLLIN, 0}};
            const auto reveil = prochainEnvoi(maintenant);
            const std::uint64_t ns = reveil ? *reveil - maintenant : 0;
            const timespec attente{time_t(ns / 1000000000u), long(ns % 1000000000u)};
            if (::ppoll(fds, 2, reveil ? &attente : nullptr, &masqueAttente) < 0 &&
                errno != EINTR) {
                return Fin::erreur;
            }
            if (fds[0].revents & POLLOUT) attenteEcriture = false;
            // The opens and closes that came before the bytes are taken first, so that
            // the bytes are answered for the right session.
            std::string octets;
            if ((fds[0].revents & (POLLIN | POLLHUP | POLLERR)) && !lire(octets)) {
                return Fin::erreur;
            }
            if (const Fin f = suivreOuvertures(); f != Fin::continuer) return f;
            if (!octets.empty()) {
                if (const Fin f = repondre(octets); f != Fin::continuer) return f;
            }
            emettre(nowNs());
        }
        noter('#', "arret sur signal");
        return Fin::arret;
    }
};

// --- The run --------------------------------------------------------------------

bool preparerMemoire(const Options& o, sim::Memoire& memoire, std::string& erreur)
{
    if (o.fichierMemoire.empty()) {
        memoire = sim::memoireDemo();
        if (o.jobs >= 0) memoire.jobs.clear();
        for (int no = 1; no <= o.jobs; ++no) {  // as the file's "generer" names and seeds them
            memoire.jobs.push_back(
                sim::genererJob("JOB" + std::to_string(no), no, int(o.mesures), unsigned(no) + 1));
        }
        return true;
    }
    std::ifstream fichier(o.fichierMemoire);
    if (!fichier || !sim::chargerMemoire(fichier, memoire, erreur)) {
        erreur = o.fichierMemoire + " : " + (fichier ? erreur : std::strerror(errno));
        return false;
    }
    return true;
}

// A symbolic link to the slave; an older link is replaced, any other file is kept.
bool creerLien(const std::string& lien, const std::string& cible)
{
    struct stat s {};
    if (::lstat(lien.c_str(), &s) == 0 && S_ISLNK(s.st_mode)) ::unlink(lien.c_str());
    return ::symlink(cible.c_str(), lien.c_str()) == 0;
}

// Only our own link: another simulator may have taken the name since.
void retirerLien(const std::string& lien, const std::string& cible)
{
    char lu[256] = {};
    if (!lien.empty() && ::readlink(lien.c_str(), lu, sizeof lu - 1) >= 0 && cible == lu) {
        ::unlink(lien.c_str());
    }
}

int servir(const Options& o, sim::Memoire memoire, std::FILE* log)
{
    Pty pty;
    const int inotify = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (!openPty(pty) || inotify < 0 ||
        ::inotify_add_watch(inotify, pty.path.c_str(), IN_OPEN | IN_CLOSE) < 0 ||
        (!o.lien.empty() && !creerLien(o.lien, pty.path))) {
        std::fprintf(stderr, "gsicom-sim: %s%s\n", o.lien.empty() ? "" : (o.lien + " : ").c_str(),
                     std::strerror(errno));
        return 1;
    }
    std::printf("gsicom-sim: %s\n", pty.path.c_str());
    std::fflush(stdout);

    const std::string service =
        "en service sur " + pty.path + ", " + std::to_string(memoire.jobs.size()) + " job(s)";
    Serveur serveur{o, pty, inotify, log, sim::Instrument(std::move(memoire), o.pannes)};
    serveur.noter('#', service);
    sigset_t masqueAttente{};  // the mask of the wait: SIGINT and SIGTERM let through
    ::sigprocmask(SIG_BLOCK, nullptr, &masqueAttente);
    sigdelset(&masqueAttente, SIGINT);
    sigdelset(&masqueAttente, SIGTERM);
    const Fin fin = serveur.servir(masqueAttente);
    pty.close();  // after a hang-up, the program's reads fail at once from here on
    ::close(inotify);
    retirerLien(o.lien, pty.path);
    return fin == Fin::erreur ? 1 : 0;
}

}  // namespace

int main(int argc, char** argv)
{
    Options options;
    std::string erreur;
    if (!lireOptions(argc, argv, options, erreur)) {
        std::fprintf(stderr, "gsicom-sim: %s (voir --aide)\n", erreur.c_str());
        return 2;
    }
    if (options.aide) {
        std::fputs(kAide, stdout);
        return 0;
    }
    sim::Memoire memoire;
    if (!preparerMemoire(options, memoire, erreur)) {
        std::fprintf(stderr, "gsicom-sim: %s\n", erreur.c_str());
        return 2;
    }
    std::FILE* log = options.journal.empty() ? stderr : std::fopen(options.journal.c_str(), "w");
    if (log == nullptr) {
        std::fprintf(stderr, "gsicom-sim: %s : %s\n", options.journal.c_str(),
                     std::strerror(errno));
        return 1;
    }
    // SIGINT and SIGTERM are taken only inside the wait (ppoll), so none is missed.
    sigset_t arret{};
    sigemptyset(&arret);
    sigaddset(&arret, SIGINT);
    sigaddset(&arret, SIGTERM);
    ::sigprocmask(SIG_BLOCK, &arret, nullptr);
    struct sigaction action {};
    action.sa_handler = onSignal;
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGTERM, &action, nullptr);
    ::signal(SIGPIPE, SIG_IGN);
    const int code = servir(options, std::move(memoire), log);
    if (log != stderr) std::fclose(log);
    return code;
}
