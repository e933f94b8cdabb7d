#include "serial/adaptateurs.hpp"

#include <cctype>
#include <cstdio>
#include <optional>

namespace gsicom {

namespace {

struct Fabricant {
    std::uint16_t vid;
    const char* nom;
    std::uint16_t produits[9];  // its USB-serial bridges, 0 after the last
};

// The bridges of the cables sold with instruments and on the shelves: FT232R/FT2232/
// FT4232/FT232H/FT-X; PL2303 and its GC to GS successors; CP210x, CP2105, CP2108,
// CP2110; CH340, CH341, CH342/343, CH9102, CH344, CH9101.
constexpr Fabricant kFabricants[] = {
    {0x0403, "FTDI", {0x6001, 0x6010, 0x6011, 0x6014, 0x6015}},
    {0x067B, "Prolific", {0x2303, 0x23A3, 0x23B3, 0x23C3, 0x23D3, 0x23E3, 0x23F3}},
    {0x10C4, "Silicon Labs", {0xEA60, 0xEA61, 0xEA63, 0xEA70, 0xEA71, 0xEA7A, 0xEA7B, 0xEA80}},
    {0x1A86, "WCH", {0x7523, 0x7522, 0x5523, 0x55D2, 0x55D3, 0x55D4, 0x55D5, 0x55D8}},
};

const Fabricant* fabricant(std::uint16_t vid)
{
    for (const Fabricant& f : kFabricants) {
        if (f.vid == vid) {
            return &f;
        }
    }
    return nullptr;
}

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

bool parmi(const std::vector<std::string>& ids, const char* debut)
{
    for (const std::string& id : ids) {
        if (commencePar(id, debut)) {
            return true;
        }
    }
    return false;
}

// *PNP0400 and *PNP0401: a printer port, which the Ports class holds too.
bool portParallele(const DeviceRecord& p)
{
    return enMinuscules(p.hardwareId).find("pnp040") != std::string::npos ||
           parmi(p.compatibleIds, "*PNP040");
}

bool adaptateurSerie(const DeviceRecord& p, const std::optional<std::uint16_t>& vid,
                     const std::optional<std::uint16_t>& pid)
{
    if (p.problem == 0 || portParallele(p)) {
        return false;
    }
    const bool sansPilote = p.deviceClass.empty() || p.problem == 28;
    return enMinuscules(p.deviceClass) == "ports" || (vid && pid && pontUsbSerie(*vid, *pid)) ||
           (sansPilote && parmi(p.compatibleIds, "USB\\Class_02&SubClass_02"));
}

// Why, and what to do, for the Device Manager's problem code.
std::string remede(std::uint32_t code, const char* nomFabricant)
{
    const std::string numero = " (code " + std::to_string(code) + ") : ";
    const std::string duFabricant = nomFabricant != nullptr
                                        ? std::string(" du fabricant (") + nomFabricant + ")"
                                        : std::string(" du fabricant de l adaptateur");
    switch (code) {
        case 28:
            return "Windows n a pas son pilote" + numero + "installez le pilote" + duFabricant +
                   ", puis relancez gsicom.";
        case 10:
            return "son pilote refuse de le demarrer" + numero +
                   "installez une version plus ancienne du pilote" + duFabricant +
                   " (la derniere refuse parfois les puces anciennes ou copiees), ou prenez un "
                   "autre adaptateur, puis relancez gsicom.";
        case 22:
            return "il est desactive" + numero +
                   "activez-le dans le Gestionnaire de peripheriques (clic droit, Activer le "
                   "peripherique), puis relancez gsicom.";
        default:
            return "Windows le signale en panne" + numero +
                   "debranchez-le, branchez-le sur une autre prise USB et voyez son etat dans le "
                   "Gestionnaire de peripheriques (Proprietes, Etat du peripherique), puis "
                   "relancez gsicom.";
    }
}

}  // namespace

const char* fabricantDePonts(std::uint16_t vid)
{
    const Fabricant* f = fabricant(vid);
    return f != nullptr ? f->nom : nullptr;
}

bool pontUsbSerie(std::uint16_t vid, std::uint16_t pid)
{
    const Fabricant* f = fabricant(vid);
    for (std::size_t i = 0; f != nullptr && pid != 0 && i < std::size(f->produits); ++i) {
        if (f->produits[i] == pid) {
            return true;
        }
    }
    return false;
}

std::string echappe(const std::string& octets)
{
    std::string texte;
    for (const char c : octets) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x20 || u > 0x7e || c == '"' || c == '\\') {
            char hex[5];
            std::snprintf(hex, sizeof hex, "\\x%02X", u);
            texte += hex;
        } else {
            texte += c;
        }
    }
    return texte;
}

std::string debutSansPort(const std::string& quoi, const std::string& nom, const std::string& ids)
{
    return quoi + (nom.empty() ? "" : " \"" + echappe(nom) + "\"") +
           (ids.empty() ? "" : " (" + ids + ")") + " ne donne aucun port : ";
}

std::vector<std::string> adaptateursSansPortWindows(const std::vector<DeviceRecord>& peripheriques)
{
    std::vector<std::string> lignes;
    for (const DeviceRecord& p : peripheriques) {
        const std::optional<std::uint16_t> vid = champHex(p.hardwareId, "VID_");
        const std::optional<std::uint16_t> pid = champHex(p.hardwareId, "PID_");
        if (!adaptateurSerie(p, vid, pid)) {
            continue;
        }
        std::string ids;
        if (vid && pid) {
            char texte[10];
            std::snprintf(texte, sizeof texte, "%04X:%04X", unsigned(*vid), unsigned(*pid));
            ids = texte;
        }
        lignes.push_back(debutSansPort(vid ? "Adaptateur USB-serie" : "Port serie", p.name, ids) +
                         remede(p.problem, vid ? fabricantDePonts(*vid) : nullptr));
    }
    return lignes;
}

}  // namespace gsicom
