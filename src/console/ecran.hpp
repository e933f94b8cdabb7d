// The fixed screens around the dialogue: the start screen, the picture after a bad
// port choice and the closing screen after an erase, with the two rules that frame
// them. The art itself is data, in console/art.cpp.
#pragma once

#include "socle/dialogue.hpp"

namespace gsicom {

// Rule A: 127 characters, four spaces then 62 '-' separated by single spaces.
void afficherRegleA(Etat& e);
// Rule B: 124 characters, one space then 62 '-' separated by single spaces.
void afficherRegleB(Etat& e);

// Banner, title lines and start picture: 88 lines before the port scan.
Issue afficherEcranDepart(Etat& e);
void afficherImageMauvaisPort(Etat& e);
// "FIN POUR LE MOMENT" and the closing picture, after an erase.
void afficherEcranFin(Etat& e);

}  // namespace gsicom
