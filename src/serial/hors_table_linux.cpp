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
// (FTDI, Prolific, CH340, CP210x...), USB modems and instruments with a CDC port, ARM
// boards' UARTs (AMBA, Samsung, i.MX, OMAP, Tegra, Intel, Xilinx), Exar's USB bridges
// and Bluetooth serial links.
constexpr const char* kFamilles[] = {"ttyS", "ttyUSB", "ttyACM", "ttyAMA", "ttySAC",   "ttymxc",
                                     "ttyO", "ttyTHS", "ttyMFD", "ttyPS",  "ttyXRUSB", "rfcomm"};

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

// The first name of the table that nothing holds, not even a link left behind: in
// the device's own family first, then USB adapters', modems', UARTs'. 0 when none is.
int numeroLibre(const std::string& famille, std::set<int>& proposes)
{
    for (const std::string& f :
         {famille, std::string("ttyUSB"), std::string("ttyACM"), std::string("ttyS")}) {
        for (int numero = kPremierPort; numero <= kDernierPort; ++numero) {
            const std::string chemin = cheminDuPort(numero);
            struct stat s {};
            if (lireNom(chemin.substr(5))->famille == f && proposes.count(numero) == 0 &&
                ::lstat(chemin.c_str(), &s) != 0 && errno == ENOENT) {
                proposes.insert(numero);
                return numero;
            }
        }
    }
    return 0;
}

std::string ligne(const std::string& chemin, int libre)
{
    const std::string debut =
        chemin +
        " existe, mais gsicom ne parle qu aux ports COM1 a COM30 (/dev/ttyS0-9, /dev/ttyUSB0-9, "
        "/dev/ttyACM0-9) : ";
    if (libre == 0) {
        return debut +
               "aucun de ces noms n est libre : debranchez un adaptateur dont gsicom n a pas "
               "besoin, puis relancez gsicom.";
    }
    const std::string lien = cheminDuPort(libre);
    return debut + "donnez-lui un de ces noms, par exemple COM" + std::to_string(libre) +
           " : sudo ln -s " + chemin + " " + lien +
           " (jusqu au redemarrage ; une regle udev SYMLINK+=\"" + lien.substr(5) +
           "\" le rend durable), puis relancez gsicom.";
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
        lignes.push_back(ligne("/dev/" + p.nom(), numeroLibre(p.famille, proposes)));
    }
    return lignes;
}

}  // namespace gsicom
