// What reading the ports' devices in /sys costs the scan, once before COM1 to COM30 are
// tried: the Linux platform's description of the thirty ports, timed over a /sys and a
// /dev of its own where every port of the table is a device (ten 16550A UARTs, ten FTDI
// adapters, ten CDC ACM instruments: the most the scan can meet), then over this
// machine's own. It prints figures and never fails on a slow machine.
//   bench_description [TOURS]
// The made tree needs root (its nodes are made with mknod) and a /tmp; without, only this
// machine's.
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "plateforme/linux/description.hpp"

namespace {

using gsicom::decrirePortsLinux;
namespace fs = std::filesystem;

// One device: its node under dev, its tty in sys as the kernel lays it out.
void appareil(const fs::path& racine, const std::string& nom, unsigned majeur, unsigned mineur,
              const std::string& usb)
{
    const std::string numero = std::to_string(majeur) + ":" + std::to_string(mineur);
    const fs::path parent = racine / "sys/devices" / (usb.empty() ? "pnp0/" + numero : usb);
    const fs::path tty = parent / (usb.empty() ? "" : "1.0") / "tty" / nom;
    fs::create_directories(tty);
    fs::create_directories(racine / "sys/dev/char");
    fs::create_symlink(tty, racine / "sys/dev/char" / numero);
    fs::create_symlink(tty.parent_path().parent_path(), tty / "device");
    if (usb.empty()) {
        std::ofstream(tty / "type") << "4\n";
    } else {
        std::ofstream(parent / "idVendor") << "0403\n";
        std::ofstream(parent / "idProduct") << "6001\n";
        std::ofstream(parent / "product") << "FT232R USB UART\n";
    }
    ::mknod((racine / "dev" / nom).c_str(), S_IFCHR | 0660, makedev(majeur, mineur));
}

void mesurer(const char* quoi, const std::string& sys, const std::string& dev, int tours)
{
    std::size_t decrits = 0;
    const auto debut = std::chrono::steady_clock::now();
    for (int t = 0; t < tours; ++t) {
        decrits = decrirePortsLinux(sys, dev).size();
    }
    const std::chrono::duration<double, std::micro> duree =
        std::chrono::steady_clock::now() - debut;
    std::printf("%-40s %3zu port(s) described, %8.1f us a scan (%d scans)\n", quoi, decrits,
                duree.count() / tours, tours);
}

}  // namespace

int main(int argc, char** argv)
{
    const int tours = argc > 1 ? std::atoi(argv[1]) : 1000;
    char dossier[] = "/tmp/gsicom-bench-description.XXXXXX";
    if (::geteuid() == 0 && ::mkdtemp(dossier) != nullptr) {
        const fs::path racine = dossier;
        fs::create_directories(racine / "dev");
        for (unsigned i = 0; i < 10; ++i) {
            appareil(racine, "ttyS" + std::to_string(i), 4, 64 + i, "");
            appareil(racine, "ttyUSB" + std::to_string(i), 188, i, "usb1/1-" + std::to_string(i));
            appareil(racine, "ttyACM" + std::to_string(i), 166, i, "usb2/2-" + std::to_string(i));
        }
        mesurer("thirty devices, a /sys of the bench's own", racine / "sys", racine / "dev", tours);
        fs::remove_all(racine);
    }
    mesurer("this machine's /sys and /dev", "/sys", "/dev", tours);
    return 0;
}
