// gsicom-sim: the simulated total station served on a pseudo-terminal.
//
// It prints the slave device ("gsicom-sim: /dev/pts/N") as its first line, answers
// every request written to it as sim::Instrument decides, paced at the baud rate the
// program set on the line, logs every request it receives and every reply it sends,
// and serves until SIGINT or SIGTERM (or, with --une-session, until a program has
// opened the port, talked and closed it). --aide lists the options.
//
// It holds the pty's master alone, never the slave: a program that looks for other
// holders of its port (as gsicom does) must not find the simulator on the port it
// serves. Opens and closes of the slave are learnt through inotify.
#include <fcntl.h>
#include <poll.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <deque>
#include <fstream>
#include <optional>

#include "instrument.hpp"
#include "memoire.hpp"
#include "options.hpp"

namespace {

namespace sim = gsicom::sim;
using sim::echapper;
using sim::kAide;
using sim::lireOptions;
using sim::Options;

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

// The pseudo-terminal, by its master only. The line stays up while the program
// closes the slave (between its port scan and the real open) as long as the master
// is open. Termios requests on a Linux pty master act on the slave's settings: the
// raw mode is set, and the speed the program chose read, through the master.
struct Pty {
    int master = -1;
    std::string path;  // the slave
    Pty() = default;
    Pty(const Pty&) = delete;
    Pty& operator=(const Pty&) = delete;
    ~Pty() { close(); }
    void close()
    {
        if (master >= 0) ::close(master);
        master = -1;
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
    termios t{};
    if (::tcgetattr(pty.master, &t) != 0) return false;
    ::cfmakeraw(&t);  // no echo of our replies back to us, no CR/LF translation
    ::cfsetspeed(&t, B19200);
    return ::tcsetattr(pty.master, TCSANOW, &t) == 0 &&
           ::fcntl(pty.master, F_SETFL, O_NONBLOCK) == 0;
}

// Time of one byte on the line (start bit, 8 data bits, stop bit) at the speed the
// program set (read through the master).
std::uint64_t byteNs(int master)
{
    static constexpr struct {
        speed_t code;
        std::uint64_t baud;
    } kVitesses[] = {{B1200, 1200},   {B2400, 2400},   {B4800, 4800},   {B9600, 9600},
                     {B19200, 19200}, {B38400, 38400}, {B57600, 57600}, {B115200, 115200}};
    termios t{};
    std::uint64_t baud = 19200;
    if (::tcgetattr(master, &t) == 0) {
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
    bool aVider = false;             // bytes went to the slave since its input was flushed
    std::size_t journalises = 0;     // requests already logged
    int ouvertures = 0;              // descriptors of the slave open elsewhere
    bool session = false;            // requests came since the port was last free

    // One line: wall clock, seconds since start, then "> request" (C escapes,
    // without its CR LF), "< piece of a reply" (C escapes, as it went on the line,
    // logged once its last byte is out) or "# event".
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

    // Every byte the program wrote, if any; false when the pty cannot be read. What
    // it wrote before closing the slave is still read; then the master gives EIO
    // until the slave is opened again, which is no fault.
    bool lire(std::string& octets)
    {
        char lus[4096];
        for (;;) {
            const ssize_t n = ::read(pty.master, lus, sizeof lus);
            if (n > 0) {
                octets.append(lus, std::size_t(n));
            } else if (n == 0 || errno == EAGAIN || errno == EIO) {
                return true;
            } else if (errno != EINTR) {
                noter('#', std::string("lecture du pty impossible : ") + std::strerror(errno));
                return false;
            }
        }
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
    // lost, as on a real port that nobody holds open: the queue here, and the bytes
    // sent that it did not read, which the slave would keep for the next open. On the
    // master, TCOFLUSH drops those the slave's line discipline has not taken yet, and
    // a TCSAFLUSH of the slave's own settings those it holds. Only after bytes went
    // out: a TCSAFLUSH late after the port scan's close would undo the speed the
    // program has just set. The exclusive mode stays (TIOCNXCL on a master acts on
    // the master's own tty): gsicom ends the one it set when it closes the port.
    Fin portLibre()
    {
        file.clear();
        attenteEcriture = false;
        termios t{};
        if (aVider && ::tcflush(pty.master, TCOFLUSH) == 0 && ::tcgetattr(pty.master, &t) == 0) {
            ::tcsetattr(pty.master, TCSAFLUSH, &t);
        }
        aVider = false;
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
                e.parOctetNs = options.cadence ? byteNs(pty.master) : 0;
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
            aVider = aVider || n > 0;
            if (n < 0) noter('#', std::string("ecriture perdue : ") + std::strerror(errno));
            if (n >= 0 && e.envoyes < e.octets.size()) return;
            if (n >= 0) noter('<', echapper(e.octets));
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
            // The master only while the slave is open: once closed, it reports POLLHUP.
            pollfd fds[2] = {{ouvertures > 0 ? pty.master : -1,
                              short(POLLIN | (attenteEcriture ? POLLOUT : 0)), 0},
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
            // the bytes are answered for the right session. A program may have opened,
            // written and closed while the master was out of the poll: read it then too.
            std::string octets;
            if (((fds[0].revents & (POLLIN | POLLHUP | POLLERR)) || (fds[1].revents & POLLIN)) &&
                !lire(octets)) {
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
