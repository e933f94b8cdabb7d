#include "console/deroulement.hpp"

#include "console/dossier.hpp"
#include "console/ecran.hpp"
#include "instrument/etapes.hpp"
#include "serial/liaison.hpp"

namespace gsicom {

namespace {

using Etape = Issue (*)(Etat&);

// The run, in order. There is no going back: a failure or a wrong answer ends it.
constexpr Etape kEtapes[] = {
    afficherEcranDepart,   // banner, titles, picture
    avertirDossier,        // a current folder the system may empty: said on standard error
    choisirPort,           // scan of COM1 to COM30, the operator's choice
    ouvrirPort,            // open, speed, 8N1, time-outs
    reveillerInstrument,   // "a", the progress line, "c"
    identifierInstrument,  // name and temperature
    lireRepertoire,        // the job table
    telechargerJob,        // one job into a GSI file
    avertirDossier,        // again, now that the erase is offered
    menuFinal,             // leave, or erase
};

int terminer(Etat& e, int code)
{
    e.hSerial.reset();  // CloseHandle
    std::fflush(e.out);
    std::fflush(e.err);
    e.os.pause();
    return code;
}

}  // namespace

int executer(Etat& e)
{
    for (const Etape etape : kEtapes) {
        if (const Issue issue = etape(e); issue != kContinuer) {
            return terminer(e, issue);
        }
    }
    return terminer(e, kCodeOk);
}

}  // namespace gsicom
