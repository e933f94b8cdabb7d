#include "plateforme/linux/adaptateurs.hpp"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <optional>
#include <utility>

#include "plateforme/linux/modules.hpp"
#include "plateforme/linux/uart.hpp"
#include "serial/adaptateurs.hpp"

namespace gsicom {

namespace {

using Dossier = std::unique_ptr<DIR, int (*)(DIR*)>;

Dossier ouvrirDossier(const std::string& chemin)
{
    return Dossier(::opendir(chemin.c_str()), ::closedir);
}

bool existe(const std::string& chemin)
{
    struct stat s {};
    return ::lstat(chemin.c_str(), &s) == 0;
}

std::string base(const std::string& chemin)
{
    return chemin.substr(chemin.rfind('/') + 1);
}

// Where a link of /sys leads, its last part ("ftdi_sio" for .../drivers/ftdi_sio);
// empty where there is no link.
std::string cibleDuLien(const std::string& lien)
{
    char cible[512];
    const ssize_t n = ::readlink(lien.c_str(), cible, sizeof cible);
    return n > 0 ? base(std::string(cible, static_cast<std::size_t>(n))) : std::string();
}

// The process that holds the USB device's node (`noeud`, /dev/bus/usb/BBB/DDD), found by
// its descriptors (another account's only as root); else a running brltty, named alone.
struct Tenant {
    long pid = 0;
    std::string commande;
    bool parSonNoeud = false;
};

bool tientLeNoeud(const std::string& fds, const std::string& noeud)
{
    const Dossier d = ouvrirDossier(fds);
    char cible[64];
    while (d != nullptr && !noeud.empty()) {
        const dirent* entree = ::readdir(d.get());
        if (entree == nullptr) {
            break;
        }
        const ssize_t n = ::readlinkat(::dirfd(d.get()), entree->d_name, cible, sizeof cible);
        if (n > 0 && noeud == std::string(cible, static_cast<std::size_t>(n))) {
            return true;
        }
    }
    return false;
}

// The processes' names first, and the descriptors of a brltty before any other's: most
// often it is the holder, and then no other process's descriptors are read (as root,
// thousands of them on a desktop).
Tenant chercherTenant(const std::string& proc, const std::string& noeud)
{
    std::vector<Tenant> processus;
    const Dossier d = ouvrirDossier(proc);
    while (d != nullptr) {
        const dirent* entree = ::readdir(d.get());
        if (entree == nullptr) {
            break;
        }
        char* fin = nullptr;
        const long pid = std::strtol(entree->d_name, &fin, 10);
        if (*fin == '\0' && pid > 0) {
            processus.push_back({pid, premiereLigne(proc + "/" + entree->d_name + "/comm")});
        }
    }
    std::stable_partition(processus.begin(), processus.end(),
                          [](const Tenant& t) { return t.commande == "brltty"; });
    for (Tenant& t : processus) {
        if (tientLeNoeud(proc + "/" + std::to_string(t.pid) + "/fd", noeud)) {
            t.parSonNoeud = true;
            return t;
        }
    }
    return !processus.empty() && processus.front().commande == "brltty" ? processus.front()
                                                                        : Tenant{};
}

struct Usb {
    std::optional<std::uint16_t> vid, pid;
    std::string ids;  // "0403:6001", as lsusb writes them; empty when unknown
    std::string produit;
};

std::optional<std::uint16_t> hex4(const std::string& texte)
{
    char* fin = nullptr;
    const unsigned long valeur = std::strtoul(texte.c_str(), &fin, 16);
    return texte.size() == 4 && *fin == '\0' ? std::optional<std::uint16_t>(valeur) : std::nullopt;
}

// What is said of one USB device, from its folder in /sys and its interfaces' folders.
class Examen {
public:
    Examen(std::string sys, std::string modules, std::string proc)
        : sys_(std::move(sys)), proc_(std::move(proc)), index_(std::move(modules))
    {
    }
    std::string ligne(const std::string& appareil, const std::vector<std::string>& interfaces);

private:
    std::string quoi_;  // what the line calls the device
    std::string tenuParUsbfs(const std::string& appareil);
    std::string sansPilote(const std::string& interface, const Usb& usb);
    bool piloteSerie(const std::string& pilote);
    std::string sys_, proc_;
    IndexDesModules index_;
};

bool ttyDessous(const std::string& interface)
{
    const Dossier d = ouvrirDossier(interface);
    while (d != nullptr) {
        const dirent* entree = ::readdir(d.get());
        if (entree == nullptr) {
            break;
        }
        if (std::string(entree->d_name).rfind("tty", 0) == 0) {
            return true;
        }
    }
    return false;
}

bool cdcAcm(const std::string& interface)
{
    return premiereLigne(interface + "/bInterfaceClass") == "02" &&
           premiereLigne(interface + "/bInterfaceSubClass") == "02";
}

const char* const kRebrancher = "debranchez et rebranchez l adaptateur, puis relancez gsicom.";

std::string Examen::ligne(const std::string& appareil, const std::vector<std::string>& interfaces)
{
    if (std::any_of(interfaces.begin(), interfaces.end(), ttyDessous)) {
        return {};  // it gives a port: the scan has said what there is to say
    }
    Usb usb;
    const std::string vid = premiereLigne(appareil + "/idVendor");
    const std::string pid = premiereLigne(appareil + "/idProduct");
    usb.vid = hex4(vid);
    usb.pid = hex4(pid);
    usb.ids = usb.vid && usb.pid ? vid + ":" + pid : "";
    usb.produit = premiereLigne(appareil + "/product");
    const bool pont = usb.vid && usb.pid && pontUsbSerie(*usb.vid, *usb.pid);
    for (const std::string& interface : interfaces) {
        quoi_ = "Adaptateur USB-serie";
        const std::string pilote = cibleDuLien(interface + "/driver");
        std::string pourquoi;
        if (pilote == "usbfs") {
            if (pont || cdcAcm(interface) ||
                !index_.moduleSerie(premiereLigne(interface + "/modalias")).empty()) {
                pourquoi = tenuParUsbfs(appareil);
            }
        } else if (pilote.empty()) {
            pourquoi = sansPilote(interface, usb);
        } else if (piloteSerie(pilote)) {
            pourquoi = "son pilote " + pilote + " l a pris sans faire de port : " + kRebrancher;
        }
        if (!pourquoi.empty()) {
            return debutSansPort(quoi_, usb.produit, usb.ids) + pourquoi;
        }
    }
    return {};
}

std::string Examen::tenuParUsbfs(const std::string& appareil)
{
    const std::string busnum = premiereLigne(appareil + "/busnum");
    const std::string devnum = premiereLigne(appareil + "/devnum");
    std::string noeud;
    if (!busnum.empty() && !devnum.empty()) {
        char texte[32];
        std::snprintf(texte, sizeof texte, "/dev/bus/usb/%03d/%03d", std::atoi(busnum.c_str()),
                      std::atoi(devnum.c_str()));
        noeud = texte;
    }
    const Tenant t = chercherTenant(proc_, noeud);
    const std::string qui = echappe(t.commande) + " (pid " + std::to_string(t.pid) + ")";
    const std::string ensuite = "puis debranchez et rebranchez l adaptateur, et relancez gsicom.";
    if (t.pid != 0 && t.commande == "brltty") {
        return (t.parSonNoeud ? qui + " le tient par usbfs"
                              : "un autre programme le tient par usbfs, sans doute " + qui) +
               " : brltty, le service des afficheurs braille, prend les adaptateurs USB-serie : "
               "retirez-le (sudo apt remove brltty), " +
               ensuite;
    }
    if (t.pid != 0) {
        return qui + " le tient par usbfs : fermez-le, " + ensuite;
    }
    return std::string("un autre programme le tient par usbfs") +
           (::geteuid() != 0 ? " (gsicom le nomme s il est lance par sudo)" : "") +
           " : fermez-le, " + ensuite;
}

// The module that would take it, else whether no module of this kernel knows the chip;
// where the index cannot be read, only that no driver took it.
std::string Examen::sansPilote(const std::string& interface, const Usb& usb)
{
    const std::string modalias = premiereLigne(interface + "/modalias");
    if (const std::string module = index_.moduleSerie(modalias); !module.empty()) {
        if (existe(sys_ + "/module/" + module)) {
            return "aucun pilote ne l a pris, bien que son module " + module +
                   " soit charge : " + kRebrancher;
        }
        return "aucun pilote ne l a pris : son module " + module +
               " n est pas charge : sudo modprobe " + module + ", puis relancez gsicom.";
    }
    const bool adaptateur =
        (usb.vid && usb.pid && pontUsbSerie(*usb.vid, *usb.pid)) || cdcAcm(interface);
    const char* fabricant = usb.vid ? fabricantDePonts(*usb.vid) : nullptr;
    if ((adaptateur || fabricant != nullptr) && index_.lisible() && !index_.connu(modalias)) {
        if (!adaptateur) {
            quoi_ = std::string("Peripherique USB de ") + fabricant +
                    " (fabricant d adaptateurs USB-serie)";
        }
        return "aucun module de ce noyau (" + index_.version() +
               ") ne connait cette puce : installez le pilote du fabricant" +
               (fabricant != nullptr ? std::string(" (") + fabricant + ")" : "") +
               " ou un noyau plus recent, puis relancez gsicom.";
    }
    return adaptateur ? std::string("aucun pilote ne l a pris : ") + kRebrancher : "";
}

// A serial driver: cdc-acm, or one over usbserial (the generic one among them).
bool Examen::piloteSerie(const std::string& pilote)
{
    if (pilote == "cdc_acm") {
        return true;
    }
    const std::string module = cibleDuLien(sys_ + "/bus/usb/drivers/" + pilote + "/module");
    return module == "usbserial" ||
           (!module.empty() && existe(sys_ + "/module/usbserial/holders/" + module));
}

}  // namespace

std::vector<std::string> adaptateursSansPortLinux(const std::string& sys,
                                                  const std::string& modules,
                                                  const std::string& proc)
{
    const std::string racine = sys + "/bus/usb/devices";
    const Dossier d = ouvrirDossier(racine);
    if (d == nullptr) {
        return {};
    }
    std::map<std::string, std::vector<std::string>> appareils;  // 1-1: 1-1:1.0...
    while (const dirent* entree = ::readdir(d.get())) {
        const std::string nom = entree->d_name;
        if (const std::size_t deuxPoints = nom.find(':'); deuxPoints != std::string::npos) {
            appareils[racine + "/" + nom.substr(0, deuxPoints)].push_back(racine + "/" + nom);
        }
    }
    Examen examen(sys, modules, proc);
    std::vector<std::string> lignes;
    for (auto& [appareil, interfaces] : appareils) {
        std::sort(interfaces.begin(), interfaces.end());
        if (std::string ligne = examen.ligne(appareil, interfaces); !ligne.empty()) {
            lignes.push_back(std::move(ligne));
        }
    }
    return lignes;
}

}  // namespace gsicom
