// The lines the shared wording gives for devices Windows marks with a problem, which
// the Wine cases compare gsicom.exe's with: one device a line on standard input, its
// fields separated by tabs (name, first hardware ID, class, compatible IDs separated by
// ';', problem code, instance ID); each line out as standard error gives it with no port
// available, without its ">> ". Wine gives no device's parent: neither does this.
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "appareils/peripheriques_windows.hpp"

namespace {

std::vector<std::string> champs(const std::string& texte, char separateur)
{
    std::vector<std::string> morceaux;
    std::istringstream flux(texte);
    for (std::string morceau; std::getline(flux, morceau, separateur);) {
        morceaux.push_back(morceau);
    }
    return morceaux;
}

}  // namespace

int main()
{
    std::vector<gsicom::DeviceRecord> peripheriques;
    for (std::string ligne; std::getline(std::cin, ligne);) {
        std::vector<std::string> c = champs(ligne, '\t');
        if (c.size() != 6) {
            std::cerr << "lignes_en_panne: 6 fields wanted, tab-separated: " << ligne << '\n';
            return 2;
        }
        peripheriques.push_back({c[0], c[1], c[2], champs(c[3], ';'),
                                 static_cast<std::uint32_t>(std::stoul(c[4])), c[5]});
    }
    const gsicom::LignesWindows lignes = gsicom::adaptateursSansPortWindows(peripheriques);
    for (const auto* liste : {&lignes.adaptateurs, &lignes.siAucunPort}) {
        for (const std::string& ligne : *liste) {
            std::cout << ligne << '\n';
        }
    }
    return 0;
}
