// The simulator's pseudo-terminal: see pty.hpp.
#include "pty.hpp"

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <ctime>

#include "plateforme/linux/refus.hpp"

namespace gsicom::sim {

void Pty::close()
{
    if (master >= 0) ::close(master);
    master = -1;
}

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

std::uint64_t vitesseLigne(int master)
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
    return baud;
}

std::uint64_t byteNs(int master)
{
    return 10000000000ull / vitesseLigne(master);  // 10 bits a byte
}

bool esclaveLibre(int master)
{
    pollfd p{master, POLLIN, 0};
    return ::poll(&p, 1, 0) == 1 && (p.revents & POLLHUP) != 0;
}

namespace {

// The tests' hook: how long the look keeps the slave open before it reads the mode.
void attendreSiDemande()
{
    static const long ms = [] {
        const char* texte = std::getenv("GSICOM_SIM_REGARD_MS");
        return texte != nullptr ? std::strtol(texte, nullptr, 10) : 0L;
    }();
    if (ms > 0) {
        const timespec t{time_t(ms / 1000), long(ms % 1000) * 1000000L};
        ::nanosleep(&t, nullptr);
    }
}

}  // namespace

Exclusif effacerExclusifLaisse(const std::string& esclave, int& erreur)
{
    const int fd = ::open(esclave.c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        erreur = errno;
        return erreur == EBUSY ? Exclusif::bloque : Exclusif::inconnu;
    }
    attendreSiDemande();
    int exclusif = 0;
    struct stat s {};
    Exclusif resultat = Exclusif::absent;
    if (::ioctl(fd, TIOCGEXCL, &exclusif) != 0 || (exclusif != 0 && ::fstat(fd, &s) != 0)) {
        erreur = errno;
        resultat = Exclusif::inconnu;
    } else if (exclusif != 0 && chercherDetenteur(s.st_rdev).pid != 0) {
        resultat = Exclusif::tenu;
    } else if (exclusif != 0) {
        erreur = 0;
        resultat =
            ::ioctl(fd, TIOCNXCL) == 0 ? Exclusif::efface : ((erreur = errno), Exclusif::inconnu);
    }
    ::close(fd);
    return resultat;
}

}  // namespace gsicom::sim
