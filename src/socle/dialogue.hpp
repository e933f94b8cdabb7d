// Small helpers every stage uses to talk to the operator: a prompt and its answer,
// and a wait that shows what was printed before it.
#pragma once

#include "socle/etat.hpp"

namespace gsicom {

// What a stage says to the run: go on to the next stage, or end it with this code.
using Issue = int;
inline constexpr Issue kContinuer = -1;

// Exit codes of a run.
inline constexpr int kCodeOk = 0;
inline constexpr int kCodeErreur = 1;  // port or export file
inline constexpr int kCodeSansIdentite = 4;
// The instrument fell silent, or the port went, in the listing, a transfer or an erase.
inline constexpr int kCodeInterrompu = 5;
inline constexpr int kCodeSansJob = 6;

// Prints the prompt (no newline), puts it on the screen and reads the answer as
// lireChoix does.
int demander(Etat& e, const char* invite, int preset);

// Shows what was printed, then waits.
void attendre(Etat& e, std::uint32_t millisecondes);

}  // namespace gsicom
