// The simulated instrument's job memory: read from a small text file, or generated.
//
// The file, one directive a line, '#' starts a comment line:
//   nom TS-SIM 30            the instrument's name (GeoCOM 5004)
//   temperature -5           degrees Celsius (CONF/91)
//   format 0,GSI8            a line of the format list (replaces the default list)
//   job SITE A,1,12,3        a job: its directory line exactly as listed
//   obs <GSI line>           an observation line of the last job
//   coord <GSI line>         a coordinate line of the last job
//   generer 3 10 [graine]    3 more jobs of 10 measurements each, generated
#pragma once

#include <istream>
#include <string>

#include "instrument.hpp"

namespace gsicom::sim {

// Parses the file; false with a message naming the line when it cannot.
bool chargerMemoire(std::istream& entree, Memoire& memoire, std::string& erreur);

// A job of a station line and `mesures` measurement lines (GSI-16), with the
// matching coordinates, from a seeded random source.
JobSimule genererJob(const std::string& nom, int no, int mesures, unsigned graine);

// The default memory of the demo: three jobs of a small site.
Memoire memoireDemo();

}  // namespace gsicom::sim
