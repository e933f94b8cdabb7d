// The Linux port on a real pseudo-terminal: Windows' read time-outs on poll and the
// steady clock, the exclusive open, and a line that goes away. The process moves into
// a mount namespace of its own whose /dev holds ttyS0 (each test's pty), ptmx and
// pts: "\\.\COM1" reaches the pty through the platform exactly as the program opens it.
// The test holds the pty's master alone, as the simulator does: a descriptor of its own
// on the slave would be another holder of the port.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sched.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <cctype>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "plateforme/linux/adaptateurs.hpp"
#include "plateforme/linux/description.hpp"
#include "plateforme/linux/hors_table.hpp"
#include "plateforme/plateforme.hpp"

namespace gsicom {
namespace {

using Horloge = std::chrono::steady_clock;
using std::chrono::milliseconds;

long long msDepuis(Horloge::time_point debut)
{
    return std::chrono::duration_cast<milliseconds>(Horloge::now() - debut).count();
}

// A tmpfs with ptmx, pts and an empty ttyS0, moved over /dev; once per process.
// ptmx is a node of its own: a bound one would look for its ptys beside the old /dev.
bool preparerDev()
{
    static const bool pret = [] {
        char dossier[] = "/tmp/gsicom-port-test.XXXXXX";
        if (::unshare(CLONE_NEWNS) != 0 ||
            ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
            ::mkdtemp(dossier) == nullptr) {
            return false;
        }
        const std::string d = dossier;
        const bool ok =
            ::mount("gsicom-dev", dossier, "tmpfs", 0, "mode=755") == 0 &&
            ::mknod((d + "/ptmx").c_str(), S_IFCHR | 0666, makedev(5, 2)) == 0 &&
            ::close(::creat((d + "/ttyS0").c_str(), 0600)) == 0 &&
            ::mkdir((d + "/pts").c_str(), 0755) == 0 &&
            ::mount("/dev/pts", (d + "/pts").c_str(), nullptr, MS_BIND | MS_REC, nullptr) == 0 &&
            ::mount(dossier, "/dev", nullptr, MS_MOVE, nullptr) == 0;
        ::rmdir(dossier);
        return ok;
    }();
    return pret;
}

class PortLinux : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!preparerDev()) {
            GTEST_SKIP() << "needs root: the pty is mounted over /dev/ttyS0 in a private /dev";
        }
        ASSERT_NO_FATAL_FAILURE(ouvrirLigne());
    }

    void TearDown() override { fermerLigne(); }

    // A new pty as COM1, and the port opened and set up on it as the program does.
    void ouvrirLigne()
    {
        master_ = ::posix_openpt(O_RDWR | O_NOCTTY);
        ASSERT_GE(master_, 0);
        ASSERT_EQ(::grantpt(master_), 0);
        ASSERT_EQ(::unlockpt(master_), 0);
        const char* esclave = ::ptsname(master_);
        ASSERT_NE(esclave, nullptr);
        esclave_ = esclave;
        ::umount2("/dev/ttyS0", MNT_DETACH);  // the previous test's pty
        ASSERT_EQ(::mount(esclave, "/dev/ttyS0", nullptr, MS_BIND, nullptr), 0);

        ASSERT_NO_FATAL_FAILURE(prendreCom1());
    }

    // COM1 opened and set up as the program does.
    void prendreCom1()
    {
        port_ = ouvrirCom1();
        ASSERT_NE(port_, nullptr);
        LineSettings reglages{};
        ASSERT_TRUE(port_->getCommState(reglages));
        reglages = {19200, 8, 0, 0};
        ASSERT_TRUE(port_->setCommState(reglages));
        ASSERT_TRUE(port_->setCommTimeouts({50, 10, 50, 10, 50}));  // the program's
    }

    void fermerLigne()
    {
        if (ecrivain_.joinable()) ecrivain_.join();
        port_.reset();
        fermerMaster();
    }

    void fermerMaster()
    {
        if (master_ >= 0) ::close(master_);
        master_ = -1;
    }

    // COM1 through the platform, as the program opens it; nullptr when it does not open.
    std::unique_ptr<SerialPort> ouvrirCom1()
    {
        std::string pourquoi;
        return platform_->openPort("\\\\.\\COM1", pourquoi);
    }

    // Another process that takes the port as `prendre` does, then waits to be ended;
    // returned once it holds the port, or -1 when it could not take it.
    static pid_t autreProcessus(const std::function<bool()>& prendre)
    {
        int pret[2];
        if (::pipe(pret) != 0) return -1;
        const pid_t pid = ::fork();
        if (pid == 0) {
            if (!prendre()) ::_exit(1);
            (void)!::write(pret[1], "x", 1);
            ::pause();
            ::_exit(0);
        }
        ::close(pret[1]);
        char octet = 0;
        const bool tient = pid > 0 && ::read(pret[0], &octet, 1) == 1;
        ::close(pret[0]);
        return tient ? pid : -1;
    }

    // A descriptor on the slave, as another program holding the port has one (as root,
    // the exclusive mode does not stop it); -1 on failure. The test closes it.
    int ouvrirEsclave() const
    {
        return ::open(esclave_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    }

    // The slave's exclusive mode, read on a descriptor opened for it and closed at once.
    int exclusif() const
    {
        int mode = -1;
        const int fd = ouvrirEsclave();
        if (fd >= 0) {
            ::ioctl(fd, TIOCGEXCL, &mode);
            ::close(fd);
        }
        return mode;
    }

    // The instrument's side: each text written at its time after now; then the line
    // goes away when `raccrocheMs` is not negative.
    void ecrire(std::vector<std::pair<int, std::string>> envois, int raccrocheMs = -1)
    {
        const Horloge::time_point debut = Horloge::now();
        debutEnvois_ = debut;
        ecrivain_ = std::thread([this, envois = std::move(envois), raccrocheMs, debut] {
            for (const auto& [ms, texte] : envois) {
                std::this_thread::sleep_until(debut + milliseconds(ms));
                ASSERT_EQ(::write(master_, texte.data(), texte.size()), ssize_t(texte.size()));
            }
            if (raccrocheMs >= 0) {
                std::this_thread::sleep_until(debut + milliseconds(raccrocheMs));
                fermerMaster();
            }
        });
    }

    struct Lecture {
        bool ok;
        std::string octets;
        long long ms;
    };

    Lecture lire(std::uint32_t demandes)
    {
        char octets[2048] = {};
        std::uint32_t lus = 0;
        // Counted from the instrument's first send when there is one: its thread may start
        // late on a busy machine, and the read's lower bounds hold from its times.
        const Horloge::time_point debut = debutEnvois_.value_or(Horloge::now());
        const bool ok = port_->readFile(octets, demandes, lus);
        return {ok, std::string(octets, lus), msDepuis(debut)};
    }

    std::unique_ptr<Platform> platform_ = makeSystemPlatform();
    std::unique_ptr<SerialPort> port_;
    int master_ = -1;
    std::string esclave_;  // the pty's slave device
    std::thread ecrivain_;
    std::optional<Horloge::time_point> debutEnvois_;  // the time base of ecrire's sends
};

// Upper bounds are generous: the machine may be busy. Lower bounds are the rule.
TEST_F(PortLinux, ReadEndsOnTheIntervalAfterTheFirstByteOrWhenFull)
{
    const struct {
        const char* cas;
        std::vector<std::pair<int, std::string>> envois;
        std::uint32_t demandes;
        const char* premiere;  // what the first read gives...
        long long minMs, maxMs;
        const char* seconde;  // ...and the next one
    } cas[] = {
        {"bytes 30 ms apart keep one read going",
         {{20, "ab"}, {50, "cd"}, {80, "ef"}, {110, "gh"}},
         100,
         "abcdefgh",
         155,
         400,
         ""},
        {"a gap over 50 ms ends the read", {{20, "ab"}, {150, "cd"}}, 100, "ab", 65, 140, "cd"},
        {"the bytes asked for end it at once", {{20, "abcdefgh"}}, 4, "abcd", 15, 60, "efgh"},
    };
    for (const auto& c : cas) {
        SCOPED_TRACE(c.cas);
        ecrire(c.envois);
        const Lecture l = lire(c.demandes);
        EXPECT_TRUE(l.ok);
        EXPECT_EQ(l.octets, c.premiere);
        EXPECT_GE(l.ms, c.minMs);
        EXPECT_LE(l.ms, c.maxMs);
        ecrivain_.join();
        EXPECT_EQ(lire(4).octets, c.seconde);  // nothing lost or doubled
    }
}

TEST_F(PortLinux, SilentLineEndsTheReadAfterTenMsPerByteAskedPlusFifty)
{
    for (const std::uint32_t demandes : {1u, 10u, 100u}) {
        SCOPED_TRACE(demandes);
        const long long attendu = 10 * demandes + 50;
        const Lecture l = lire(demandes);
        EXPECT_TRUE(l.ok);  // a time-out is a normal, empty reply
        EXPECT_EQ(l.octets, "");
        EXPECT_GE(l.ms, attendu);
        EXPECT_LE(l.ms, attendu + 250);
    }
    EXPECT_FALSE(port_->vanished());
}

// What the last program left in the line is not kept: RTS/CTS would stall every write
// on a three-wire cable, and XON/XOFF would stop the line at an instrument's 0x13 byte.
TEST_F(PortLinux, TheLineIsSetWholeWhateverTheLastProgramLeftInIt)
{
    port_.reset();
    termios laisse{};
    const int fd = ouvrirEsclave();
    ASSERT_EQ(::tcgetattr(fd, &laisse), 0);
    laisse.c_cflag |= CRTSCTS;
    laisse.c_iflag |= IXON | IXOFF | IXANY;
    ASSERT_EQ(::tcsetattr(fd, TCSANOW, &laisse), 0);
    ::close(fd);
    ASSERT_NO_FATAL_FAILURE(prendreCom1());

    termios vu{};
    const int apres = ouvrirEsclave();
    ASSERT_EQ(::tcgetattr(apres, &vu), 0);
    ::close(apres);
    EXPECT_EQ(vu.c_cflag & CRTSCTS, 0u);
    EXPECT_EQ(vu.c_iflag & (IXON | IXOFF | IXANY), 0u);
}

TEST_F(PortLinux, SecondOpenFailsWhileTheFirstHoldsThePort)
{
    EXPECT_EQ(ouvrirCom1(), nullptr);
    EXPECT_EQ(exclusif(), 1);
    // The master keeps the tty, and with it the exclusive mode, after the port's
    // last close: the mode must not outlive the port, or a user other than root (who
    // is not held back by flock alone) could never open it again.
    port_.reset();
    EXPECT_EQ(exclusif(), 0);
    EXPECT_NE(ouvrirCom1(), nullptr);
}

// A run ended by Ctrl-C, a hang-up or a kill leaves no exclusive mode behind: the
// master keeps the tty, and the port would look held to every later run.
TEST_F(PortLinux, ARunEndedByASignalLeavesNoExclusiveModeBehind)
{
    port_.reset();
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        SCOPED_TRACE(signal);
        std::unique_ptr<Platform> plateforme;
        std::unique_ptr<SerialPort> port;
        const pid_t run = autreProcessus([&] {  // a run of gsicom with its port open
            plateforme = makeSystemPlatform();
            std::string pourquoi;
            port = plateforme->openPort("\\\\.\\COM1", pourquoi);
            return port != nullptr;
        });
        ASSERT_GT(run, 0);
        EXPECT_EQ(exclusif(), 1);
        ::kill(run, signal);
        int statut = 0;
        ASSERT_EQ(::waitpid(run, &statut, 0), run);
        EXPECT_TRUE(WIFSIGNALED(statut) && WTERMSIG(statut) == signal);  // its end is the same
        EXPECT_EQ(exclusif(), 0);
    }
}

// Ctrl-C at the final pause is the key it waits for: the run ends with its own code.
// A kill or a hang-up there ends the run as it would, but never leaves the terminal
// in raw mode: it is given back with its echo either way.
TEST_F(PortLinux, ThePauseGivesTheTerminalBackOnAKeyOrASignal)
{
    for (const int signal : {0, SIGTERM, SIGHUP, SIGINT}) {  // 0: Ctrl-C typed
        SCOPED_TRACE(signal);
        const int terminal = ::posix_openpt(O_RDWR | O_NOCTTY);
        ASSERT_GE(terminal, 0);
        ASSERT_EQ(::grantpt(terminal), 0);
        ASSERT_EQ(::unlockpt(terminal), 0);
        const std::string clavier = ::ptsname(terminal);
        const pid_t run = ::fork();
        ASSERT_GE(run, 0);
        if (run == 0) {  // the end of a run on that terminal, its controlling one
            ::setsid();
            const int fd = ::open(clavier.c_str(), O_RDWR);
            if (fd < 0 || ::dup2(fd, STDIN_FILENO) < 0 || ::dup2(fd, STDOUT_FILENO) < 0) {
                ::_exit(1);
            }
            makeSystemPlatform()->pause();
            ::_exit(7);
        }
        char vu[256];
        std::string ecran;
        while (ecran.find("continuer") == std::string::npos) {  // the prompt, then the end
            const ssize_t n = ::read(terminal, vu, sizeof vu);
            ASSERT_GT(n, 0);
            ecran.append(vu, std::size_t(n));
        }
        if (signal == 0) {
            ASSERT_EQ(::write(terminal, "\x03", 1), 1);
        } else {
            ::kill(run, signal);
        }
        int statut = 0;
        ASSERT_EQ(::waitpid(run, &statut, 0), run);
        if (signal == 0) {
            EXPECT_TRUE(WIFEXITED(statut) && WEXITSTATUS(statut) == 7);
        } else {
            EXPECT_TRUE(WIFSIGNALED(statut) && WTERMSIG(statut) == signal);
        }
        termios apres{};
        ASSERT_EQ(::tcgetattr(terminal, &apres), 0);
        EXPECT_TRUE(apres.c_lflag & ECHO);
        EXPECT_TRUE(apres.c_lflag & ICANON);
        ::close(terminal);
    }
}

// Another program holds the port, however it holds it: gsicom, root here, neither
// lists nor opens it, says who holds it, and leaves the holder's exclusive mode set.
// A holder killed after setting the mode leaves it on the pty, whose master is open.
TEST_F(PortLinux, APortAnotherProcessHoldsIsRefusedAndItsExclusiveModeKept)
{
    enum class Prise { rien, exclusif, flock, exclusifPuisFin };
    const struct {
        const char* cas;
        Prise prise;
        const char* nom = nullptr;  // the holder's command, when it names itself
    } cas[] = {
        {"it takes no lock, as cat or a terminal program", Prise::rien},
        {"it set the exclusive mode, which root is not held back by", Prise::exclusif},
        {"it holds the flock", Prise::flock},
        {"it set the exclusive mode and was killed", Prise::exclusifPuisFin},
        {"ModemManager probes it: a pty has no USB IDs to fill the rule in", Prise::rien,
         "ModemManager"},
    };
    port_.reset();
    for (const auto& c : cas) {
        SCOPED_TRACE(c.cas);
        const bool exclusive = c.prise == Prise::exclusif || c.prise == Prise::exclusifPuisFin;
        pid_t detenteur = autreProcessus([&] {
            if (c.nom != nullptr) ::prctl(PR_SET_NAME, c.nom);
            const int fd = ouvrirEsclave();
            return fd >= 0 && (!exclusive || ::ioctl(fd, TIOCEXCL) == 0) &&
                   (c.prise != Prise::flock || ::flock(fd, LOCK_EX) == 0);
        });
        ASSERT_GT(detenteur, 0);
        std::string attendu =
            "COM1 (/dev/ttyS0) : occupe par un autre programme (port_linux_test, "
            "pid " +
            std::to_string(detenteur) + ") : fermez-le, puis relancez gsicom.";
        if (c.nom != nullptr) {
            attendu = "COM1 (/dev/ttyS0) : ModemManager (pid " + std::to_string(detenteur) +
                      "), le service des modems, le sonde : attendez quelques secondes, puis "
                      "relancez gsicom ; s il le reprend, faites-lui ignorer ce materiel : la "
                      "ligne ATTRS{idVendor}==\"VVVV\", ATTRS{idProduct}==\"PPPP\", "
                      "ENV{ID_MM_DEVICE_IGNORE}=\"1\" (VVVV:PPPP, ses identifiants USB, que lsusb "
                      "donne) dans /etc/udev/rules.d/99-gsicom.rules, puis sudo udevadm control "
                      "--reload, et debranchez et rebranchez-le ; en dernier recours, sudo "
                      "systemctl stop ModemManager (le modem mobile d un portable en a besoin : "
                      "sudo systemctl start ModemManager le rend).";
        }
        if (c.prise == Prise::exclusifPuisFin) {
            ::kill(detenteur, SIGKILL);
            ::waitpid(detenteur, nullptr, 0);
            detenteur = 0;
            attendu =
                "COM1 (/dev/ttyS0) : pris en exclusif par un programme introuvable, sans doute "
                "termine : relancez le simulateur (gsicom-sim) ou le programme qui fournit ce "
                "pseudo-terminal, puis gsicom.";
        }

        std::string pourquoi;
        EXPECT_EQ(platform_->openPort("\\\\.\\COM1", pourquoi), nullptr);
        EXPECT_EQ(pourquoi, attendu);
        EXPECT_EQ(exclusif(), exclusive ? 1 : 0);
        if (detenteur != 0) {
            ::kill(detenteur, SIGKILL);
            ::waitpid(detenteur, nullptr, 0);
        }
        if (exclusive) {  // the pty keeps it after its holder: ours to clear
            const int fd = ouvrirEsclave();
            ::ioctl(fd, TIOCNXCL);
            ::close(fd);
        }
        EXPECT_NE(ouvrirCom1(), nullptr);  // free again
    }
}

TEST_F(PortLinux, HangUpEndsTheReadAtOnceKeepingWhatCame)
{
    const struct {
        const char* cas;
        std::vector<std::pair<int, std::string>> envois;
        const char* octets;
    } cas[] = {
        {"nothing came", {}, ""},
        {"a line came first", {{20, "?\r\n"}}, "?\r\n"},
    };
    for (const auto& c : cas) {
        SCOPED_TRACE(c.cas);
        if (master_ < 0) {  // the last case's line has gone: a new one
            fermerLigne();
            ASSERT_NO_FATAL_FAILURE(ouvrirLigne());
        }
        ecrire(c.envois, 120);
        const Lecture l = lire(2047);  // 20520 ms if the hang-up went unseen
        EXPECT_EQ(l.octets, c.octets);
        EXPECT_LT(l.ms, 1000);
        ecrivain_.join();
        std::uint32_t ecrits = 0;
        const Horloge::time_point debut = Horloge::now();
        EXPECT_FALSE(port_->writeFile("c\r\n", 3, ecrits));
        EXPECT_LT(msDepuis(debut), 1000);
        EXPECT_TRUE(port_->vanished());  // told as such, not as a silent instrument
    }
}

// Whether the instrument may own the port is judged on the device its links led to
// when it was opened: udev removes a /dev/serial/by-id link, or a rule's SYMLINK+=,
// with the device, and the chain then ends at the link's own name.
TEST_F(PortLinux, TheInstrumentIsNamedThoughItsLinksVanishWithIt)
{
    const struct {
        const char* cas;
        std::vector<std::pair<std::string, std::string>> liens;  // the first is ttyS0's
        const char* peripherique;
        bool instrument;
    } cas[] = {
        {"by-id",
         {{"/dev/ttyS0", "/dev/serial/by-id/usb-Leica_TS16-if00"},
          {"/dev/serial/by-id/usb-Leica_TS16-if00", "../../ttyACM0"}},
         "/dev/ttyACM0",
         true},
        {"a udev rule's link",
         {{"/dev/ttyS0", "/dev/leica"}, {"/dev/leica", "ttyACM0"}},
         "/dev/ttyACM0",
         true},
        {"an adapter's",
         {{"/dev/ttyS0", "/dev/serial/by-id/usb-FTDI-if00-port0"},
          {"/dev/serial/by-id/usb-FTDI-if00-port0", "../../ttyUSB0"}},
         "/dev/ttyUSB0",
         false},
    };
    port_.reset();
    ASSERT_EQ(::umount2("/dev/ttyS0", MNT_DETACH), 0);
    ASSERT_EQ(::unlink("/dev/ttyS0"), 0);
    std::filesystem::create_directories("/dev/serial/by-id");
    for (const auto& c : cas) {
        SCOPED_TRACE(c.cas);
        ASSERT_EQ(::close(::creat(c.peripherique, 0600)), 0);
        ASSERT_EQ(::mount(esclave_.c_str(), c.peripherique, nullptr, MS_BIND, nullptr), 0);
        for (const auto& [lien, cible] : c.liens) {
            ASSERT_EQ(::symlink(cible.c_str(), lien.c_str()), 0);
        }
        port_ = ouvrirCom1();
        ASSERT_NE(port_, nullptr);
        ::umount2(c.peripherique, MNT_DETACH);  // the device gone, and its links with it
        ::unlink(c.peripherique);
        ::unlink(c.liens[1].first.c_str());
        EXPECT_EQ(platform_->instrumentMayOwnPort("\\\\.\\COM1"), c.instrument);
        port_.reset();
        ::unlink("/dev/ttyS0");
    }
    ASSERT_EQ(::close(::creat("/dev/ttyS0", 0600)), 0);  // as the other tests have it
}

// A device beyond COM30 is never opened, only named with a name of the table that
// nothing holds, a different one for each; once a name of the table leads to it, it
// is in reach and said no more. What is a serial port, /sys tells (here a tree of the
// test's own): a tty with a device behind it, whatever its name, but an 8250 slot with
// no UART in it; a Bluetooth link by its name.
TEST(PortsHorsTable, EachGetsAFreeNameOfTheTableUntilOneLeadsToIt)
{
    if (!preparerDev()) {
        GTEST_SKIP() << "needs root: the devices are made in a private /dev";
    }
    struct Noeud {
        std::string nom;
        std::string cible = "";   // a link's target, or "" (a device)
        const char* sys = "usb";  // its tty in /sys: nullptr none, "" no device behind,
                                  // "usb" a device, else a device and this UART type
    };
    const struct {
        const char* cas;
        std::vector<Noeud> noeuds;
        std::vector<std::string> liens;  // the link each line proposes
        bool sansSys = false;            // no /sys at all: the names alone tell
    } cas[] = {
        {"the remedy applied", {{"ttyUSB12"}, {"ttyUSB0", "/dev/ttyUSB12"}}, {}},
        {"the UARTs' spare names first, past a dangling link",
         {{"ttyUSB13"},
          {"ttyACM10"},
          {"rfcomm0", "", nullptr},
          {"ttyUSB0"},
          {"ttyS4", "/dev/absent"}},
         {"/dev/rfcomm0 /dev/ttyS5", "/dev/ttyACM10 /dev/ttyS6", "/dev/ttyUSB13 /dev/ttyS7"}},
        {"any name with a device behind, but no empty UART slot",
         {{"ttySC0", "", "4"},
          {"ttyCH343USB0"},
          {"ttyS13", "", "4"},
          {"ttyS11", "", "0"},
          {"ttyS12", "", "usb"},
          {"ttyAMA0", "", "0"},
          {"ttyV0", "", ""},
          {"ttyUSB14", "", nullptr}},
         {"/dev/ttyCH343USB0 /dev/ttyS4", "/dev/ttyS13 /dev/ttyS5", "/dev/ttySC0 /dev/ttyS6"}},
        {"no /sys: the known families' names, never a ttyS",
         {{"ttyUSB12", "", nullptr},
          {"ttyS14", "", nullptr},
          {"ttyV0", "", nullptr},
          {"ttyAMA1", "", nullptr}},
         {"/dev/ttyAMA1 /dev/ttyS4", "/dev/ttyUSB12 /dev/ttyS5"},
         true},
    };
    char sys[] = "/tmp/gsicom-sys-test.XXXXXX";
    ASSERT_NE(::mkdtemp(sys), nullptr);
    const std::filesystem::path classe = std::filesystem::path(sys) / "class/tty";
    for (const auto& c : cas) {
        SCOPED_TRACE(c.cas);
        unsigned mineur = 100;
        if (!c.sansSys) {
            std::filesystem::create_directories(classe);
        }
        for (const Noeud& n : c.noeuds) {
            const std::string chemin = "/dev/" + n.nom;
            ASSERT_EQ(n.cible.empty()
                          ? ::mknod(chemin.c_str(), S_IFCHR | 0660, makedev(188, mineur++))
                          : ::symlink(n.cible.c_str(), chemin.c_str()),
                      0);
            if (n.sys == nullptr) {
                continue;
            }
            const std::filesystem::path tty = classe / n.nom;
            std::filesystem::create_directories(*n.sys != '\0' ? tty / "device" : tty);
            if (std::isdigit(static_cast<unsigned char>(*n.sys))) {
                std::ofstream(tty / "type") << n.sys << "\n";
            }
        }
        const std::vector<std::string> lignes = portsHorsTableLinux(sys);
        ASSERT_EQ(lignes.size(), c.liens.size());
        for (std::size_t i = 0; i < lignes.size(); ++i) {
            const std::string peripherique = c.liens[i].substr(0, c.liens[i].find(' '));
            EXPECT_EQ(lignes[i].rfind(peripherique + " existe, mais gsicom", 0), 0u) << lignes[i];
            EXPECT_NE(lignes[i].find(" : sudo ln -s " + c.liens[i] + " ("), std::string::npos)
                << lignes[i];
        }
        for (const Noeud& n : c.noeuds) {
            ::unlink(("/dev/" + n.nom).c_str());
        }
        std::filesystem::remove_all(classe);
    }
    std::filesystem::remove_all(sys);
}

// An FTDI adapter in a /sys, a /proc and a module folder of the test's own, in each
// state that gives no port, and one that works; then other devices in its place (by
// their IDs and classes), of bridge makers and not. Each entry: "path" a folder,
// "path=text" a file, "path>target" a link; "i/" the interface's folder.
TEST(AdaptateursSansPort, EachStateSaysWhyAndWhatToDo)
{
    using namespace std::string_literals;
    const auto debutDe = [](const std::string& ids) {
        return "Adaptateur USB-serie \"QEMU USB SERIAL\" (" + ids + ") ne donne aucun port : ";
    };
    const std::string debut = debutDe("0403:6001");
    const std::string ftdi = "sys/bus/usb/drivers/ftdi_sio";
    const std::string alias =
        "6.1.0-t/modules.alias=alias usb:v0403p6001d*dc*dsc*dp*ic*isc*ip*in* ftdi_sio";
    const std::string dep = "6.1.0-t/modules.dep=kernel/drivers/usb/serial/ftdi_sio.ko: x";
    const std::string rebrancher = "debranchez et rebranchez l adaptateur, puis relancez gsicom.";
    const std::string ensuite = "puis debranchez et rebranchez l adaptateur, et relancez gsicom.";
    const std::vector<std::string> cdc = {
        "i/bInterfaceClass=02", "i/bInterfaceSubClass=02",
        "i/modalias=usb:v0403p6001d0400dc02dsc00dp00ic02isc02ip01in00"};
    const std::string refusAppareil =
        "le systeme refuse ce peripherique (autorisation USB : USBGuard ou une regle) : "
        "autorisez-le (sudo usbguard list-devices, puis sudo usbguard allow-device et son "
        "numero ; sans USBGuard : echo 1 | sudo tee /sys/bus/usb/devices/1-1/authorized), puis "
        "relancez gsicom.";
    const std::string ftdiAlias = "usb:v0403p6001d*dc*dsc*dp*ic*isc*ip*in*";
    const std::string integre = "6.1.0-t/modules.builtin=kernel/drivers/usb/serial/ftdi_sio.ko";
    const auto avec = [](std::vector<std::string> a, const std::vector<std::string>& b) {
        a.insert(a.end(), b.begin(), b.end());
        return a;
    };
    // its IDs as /sys writes them, in lower case; the modalias has them in upper case
    const auto produit = [](const char* vid, const char* pid, const char* classe) {
        const auto hex = [](std::string h) {
            for (char& l : h) {
                l = static_cast<char>(std::toupper(static_cast<unsigned char>(l)));
            }
            return h;
        };
        return std::vector<std::string>{"sys/bus/usb/devices/1-1/idVendor="s + vid,
                                        "sys/bus/usb/devices/1-1/idProduct="s + pid,
                                        "i/bInterfaceClass="s + classe,
                                        "i/modalias=usb:v" + hex(vid) + "p" + hex(pid) +
                                            "d0100dc00dsc00dp00ic" + hex(classe) + "isc00ip00in00"};
    };
    const struct {
        std::vector<std::string> entrees;
        std::string ligne;
        bool peutEtre = false;  // a device that may be no adapter
    } cas[] = {
        {{"i/driver>" + ftdi, ftdi + "/module>sys/module/ftdi_sio",
          "sys/module/usbserial/holders/ftdi_sio", "i/ttyUSB0"},
         ""},
        {{"i/driver>usbfs", "proc/57/comm=brltty", "proc/57/fd/4>/dev/bus/usb/001/002"},
         debut +
             "brltty (pid 57) le tient par usbfs : brltty, le service des afficheurs braille, "
             "prend les adaptateurs USB-serie : retirez-le (sudo apt remove brltty), " +
             ensuite},
        {{"i/driver>usbfs", "proc/57/comm=brltty", "proc/58/comm=minicom"},
         debut +
             "un autre programme le tient par usbfs, sans doute brltty (pid 57) : brltty, le "
             "service des afficheurs braille, prend les adaptateurs USB-serie : retirez-le "
             "(sudo apt remove brltty), " +
             ensuite},
        {{"i/driver>usbfs", "proc/58/comm=minicom", "proc/58/fd/3>/dev/bus/usb/001/002"},
         debut + "minicom (pid 58) le tient par usbfs : fermez-le, " + ensuite},
        {{"i/driver>usbfs"},
         debut + "un autre programme le tient par usbfs" +
             (::geteuid() != 0 ? " (gsicom le nomme s il est lance par sudo)" : "") +
             " : fermez-le, " + ensuite},
        {{alias, dep},
         debut + "aucun pilote ne l a pris : son module ftdi_sio n est pas charge : sudo modprobe "
                 "ftdi_sio, puis relancez gsicom."},
        {{alias, dep, "sys/module/ftdi_sio"},
         debut +
             "aucun pilote ne l a pris, bien que son module ftdi_sio soit charge : " + rebrancher},
        // known to no module: FTDI's own driver takes it by its IDs
        {{"6.1.0-t/modules.alias=alias usb:v10C4pEA60d*dc*dsc*dp*ic*isc*ip*in* cp210x", dep},
         debut + "aucun module de ce noyau (6.1.0-t) ne connait ce produit : donnez-le au pilote "
                 "ftdi_sio (jusqu au redemarrage) : sudo modprobe ftdi_sio, puis echo 0403 6001 "
                 "| sudo tee /sys/bus/usb-serial/drivers/ftdi_sio/new_id, et relancez gsicom."},
        {avec(produit("0403", "6099", "ff"), {alias, dep, "sys/module/ftdi_sio"}),
         "Peripherique USB de FTDI (peut-etre pas un adaptateur USB-serie) \"QEMU USB SERIAL\" "
         "(0403:6099) ne donne aucun port : aucun module de ce noyau (6.1.0-t) ne connait ce "
         "produit : donnez-le au pilote ftdi_sio (jusqu au redemarrage) : echo 0403 6099 | sudo "
         "tee /sys/bus/usb-serial/drivers/ftdi_sio/new_id, et relancez gsicom.",
         true},
        {avec(produit("1a86", "7523", "ff"), {alias, dep}),
         debutDe("1a86:7523") + "aucun module de ce noyau (6.1.0-t) ne connait cette puce : "
                                "installez le pilote du fabricant (WCH) ou un noyau plus recent, "
                                "puis relancez gsicom."},
        // a bridge maker's other devices: an FT4222H (SPI, I2C), a CH341A programmer, or
        // an FTDI product of another class; nothing said
        {avec(produit("0403", "601c", "ff"), {alias, dep}), ""},
        {avec(produit("1a86", "5512", "ff"), {alias, dep}), ""},
        {avec(produit("0403", "6099", "03"), {alias, dep}), ""},
        {{},  // no module folder, as in a container
         debut + "aucun pilote ne l a pris : " + rebrancher},
        {{"6.2.0-n/modules.dep=kernel/drivers/usb/serial/ftdi_sio.ko: x"},
         debut + "aucun pilote ne l a pris : le noyau a ete mis a jour (6.2.0-n) et les modules "
                 "du noyau en marche (6.1.0-t) ne sont plus sur le disque : redemarrez "
                 "l ordinateur, puis relancez gsicom."},
        // built into the kernel: its aliases where depmod puts them, or where the kernel
        // does; cdc-acm's by the interface's class where neither lists them
        {{integre, "6.1.0-t/modules.builtin.modinfo=usbcore.x=1\0ftdi_sio.alias="s + ftdiAlias +
                       "\0ftdi_sio.license=GPL"s},
         debut + "aucun pilote ne l a pris, bien que son pilote ftdi_sio soit dans le noyau : " +
             rebrancher},
        {{integre, "6.1.0-t/modules.builtin.alias=alias " + ftdiAlias + " ftdi_sio"},
         debut + "aucun pilote ne l a pris, bien que son pilote ftdi_sio soit dans le noyau : " +
             rebrancher},
        {avec(cdc, {dep, "6.1.0-t/modules.builtin=kernel/drivers/usb/class/cdc-acm.ko"}),
         debut + "aucun pilote ne l a pris, bien que son pilote cdc_acm soit dans le noyau : " +
             rebrancher},
        // the Exar XR21V1410: in cdc-acm's ignore list, which its alias does not show
        {avec(avec(produit("04e2", "1410", "02"), {"i/bInterfaceSubClass=02"}),
              {"6.1.0-t/modules.alias=alias usb:v04E2p1410d*dc*dsc*dp*ic*isc*ip*in* cdc_acm\n"
               "alias usb:v04E2p1410d*dc*dsc*dp*ic02isc*ip*in* xr_serial",
               "6.1.0-t/modules.dep=kernel/drivers/usb/class/cdc-acm.ko:\n"
               "kernel/drivers/usb/serial/xr_serial.ko: x"}),
         debutDe("04e2:1410") + "aucun pilote ne l a pris : son module xr_serial n est pas "
                                "charge : sudo modprobe xr_serial, puis relancez gsicom."},
        // refused by USB authorization: a bridge or a CDC device; not another device
        {{"sys/bus/usb/devices/1-1/authorized=0", alias, dep}, debut + refusAppareil},
        {avec(produit("0403", "601c", "ff"),
              {"sys/bus/usb/devices/1-1/authorized=0", "sys/bus/usb/devices/1-1/bDeviceClass=02"}),
         debutDe("0403:601c") + refusAppareil},
        {avec(produit("0403", "601c", "ff"), {"sys/bus/usb/devices/1-1/authorized=0"}), ""},
        {{"i/authorized=0", alias, dep},
         debut + "le systeme refuse son interface 1-1:1.0 (autorisation USB) : echo 1 | sudo tee "
                 "/sys/bus/usb/devices/1-1:1.0/authorized, puis echo 1-1:1.0 | sudo tee "
                 "/sys/bus/usb/drivers_probe, et relancez gsicom."},
        {{"i/driver>" + ftdi, ftdi + "/module>sys/module/ftdi_sio",
          "sys/module/usbserial/holders/ftdi_sio"},
         debut + "son pilote ftdi_sio l a pris sans faire de port : " + rebrancher},
    };
    for (const auto& c : cas) {
        SCOPED_TRACE(c.ligne.empty() && !c.entrees.empty() ? c.entrees.front() : c.ligne);
        char dossier[] = "/tmp/gsicom-usb-test.XXXXXX";
        ASSERT_NE(::mkdtemp(dossier), nullptr);
        const std::filesystem::path racine = dossier;
        std::vector<std::string> entrees = {
            "sys/bus/usb/devices/1-1/idVendor=0403",
            "sys/bus/usb/devices/1-1/idProduct=6001",
            "sys/bus/usb/devices/1-1/product=QEMU USB SERIAL",
            "sys/bus/usb/devices/1-1/busnum=1",
            "sys/bus/usb/devices/1-1/devnum=2",
            "i/bInterfaceClass=ff",
            "i/modalias=usb:v0403p6001d0400dc00dsc00dp00icFFiscFFipFFin00",
            "proc/1/fd"};
        entrees.insert(entrees.end(), c.entrees.begin(), c.entrees.end());
        for (std::string e : entrees) {
            if (e.rfind("i/", 0) == 0) {
                e = "sys/bus/usb/devices/1-1:1.0/" + e.substr(2);
            }
            const std::size_t egal = e.find('='), lien = e.find('>');
            const std::filesystem::path chemin = racine / e.substr(0, std::min(egal, lien));
            std::filesystem::create_directories(
                egal == std::string::npos && lien == std::string::npos ? chemin
                                                                       : chemin.parent_path());
            if (egal != std::string::npos) {
                std::ofstream(chemin) << e.substr(egal + 1) << "\n";
            } else if (lien != std::string::npos) {
                const std::string cible = e.substr(lien + 1);
                std::filesystem::create_symlink(
                    cible[0] == '/' ? std::filesystem::path(cible) : racine / cible, chemin);
            }
        }
        std::filesystem::create_directories(racine / "sys/bus/usb/devices/1-1:1.0");
        const LignesSansPort lignes =
            adaptateursSansPortLinux(racine / "sys", racine / "6.1.0-t", racine / "proc");
        const std::vector<std::string> attendu =
            c.ligne.empty() ? std::vector<std::string>{} : std::vector<std::string>{c.ligne};
        EXPECT_EQ(lignes.adaptateurs, c.peutEtre ? std::vector<std::string>{} : attendu);
        EXPECT_EQ(lignes.peutEtre, c.peutEtre ? attendu : std::vector<std::string>{});
        std::filesystem::remove_all(racine);
    }
}

// What each port of the table is, from a /sys and a /dev of the test's own: nodes made
// with their device numbers (root), the /sys of each device as the kernel lays it out.
// Each entry of /sys: "path" a folder, "path=text" a file, "path>target" a link.
TEST(DescriptionDesPorts, EachPortIsSaidByWhatSysTellsOfItsDevice)
{
    const struct {
        const char* noeud;  // under /dev; "name>target" a link
        unsigned majeur, mineur;
        std::vector<std::string> sys;
        const char* attendu;  // "COMn kind name usbId"; "" nothing said
    } cas[] = {
        {"ttyS0",
         4,
         64,
         {"dev/char/4:64>devices/pnp0/00:05/tty/ttyS0", "devices/pnp0/00:05/tty/ttyS0/type=4",
          "devices/pnp0/00:05/tty/ttyS0/device>devices/pnp0/00:05"},
         "COM1 uart 16550A "},
        {"ttyS1",
         4,
         65,
         {"dev/char/4:65>devices/platform/serial8250/tty/ttyS1",
          "devices/platform/serial8250/tty/ttyS1/type=0"},
         ""},
        {"ttyS2",
         4,
         66,
         {"dev/char/4:66>devices/platform/serial8250/tty/ttyS2",
          "devices/platform/serial8250/tty/ttyS2/type=99"},
         "COM3 uart  "},
        {"ttyS3", 136, 7, {}, ""},  // a pty bound there: no device in /sys
        {"ttyS4>rfcomm0",
         216,
         0,
         {"dev/char/216:0>devices/virtual/tty/rfcomm0", "devices/virtual/tty/rfcomm0"},
         "COM5 bluetooth  "},
        {"ttyUSB0",
         188,
         0,
         {"dev/char/188:0>devices/usb1/1-1/1-1:1.0/ttyUSB0/tty/ttyUSB0",
          "devices/usb1/1-1/1-1:1.0/ttyUSB0/tty/ttyUSB0/device>devices/usb1/1-1/1-1:1.0/ttyUSB0",
          "devices/usb1/1-1/idVendor=0403", "devices/usb1/1-1/idProduct=6001",
          "devices/usb1/1-1/product=FT232R USB UART"},
         "COM11 usb FT232R USB UART 0403:6001"},
        {"ttyACM0",
         166,
         0,
         {"dev/char/166:0>devices/usb1/1-2/1-2:1.0/tty/ttyACM0",
          "devices/usb1/1-2/1-2:1.0/tty/ttyACM0/device>devices/usb1/1-2/1-2:1.0",
          "devices/usb1/1-2/idVendor=0525", "devices/usb1/1-2/idProduct=a4a7"},
         "COM21 usb  0525:a4a7"},
    };
    if (::geteuid() != 0) {
        GTEST_SKIP() << "needs root: the nodes are made with mknod";
    }
    char dossier[] = "/tmp/gsicom-description-test.XXXXXX";
    ASSERT_NE(::mkdtemp(dossier), nullptr);
    const std::filesystem::path racine = dossier;
    std::filesystem::create_directories(racine / "dev");
    std::vector<std::string> attendus;
    for (const auto& c : cas) {
        std::string noeud = c.noeud;
        if (const std::size_t lien = noeud.find('>'); lien != std::string::npos) {
            std::filesystem::create_symlink(noeud.substr(lien + 1),
                                            racine / "dev" / noeud.substr(0, lien));
            noeud = noeud.substr(lien + 1);
        }
        ASSERT_EQ(
            ::mknod((racine / "dev" / noeud).c_str(), S_IFCHR | 0660, makedev(c.majeur, c.mineur)),
            0);
        for (const std::string& e : c.sys) {
            const std::size_t egal = e.find('='), lien = e.find('>');
            const std::filesystem::path chemin = racine / "sys" / e.substr(0, std::min(egal, lien));
            std::filesystem::create_directories(egal == lien ? chemin : chemin.parent_path());
            if (egal != std::string::npos) {
                std::ofstream(chemin) << e.substr(egal + 1) << "\n";
            } else if (lien != std::string::npos) {
                std::filesystem::create_symlink(racine / "sys" / e.substr(lien + 1), chemin);
            }
        }
        if (*c.attendu != '\0') attendus.push_back(c.attendu);
    }
    std::vector<std::string> decrits;
    for (const PortDescription& p : decrirePortsLinux(racine / "sys", racine / "dev")) {
        const char* genre = p.kind == PortKind::usb         ? "usb"
                            : p.kind == PortKind::uart      ? "uart"
                            : p.kind == PortKind::bluetooth ? "bluetooth"
                                                            : "?";
        decrits.push_back("COM" + std::to_string(p.number) + " " + genre + " " + p.name + " " +
                          p.usbId);
    }
    EXPECT_EQ(decrits, attendus);
    // No /sys: only the Bluetooth link, by the name its node leads to.
    const std::vector<PortDescription> sansSys =
        decrirePortsLinux(racine / "absent", racine / "dev");
    ASSERT_EQ(sansSys.size(), 1u);
    EXPECT_EQ(sansSys[0].number, 5);
    EXPECT_EQ(sansSys[0].kind, PortKind::bluetooth);
    std::filesystem::remove_all(racine);
}

}  // namespace
}  // namespace gsicom
