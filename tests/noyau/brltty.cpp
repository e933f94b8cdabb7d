// A stand-in for brltty, the braille display daemon that takes USB-serial adapters: it
// opens the adapter's node, detaches its driver from interface 0 and claims that
// interface through usbfs, as brltty does, then holds it until it is killed. Its name is
// what gsicom looks for.
//   brltty /dev/bus/usb/BBB/DDD
// Prints "pris PID" once the interface is its own.
#include <fcntl.h>
#include <linux/usbdevice_fs.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fputs("usage: brltty /dev/bus/usb/BBB/DDD\n", stderr);
        return 2;
    }
    const int fd = ::open(argv[1], O_RDWR | O_CLOEXEC);
    if (fd < 0) {
        std::perror(argv[1]);
        return 1;
    }
    usbdevfs_ioctl detacher{};
    detacher.ifno = 0;
    detacher.ioctl_code = USBDEVFS_DISCONNECT;
    unsigned interface = 0;
    // ENODATA: no driver had it.
    if ((::ioctl(fd, USBDEVFS_IOCTL, &detacher) < 0 && errno != ENODATA) ||
        ::ioctl(fd, USBDEVFS_CLAIMINTERFACE, &interface) < 0) {
        std::perror("usbfs");
        return 1;
    }
    std::printf("pris %d\n", static_cast<int>(::getpid()));
    std::fflush(stdout);
    for (;;) {
        ::pause();
    }
}
