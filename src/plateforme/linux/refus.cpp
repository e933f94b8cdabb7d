#include "plateforme/linux/refus.hpp"

#include <dirent.h>
#include <fcntl.h>
#include <grp.h>
#include <linux/major.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "plateforme/linux/description.hpp"
#include "plateforme/linux/uart.hpp"

namespace gsicom {

namespace {

// A directory stream, owned.
struct Dossier {
    DIR* d;
    explicit Dossier(const char* chemin) : d(::opendir(chemin)) {}
    ~Dossier()
    {
        if (d != nullptr) ::closedir(d);
    }
    Dossier(const Dossier&) = delete;
    Dossier& operator=(const Dossier&) = delete;
};

// Whether one of the process's descriptors leads to the device. Only links under
// /dev are looked at: a stat of a file on a network disk that no longer answers
// would hang the scan. Another account's process cannot be read unless we are root.
bool tientLePeripherique(long pid, dev_t rdev)
{
    const Dossier fds(("/proc/" + std::to_string(pid) + "/fd").c_str());
    if (fds.d == nullptr) {
        return false;
    }
    while (const dirent* entree = ::readdir(fds.d)) {
        char lien[6];
        const ssize_t n = ::readlinkat(::dirfd(fds.d), entree->d_name, lien, sizeof lien);
        if (n < 5 || std::memcmp(lien, "/dev/", 5) != 0) {
            continue;
        }
        struct stat s {};
        if (::fstatat(::dirfd(fds.d), entree->d_name, &s, 0) == 0 && S_ISCHR(s.st_mode) &&
            s.st_rdev == rdev) {
            return true;
        }
    }
    return false;
}

std::string commandeDe(long pid)
{
    std::string commande = premiereLigne("/proc/" + std::to_string(pid) + "/comm");
    // Any process names itself: no escape sequence of its reaches the terminal.
    for (char& c : commande) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) {
            c = '?';
        }
    }
    return commande;
}

std::string debut(const char* com, const std::string& chemin)
{
    return nomPort(com, chemin) + " : ";
}

// Whether this process already has the group: then joining it is not the remedy.
bool groupeDuProcessus(gid_t groupe)
{
    if (::getegid() == groupe) {
        return true;
    }
    gid_t groupes[256];
    const int n = ::getgroups(256, groupes);
    for (int i = 0; i < n; ++i) {
        if (groupes[i] == groupe) {
            return true;
        }
    }
    return false;
}

bool membreDe(const group& groupe, const passwd& compte)
{
    if (compte.pw_gid == groupe.gr_gid) {
        return true;
    }
    for (char** membre = groupe.gr_mem; membre != nullptr && *membre != nullptr; ++membre) {
        if (std::strcmp(compte.pw_name, *membre) == 0) {
            return true;
        }
    }
    return false;
}

// The first process other than this one that `choisi` takes, in /proc's order; 0 when
// none does, or /proc cannot be read.
template <typename Choix>
pid_t premierProcessus(Choix choisi)
{
    const Dossier proc("/proc");
    const pid_t moi = ::getpid();
    while (proc.d != nullptr) {
        const dirent* entree = ::readdir(proc.d);
        if (entree == nullptr) {
            break;
        }
        char* fin = nullptr;
        const long pid = std::strtol(entree->d_name, &fin, 10);
        if (*fin == '\0' && pid > 0 && pid != moi && choisi(pid)) {
            return static_cast<pid_t>(pid);
        }
    }
    return 0;
}

// A running ModemManager, by its name alone (/proc/PID/comm is anyone's to read, its
// descriptors only root's); pid 0 when none runs.
pid_t modemManagerEnService()
{
    return premierProcessus([](long pid) { return commandeDe(pid) == "ModemManager"; });
}

// ModemManager opens a new ttyACM for some seconds to try AT commands on it, in
// exclusive mode, and comes back at each plug: "fermez-le" does not stop a service. Its
// remedies, the least first; the udev rule for the device's own IDs where /sys gives
// them. `certain`: found among the port's holders, not only running.
std::string messageModemManager(const char* com, const std::string& chemin, pid_t pid, bool certain)
{
    struct stat s {};
    const std::string ids =
        ::stat(chemin.c_str(), &s) == 0 ? decrireTty("/sys", chemin, s.st_rdev).usbId : "";
    const std::size_t deuxPoints = ids.find(':');
    const bool connus = deuxPoints != std::string::npos;
    const std::string vid = connus ? ids.substr(0, deuxPoints) : "VVVV";
    const std::string produit = connus ? ids.substr(deuxPoints + 1) : "PPPP";
    const std::string qui = "ModemManager (pid " + std::to_string(pid) + "), le service des modems";
    return debut(com, chemin) +
           (certain ? qui + ", le sonde"
                    : "pris en exclusif par un programme d un autre compte, sans doute " + qui +
                          ", qui le sonde") +
           " : attendez quelques secondes, puis relancez "
           "gsicom ; s il le reprend, faites-lui ignorer ce materiel : la ligne "
           "ATTRS{idVendor}==\"" +
           vid + "\", ATTRS{idProduct}==\"" + produit + "\", ENV{ID_MM_DEVICE_IGNORE}=\"1\"" +
           (connus ? "" : " (VVVV:PPPP, ses identifiants USB, que lsusb donne)") +
           " dans /etc/udev/rules.d/99-gsicom.rules, puis sudo udevadm control --reload, et "
           "debranchez et rebranchez-le ; en dernier recours, sudo systemctl stop ModemManager "
           "(le modem mobile d un portable en a besoin : sudo systemctl start ModemManager le "
           "rend).";
}

}  // namespace

std::string nomPort(const char* com, const std::string& chemin)
{
    return std::string(com) + " (" + chemin + ")";
}

Detenteur chercherDetenteur(dev_t rdev)
{
    Detenteur d;
    d.pid = premierProcessus([rdev](long pid) { return tientLePeripherique(pid, rdev); });
    if (d.pid != 0) {
        d.commande = commandeDe(d.pid);
    }
    return d;
}

std::string messageOccupe(const char* com, const std::string& chemin, const Detenteur& d)
{
    if (d.pid != 0 && d.commande == "ModemManager") {
        return messageModemManager(com, chemin, d.pid, true);
    }
    std::string qui;
    if (d.pid != 0) {
        qui = " (" + (d.commande.empty() ? std::string("?") : d.commande) + ", pid " +
              std::to_string(d.pid) + ")";
    }
    return debut(com, chemin) + "occupe par un autre programme" + qui +
           " : fermez-le, puis relancez gsicom.";
}

// The remedy depends on the device's group: joining it helps only where the group
// may read and write, and a new group reaches a session only at the next login.
std::string messageAccesRefuse(const char* com, const std::string& chemin)
{
    std::string message = debut(com, chemin) + "acces refuse";
    struct stat s {};
    if (::stat(chemin.c_str(), &s) != 0) {
        return message + ".";
    }
    const group* groupe = ::getgrgid(s.st_gid);
    const std::string nomGroupe = groupe != nullptr ? groupe->gr_name : std::to_string(s.st_gid);
    if ((s.st_mode & (S_IRGRP | S_IWGRP)) != (S_IRGRP | S_IWGRP) || s.st_gid == 0 ||
        s.st_uid == ::geteuid() || groupeDuProcessus(s.st_gid)) {
        char droits[8];
        std::snprintf(droits, sizeof droits, "%04o", unsigned(s.st_mode & 07777));
        return message + " (groupe " + nomGroupe + ", droits " + droits +
               ") : demandez a l administrateur l acces a ce port.";
    }
    const passwd* p = ::getpwuid(::getuid());
    if (p == nullptr) {  // no name to add to the group: no command to give
        return message + " : le port est au groupe " + nomGroupe + ", et l uid " +
               std::to_string(::getuid()) +
               " n a pas de compte : demandez a l administrateur l acces a ce port.";
    }
    const std::string compte = p->pw_name;
    if (groupe != nullptr && membreDe(*groupe, *p)) {
        return message + " : le compte " + compte + " est deja dans le groupe " + nomGroupe +
               ", mais cette session ne le sait pas encore : reconnectez-vous.";
    }
    return message + " : le port est au groupe " + nomGroupe + " ; ajoutez-y le compte " + compte +
           " (sudo usermod -a -G " + nomGroupe + " " + compte + "), puis reconnectez-vous.";
}

std::string messageExclusif(const char* com, const std::string& chemin, dev_t rdev)
{
    if (const Detenteur d = rdev != 0 ? chercherDetenteur(rdev) : Detenteur{}; d.pid != 0) {
        return messageOccupe(com, chemin, d);
    }
    // A pty keeps the flag while its master is open, whoever set it; a real port's
    // goes with its last close, which a process of another account may still hold:
    // ModemManager, root's, most often, while it probes a new port.
    const bool pty = major(rdev) >= UNIX98_PTY_SLAVE_MAJOR &&
                     major(rdev) < UNIX98_PTY_SLAVE_MAJOR + UNIX98_PTY_MAJOR_COUNT;
    if (const pid_t mm = pty ? 0 : modemManagerEnService(); mm != 0) {
        return messageModemManager(com, chemin, mm, false);
    }
    const std::string pourquoi =
        debut(com, chemin) + "pris en exclusif par un programme introuvable, sans doute termine : ";
    if (pty) {
        return pourquoi +
               "relancez le simulateur (gsicom-sim) ou le programme qui fournit ce "
               "pseudo-terminal, puis gsicom.";
    }
    return pourquoi +
           "fermez le programme qui l a ouvert dans un autre compte, ou debranchez l adaptateur "
           "(l exclusivite part a la derniere fermeture), puis relancez gsicom.";
}

std::string messageErreurSysteme(const char* com, const std::string& chemin, int erreur)
{
    return debut(com, chemin) + std::strerror(erreur) + ".";
}

// A node with no device behind it is no port: no line for it. The 8250 driver's slots
// with no UART behind them open (see slotSansUart); refused to this account, they are
// known by their device number.
std::string refusOuverture(const char* com, const std::string& chemin, int erreur)
{
    switch (erreur) {
        case ENOENT:
        case ENXIO:
        case ENODEV:
        case EIO: return {};
        case EACCES:
        case EPERM: return noeudSansUart(chemin) ? std::string() : messageAccesRefuse(com, chemin);
        case EBUSY: {  // an exclusive flag: root is never refused so
            struct stat s {};
            return messageExclusif(com, chemin,
                                   ::stat(chemin.c_str(), &s) == 0 ? s.st_rdev : dev_t{0});
        }
        default: return messageErreurSysteme(com, chemin, erreur);
    }
}

}  // namespace gsicom
