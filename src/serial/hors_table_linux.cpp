#include "serial/hors_table_linux.hpp"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <memory>
#include <optional>
#include <set>
#include <tuple>

#include "serial/chemin_com.hpp"
#include "serial/liaison.hpp"
#include "serial/refus_linux.hpp"

namespace gsicom {

namespace {

// The serial devices a PC or a board has: its UARTs and PCI cards', USB adapters
// (FTDI, Prolific, CH340, CP210x...; WCH's own driver), USB modems and instruments with
// a CDC port, ARM boards' UARTs (AMBA, Samsung, i.MX, OMAP, Tegra, Intel, Xilinx,
// Qualcomm, STM32, Amlogic), Exar's UARTs and USB bridges and Bluetooth serial links.
constexpr const char* kFamilles[] = {"ttyS",   "ttyUSB",   "ttyACM",      "ttyAMA", "ttySAC",
                                     "ttymxc", "ttyLP",    "ttyO",        "ttyTHS", "ttyHS",
                                     "ttyMFD", "ttyPS",    "ttyMSM",      "ttySTM", "ttyAML",
                                     "ttyXR",  "ttyXRUSB", "ttyCH341USB", "rfcomm"};

struct Peripherique {
    std::string famille;
    std::string numero;  // its digits
    std::string nom() const { return famille + numero; }
};

// A device name of one of the families, followed by its number.
std::optional<Peripherique> lireNom(const std::string& nom)
{
    for (const char* famille : kFamilles) {
        const std::string f = famille;
        if (nom.size() > f.size() && nom.compare(0, f.size(), f) == 0 &&
            nom.find_first_not_of("0123456789", f.size()) == std::string::npos) {
            return Peripherique{f, nom.substr(f.size())};
        }
    }
    return std::nullopt;
}

// ttyUSB2 before ttyUSB10.
bool avant(const Peripherique& a, const Peripherique& b)
{
    return std::make_tuple(a.famille, a.numero.size(), a.numero) <
           std::make_tuple(b.famille, b.numero.size(), b.numero);
}

// Every PC has ttyS slots, most of them with no UART behind: /sys says which have one.
// Where it cannot tell, a ttyS is taken for such a slot.
bool uartDerriere(const Peripherique& p)
{
    const std::string type = typeUart(p.nom());
    return type != "0" && (p.famille != "ttyS" || !type.empty());
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

// A device is out of reach when it is a character device of a serial family under
// its own name, with a UART behind where it is a UART's slot, and no name of the table
// leads to it (a link made as the remedy says brings it in).
std::vector<std::string> portsHorsTableLinux()
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
    std::vector<Peripherique> horsTable;
    while (const dirent* entree = ::readdir(dev.get())) {
        const std::optional<Peripherique> p = lireNom(entree->d_name);
        struct stat s {};
        if (p && ::fstatat(::dirfd(dev.get()), entree->d_name, &s, AT_SYMLINK_NOFOLLOW) == 0 &&
            S_ISCHR(s.st_mode) && atteints.count(s.st_rdev) == 0 && uartDerriere(*p)) {
            horsTable.push_back(*p);
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
