// The warning for an export file that would land where the system throws files away.
#pragma once

#include "socle/dialogue.hpp"

namespace gsicom {

// When the current folder lies inside the system's temporary folder, one line on
// standard error that says so and how to run gsicom from a lasting folder. The run
// goes on either way: at its start (after the start screen, which would scroll the
// line away) and again before the closing menu offers to erase the job.
Issue avertirDossier(Etat& e);

}  // namespace gsicom
