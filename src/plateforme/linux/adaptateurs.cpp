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

#include "appareils/adaptateurs.hpp"
#include "plateforme/linux/modules.hpp"
#include "plateforme/linux/uart.hpp"
#include "plateforme/linux/usbfs.hpp"

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

struct Usb {
    std::optional<std::uint16_t> vid, pid;
    std::string ids;  // "0403:6001", as lsusb writes them; empty when unknown
    std::string produit;
    bool pont = false;  // a bridge product gsicom knows (appareils/adaptateurs.hpp)
};

std::optional<std::uint16_t> hex4(const std::string& texte)
{
    char* fin = nullptr;
    const unsigned long valeur = std::strtoul(texte.c_str(), &fin, 16);
    return texte.size() == 4 && *fin == '\0' ? std::optional<std::uint16_t>(valeur) : std::nullopt;
}

// A line, and whether it stands for a device that may not be a serial adapter.
struct Ligne {
    std::string texte;
    bool peutEtre = false;
};

// What is said of one USB device, from its folder in /sys and its interfaces' folders.
class Examen {
public:
    Examen(std::string sys, std::string modules, std::string proc)
        : sys_(std::move(sys)), proc_(std::move(proc)), index_(std::move(modules))
    {
    }
    Ligne ligne(const std::string& appareil, const std::vector<std::string>& interfaces);

private:
    std::string quoi_;  // what the line calls the device
    bool peutEtre_ = false;
    std::string sansPilote(const std::string& interface, const Usb& usb);
    std::string inconnu(const std::string& interface, const Usb& usb);
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

bool refuse(const std::string& dossier)
{
    return premiereLigne(dossier + "/authorized") == "0";
}

const char* const kRebrancher = "debranchez et rebranchez l adaptateur, puis relancez gsicom.";

// A device or an interface that USB authorization keeps from every driver (USBGuard,
// or a rule of the system's): its files in /sys are the machine's own.
std::string refus(const std::string& dossier, bool interface)
{
    const std::string chemin = "/sys/bus/usb/devices/" + base(dossier);
    if (interface) {
        return "le systeme refuse son interface " + base(dossier) +
               " (autorisation USB) : echo 1 | sudo tee " + chemin + "/authorized, puis echo " +
               base(dossier) + " | sudo tee /sys/bus/usb/drivers_probe, et relancez gsicom.";
    }
    return "le systeme refuse ce peripherique (autorisation USB : USBGuard ou une regle) : "
           "autorisez-le (sudo usbguard list-devices, puis sudo usbguard allow-device et son "
           "numero ; sans USBGuard : echo 1 | sudo tee " +
           chemin + "/authorized), puis relancez gsicom.";
}

Ligne Examen::ligne(const std::string& appareil, const std::vector<std::string>& interfaces)
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
    usb.pont = usb.vid && usb.pid && pontUsbSerie(*usb.vid, *usb.pid);
    quoi_ = "Adaptateur USB-serie";
    peutEtre_ = false;
    if (refuse(appareil)) {  // a refused device shows no interface: its class alone tells
        const bool cdc = premiereLigne(appareil + "/bDeviceClass") == "02";
        return {usb.pont || cdc
                    ? debutSansPort(quoi_, usb.produit, usb.ids) + refus(appareil, false)
                    : ""};
    }
    for (const std::string& interface : interfaces) {
        const std::string pilote = cibleDuLien(interface + "/driver");
        const auto serie = [&] {  // the index is read only where it must be
            return usb.pont || cdcAcm(interface) ||
                   !index_.moduleSerie(premiereLigne(interface + "/modalias")).empty();
        };
        std::string pourquoi;
        if (pilote == "usbfs") {
            pourquoi = serie() ? tenuParUsbfs(proc_, appareil) : "";
        } else if (pilote.empty() && refuse(interface)) {
            pourquoi = serie() ? refus(interface, true) : "";
        } else if (pilote.empty()) {
            pourquoi = sansPilote(interface, usb);
        } else if (piloteSerie(pilote)) {
            pourquoi = "son pilote " + pilote + " l a pris sans faire de port : " + kRebrancher;
        }
        if (!pourquoi.empty()) {
            return {debutSansPort(quoi_, usb.produit, usb.ids) + pourquoi, peutEtre_};
        }
    }
    return {};
}

// The module that would take it (cdc-acm built in, where no alias of it is listed, by
// the interface's class), else why no module loads.
std::string Examen::sansPilote(const std::string& interface, const Usb& usb)
{
    const std::string modalias = premiereLigne(interface + "/modalias");
    std::string module = index_.moduleSerie(modalias);
    if (module.empty() && cdcAcm(interface) && index_.integre("cdc_acm")) {
        module = "cdc_acm";
    }
    if (!module.empty() && index_.integre(module)) {
        return "aucun pilote ne l a pris, bien que son pilote " + module +
               " soit dans le noyau : " + kRebrancher;
    }
    if (!module.empty()) {
        if (existe(sys_ + "/module/" + module)) {
            return "aucun pilote ne l a pris, bien que son module " + module +
                   " soit charge : " + kRebrancher;
        }
        return "aucun pilote ne l a pris : son module " + module +
               " n est pas charge : sudo modprobe " + module + ", puis relancez gsicom.";
    }
    const bool adaptateur = usb.pont || cdcAcm(interface);
    if (!adaptateur && !(usb.vid == 0x0403 && usb.pid && index_.serie("ftdi_sio"))) {
        return {};  // a maker's other devices, or none of theirs
    }
    if (const std::string nouveau = adaptateur ? index_.remplacant() : ""; !nouveau.empty()) {
        return "aucun pilote ne l a pris : le noyau a ete mis a jour (" + nouveau +
               ") et les modules du noyau en marche (" + index_.version() +
               ") ne sont plus sur le disque : redemarrez l ordinateur, puis relancez gsicom.";
    }
    if (index_.lisible() && !index_.connu(modalias)) {
        return inconnu(interface, usb);
    }
    return adaptateur ? std::string("aucun pilote ne l a pris : ") + kRebrancher : "";
}

// FTDI's bridges that are no UART, though their interfaces are of the vendor's class:
// the FT4222H (SPI and I2C) and the FT600 and FT601 (parallel FIFOs).
bool pontFtdiSansUart(std::uint16_t pid)
{
    return pid == 0x601C || pid == 0x601E || pid == 0x601F;
}

// No module of this kernel knows the device, an adapter or an FTDI product. An FTDI
// chip ftdi_sio does not know by its ID is given to it by that ID (most are UARTs:
// their interfaces are of the vendor's class); another maker's bridge needs the
// maker's driver. A device known by its maker alone may be anything else of theirs,
// and is not said.
std::string Examen::inconnu(const std::string& interface, const Usb& usb)
{
    const bool ftdi = usb.vid == 0x0403 && usb.pid && index_.serie("ftdi_sio");
    const std::string noyau = "aucun module de ce noyau (" + index_.version() + ") ne connait ";
    if (ftdi && !usb.pont) {
        if (premiereLigne(interface + "/bInterfaceClass") != "ff" || pontFtdiSansUart(*usb.pid)) {
            return {};
        }
        quoi_ = "Peripherique USB de FTDI (peut-etre pas un adaptateur USB-serie)";
        peutEtre_ = true;
    }
    if (ftdi) {
        char ids[16];
        std::snprintf(ids, sizeof ids, "%04x %04x", unsigned(*usb.vid), unsigned(*usb.pid));
        const bool charge = existe(sys_ + "/module/ftdi_sio") || index_.integre("ftdi_sio");
        return noyau + "ce produit : donnez-le au pilote ftdi_sio (jusqu au redemarrage) : " +
               (charge ? "" : "sudo modprobe ftdi_sio, puis ") + "echo " + ids +
               " | sudo tee /sys/bus/usb-serial/drivers/ftdi_sio/new_id, et relancez gsicom.";
    }
    const char* fabricant = usb.vid ? fabricantDePonts(*usb.vid) : nullptr;
    return noyau + "cette puce : installez " +
           (fabricant != nullptr && *usb.vid != 0x0403
                ? std::string("le pilote du fabricant (") + fabricant + ") ou "
                : std::string()) +
           "un noyau plus recent, puis relancez gsicom.";
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

LignesSansPort adaptateursSansPortLinux(const std::string& sys, const std::string& modules,
                                        const std::string& proc)
{
    const std::string racine = sys + "/bus/usb/devices";
    const Dossier d = ouvrirDossier(racine);
    if (d == nullptr) {
        return {};
    }
    // 1-1: 1-1:1.0...; a device refused by USB authorization has no interface
    std::map<std::string, std::vector<std::string>> appareils;
    while (const dirent* entree = ::readdir(d.get())) {
        const std::string nom = entree->d_name;
        if (const std::size_t deuxPoints = nom.find(':'); deuxPoints != std::string::npos) {
            appareils[racine + "/" + nom.substr(0, deuxPoints)].push_back(racine + "/" + nom);
        } else if (nom[0] != '.') {
            appareils[racine + "/" + nom];
        }
    }
    Examen examen(sys, modules, proc);
    LignesSansPort lignes;
    for (auto& [appareil, interfaces] : appareils) {
        std::sort(interfaces.begin(), interfaces.end());
        if (Ligne ligne = examen.ligne(appareil, interfaces); !ligne.texte.empty()) {
            (ligne.peutEtre ? lignes.peutEtre : lignes.adaptateurs)
                .push_back(std::move(ligne.texte));
        }
    }
    return lignes;
}

}  // namespace gsicom
