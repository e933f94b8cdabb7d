// The platform on Linux: termios serial ports with Windows' read time-out rule,
// opened only where no other program holds them, nanosleep, localtime_r and a
// one-key pause.
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <thread>

#include "serial/chemin_com.hpp"
#include "serial/delai.hpp"
#include "serial/plateforme.hpp"
#include "serial/refus_linux.hpp"

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

// The descriptor whose exclusive mode is ours, for the signal handler below: the
// one piece of process-wide state here, since a handler reaches nothing else. gsicom
// holds at most one port at a time.
volatile std::sig_atomic_t gDescripteurExclusif = -1;

// Ctrl-C, a hang-up of the terminal, a polite kill: the exclusive mode is cleared
// first. A tty that someone else keeps open (the simulator's pty) keeps the mode
// after our end, and the port would look held until that program ends.
extern "C" void relacherPuisTerminer(int signal)
{
    const int fd = gDescripteurExclusif;
    if (fd >= 0) {
        ::ioctl(fd, TIOCNXCL);
    }
    ::raise(signal);  // the default action, once this handler returns (SA_RESETHAND)
}

class LinuxSerialPort final : public SerialPort {
public:
    explicit LinuxSerialPort(int fd) : fd_(fd) {}
    ~LinuxSerialPort() override
    {
        // The exclusive mode outlives this descriptor while anyone else holds the tty:
        // clear it, or the next open by a user other than root would fail. Only ours:
        // another program's flag is its own.
        if (exclusif_) {
            gDescripteurExclusif = -1;
            ::ioctl(fd_, TIOCNXCL);
        }
        ::close(fd_);
    }
    LinuxSerialPort(const LinuxSerialPort&) = delete;
    LinuxSerialPort& operator=(const LinuxSerialPort&) = delete;

    // Keeps out any further open by a program that does not ask (root excepted).
    bool poserExclusif()
    {
        gDescripteurExclusif = fd_;
        exclusif_ = ::ioctl(fd_, TIOCEXCL) == 0;
        if (!exclusif_) {
            gDescripteurExclusif = -1;
        }
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

    // Raw 8N1 at the chosen speed: bytes pass untouched both ways, reads never block
    // (VMIN = VTIME = 0; the time-outs are ours, see readFile).
    bool setCommState(const LineSettings& settings) override
    {
        const speed_t vitesse = vitesseTermios(settings.baudRate);
        if (vitesse == B0 || settings.byteSize != 8 || settings.parity != 0 ||
            settings.stopBits != 0) {
            errno = EINVAL;
            return false;
        }
        termios t = lu_;
        ::cfmakeraw(&t);
        t.c_cflag &= ~(CSIZE | PARENB | CSTOPB);
        t.c_cflag |= CS8 | CLOCAL | CREAD;
        t.c_cc[VMIN] = 0;
        t.c_cc[VTIME] = 0;
        if (::cfsetispeed(&t, vitesse) != 0 || ::cfsetospeed(&t, vitesse) != 0) {
            return false;
        }
        return ::tcsetattr(fd_, TCSANOW, &t) == 0;
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
                return false;  // the line has gone away
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
                return read > 0;
            }
        }
        return true;
    }

private:
    int fd_;
    bool exclusif_ = false;  // TIOCEXCL set by this descriptor
    termios lu_{};
    CommTimeouts timeouts_{};
};

// Why open() failed, for the operator; empty where there is no port: no node, or
// a node with no device behind it (the motherboard's ttyS1-3 without a UART give EIO).
std::string refusOuverture(const char* com, const std::string& chemin, int erreur)
{
    switch (erreur) {
        case ENOENT:
        case ENXIO:
        case ENODEV:
        case EIO: return {};
        case EACCES:
        case EPERM: return sansUart(chemin) ? std::string() : messageAccesRefuse(com, chemin);
        case EBUSY: {  // another program's exclusive flag
            struct stat s {};
            return messageOccupe(com, chemin,
                                 ::stat(chemin.c_str(), &s) == 0 ? s.st_rdev : dev_t{0});
        }
        default: return messageErreurSysteme(com, chemin, erreur);
    }
}

class LinuxPlatform final : public Platform {
public:
    // A file size limit must fail the write (the message, the closing request, the
    // file as written), not kill the run; nor may a closed standard output kill it
    // before the port is released. The signals that end a run clear the exclusive
    // mode first.
    LinuxPlatform()
    {
        std::signal(SIGXFSZ, SIG_IGN);
        std::signal(SIGPIPE, SIG_IGN);
        struct sigaction fin {};
        fin.sa_handler = relacherPuisTerminer;
        fin.sa_flags = SA_RESETHAND;
        for (const int signal : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) {
            ::sigaction(signal, &fin, nullptr);
        }
    }

    std::unique_ptr<SerialPort> openPort(const char* devicePath, std::string& pourquoi) override
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
        if (::fstat(fd, &s) != 0 || !S_ISCHR(s.st_mode)) {
            return nullptr;  // not a device: no serial port there
        }
        // Held: its flock taken, its exclusive mode already set (root is not kept out
        // by it), or open in another process that asks for neither. Our own mode is
        // set before that last look, so that no program but root's can slip in after it.
        int exclusif = 0;
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0 ||
            (::ioctl(fd, TIOCGEXCL, &exclusif) == 0 && exclusif != 0)) {
            pourquoi = messageOccupe(com, chemin, s.st_rdev);
            return nullptr;
        }
        if (!port->poserExclusif()) {
            pourquoi = messageErreurSysteme(com, chemin, errno);
            return nullptr;
        }
        if (const Detenteur d = chercherDetenteur(s.st_rdev); d.pid != 0) {
            pourquoi = messageOccupe(com, chemin, d);
            return nullptr;
        }
        return port;
    }

    void sleep(std::uint32_t milliseconds) override
    {
        std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
    }

    std::tm localTime() override
    {
        const std::time_t maintenant = std::time(nullptr);
        std::tm t{};
        ::localtime_r(&maintenant, &t);
        return t;
    }

    // The file, then its folder: a new file's name is in the folder, which has its own
    // blocks. A folder whose file system cannot sync it (EINVAL) keeps what it has.
    bool flushToDisk(std::FILE* f) override
    {
        if (std::fflush(f) != 0 || ::fsync(::fileno(f)) != 0) {
            return false;
        }
        const int dossier = ::open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (dossier < 0) {
            return false;
        }
        const bool ok = ::fsync(dossier) == 0 || errno == EINVAL;
        const int erreur = errno;
        ::close(dossier);
        errno = erreur;
        return ok;
    }

    // A key on a terminal (typed after the prompt, in raw mode, where Ctrl-C is a key
    // too: the terminal is always given back as it was); otherwise one byte
    // of the input or its end, so that a run fed by a pipe never hangs here.
    void pause() override
    {
        std::fputs("Appuyez sur une touche pour continuer...", stdout);
        std::fflush(stdout);
        termios avant{};
        if (::isatty(STDIN_FILENO) && ::tcgetattr(STDIN_FILENO, &avant) == 0) {
            termios brut = avant;
            brut.c_lflag &= ~(ICANON | ECHO | ISIG);  // Ctrl-C too is a key here
            brut.c_cc[VMIN] = 1;
            brut.c_cc[VTIME] = 0;
            ::tcflush(STDIN_FILENO, TCIFLUSH);
            ::tcsetattr(STDIN_FILENO, TCSANOW, &brut);
            char touche = 0;
            while (::read(STDIN_FILENO, &touche, 1) < 0 && errno == EINTR) {
            }
            ::tcsetattr(STDIN_FILENO, TCSANOW, &avant);
        } else {
            std::fgetc(stdin);
        }
        std::fputc('\n', stdout);
        std::fflush(stdout);
    }
};

}  // namespace

std::unique_ptr<Platform> makeSystemPlatform()
{
    return std::make_unique<LinuxPlatform>();
}

}  // namespace gsicom
