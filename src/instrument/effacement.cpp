#include "console/ecran.hpp"
#include "console/reponse.hpp"
#include "instrument/etapes.hpp"
#include "serial/echange.hpp"
#include "serial/requetes.hpp"

namespace gsicom {

namespace {

constexpr int kCodeEffacement = 1472583690;
constexpr int kTousLesJobs = -1;

void effacer(Etat& e, int position, const char* nom)
{
    envoyerAvecNumero(e, requete::kEffacerJob, position);
    std::fprintf(e.out, ">>%-9s KILLED\n", nom);
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
    if (cible.valeur == kTousLesJobs) {
        for (int i = 0; i < e.nbJobs; ++i) {
            if (e.jobs[i].no != 0) {
                effacer(e, i + 1, e.jobs[i].nom);
            }
        }
    } else {
        // A target no row holds is still sent as typed; its line shows no name.
        const bool dansLaTable = cible.valeur >= 1 && cible.valeur <= e.nbJobs;
        effacer(e, cible.valeur, dansLaTable ? e.jobs[cible.valeur - 1].nom : "");
    }
    afficherEcranFin(e);
    return kCodeOk;
}

}  // namespace gsicom
