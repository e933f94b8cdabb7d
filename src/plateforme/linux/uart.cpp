#include "plateforme/linux/uart.hpp"

#include <fcntl.h>
#include <linux/major.h>
#include <linux/serial.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>

namespace gsicom {

namespace {

std::string baseDe(const std::string& chemin)
{
    return chemin.substr(chemin.rfind('/') + 1);
}

// Where the driver cannot be asked: /sys's word on the device itself, not on a name.
bool typeInconnuDansSys(dev_t rdev)
{
    return premiereLigne("/sys/dev/char/" + std::to_string(major(rdev)) + ":" +
                         std::to_string(minor(rdev)) + "/type") == "0";
}

}  // namespace

// Read with the system's calls: iostreams would bring their whole runtime into the
// statically linked binary.
std::string premiereLigne(const std::string& chemin)
{
    char texte[64] = {};
    const int fd = ::open(chemin.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return {};
    }
    const ssize_t n = ::read(fd, texte, sizeof texte - 1);
    ::close(fd);
    const std::string lu(texte, n > 0 ? std::size_t(n) : 0);
    return lu.substr(0, lu.find('\n'));
}

std::string typeUart(const std::string& sys, const std::string& nom)
{
    return premiereLigne(sys + "/class/tty/" + nom + "/type");
}

bool nomDeSlotUart(const std::string& nom)
{
    return nom.size() > 4 && nom.compare(0, 4, "ttyS") == 0 &&
           nom.find_first_not_of("0123456789", 4) == std::string::npos;
}

namespace {

// A device of the 8250 driver itself (major 4 from minor 64: ttyS0 on), whatever the
// name it stands under. A USB adapter linked under a ttyS name, as gsicom advises for
// one beyond COM30, is not: its driver (ftdi_sio, cdc-acm) leaves the UART type unknown.
bool slotDu8250(const std::string& chemin, dev_t rdev)
{
    return nomDeSlotUart(baseDe(chemin)) && major(rdev) == TTY_MAJOR && minor(rdev) >= 64;
}

}  // namespace

// The driver's own word first (TIOCGSERIAL works on a slot marked with an I/O error);
// a device of another driver (a pty) does not know the request: it is a port.
bool slotSansUart(int fd, const std::string& chemin, dev_t rdev)
{
    if (!slotDu8250(chemin, rdev)) {
        return false;
    }
    serial_struct serie{};
    if (::ioctl(fd, TIOCGSERIAL, &serie) == 0) {
        return serie.type == PORT_UNKNOWN;
    }
    return errno != ENOTTY && typeInconnuDansSys(rdev);
}

bool noeudSansUart(const std::string& chemin)
{
    struct stat s {};
    return ::stat(chemin.c_str(), &s) == 0 && S_ISCHR(s.st_mode) && slotDu8250(chemin, s.st_rdev) &&
           typeInconnuDansSys(s.st_rdev);
}

}  // namespace gsicom
