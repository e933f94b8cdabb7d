#include "appareils/ports_windows.hpp"

#include <cctype>
#include <cstring>

#include "serial/chemin_com.hpp"

namespace gsicom {

namespace {

bool memeLettres(const std::string& a, const char* b)
{
    if (a.size() != std::strlen(b)) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (std::toupper(static_cast<unsigned char>(a[i])) !=
            std::toupper(static_cast<unsigned char>(b[i]))) {
            return false;
        }
    }
    return true;
}

bool debute(const std::string& texte, const char* debut)
{
    return memeLettres(texte.substr(0, std::strlen(debut)), debut);
}

bool chiffresHex(const std::string& texte)
{
    for (const char c : texte) {
        if (!std::isxdigit(static_cast<unsigned char>(c))) {
            return false;
        }
    }
    return true;
}

// The four hex digits after `cle` ("VID_") in a device ID, upper case as Windows shows
// them; empty where there are none.
std::string champ(const std::string& id, const char* cle)
{
    const std::size_t n = std::strlen(cle);
    for (std::size_t i = 0; i + n + 4 <= id.size(); ++i) {
        const std::string chiffres = id.substr(i + n, 4);
        if (memeLettres(id.substr(i, n), cle) && chiffresHex(chiffres)) {
            std::string majuscules;
            for (const char c : chiffres) {
                majuscules += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
            }
            return majuscules;
        }
    }
    return {};
}

// "USB Serial Port (COM3)" -> "USB Serial Port": Windows adds the port to the name.
std::string sansPort(std::string nom)
{
    const std::size_t ouvrante = nom.rfind(" (COM");
    if (ouvrante != std::string::npos && nom.size() > ouvrante + 6 && nom.back() == ')' &&
        numeroDePortWindows(nom.substr(ouvrante + 2, nom.size() - ouvrante - 3)) != 0) {
        nom.erase(ouvrante);
    }
    return nom;
}

}  // namespace

int numeroDePortWindows(const std::string& portName)
{
    if (!debute(portName, "COM") || portName.size() < 4 || portName.size() > 5 ||
        portName[3] == '0') {
        return 0;
    }
    int numero = 0;
    for (std::size_t i = 3; i < portName.size(); ++i) {
        if (!std::isdigit(static_cast<unsigned char>(portName[i]))) {
            return 0;
        }
        numero = numero * 10 + (portName[i] - '0');
    }
    return numero >= kPremierPort && numero <= kDernierPort ? numero : 0;
}

std::optional<std::string> adresseBluetooth(const std::string& instanceId)
{
    const std::size_t barre = instanceId.rfind('\\');
    if (!debute(instanceId, "BTHENUM\\{") || barre == std::string::npos) {
        return std::nullopt;
    }
    // The instance part's last field: "001122334455_C00000000".
    const std::size_t esperluette = instanceId.rfind('&');
    const std::size_t debut =
        esperluette != std::string::npos && esperluette > barre ? esperluette + 1 : barre + 1;
    const std::string adresse = instanceId.substr(debut, 12);
    if (adresse.size() != 12 || !chiffresHex(adresse) || instanceId.size() <= debut + 12 ||
        instanceId[debut + 12] != '_') {
        return std::nullopt;
    }
    return adresse;
}

std::optional<std::string> adresseAppareilBluetooth(const std::string& instanceId)
{
    if (!debute(instanceId, "BTHENUM\\DEV_")) {
        return std::nullopt;
    }
    const std::size_t debut = std::strlen("BTHENUM\\DEV_");
    const std::string adresse = instanceId.substr(debut, 12);
    if (adresse.size() != 12 || !chiffresHex(adresse) ||
        (instanceId.size() > debut + 12 && instanceId[debut + 12] != '\\')) {
        return std::nullopt;
    }
    return adresse;
}

std::string nomBluetoothEnregistre(const std::string& octets)
{
    return octets.substr(0, octets.find('\0'));
}

bool nomGenerique(const std::string& nom)
{
    // The English names of Microsoft's usbser and of FTDI's and others' drivers, and
    // usbser's in French and German.
    static const char* const kGeneriques[] = {
        "USB Serial Port",
        "USB Serial Device",
        "P\xC3\xA9riph\xC3\xA9rique s\xC3\xA9rie USB",
        "Serielles USB-Ger\xC3\xA4t",
    };
    for (const char* generique : kGeneriques) {
        if (memeLettres(nom, generique)) {
            return true;
        }
    }
    return false;
}

PortDescription decrirePortWindows(const FichePortWindows& fiche)
{
    PortDescription port;
    port.number = numeroDePortWindows(fiche.portName);
    const std::string nom = sansPort(fiche.friendlyName);
    const std::string vid = champ(fiche.hardwareId, "VID_");
    const std::string pid = champ(fiche.hardwareId, "PID_");
    if (debute(fiche.instanceId, "BTHENUM\\")) {
        const std::optional<std::string> adresse = adresseBluetooth(fiche.instanceId);
        port.kind = !adresse                           ? PortKind::bluetooth
                    : *adresse == std::string(12, '0') ? PortKind::bluetoothIncoming
                                                       : PortKind::bluetoothOutgoing;
        port.remoteName = port.kind == PortKind::bluetoothIncoming ? "" : fiche.remoteName;
    } else if (memeLettres(fiche.hardwareId, "ACPI\\PNP0501") ||
               memeLettres(fiche.hardwareId, "*PNP0501")) {
        port.kind = PortKind::uart;  // "Communications Port" tells no more than that
    } else if (!vid.empty() && !pid.empty()) {
        port.kind = PortKind::usb;
        port.usbId = vid + ":" + pid;
        // An FTDI's port hangs on its USB device, which has the product string: a parent
        // of other IDs (a hub) is another device.
        const std::string produit = !fiche.busReported.empty() ||
                                            champ(fiche.parentId, "VID_") != vid ||
                                            champ(fiche.parentId, "PID_") != pid
                                        ? fiche.busReported
                                        : fiche.parentBusReported;
        port.name = nomGenerique(nom) && !produit.empty() ? produit : nom;
    } else {
        port.name = nom;
    }
    return port;
}

}  // namespace gsicom
