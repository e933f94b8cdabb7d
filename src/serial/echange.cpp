#include "serial/echange.hpp"

#include <cstring>

#include "serial/requetes.hpp"

namespace gsicom {

namespace {
constexpr std::uint32_t kAttenteReponseMs = 250;  // time for the instrument to answer
}

void ecritureETlectureSERIAL(Etat& e)
{
    std::fflush(e.out);
    e.hSerial->writeFile(e.demande, static_cast<std::uint32_t>(std::strlen(e.demande)),
                         e.bytesWritten);
    e.os.sleep(kAttenteReponseMs);
    std::memset(e.readBuffer, 0, sizeof e.readBuffer);
    e.bytesRead = 0;
    // A failed read leaves what it got, if anything, in the cleared buffer: still
    // NUL-terminated, since at most 2047 bytes can have come.
    if (e.hSerial->readFile(e.readBuffer, sizeof e.readBuffer - 1, e.bytesRead)) {
        e.readBuffer[e.bytesRead] = '\0';
    }
}

void envoyer(Etat& e, const char* requete)
{
    std::snprintf(e.demande, sizeof e.demande, "%s", requete);
    ecritureETlectureSERIAL(e);
}

void envoyerAvecNumero(Etat& e, const char* format, int numero)
{
    std::snprintf(e.demande, sizeof e.demande, format, numero);
    ecritureETlectureSERIAL(e);
}

bool finDeDonnees(const Etat& e)
{
    return e.readBuffer[0] == requete::kFinDeDonnees;
}

}  // namespace gsicom
