#include "plateforme/linux/hors_table.hpp"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <memory>
#include <set>
#include <tuple>

#include "plateforme/linux/uart.hpp"
#include "serial/chemin_com.hpp"

namespace gsicom {

namespace {

struct Peripherique {
    std::string famille;  // its name without its number (ttyUSB, ttySC, ttyCH343USB...)
    std::string numero;   // its digits
    std::string nom() const { return famille + numero; }
};

Peripherique lireNom(const std::string& nom)
{
    const std::size_t fin = nom.find_last_not_of("0123456789") + 1;  // 0 when all digits
    return {nom.substr(0, fin), nom.substr(fin)};
}

// ttyUSB2 before ttyUSB10.
bool avant(const Peripherique& a, const Peripherique& b)
{
    return std::make_tuple(a.famille, a.numero.size(), a.numero) <
           std::make_tuple(b.famille, b.numero.size(), b.numero);
}

// Without /sys (a chroot, a container), the names of the serial devices of PCs and
// boards: USB adapters (FTDI, Prolific, CH340, CP210x...; WCH's and Exar's own drivers),
// USB modems and instruments with a CDC port, ARM boards' UARTs (AMBA, Samsung, i.MX,
// OMAP, Tegra, Intel, Xilinx, Qualcomm, STM32, Amlogic), Exar's UARTs. Not ttyS: every
// PC has slots of that name with no UART behind, which only /sys tells apart.
constexpr const char* kFamillesSansSys[] = {
    "ttyUSB", "ttyACM", "ttyAMA", "ttySAC", "ttymxc", "ttyLP", "ttyO",     "ttyTHS",     "ttyHS",
    "ttyMFD", "ttyPS",  "ttyMSM", "ttySTM", "ttyAML", "ttyXR", "ttyXRUSB", "ttyCH341USB"};

bool familleSerie(const Peripherique& p)
{
    return !p.numero.empty() && std::find(std::begin(kFamillesSansSys), std::end(kFamillesSansSys),
                                          p.famille) != std::end(kFamillesSansSys);
}

// A serial port, as the /sys mounted at `sys` tells of its tty: a device behind it (a
// UART, a USB adapter or modem, whatever its driver), and a UART whose type is known
// where the driver says one (every PC has ttyS slots, most of them with no UART behind;
// where /sys cannot tell, a ttyS is taken for such a slot). A Bluetooth link (rfcomm)
// has a device only while connected, and opening it connects it: its name suffices.
bool portSerie(const std::string& sys, bool sysLisible, const Peripherique& p)
{
    if (p.famille == "rfcomm" && !p.numero.empty()) {
        return true;
    }
    if (!sysLisible) {
        return familleSerie(p);
    }
    struct stat s {};
    if (::stat((sys + "/class/tty/" + p.nom() + "/device").c_str(), &s) != 0) {
        return false;
    }
    const std::string type = typeUart(sys, p.nom());
    return type != "0" && (!nomDeSlotUart(p.nom()) || !type.empty());
}

std::string cheminDuPort(int numero)
{
    return cheminLinux(cheminPort(numero).c_str());
}

// Whether this device's number is given by the kernel at each plug: the lowest free.
bool numeroteALaBranche(const std::string& famille)
{
    return famille == "ttyUSB" || famille == "ttyACM";
}

// A name of the table that nothing holds, not even a link left behind, and that the
// kernel is least likely to give a device later (a link would then stand in its
// node's way): the UARTs' names past the four slots every PC has (ttyS4 to ttyS9),
// then theirs, then the USB names from the top down. 0 when none is free.
int numeroLibre(std::set<int>& proposes)
{
    static constexpr int kOrdre[] = {5,  6,  7,  8,  9,  10, 1,  2,  3,  4,  20, 19, 18, 17, 16,
                                     15, 14, 13, 12, 11, 30, 29, 28, 27, 26, 25, 24, 23, 22, 21};
    for (const int numero : kOrdre) {
        struct stat s {};
        if (proposes.count(numero) == 0 && ::lstat(cheminDuPort(numero).c_str(), &s) != 0 &&
            errno == ENOENT) {
            proposes.insert(numero);
            return numero;
        }
    }
    return 0;
}

std::string ligne(const Peripherique& p, int libre)
{
    const std::string chemin = "/dev/" + p.nom();
    const std::string debut =
        chemin +
        " existe, mais gsicom ne parle qu aux ports COM1 a COM30 (/dev/ttyS0-9, /dev/ttyUSB0-9, "
        "/dev/ttyACM0-9) : ";
    const std::string rebrancher =
        numeroteALaBranche(p.famille)
            ? "debranchez les adaptateurs dont gsicom n a pas besoin et rebranchez celui-ci (il "
              "prend le plus petit numero libre)"
            : "";
    if (libre == 0) {
        return debut +
               (rebrancher.empty() ? "aucun de ces noms n est libre : debranchez un adaptateur "
                                     "dont gsicom n a pas besoin"
                                   : rebrancher) +
               ", puis relancez gsicom.";
    }
    return debut + rebrancher + (rebrancher.empty() ? "" : ", ou ") +
           "donnez-lui un de ces noms, par exemple COM" + std::to_string(libre) + " : sudo ln -s " +
           chemin + " " + cheminDuPort(libre) + " (jusqu au redemarrage), puis relancez gsicom.";
}

}  // namespace

// A device is out of reach when it is a character device under its own name in /dev,
// a serial port as /sys tells (by its name where there is no /sys), and no name of the
// table leads to it (a link made as the
// remedy says brings it in).
std::vector<std::string> portsHorsTableLinux(const std::string& sys)
{
    std::set<dev_t> atteints;
    for (int numero = kPremierPort; numero <= kDernierPort; ++numero) {
        struct stat s {};
        if (::stat(cheminDuPort(numero).c_str(), &s) == 0 && S_ISCHR(s.st_mode)) {
            atteints.insert(s.st_rdev);
        }
    }
    const std::unique_ptr<DIR, int (*)(DIR*)> dev(::opendir("/dev"), ::closedir);
    if (dev == nullptr) {
        return {};
    }
    struct stat classe {};
    const bool sysLisible = ::stat((sys + "/class/tty").c_str(), &classe) == 0;
    std::vector<Peripherique> horsTable;
    while (const dirent* entree = ::readdir(dev.get())) {
        const Peripherique p = lireNom(entree->d_name);
        struct stat s {};
        if (::fstatat(::dirfd(dev.get()), entree->d_name, &s, AT_SYMLINK_NOFOLLOW) == 0 &&
            S_ISCHR(s.st_mode) && atteints.count(s.st_rdev) == 0 && portSerie(sys, sysLisible, p)) {
            horsTable.push_back(p);
        }
    }
    std::sort(horsTable.begin(), horsTable.end(), avant);
    std::vector<std::string> lignes;
    std::set<int> proposes;
    for (const Peripherique& p : horsTable) {
        lignes.push_back(ligne(p, numeroLibre(proposes)));
    }
    return lignes;
}

}  // namespace gsicom
