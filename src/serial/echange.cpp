#include "serial/echange.hpp"

#include <cstring>

#include "serial/chemin_com.hpp"
#include "serial/liaison.hpp"
#include "serial/requetes.hpp"

namespace gsicom {

namespace {

constexpr std::uint32_t kAttenteReponseMs = 250;  // time for the instrument to answer

// A reply that crossed the line at the right speed and format: it ends in CR LF, which
// a line at another speed does not bring, and most of its bytes are legible. A stray
// byte (a NUL as an adapter powers up) leaves it legible.
bool repliqueLisible(const Etat& e, std::size_t illisibles)
{
    const std::size_t n = e.bytesRead;
    return n >= 2 && e.readBuffer[n - 2] == '\r' && e.readBuffer[n - 1] == '\n' &&
           illisibles * 2 < n;
}

}  // namespace

void ecritureETlectureSERIAL(Etat& e)
{
    std::fflush(e.out);
    std::memset(e.readBuffer, 0, sizeof e.readBuffer);
    e.bytesRead = 0;
    e.bytesWritten = 0;
    if (e.recu.portDisparu) {  // not asked again: under Wine each read would wait its time-out
        return;
    }
    e.hSerial->writeFile(e.demande, static_cast<std::uint32_t>(std::strlen(e.demande)),
                         e.bytesWritten);
    e.os.sleep(kAttenteReponseMs);
    // A failed read leaves what it got, if anything, in the cleared buffer: still
    // NUL-terminated, since at most 2047 bytes can have come.
    if (e.hSerial->readFile(e.readBuffer, sizeof e.readBuffer - 1, e.bytesRead)) {
        e.readBuffer[e.bytesRead] = '\0';
    }
    const std::size_t illisibles = compterIllisibles(e.readBuffer, e.bytesRead);
    e.recu.octets += e.bytesRead;
    e.recu.illisibles += illisibles;
    e.recu.repliqueLisible = e.recu.repliqueLisible || repliqueLisible(e, illisibles);
    e.recu.erreursLigne = e.hSerial->lineErrors();
    e.recu.figure = e.hSerial->lineErrorFigure();
    e.recu.portDisparu = e.hSerial->vanished();
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

std::string direErreursLigne(std::uint32_t erreurs, LineErrorFigure figure)
{
    return figure == LineErrorFigure::errors
               ? std::to_string(erreurs) + " erreur(s) de ligne"
               : "des erreurs de ligne signalees " + std::to_string(erreurs) + " fois";
}

std::string direDoutes(std::uint32_t erreurs, LineErrorFigure figure, std::uint64_t illisibles)
{
    std::string quoi = erreurs > 0 ? direErreursLigne(erreurs, figure) : "";
    if (illisibles > 0) {
        quoi +=
            (quoi.empty() ? "" : " et ") + std::to_string(illisibles) + " octet(s) illisible(s)";
    }
    return quoi;
}

std::string direPortDisparu(Etat& e)
{
    const bool instrument = e.os.instrumentMayOwnPort(cheminPort(e.portChoisi).c_str());
    return nomPortChoisi(e) + " a disparu : le cable ou l adaptateur a ete debranche," +
           (instrument ? " le materiel eteint ou hors de portee," : "") +
           " ou le pilote du port s est arrete.";
}

bool finDeDonnees(const Etat& e)
{
    return e.readBuffer[0] == requete::kFinDeDonnees;
}

}  // namespace gsicom
