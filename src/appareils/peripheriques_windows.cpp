#include "appareils/peripheriques_windows.hpp"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <optional>

#include "appareils/adaptateurs.hpp"

namespace gsicom {

namespace {

std::string enMinuscules(std::string texte)
{
    for (char& c : texte) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return texte;
}

bool commencePar(const std::string& texte, const std::string& debut)
{
    return enMinuscules(texte.substr(0, debut.size())) == enMinuscules(debut);
}

// The four hex digits after `cle` in a Windows device ID ("VID_" in
// "USB\VID_1A86&PID_7523&REV_0264"), in any case.
std::optional<std::uint16_t> champHex(const std::string& id, const char* cle)
{
    const std::size_t debut = enMinuscules(id).find(enMinuscules(cle));
    if (debut == std::string::npos) {
        return std::nullopt;
    }
    const std::string chiffres = id.substr(debut + std::char_traits<char>::length(cle), 4);
    unsigned valeur = 0;
    for (const char c : chiffres) {
        if (!std::isxdigit(static_cast<unsigned char>(c))) {
            return std::nullopt;
        }
        valeur = valeur * 16 + (std::isdigit(static_cast<unsigned char>(c))
                                    ? c - '0'
                                    : std::tolower(static_cast<unsigned char>(c)) - 'a' + 10);
    }
    return chiffres.size() == 4 ? std::optional<std::uint16_t>(valeur) : std::nullopt;
}

bool contient(const std::string& texte, const std::string& morceau)
{
    return enMinuscules(texte).find(enMinuscules(morceau)) != std::string::npos;
}

bool parmi(const std::vector<std::string>& ids, const char* debut)
{
    for (const std::string& id : ids) {
        if (commencePar(id, debut)) {
            return true;
        }
    }
    return false;
}

// A legacy PC device of the PNP family `famille` ("050": a COM port, "040": a printer
// port), under either form of its ID: "ACPI\PNP0501", "*PNP0501", "ACPI\VEN_PNP&DEV_0501".
bool pnp(const DeviceRecord& p, const std::string& famille)
{
    std::vector<std::string> ids = p.compatibleIds;
    ids.push_back(p.hardwareId);
    for (const std::string& id : ids) {
        if (contient(id, "PNP" + famille) || contient(id, "VEN_PNP&DEV_" + famille)) {
            return true;
        }
    }
    return false;
}

bool adaptateurSerie(const DeviceRecord& p, const std::optional<std::uint16_t>& vid,
                     const std::optional<std::uint16_t>& pid)
{
    if (p.problem == 0 || pnp(p, "040")) {
        return false;
    }
    const bool sansPilote = p.deviceClass.empty() || p.problem == 28;
    return enMinuscules(p.deviceClass) == "ports" || (vid && pid && pontUsbSerie(*vid, *pid)) ||
           (sansPilote && parmi(p.compatibleIds, "USB\\Class_02&SubClass_02"));
}

// What a device is, for its line's words: USB advice only for a device with USB IDs.
enum class Sorte {
    usb,        // an adapter, or an instrument's own USB port
    portDuPc,   // the PC's own COM port
    bluetooth,  // a serial link over Bluetooth
    autre,      // another serial port: a PCI card...
};

Sorte sorte(const DeviceRecord& p, bool idsUsb)
{
    if (commencePar(p.hardwareId, "BTHENUM\\")) {
        return Sorte::bluetooth;
    }
    if (idsUsb) {
        return Sorte::usb;
    }
    return pnp(p, "050") ? Sorte::portDuPc : Sorte::autre;
}

const char* quoi(Sorte s)
{
    switch (s) {
        case Sorte::usb: return "Adaptateur USB-serie";
        case Sorte::portDuPc: return "Port serie du PC";
        case Sorte::bluetooth: return "Port serie Bluetooth";
        default: return "Port serie";
    }
}

// What the Device Manager's problem code says, in a few words.
std::string cause(std::uint32_t code)
{
    const struct {
        std::uint32_t code;
        const char* texte;
    } causes[] = {
        {10, "son pilote refuse de le demarrer"},
        {14, "Windows doit redemarrer pour le faire marcher"},
        {22, "il est desactive"},
        {28, "Windows n a pas son pilote"},
        {29, "le micrologiciel du PC l a desactive"},
        {43, "Windows le signale en panne"},
        {48, "Windows bloque son pilote, connu pour poser probleme"},
        {52, "Windows ne peut pas verifier la signature de son pilote"},
    };
    for (const auto& c : causes) {
        if (c.code == code) {
            return c.texte;
        }
    }
    return "Windows lui signale un probleme";
}

// What to do for the code, as Microsoft resolves each: the advice on a maker's driver or a
// USB socket only for a USB device; where none fits, where the Device Manager tells more.
std::string remede(std::uint32_t code, Sorte s, const char* nomFabricant)
{
    const bool usb = s == Sorte::usb;
    const std::string duFabricant = nomFabricant != nullptr
                                        ? std::string(" du fabricant (") + nomFabricant + ")"
                                        : std::string(" du fabricant de l adaptateur");
    if (code == 14) {
        return "redemarrez le PC";
    }
    if (code == 22) {
        return "activez-le dans le Gestionnaire de peripheriques (clic droit, Activer le "
               "peripherique)";
    }
    if (code == 29) {
        return "activez-le dans la configuration du micrologiciel du PC (BIOS ou UEFI, a "
               "l allumage)";
    }
    if (usb && code == 28) {
        return "installez le pilote" + duFabricant;
    }
    if (usb && code == 10 && nomFabricant != nullptr) {
        return "installez une version plus ancienne du pilote" + duFabricant +
               " (la derniere refuse parfois les puces anciennes ou copiees), ou prenez un autre "
               "adaptateur";
    }
    if (usb && code == 48) {
        return "installez la version actuelle du pilote" + duFabricant +
               ", que Windows ne bloque pas";
    }
    if (usb && code == 52) {
        return "installez le pilote signe" + duFabricant;
    }
    return std::string(usb && code == 43 ? "debranchez-le, branchez-le sur une autre prise USB et "
                                         : "") +
           "voyez son etat dans le Gestionnaire de peripheriques (Proprietes, Etat du "
           "peripherique)";
}

// A USB device Windows could not read as it was plugged in (no IDs, no name of its own):
// a cable, a socket, too little power, or a failing device, which may be the adapter.
bool usbIllisible(const DeviceRecord& p)
{
    for (const char* id : {"USB\\DEVICE_DESCRIPTOR_FAILURE", "USB\\RESET_FAILURE",
                           "USB\\SET_ADDRESS_FAILURE", "USB\\CONFIG_DESCRIPTOR_FAILURE"}) {
        if (enMinuscules(p.hardwareId) == enMinuscules(id)) {
            return p.problem != 0;
        }
    }
    return false;
}

// The physical device a record is part of, in lower case, so that an adapter's
// interfaces give one line: its USB device as Windows gave it, else as its interface's
// instance ID shows it ("USB\VID_10C4&PID_EA70&MI_01\6&2B1F3E9A&0&0001" is part of
// "USB\VID_10C4&PID_EA70\6&2B1F3E9A&0"), else the device itself. Empty where unknown.
std::string appareilPhysique(const DeviceRecord& p)
{
    const std::string id = enMinuscules(!p.adapterId.empty() ? p.adapterId : p.instanceId);
    if (!p.adapterId.empty() || !morceauUsb(id)) {
        return id;
    }
    const std::size_t barre = id.find('\\', id.find('\\') + 1);
    const std::size_t interface = id.find("&mi_");
    const std::size_t numero = id.rfind('&');
    if (interface > barre || barre == std::string::npos || numero < barre) {
        return {};  // a port below an interface: its parents alone tell its device
    }
    return id.substr(0, interface) + id.substr(interface + 6, numero - interface - 6);
}

}  // namespace

bool morceauUsb(const std::string& id)
{
    const std::string debut = enMinuscules(id.substr(0, id.find('\\', id.find('\\') + 1)));
    return debut.find("&mi_") != std::string::npos || commencePar(debut, "FTDIBUS\\");
}

LignesWindows adaptateursSansPortWindows(const std::vector<DeviceRecord>& peripheriques)
{
    LignesWindows lignes;
    std::vector<std::string> appareilsDits;
    for (const DeviceRecord& p : peripheriques) {
        const std::string numero = " (code " + std::to_string(p.problem) + ") : ";
        if (usbIllisible(p)) {
            lignes.siAucunPort.push_back(
                "Peripherique USB" + (p.name.empty() ? "" : " \"" + echappe(p.name) + "\"") +
                " que Windows n a pas pu lire" + numero +
                "si c est l adaptateur du cable, son cable, sa prise ou le courant qu elle donne "
                "est en cause : branchez-le sur une autre prise USB du PC lui-meme (sans "
                "concentrateur) ou changez de cable, puis relancez gsicom.");
            continue;
        }
        const std::optional<std::uint16_t> vid = champHex(p.hardwareId, "VID_");
        const std::optional<std::uint16_t> pid = champHex(p.hardwareId, "PID_");
        if (!adaptateurSerie(p, vid, pid)) {
            continue;
        }
        const Sorte s = sorte(p, vid && pid);
        std::string ids;
        if (s == Sorte::usb) {
            char texte[10];
            std::snprintf(texte, sizeof texte, "%04X:%04X", unsigned(*vid), unsigned(*pid));
            ids = texte;
        }
        const std::string ligne =
            debutSansPort(quoi(s), p.name, ids) + cause(p.problem) + numero +
            remede(p.problem, s, s == Sorte::usb ? fabricantDePonts(*vid) : nullptr) +
            ", puis relancez gsicom.";
        // A port disabled on purpose is no news while another port serves.
        std::vector<std::string>& ou = p.problem == 22 ? lignes.siAucunPort : lignes.adaptateurs;
        const std::string appareil = appareilPhysique(p);
        const std::vector<std::string>& dits = appareil.empty() ? ou : appareilsDits;
        const std::string& cle = appareil.empty() ? ligne : appareil;
        if (std::find(dits.begin(), dits.end(), cle) != dits.end()) {
            continue;
        }
        if (!appareil.empty()) {
            appareilsDits.push_back(appareil);
        }
        ou.push_back(ligne);
    }
    return lignes;
}

}  // namespace gsicom
