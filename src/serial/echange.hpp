// The request/reply exchange: the only way any stage talks to the instrument.
// A stage puts its request into Etat::demande (or calls envoyer), the exchange writes
// it, waits for the instrument and reads one reply into Etat::readBuffer; it counts
// what the line brought on the way. And the words that tell those counts.
#pragma once

#include <string>

#include "socle/etat.hpp"

namespace gsicom {

// Write demande, wait 250 ms, read at most 2047 bytes into readBuffer (always
// NUL-terminated; empty when the instrument says nothing), and count what came in
// Etat::recu. Once the port has gone (Reception::portDisparu), the reply is empty at
// once, nothing asked. Never prints.
void ecritureETlectureSERIAL(Etat& e);

// Copy a whole request into demande and exchange it.
void envoyer(Etat& e, const char* requete);

// Format a request with a job position into demande and exchange it.
void envoyerAvecNumero(Etat& e, const char* format, int numero);

// How many of these bytes no instrument sends on its line: anything but printable
// ASCII, CR, LF and the end-of-data marker. A line at another speed or format, or
// noise, brings them.
std::size_t compterIllisibles(const char* octets, std::size_t taille);

// The line errors for the operator, as the driver's figure allows: "3 erreur(s) de
// ligne" where it counts them, "des erreurs de ligne signalees 3 fois" where it flags
// them at each read (Windows).
std::string direErreursLigne(std::uint32_t erreurs, LineErrorFigure figure);

// The line errors and the illegible bytes, those that are not 0, joined by "et"; empty
// when both are 0.
std::string direDoutes(std::uint32_t erreurs, LineErrorFigure figure, std::uint64_t illisibles);

// "COM1 (/dev/ttyS0) a disparu : ...": the chosen port gone, and why that may be (the
// instrument too, where the port may be its own).
std::string direPortDisparu(Etat& e);

// Whether the last reply is the end-of-data marker.
bool finDeDonnees(const Etat& e);

}  // namespace gsicom
