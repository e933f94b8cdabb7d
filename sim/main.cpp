// gsicom-sim: the simulated total station served on a pseudo-terminal.
//
// It prints the slave device ("gsicom-sim: /dev/pts/N") as its first line, answers
// every request written to it as sim::Instrument decides, paced at the baud rate the
// program set on the line, logs every request it receives and every reply it sends,
// and serves until SIGINT or SIGTERM (or, with --une-session, until a program has
// opened the port, talked and closed it). --aide lists the options.
//
// It holds the pty's master alone, and the slave only for the moment of its look for
// an exclusive mode left on the free port (pty.hpp): a program that looks for other
// holders of its port (as gsicom does) must not find the simulator on the port it
// serves. inotify tells it when the slave is opened or closed.
#include <fcntl.h>
#include <sys/inotify.h>
#include <sys/signalfd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fstream>

#include "instrument.hpp"
#include "journal.hpp"
#include "memoire.hpp"
#include "options.hpp"
#include "pty.hpp"
#include "serveur.hpp"

namespace {

namespace sim = gsicom::sim;
using sim::kAide;
using sim::lireOptions;
using sim::Options;

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

// journal: the log's descriptor; signaux: the signalfd of SIGINT and SIGTERM.
int servir(const Options& o, sim::Memoire memoire, int journal, int signaux)
{
    sim::Pty pty;
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
    sim::Instrument instrument(std::move(memoire), o.pannes);
    sim::Journal log(journal, sim::nowNs());
    sim::Serveur serveur{o, pty, inotify, signaux, log, std::move(instrument)};
    serveur.noter('#', service);
    const sim::Fin fin = serveur.servir();
    pty.close();  // after a hang-up, the program's reads fail at once from here on
    ::close(inotify);
    retirerLien(o.lien, pty.path);
    return fin == sim::Fin::erreur ? 1 : 0;
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
    const int log =
        options.journal.empty()
            ? STDERR_FILENO
            : ::open(options.journal.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (log < 0) {
        std::fprintf(stderr, "gsicom-sim: %s : %s\n", options.journal.c_str(),
                     std::strerror(errno));
        return 1;
    }
    // SIGINT and SIGTERM stay blocked and come through a descriptor in the wait's poll
    // set: one that comes while the loop is busy waits there, never lost nor ignored.
    sigset_t arret{};
    sigemptyset(&arret);
    sigaddset(&arret, SIGINT);
    sigaddset(&arret, SIGTERM);
    const int signaux = ::sigprocmask(SIG_BLOCK, &arret, nullptr) == 0
                            ? ::signalfd(-1, &arret, SFD_NONBLOCK | SFD_CLOEXEC)
                            : -1;
    if (signaux < 0) {
        std::fprintf(stderr, "gsicom-sim: signalfd : %s\n", std::strerror(errno));
        return 1;
    }
    ::signal(SIGPIPE, SIG_IGN);
    const int code = servir(options, std::move(memoire), log, signaux);
    ::close(signaux);
    if (log != STDERR_FILENO) ::close(log);
    return code;
}
