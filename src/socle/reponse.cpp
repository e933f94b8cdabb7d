#include "socle/reponse.hpp"

#include <cctype>
#include <climits>

namespace gsicom {

Reponse lireReponse(std::FILE* in)
{
    int c = std::fgetc(in);
    while (c != EOF && std::isspace(static_cast<unsigned char>(c))) {
        c = std::fgetc(in);
    }
    if (c == EOF) {
        return {Lecture::finDEntree, 0};
    }
    bool negatif = false;
    if (c == '+' || c == '-') {
        negatif = (c == '-');
        c = std::fgetc(in);
    }
    if (c == EOF || !std::isdigit(static_cast<unsigned char>(c))) {
        if (c != EOF) {
            std::ungetc(c, in);
        }
        return {Lecture::pasDEntier, 0};
    }
    // Accumulate the magnitude as a negative number: it reaches INT_MIN exactly.
    long long magnitude = 0;
    bool deborde = false;
    for (; c != EOF && std::isdigit(static_cast<unsigned char>(c)); c = std::fgetc(in)) {
        if (!deborde) {
            magnitude = magnitude * 10 + (c - '0');
            deborde = magnitude > static_cast<long long>(INT_MAX) + 1;
        }
    }
    if (c != EOF) {
        std::ungetc(c, in);
    }
    if (deborde || (!negatif && magnitude > INT_MAX)) {
        return {Lecture::tropGrand, 0};
    }
    return {Lecture::entier, static_cast<int>(negatif ? -magnitude : magnitude)};
}

int lireChoix(std::FILE* in, int preset)
{
    const Reponse r = lireReponse(in);
    switch (r.lecture) {
        case Lecture::entier: return r.valeur;
        case Lecture::tropGrand: return kHorsBornes;
        default: return preset;
    }
}

}  // namespace gsicom
