#include "serial/prise_linux.hpp"

#include <sys/file.h>
#include <sys/ioctl.h>

#include <cerrno>
#include <csignal>

#include "serial/refus_linux.hpp"

namespace gsicom {

namespace {

// The descriptor whose exclusive mode is ours, for the signal handler below: the
// one piece of process-wide state here, since a handler reaches nothing else. gsicom
// holds at most one port at a time.
volatile std::sig_atomic_t gDescripteurExclusif = -1;

// A tty that someone else keeps open (the simulator's pty) keeps the mode after our
// end, and the port would look held until that program ends: cleared first.
extern "C" void relacherPuisTerminer(int signal)
{
    const int fd = gDescripteurExclusif;
    if (fd >= 0) {
        ::ioctl(fd, TIOCNXCL);
    }
    ::raise(signal);  // the default action, once this handler returns (SA_RESETHAND)
}

}  // namespace

void intercepterLesFins()
{
    struct sigaction fin {};
    fin.sa_handler = relacherPuisTerminer;
    fin.sa_flags = SA_RESETHAND;
    for (const int signal : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) {
        // Only SIG_IGN survives an exec: a caller's choice, kept.
        struct sigaction avant {};
        if (::sigaction(signal, nullptr, &avant) == 0 && (avant.sa_flags & SA_SIGINFO) == 0 &&
            avant.sa_handler == SIG_IGN) {
            continue;
        }
        ::sigaction(signal, &fin, nullptr);
    }
}

// Held: its flock taken, its exclusive mode already set (root is not kept out by it),
// or open in another process that asks for neither. Our own mode is set before that
// last look, so that no program but root's can slip in after it.
bool prendrePort(int fd, dev_t rdev, const char* com, const std::string& chemin,
                 std::string& pourquoi)
{
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        pourquoi = messageOccupe(com, chemin, chercherDetenteur(rdev));
        return false;
    }
    int exclusif = 0;
    if (::ioctl(fd, TIOCGEXCL, &exclusif) == 0 && exclusif != 0) {
        pourquoi = messageExclusif(com, chemin, rdev);
        return false;
    }
    gDescripteurExclusif = fd;  // before the mode, so that no signal can leave it set
    if (::ioctl(fd, TIOCEXCL) != 0) {
        const int erreur = errno;
        gDescripteurExclusif = -1;
        pourquoi = messageErreurSysteme(com, chemin, erreur);
        return false;
    }
    if (const Detenteur d = chercherDetenteur(rdev); d.pid != 0) {
        lacherPort(fd);
        pourquoi = messageOccupe(com, chemin, d);
        return false;
    }
    return true;
}

// The mode outlives the descriptor while anyone else holds the tty: cleared, or the
// next open by a user other than root would fail. Forgotten by the handler only after:
// a signal in between clears it once more, harmlessly.
void lacherPort(int fd)
{
    ::ioctl(fd, TIOCNXCL);
    gDescripteurExclusif = -1;
}

}  // namespace gsicom
