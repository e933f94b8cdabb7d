#include "appareils/ports_decrits.hpp"

#include "appareils/adaptateurs.hpp"

namespace gsicom {

namespace {

// A text a device gave itself, escaped and quoted; empty stays empty.
std::string entreGuillemets(const std::string& texte)
{
    if (texte.empty()) {
        return {};
    }
    std::string cite(1, '"');
    cite += echappe(texte);
    cite += '"';
    return cite;
}

// The paired device as a line names it: its name quoted where the system knows it.
std::string appareil(const PortDescription& port, const char* sansNom)
{
    return port.remoteName.empty() ? sansNom : entreGuillemets(port.remoteName);
}

// "COM5" or "COM5 ou COM8": the outgoing Bluetooth ports among `numeros`.
std::string portsSortants(const std::vector<PortDescription>& ports,
                          const std::vector<int>& numeros)
{
    std::string liste;
    for (const int numero : numeros) {
        const PortDescription* port = descriptionDuPort(ports, numero);
        if (port != nullptr && port->kind == PortKind::bluetoothOutgoing) {
            liste += (liste.empty() ? "COM" : " ou COM") + std::to_string(numero);
        }
    }
    return liste;
}

std::vector<int> tousLesNumeros(const std::vector<PortDescription>& ports)
{
    std::vector<int> numeros;
    for (const PortDescription& port : ports) {
        numeros.push_back(port.number);
    }
    return numeros;
}

}  // namespace

const PortDescription* descriptionDuPort(const std::vector<PortDescription>& ports, int numero)
{
    for (const PortDescription& port : ports) {
        if (port.number == numero) {
            return &port;
        }
    }
    return nullptr;
}

std::string direPortListe(const std::vector<PortDescription>& ports, const std::vector<int>& listes,
                          int numero, const std::string& nom)
{
    const PortDescription* port = descriptionDuPort(ports, numero);
    if (port == nullptr) {
        return {};
    }
    const std::string quoi = entreGuillemets(port->name);
    const std::string ids = port->usbId.empty() ? "" : "USB " + echappe(port->usbId);
    std::string texte;
    switch (port->kind) {
        case PortKind::usb: texte = quoi + (quoi.empty() || ids.empty() ? "" : ", ") + ids; break;
        case PortKind::uart:
            texte =
                "port serie du PC" + (port->name.empty() ? "" : " (" + echappe(port->name) + ")");
            break;
        case PortKind::bluetooth:
            texte = "Bluetooth" + (port->remoteName.empty() ? "" : ", " + appareil(*port, ""));
            break;
        case PortKind::bluetoothOutgoing:
            texte = "Bluetooth, port sortant vers " + appareil(*port, "le peripherique appaire") +
                    " : le port a choisir pour lui";
            break;
        case PortKind::bluetoothIncoming: {
            const std::string sortants = portsSortants(ports, listes);
            texte = "Bluetooth, port entrant : aucun materiel n y repond" +
                    (sortants.empty() ? std::string() : ", choisissez " + sortants);
            break;
        }
        case PortKind::unknown:
            texte = quoi + (quoi.empty() || ids.empty() ? "" : ", ") + ids;
            break;
    }
    return texte.empty() ? std::string() : nom + " : " + texte;
}

std::string annonceConnexion(const PortDescription& port, const std::string& nom)
{
    return nom + " : connexion Bluetooth a " + appareil(port, "son peripherique appaire") +
           " (quelques secondes s il est eteint ou hors de portee)...";
}

std::string connexionSansReponse(const PortDescription& port, const std::string& nom)
{
    return nom + " : " + appareil(port, "le peripherique Bluetooth appaire") +
           " n a pas repondu a la connexion (eteint, hors de portee ou plus appaire) : allumez-le "
           "pres du PC (ou appairez-le de nouveau), puis relancez gsicom.";
}

std::string portEntrantChoisi(const std::vector<PortDescription>& ports, const std::string& nom)
{
    const std::string sortants = portsSortants(ports, tousLesNumeros(ports));
    return nom +
           " est le port Bluetooth entrant, ou aucun materiel ne repond : relancez gsicom et "
           "choisissez " +
           (sortants.empty()
                ? std::string("le port sortant du materiel (parametres Bluetooth du PC)")
                : sortants + ", le port sortant") +
           ".";
}

}  // namespace gsicom
