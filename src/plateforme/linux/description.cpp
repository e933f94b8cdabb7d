#include "plateforme/linux/description.hpp"

#include <limits.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cstdlib>

#include "plateforme/linux/uart.hpp"
#include "serial/chemin_com.hpp"

namespace gsicom {

namespace {

std::string base(const std::string& chemin)
{
    return chemin.substr(chemin.rfind('/') + 1);
}

std::string reel(const std::string& chemin)
{
    char resolu[PATH_MAX];
    return ::realpath(chemin.c_str(), resolu) != nullptr ? std::string(resolu) : std::string();
}

// The names the 8250 driver gives its UARTs' types, by their number in /sys's `type`
// (linux/serial.h); a type beyond them is a UART said without its name.
std::string nomDuType(const std::string& type)
{
    static constexpr const char* kNoms[] = {
        nullptr,   "8250",     "16450",  "16550",   "16550A",  "Cirrus", "ST16650", "ST16650V2",
        "TI16750", "Startech", "16C950", "ST16654", "XR16850", "RSA",    "NS16550A"};
    char* fin = nullptr;
    const long numero = std::strtol(type.c_str(), &fin, 10);
    return *fin == '\0' && numero > 0 && numero < long(std::size(kNoms)) ? kNoms[numero] : "";
}

// The USB device above the tty's device, the nearest folder up with an idVendor (the
// interface's parent for cdc-acm, one more for a usb-serial port); a few folders at
// most, never above /sys.
bool lireUsb(const std::string& sys, std::string dossier, PortDescription& p)
{
    for (int niveau = 0; niveau < 4 && dossier.size() > sys.size(); ++niveau) {
        const std::string vid = premiereLigne(dossier + "/idVendor");
        if (!vid.empty()) {
            const std::string pid = premiereLigne(dossier + "/idProduct");
            p.kind = PortKind::usb;
            p.name = premiereLigne(dossier + "/product");
            p.usbId = pid.empty() ? std::string() : vid + ":" + pid;
            return true;
        }
        dossier = dossier.substr(0, dossier.rfind('/'));
    }
    return false;
}

}  // namespace

std::string nomAuBoutDesLiens(std::string chemin)
{
    for (int saut = 0; saut < 40; ++saut) {
        char cible[PATH_MAX];
        const ssize_t n = ::readlink(chemin.c_str(), cible, sizeof cible);
        if (n <= 0 || std::size_t(n) == sizeof cible) {
            break;
        }
        const std::string vers(cible, std::size_t(n));
        chemin = vers[0] == '/' ? vers : chemin.substr(0, chemin.rfind('/') + 1) + vers;
    }
    return base(chemin);
}

// A USB device first: its driver's tty has no UART type. A UART of type 0 is an empty
// slot, never listed: nothing said. A Bluetooth link is known by its name, which the
// node's links give where /sys has no tty for it.
PortDescription decrireTty(const std::string& sys, const std::string& chemin, dev_t rdev)
{
    PortDescription p;
    const std::string racine = reel(sys);
    const std::string tty = racine.empty() ? std::string()
                                           : reel(sys + "/dev/char/" + std::to_string(major(rdev)) +
                                                  ":" + std::to_string(minor(rdev)));
    if (!tty.empty()) {
        const std::string appareil = reel(tty + "/device");
        if (!appareil.empty() && lireUsb(racine, appareil, p)) {
            return p;
        }
        const std::string type = premiereLigne(tty + "/type");
        if (!type.empty() && type != "0") {
            p.kind = PortKind::uart;
            p.name = nomDuType(type);
            return p;
        }
    }
    const std::string nom = tty.empty() ? nomAuBoutDesLiens(chemin) : base(tty);
    if (nom.rfind("rfcomm", 0) == 0) {
        p.kind = PortKind::bluetooth;
    }
    return p;
}

std::vector<PortDescription> decrirePortsLinux(const std::string& sys, const std::string& dev)
{
    std::vector<PortDescription> ports;
    for (int numero = kPremierPort; numero <= kDernierPort; ++numero) {
        const std::string com = "\\\\.\\COM" + std::to_string(numero);
        const std::string chemin = dev + cheminLinux(com.c_str()).substr(4);  // past "/dev"
        struct stat s {};
        if (::stat(chemin.c_str(), &s) != 0 || !S_ISCHR(s.st_mode)) {
            continue;
        }
        PortDescription p = decrireTty(sys, chemin, s.st_rdev);
        if (p.kind != PortKind::unknown) {
            p.number = numero;
            ports.push_back(std::move(p));
        }
    }
    return ports;
}

}  // namespace gsicom
