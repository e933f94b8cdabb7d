// Why a Linux serial device that exists cannot be used, in the operator's words:
// another process holds it (found as fuser finds it), or this account may not open
// it. Used by the Linux port (linux/port.cpp, linux/prise.cpp, linux/hors_table.cpp),
// and by gsicom-sim, which looks for its port's other holders as gsicom does.
#pragma once

#include <sys/types.h>

#include <string>

namespace gsicom {

// A process other than this one that has the character device `rdev` open. pid 0
// when none is found, and when /proc cannot be read: the port is then kept only by
// flock and the exclusive flag.
struct Detenteur {
    pid_t pid = 0;
    std::string commande;  // its command name, /proc/<pid>/comm
};
Detenteur chercherDetenteur(dev_t rdev);

// The port as every message names it: "COMn (/dev/...)".
std::string nomPort(const char* com, const std::string& chemin);

// One line each, without its newline: "COMn (/dev/...) : why : what to do". A port
// ModemManager probes gets that service's remedies, not "fermez-le".
std::string messageOccupe(const char* com, const std::string& chemin, const Detenteur& d);
// The exclusive flag of the device `rdev` is set: the process that holds it is named,
// or, where none is found, the one that set it has probably ended.
std::string messageExclusif(const char* com, const std::string& chemin, dev_t rdev);
std::string messageAccesRefuse(const char* com, const std::string& chemin);
std::string messageErreurSysteme(const char* com, const std::string& chemin, int erreur);

// Why open() failed with `erreur`; empty where there is no port: no node, or a node
// with no device behind it.
std::string refusOuverture(const char* com, const std::string& chemin, int erreur);

}  // namespace gsicom
