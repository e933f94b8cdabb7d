// One run of gsicom, from the start screen to the exit code.
#pragma once

#include "socle/etat.hpp"

namespace gsicom {

// Runs every stage in turn until one ends the run, then the common end: release
// the port, pause, and return the exit code.
int executer(Etat& e);

}  // namespace gsicom
