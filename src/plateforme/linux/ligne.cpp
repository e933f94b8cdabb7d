// A Linux serial device as gsicom's port: termios line settings, Windows' read
// time-out rule on poll and the steady clock, the driver's count of line errors
// (TIOCGICOUNT), opened only where no other program holds it (linux/prise.cpp).
#include "plateforme/linux/ligne.hpp"

#include <fcntl.h>
#include <linux/serial.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>

#include "plateforme/linux/prise.hpp"
#include "plateforme/linux/refus.hpp"
#include "plateforme/linux/uart.hpp"
#include "serial/chemin_com.hpp"
#include "serial/delai.hpp"

namespace gsicom {

namespace {

std::uint64_t maintenantMs()
{
    using namespace std::chrono;
    return static_cast<std::uint64_t>(
        duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

speed_t vitesseTermios(std::uint32_t baudRate)
{
    switch (baudRate) {
        case 9600: return B9600;
        case 19200: return B19200;
        case 38400: return B38400;
        case 57600: return B57600;
        case 115200: return B115200;
        default: return B0;
    }
}

// The line errors the driver counted since it started (framing, overrun, parity,
// break, its buffer's overrun); false where it keeps no count (a pseudo-terminal).
bool compterErreurs(int fd, std::uint32_t& total)
{
    serial_icounter_struct c{};
    if (::ioctl(fd, TIOCGICOUNT, &c) != 0) {
        return false;
    }
    total = static_cast<std::uint32_t>(c.frame) + static_cast<std::uint32_t>(c.overrun) +
            static_cast<std::uint32_t>(c.parity) + static_cast<std::uint32_t>(c.brk) +
            static_cast<std::uint32_t>(c.buf_overrun);
    return true;
}

class LinuxSerialPort final : public SerialPort {
public:
    explicit LinuxSerialPort(int fd) : fd_(fd) {}
    ~LinuxSerialPort() override
    {
        if (exclusif_) {  // only ours: another program's flag is its own
            lacherPort(fd_);
        }
        ::close(fd_);
    }
    LinuxSerialPort(const LinuxSerialPort&) = delete;
    LinuxSerialPort& operator=(const LinuxSerialPort&) = delete;

    // Keeps out any further open by a program that does not ask (root excepted).
    bool prendre(dev_t rdev, const char* com, const std::string& chemin, std::string& pourquoi)
    {
        exclusif_ = prendrePort(fd_, rdev, com, chemin, pourquoi);
        return exclusif_;
    }

    bool getCommState(LineSettings& settings) override
    {
        if (::tcgetattr(fd_, &lu_) != 0) {
            return false;
        }
        switch (lu_.c_cflag & CSIZE) {
            case CS5: settings.byteSize = 5; break;
            case CS6: settings.byteSize = 6; break;
            case CS7: settings.byteSize = 7; break;
            default: settings.byteSize = 8; break;
        }
        settings.parity = (lu_.c_cflag & PARENB) ? ((lu_.c_cflag & PARODD) ? 1 : 2) : 0;
        settings.stopBits = (lu_.c_cflag & CSTOPB) ? 2 : 0;
        settings.baudRate = 0;
        static constexpr std::uint32_t kVitesses[] = {9600, 19200, 38400, 57600, 115200};
        for (const std::uint32_t v : kVitesses) {
            if (::cfgetospeed(&lu_) == vitesseTermios(v)) {
                settings.baudRate = v;
            }
        }
        return true;
    }

    // The line set whole, nothing kept of what a previous program left in it: raw 8N1
    // at the chosen speed, bytes untouched both ways (no RTS/CTS, no XON/XOFF either
    // way, no case or CR mapping; a break carries no byte), reads that never block
    // (VMIN = VTIME = 0; the time-outs are ours, see readFile). HUPCL: DTR and RTS
    // drop at the last close, as on a fresh port and at Windows' CloseHandle. Bytes
    // that came before (nothing has been asked yet) are dropped.
    bool setCommState(const LineSettings& settings) override
    {
        const speed_t vitesse = vitesseTermios(settings.baudRate);
        if (vitesse == B0 || settings.byteSize != 8 || settings.parity != 0 ||
            settings.stopBits != 0) {
            errno = EINVAL;
            return false;
        }
        termios t{};
        t.c_iflag = IGNBRK;
        t.c_cflag = CS8 | CREAD | CLOCAL | HUPCL;
        t.c_line = lu_.c_line;
        if (::cfsetispeed(&t, vitesse) != 0 || ::cfsetospeed(&t, vitesse) != 0 ||
            ::tcsetattr(fd_, TCSANOW, &t) != 0) {
            return false;
        }
        int lignes = TIOCM_DTR | TIOCM_RTS;
        ::ioctl(fd_, TIOCMBIS, &lignes);  // raised, for the cables that want them; a pty has none
        ::tcflush(fd_, TCIOFLUSH);
        compte_ = compterErreurs(fd_, base_);  // what came before is not this line's
        return true;
    }

    bool setCommTimeouts(const CommTimeouts& timeouts) override
    {
        timeouts_ = timeouts;
        return true;
    }

    bool writeFile(const char* data, std::uint32_t size, std::uint32_t& written) override
    {
        written = 0;
        const std::uint64_t limite = maintenantMs() +
                                     std::uint64_t{timeouts_.writeTotalTimeoutMultiplier} * size +
                                     timeouts_.writeTotalTimeoutConstant;
        while (written < size) {
            const ssize_t n = ::write(fd_, data + written, size - written);
            if (n > 0) {
                written += static_cast<std::uint32_t>(n);
                continue;
            }
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n < 0 && errno != EAGAIN) {
                noterPerte(errno);
                return false;
            }
            const std::uint64_t maintenant = maintenantMs();
            if (maintenant >= limite) {
                return false;
            }
            pollfd p{fd_, POLLOUT, 0};
            ::poll(&p, 1, static_cast<int>(limite - maintenant));
        }
        return true;
    }

    // Windows' COMMTIMEOUTS rule (serial/delai.hpp) on poll and a steady clock.
    bool readFile(char* data, std::uint32_t size, std::uint32_t& read) override
    {
        read = 0;
        const DebutLecture lecture{maintenantMs(), size};
        std::optional<std::uint64_t> dernierOctet;
        while (read < size) {
            const std::uint64_t fin = finDeLecture(timeouts_, lecture, dernierOctet);
            const std::uint64_t maintenant = maintenantMs();
            if (maintenant >= fin) {
                break;
            }
            const std::uint64_t reste = fin - maintenant;
            pollfd p{fd_, POLLIN, 0};
            const int pret = ::poll(&p, 1, fin == kJamais ? -1 : static_cast<int>(reste));
            if (pret < 0 && errno == EINTR) {
                continue;
            }
            if (pret < 0) {
                return read > 0;
            }
            if (pret == 0) {
                continue;  // the deadline is checked again above
            }
            const ssize_t n = ::read(fd_, data + read, size - read);
            if (n > 0) {
                read += static_cast<std::uint32_t>(n);
                dernierOctet = maintenantMs();
            } else if (n < 0 && (errno == EINTR || errno == EAGAIN)) {
                continue;
            } else {
                // Hang-up, EIO or end of file: the line has gone away. What came is kept.
                disparu_ = disparu_ || (p.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0;
                if (n < 0) {
                    noterPerte(errno);
                }
                return read > 0;
            }
        }
        return true;
    }

    // The growth of the driver's counts since the line was set. A count that can no
    // longer be read (the adapter pulled) stays as it was last read.
    std::optional<std::uint32_t> lineErrors() override
    {
        if (!compte_) {
            return std::nullopt;
        }
        std::uint32_t total = 0;
        if (compterErreurs(fd_, total)) {
            erreurs_ = total - base_;  // the driver's int counters wrap alike
        }
        return erreurs_;
    }

    LineErrorFigure lineErrorFigure() const override { return LineErrorFigure::errors; }
    bool vanished() const override { return disparu_; }

private:
    // A read or write that failed because the device itself is gone: a USB adapter
    // pulled (ENODEV), a hung-up or dead line (EIO, ENXIO).
    void noterPerte(int erreur)
    {
        disparu_ = disparu_ || erreur == EIO || erreur == ENODEV || erreur == ENXIO;
    }

    int fd_;
    bool exclusif_ = false;  // TIOCEXCL set by this descriptor
    bool compte_ = false;    // the driver counts line errors
    bool disparu_ = false;   // the device went away (vanished)
    std::uint32_t base_ = 0;
    std::uint32_t erreurs_ = 0;
    termios lu_{};
    CommTimeouts timeouts_{};
};

}  // namespace

std::unique_ptr<SerialPort> ouvrirPortLinux(const char* devicePath, std::string& pourquoi)
{
    pourquoi.clear();
    const std::string chemin = cheminLinux(devicePath);
    if (chemin.empty()) {
        return nullptr;
    }
    const char* com = devicePath + 4;  // "COMn"
    const int fd = ::open(chemin.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        pourquoi = refusOuverture(com, chemin, errno);
        return nullptr;
    }
    auto port = std::make_unique<LinuxSerialPort>(fd);  // closes fd on every way out
    struct stat s {};
    if (::fstat(fd, &s) != 0 || !S_ISCHR(s.st_mode) || slotSansUart(fd, chemin, s.st_rdev)) {
        return nullptr;  // not a device, or a UART's slot with none: no serial port there
    }
    if (!port->prendre(s.st_rdev, com, chemin, pourquoi)) {
        return nullptr;
    }
    return port;
}

}  // namespace gsicom
