// Parsers of what the instrument sends back, kept free of I/O so that they can be
// tested and fuzzed on their own: the name in the GeoCOM reply, the temperature,
// a directory line, the check that a job name is safe to put in a file name, and a
// reply quoted for a message.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "socle/etat.hpp"

namespace gsicom {

// The text between the first and the last double quote of reply, cut to the first
// taille - 1 characters and NUL-terminated into modele. False when there is no such
// pair of quotes (no quote, or only one).
bool extraireNom(const char* reply, char* modele, std::size_t taille);

// The temperature in a "0091/%d" reply; 0 when the reply does not begin that way.
// A number that does not fit saturates at the limits of a 32-bit integer.
int lireTemperature(const char* reply);

// One directory line into a row, with the rules of strtok(",") and atoi: runs of
// commas are one separator, the name is cut to 63 characters, a missing number is 0,
// the line ending stays on the last field present.
Job analyserLigneJob(const char* ligne);

// A reply as the operator's messages quote it: between double quotes, with \r, \n,
// \t, \\, \" and \xHH for the other bytes outside printable ASCII, the quoted text
// cut at 80 characters (never inside an escape) and followed by "..." when cut.
std::string citerReponse(std::string_view reponse);

// Why a job name cannot become part of the export file's name, or nullptr when it can.
// A path separator, a drive colon, a control character or a character Windows refuses
// in file names would put the file elsewhere or make it unreadable.
const char* defautNomExport(std::string_view nom);

}  // namespace gsicom
