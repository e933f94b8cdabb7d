#include "plateforme/linux/usbfs.hpp"

#include <dirent.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

#include "appareils/adaptateurs.hpp"
#include "plateforme/linux/uart.hpp"

namespace gsicom {

namespace {

using Dossier = std::unique_ptr<DIR, int (*)(DIR*)>;

Dossier ouvrirDossier(const std::string& chemin)
{
    return Dossier(::opendir(chemin.c_str()), ::closedir);
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

}  // namespace

std::string tenuParUsbfs(const std::string& proc, const std::string& appareil)
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
    const Tenant t = chercherTenant(proc, noeud);
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

}  // namespace gsicom
