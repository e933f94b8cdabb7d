// Reading the operator's answers: one decimal integer per prompt, read from the run's
// input stream exactly as scanf("%d") reads it, so that a typed line behaves the same
// as on the console gsicom was first written for.
#pragma once

#include <cstdio>

namespace gsicom {

enum class Lecture {
    entier,      // an integer was read into the value
    pasDEntier,  // the next characters do not begin an integer; they stay in the input
    finDEntree,  // nothing but white space before the end of input
    tropGrand,   // digits that do not fit a signed 32-bit integer, consumed whole
};

struct Reponse {
    Lecture lecture;
    int valeur;  // meaningful for Lecture::entier only
};

// Skips white space (newlines included), then takes an optional sign and digits.
// A sign not followed by a digit is consumed and the character after it is left in
// the input, as scanf does.
Reponse lireReponse(std::FILE* in);

// The answer to an ordinary prompt: the integer typed, the preset when none was,
// and kHorsBornes for digits that do not fit, so that every range check refuses it.
inline constexpr int kHorsBornes = -2147483647 - 1;
int lireChoix(std::FILE* in, int preset);

}  // namespace gsicom
