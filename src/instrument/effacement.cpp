#include <string>

#include "console/ecran.hpp"
#include "instrument/analyse.hpp"
#include "instrument/etapes.hpp"
#include "serial/echange.hpp"
#include "serial/requetes.hpp"
#include "socle/reponse.hpp"

namespace gsicom {

namespace {

constexpr int kCodeEffacement = 1472583690;
constexpr int kTousLesJobs = -1;

// The job an erase request named, for standard error: "\"NAME\" (position N)", the name
// escaped as every text the instrument sends, or its position alone for a target
// outside the table, which has no name. `detail` goes inside the brackets.
std::string quelJob(const char* nom, int position, const std::string& detail = "")
{
    return (*nom == '\0' ? std::string() : citerReponse(nom) + " ") + "(position " +
           std::to_string(position) + detail + ")";
}

// GSI Online's errors, "@Wnnn" and "@Ennn", whatever the number.
bool reponseDErreur(const Etat& e)
{
    return e.bytesRead >= 2 && e.readBuffer[0] == '@' &&
           (e.readBuffer[1] == 'W' || e.readBuffer[1] == 'E');
}

// What standard error must say of the erase requests whose fate is unknown.
struct Doutes {
    bool disparitionDite = false;  // the port found gone: said once, at that request
    std::string sansReponse;       // the requests that got no byte back, the port still there
    std::string erreurs;           // the requests answered with an error, each with its answer
    std::string nonDemandes;       // the jobs never asked: the instrument had fallen silent
    int videsDeSuite = 0;          // the last requests, in a row, that got no byte back
};

void ajouter(std::string& liste, const std::string& quel)
{
    liste += (liste.empty() ? "" : ", ") + quel;
}

// Standard output says KILLED whatever came back. Standard error says when a request
// may not have reached the instrument: the port found gone (that one and those after
// it), or no byte back at all (the instrument may not have heard it); and when the
// instrument answered it with an error.
void effacer(Etat& e, int position, const char* nom, Doutes& doutes)
{
    envoyerAvecNumero(e, requete::kEffacerJob, position);
    std::fprintf(e.out, ">>%-9s KILLED\n", nom);
    if (e.recu.portDisparu) {
        if (!doutes.disparitionDite) {
            doutes.disparitionDite = true;
            std::fprintf(e.err,
                         ">> %s\n>> Les JOBS marques KILLED a partir de %s n ont peut-etre pas "
                         "ete effaces : verifiez la memoire du materiel.\n",
                         direPortDisparu(e).c_str(), quelJob(nom, position).c_str());
        }
    } else if (e.bytesRead == 0) {
        ++doutes.videsDeSuite;
        ajouter(doutes.sansReponse, quelJob(nom, position));
    } else {
        doutes.videsDeSuite = 0;
        if (reponseDErreur(e)) {
            const std::string reponse = citerReponse({e.readBuffer, e.bytesRead});
            ajouter(doutes.erreurs, quelJob(nom, position, ", reponse " + reponse));
        }
    }
}

// Every row but those numbered 0, in table order. An instrument that falls silent is
// asked no more after kMaxReponsesVides requests in a row: each would cost a read's
// whole wait, and those jobs stay in its memory.
void effacerTous(Etat& e, Doutes& doutes)
{
    for (int i = 0; i < e.nbJobs; ++i) {
        if (e.jobs[i].no == 0) {
            continue;
        }
        if (doutes.videsDeSuite == kMaxReponsesVides) {
            ajouter(doutes.nonDemandes, quelJob(e.jobs[i].nom, i + 1));
        } else {
            effacer(e, i + 1, e.jobs[i].nom, doutes);
        }
    }
}

// One line for each kind of doubt, naming its jobs.
void signalerDoutes(Etat& e, const Doutes& doutes)
{
    const struct {
        const std::string& jobs;
        const char* avant;
        const char* apres;
    } lignes[] = {
        {doutes.erreurs, "Attention : le materiel a repondu par une erreur a l effacement de ",
         " : il est peut-etre encore dans sa memoire : verifiez la memoire du materiel."},
        {doutes.sansReponse, "Attention : le materiel n a rien repondu a l effacement de ",
         " : la demande ne l a peut-etre pas atteint : verifiez la memoire du materiel."},
        {doutes.nonDemandes, "Effacement interrompu, le materiel ne repond plus : ",
         " n ont pas ete demandes et sont encore dans sa memoire : verifiez qu il est allume et "
         "relie, puis relancez l effacement."},
    };
    for (const auto& l : lignes) {
        if (!l.jobs.empty()) {
            std::fprintf(e.err, ">> %s%s%s\n", l.avant, l.jobs.c_str(), l.apres);
        }
    }
}

}  // namespace

Issue menuFinal(Etat& e)
{
    if (demander(e, "\n\n Que faire :\n\t\t(1) sortir\n\t\t(2) supprimer JOB(s)\n\t\t\t\tCHOIX : ",
                 0) != 2) {
        return kCodeOk;
    }
    if (demander(e, "\nCode de suppression des JOBS\t : ", 0) != kCodeEffacement) {
        return kCodeOk;
    }
    afficherTableJobs(e);
    std::fputs("\nDetruire  le JOB No ou tous (-1)  \n\t\t\t\tCHOIX : ", e.out);
    std::fflush(e.out);
    // -1 means every job, so only a typed integer may choose the target.
    const Reponse cible = lireReponse(e.in);
    if (cible.lecture != Lecture::entier) {
        std::fputs("\nAucun JOB supprime.\n", e.out);
        return kCodeOk;
    }
    envoyer(e, requete::kEfface);
    envoyer(e, requete::kEfface);
    Doutes doutes;
    if (cible.valeur == kTousLesJobs) {
        effacerTous(e, doutes);
    } else {
        // A target no row holds is still sent as typed; its line shows no name.
        const bool dansLaTable = cible.valeur >= 1 && cible.valeur <= e.nbJobs;
        effacer(e, cible.valeur, dansLaTable ? e.jobs[cible.valeur - 1].nom : "", doutes);
    }
    signalerDoutes(e, doutes);
    afficherEcranFin(e);
    // No "erase done" when the jobs after the port went were surely not erased, nor when
    // the instrument had fallen silent by the last request: it may have heard none.
    return e.recu.portDisparu || doutes.videsDeSuite > 0 ? kCodeInterrompu : kCodeOk;
}

}  // namespace gsicom
