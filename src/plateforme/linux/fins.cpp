#include "plateforme/linux/fins.hpp"

#include <sys/ioctl.h>
#include <unistd.h>

#include <atomic>
#include <csignal>

namespace gsicom {

namespace {

// What the handler undoes: process-wide, since a handler reaches nothing else. A run
// holds at most one port and pauses once.
volatile std::sig_atomic_t gDescripteurExclusif = -1;
termios gTerminal{};
volatile std::sig_atomic_t gTerminalRetenu = 0;

extern "C" void defairePuisTerminer(int signal)
{
    const int fd = gDescripteurExclusif;
    if (fd >= 0) {
        ::ioctl(fd, TIOCNXCL);
    }
    if (gTerminalRetenu != 0) {
        ::tcsetattr(STDIN_FILENO, TCSANOW, &gTerminal);
    }
    ::raise(signal);  // the default action, once this handler returns (SA_RESETHAND)
}

}  // namespace

void intercepterLesFins()
{
    struct sigaction fin {};
    fin.sa_handler = defairePuisTerminer;
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

void retenirExclusif(int fd)
{
    gDescripteurExclusif = fd;
}

// The flag falls before the mode changes, and rises only once the mode is whole: the
// handler never gives back half a record.
void retenirTerminal(const termios* avant)
{
    gTerminalRetenu = 0;
    std::atomic_signal_fence(std::memory_order_seq_cst);
    if (avant != nullptr) {
        gTerminal = *avant;
        std::atomic_signal_fence(std::memory_order_seq_cst);
        gTerminalRetenu = 1;
    }
}

}  // namespace gsicom
