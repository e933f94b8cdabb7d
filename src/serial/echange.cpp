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
    e.recu.octets += e.bytesRead;
    e.recu.illisibles += compterIllisibles(e.readBuffer, e.bytesRead);
    e.recu.erreursLigne = e.hSerial->lineErrors();
}

std::size_t compterIllisibles(const char* octets, std::size_t taille)
{
    std::size_t illisibles = 0;
    for (std::size_t i = 0; i < taille; ++i) {
        const auto c = static_cast<unsigned char>(octets[i]);
        const bool lisible = (c >= 0x20 && c <= 0x7E) || c == '\r' || c == '\n' ||
                             c == static_cast<unsigned char>(requete::kFinDeDonnees);
        illisibles += lisible ? 0 : 1;
    }
    return illisibles;
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
