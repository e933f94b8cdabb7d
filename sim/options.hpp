// The command line of gsicom-sim: its options, the faults they inject, and the C
// escapes with which a reply text holds any byte (and the request log shows one).
#pragma once

#include <string>
#include <string_view>

#include "instrument.hpp"

namespace gsicom::sim {

struct Options {
    std::string fichierMemoire;
    long jobs = -1;  // generated jobs; -1: the demo memory
    long mesures = 10;
    std::string lien;
    std::string journal;
    bool cadence = true;
    long vitesse = 0;  // the instrument's own line speed, baud; 0: whatever the program set
    bool uneSession = false;
    bool aide = false;
    Pannes pannes;
};

// The text --aide prints.
extern const char kAide[];

// Reads argv into o; false with a message when an option or its value is refused.
bool lireOptions(int argc, char** argv, Options& o, std::string& erreur);

// C escapes \r \n \t \\ \" \xHH decoded into bytes; false on a malformed escape.
bool decoder(std::string_view texte, std::string& octets);

// The other way: bytes as printable text, \xHH for anything outside ASCII 0x20-0x7E.
std::string echapper(std::string_view octets);

}  // namespace gsicom::sim
