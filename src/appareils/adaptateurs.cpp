#include "appareils/adaptateurs.hpp"

#include <cstdio>

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

}  // namespace gsicom
