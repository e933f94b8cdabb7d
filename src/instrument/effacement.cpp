#include <string>

#include "console/ecran.hpp"
#include "instrument/etapes.hpp"
#include "serial/echange.hpp"
#include "serial/requetes.hpp"
#include "socle/reponse.hpp"

namespace gsicom {

namespace {

constexpr int kCodeEffacement = 1472583690;
constexpr int kTousLesJobs = -1;

// The job an erase request named, for standard error: "\"NAME\" (position N)", or its
// position alone for a target outside the table, which has no name.
std::string quelJob(const char* nom, int position)
{
    std::string quel;
    if (*nom != '\0') {
        quel.append("\"").append(nom).append("\" ");
    }
    return quel + "(position " + std::to_string(position) + ")";
}

// What standard error must say of the erase requests whose fate is unknown.
struct Doutes {
    bool disparitionDite = false;  // the port found gone: said once, at that request
    std::string sansReponse;       // the requests that got no byte back, the port still there
};

// Standard output says KILLED whatever came back. Standard error says when a request
// may not have reached the instrument: the port found gone (that one and those after
// it), or no byte back at all (the instrument may not have heard it).
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
        doutes.sansReponse += (doutes.sansReponse.empty() ? "" : ", ") + quelJob(nom, position);
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
        for (int i = 0; i < e.nbJobs; ++i) {
            if (e.jobs[i].no != 0) {
                effacer(e, i + 1, e.jobs[i].nom, doutes);
            }
        }
    } else {
        // A target no row holds is still sent as typed; its line shows no name.
        const bool dansLaTable = cible.valeur >= 1 && cible.valeur <= e.nbJobs;
        effacer(e, cible.valeur, dansLaTable ? e.jobs[cible.valeur - 1].nom : "", doutes);
    }
    if (!doutes.sansReponse.empty()) {
        std::fprintf(e.err,
                     ">> Attention : le materiel n a rien repondu a l effacement de %s : la "
                     "demande ne l a peut-etre pas atteint : verifiez la memoire du materiel.\n",
                     doutes.sansReponse.c_str());
    }
    afficherEcranFin(e);
    // The jobs after the port went were surely not erased: no "erase done".
    return e.recu.portDisparu ? kCodeInterrompu : kCodeOk;
}

}  // namespace gsicom
