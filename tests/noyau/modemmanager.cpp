// A stand-in for ModemManager probing a new port: it opens the node and takes it in
// exclusive mode, as that service does, then holds it until it is killed. Built under
// the service's name, which is what gsicom looks for.
//   ModemManager /dev/ttyACM0
// Prints "pris PID" once the port is its own.
#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cstdio>

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fputs("usage: ModemManager /dev/ttyACM0\n", stderr);
        return 2;
    }
    const int fd = ::open(argv[1], O_RDWR | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0 || ::ioctl(fd, TIOCEXCL) < 0) {
        std::perror(argv[1]);
        return 1;
    }
    std::printf("pris %d\n", static_cast<int>(::getpid()));
    std::fflush(stdout);
    for (;;) {
        ::pause();
    }
}
