// Bringing the link up: the scan of COM1 to COM30 and the operator's choice, then
// opening the chosen port, the speed menu, 8N1 with the read time-outs, and the
// wake-up of the instrument. Stages of the run (see console/deroulement.cpp).
#pragma once

#include <string>

#include "socle/dialogue.hpp"

namespace gsicom {

// The chosen port (Etat::portChoisi) as the operator's messages name it.
std::string nomPortChoisi(Etat& e);

// Lists the ports that open, asks for one, keeps it in Etat::portChoisi. Standard error
// names the ports that exist but cannot be used, and those beyond COM30.
Issue choisirPort(Etat& e);

// Opens the chosen port into hSerial, sets its speed, 8N1 and time-outs.
Issue ouvrirPort(Etat& e);

// "a", the 2.5 s progress line, "c".
Issue reveillerInstrument(Etat& e);

}  // namespace gsicom
