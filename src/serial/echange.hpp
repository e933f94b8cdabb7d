// The request/reply exchange: the only way any stage talks to the instrument.
// A stage puts its request into Etat::demande (or calls envoyer), the exchange writes
// it, waits for the instrument and reads one reply into Etat::readBuffer; it counts
// what the line brought on the way.
#pragma once

#include "console/etat.hpp"

namespace gsicom {

// Write demande, wait 250 ms, read at most 2047 bytes into readBuffer (always
// NUL-terminated; empty when the instrument says nothing), and count what came in
// Etat::recu. Never prints.
void ecritureETlectureSERIAL(Etat& e);

// Copy a whole request into demande and exchange it.
void envoyer(Etat& e, const char* requete);

// Format a request with a job position into demande and exchange it.
void envoyerAvecNumero(Etat& e, const char* format, int numero);

// How many of these bytes no instrument sends on its line: anything but printable
// ASCII, CR, LF and the end-of-data marker. A line at another speed or format, or
// noise, brings them.
std::size_t compterIllisibles(const char* octets, std::size_t taille);

// Whether the last reply is the end-of-data marker.
bool finDeDonnees(const Etat& e);

}  // namespace gsicom
