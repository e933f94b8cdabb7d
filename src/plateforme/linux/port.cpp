// The platform on Linux: serial ports (linux/ligne.cpp), those out of reach
// (linux/hors_table.cpp), the adapters that give none (linux/adaptateurs.cpp), what
// each one's device is (linux/description.cpp), which of them the instrument may own,
// nanosleep, localtime_r, the export file synced to the disk, whether the current
// folder is a temporary one (linux/dossier.cpp) and a one-key pause.
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <map>
#include <thread>

#include "plateforme/dossier_systeme.hpp"
#include "plateforme/linux/adaptateurs.hpp"
#include "plateforme/linux/description.hpp"
#include "plateforme/linux/fins.hpp"
#include "plateforme/linux/hors_table.hpp"
#include "plateforme/linux/ligne.hpp"
#include "plateforme/linux/refus.hpp"
#include "plateforme/plateforme.hpp"
#include "serial/chemin_com.hpp"

namespace gsicom {

namespace {

// A standard descriptor closed at the start would be the next file's, the port's: the
// warnings would go to the instrument. Each closed one becomes /dev/null (open gives
// the lowest free descriptor), or, where there is none, a descriptor that carries no
// byte either way.
void boucherLesDescripteursFermes()
{
    for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
        if (::fcntl(fd, F_GETFD) < 0 && errno == EBADF && ::open("/dev/null", O_RDWR) < 0) {
            ::open("/", O_PATH);
        }
    }
}

class LinuxPlatform final : public Platform {
public:
    // The standard descriptors first, before any file is opened. A file size limit
    // must fail the write (the message, the closing request, the file as written), not
    // kill the run; nor may a closed standard output kill it before the port is
    // released. The signals that end a run clear the exclusive mode first, and give the
    // terminal back its mode during the pause.
    LinuxPlatform()
    {
        boucherLesDescripteursFermes();
        std::signal(SIGXFSZ, SIG_IGN);
        std::signal(SIGPIPE, SIG_IGN);
        intercepterLesFins();
    }

    std::unique_ptr<SerialPort> openPort(const char* devicePath, std::string& pourquoi) override
    {
        std::unique_ptr<SerialPort> port = ouvrirPortLinux(devicePath, pourquoi);
        if (port != nullptr) {  // its links stand now; udev removes them with the device
            auBoutDesLiens_[devicePath] = nomAuBoutDesLiens(cheminLinux(devicePath));
        }
        return port;
    }

    std::vector<std::string> listUnreachablePorts() override { return portsHorsTableLinux(); }
    LignesSansPort listAdaptersWithoutPort() override { return adaptateursSansPortLinux(); }
    std::vector<PortDescription> describePorts() override { return decrirePortsLinux(); }
    std::string portName(const char* devicePath) override
    {
        const std::string chemin = cheminLinux(devicePath);
        return chemin.empty() ? std::string(devicePath + 4) : nomPort(devicePath + 4, chemin);
    }

    // An instrument's own USB port (cdc-acm's ttyACM), or its Bluetooth link (rfcomm),
    // which gsicom reaches only through a link under one of its names: the device the
    // links led to when the port was opened.
    bool instrumentMayOwnPort(const char* devicePath) override
    {
        const auto ouvert = auBoutDesLiens_.find(devicePath);
        const std::string nom = ouvert != auBoutDesLiens_.end()
                                    ? ouvert->second
                                    : nomAuBoutDesLiens(cheminLinux(devicePath));
        return nom.rfind("ttyACM", 0) == 0 || nom.rfind("rfcomm", 0) == 0;
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
    // blocks. A folder this account may not read (write and search rights alone), or
    // whose file system cannot sync it (EINVAL), keeps what it has: no disk refused.
    bool flushToDisk(std::FILE* f) override
    {
        if (std::fflush(f) != 0 || ::fsync(::fileno(f)) != 0) {
            return false;
        }
        const int dossier = ::open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (dossier < 0) {
            return errno == EACCES;
        }
        const bool ok = ::fsync(dossier) == 0 || errno == EINVAL;
        const int erreur = errno;
        ::close(dossier);
        errno = erreur;
        return ok;
    }

    DossierTemporaire temporaryCurrentFolder() override { return dossierCourantTemporaire(); }

    // A key on a terminal (typed after the prompt, in raw mode, where Ctrl-C is a key
    // too: the terminal is always given back as it was); otherwise one byte
    // of the input or its end, so that a run fed by a pipe never hangs here. Raw mode
    // comes before the prompt: a key typed at once is neither a signal nor flushed.
    void pause() override
    {
        termios avant{};
        const bool terminal = ::isatty(STDIN_FILENO) && ::tcgetattr(STDIN_FILENO, &avant) == 0;
        if (terminal) {
            retenirTerminal(&avant);  // a kill now must not leave the terminal raw
            termios brut = avant;
            brut.c_lflag &= ~(ICANON | ECHO | ISIG);  // Ctrl-C too is a key here
            brut.c_cc[VMIN] = 1;
            brut.c_cc[VTIME] = 0;
            ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &brut);  // keys typed before do not count
        }
        std::fputs("Appuyez sur une touche pour continuer...", stdout);
        std::fflush(stdout);
        if (terminal) {
            char touche = 0;
            while (::read(STDIN_FILENO, &touche, 1) < 0 && errno == EINTR) {
            }
            ::tcsetattr(STDIN_FILENO, TCSANOW, &avant);
            retenirTerminal(nullptr);
        } else {
            std::fgetc(stdin);
        }
        std::fputc('\n', stdout);
        std::fflush(stdout);
    }

private:
    std::map<std::string, std::string> auBoutDesLiens_;  // by device path, at its last open
};

}  // namespace

std::unique_ptr<Platform> makeSystemPlatform()
{
    return std::make_unique<LinuxPlatform>();
}

}  // namespace gsicom
