// The stages of the run that use the link: identification, job directory, download
// and the closing menu with the erase. Each hands over (kContinuer) or ends the run.
#pragma once

#include "socle/dialogue.hpp"

namespace gsicom {

// An instrument that goes silent gives empty replies, each after 250 + 20520 ms: after
// this many in a row a listing, a transfer or an erase stops and the run ends with
// kCodeInterrompu. About 83 s of waiting; a transfer then sends its closing
// "c", which waits too: under 105 s in all.
inline constexpr int kMaxReponsesVides = 4;

// Name and temperature of the instrument, then the format list.
Issue identifierInstrument(Etat& e);

// Pages through the job directory into Etat::jobs and shows it as a table.
Issue lireRepertoire(Etat& e);
void afficherTableJobs(Etat& e);

// One job, observations or points, into a new GSI file in the current directory.
Issue telechargerJob(Etat& e);

// Leave, or erase one job or all of them after the erase code.
Issue menuFinal(Etat& e);

}  // namespace gsicom
