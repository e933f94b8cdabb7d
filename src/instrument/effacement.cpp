#include <string>

#include "console/ecran.hpp"
#include "console/reponse.hpp"
#include "instrument/etapes.hpp"
#include "serial/echange.hpp"
#include "serial/requetes.hpp"

namespace gsicom {

namespace {

constexpr int kCodeEffacement = 1472583690;
constexpr int kTousLesJobs = -1;

// Standard output says KILLED whatever came back. Standard error says it once
// (`dit`) when the port is found gone at an erase: that one and those after it may
// not have reached the instrument.
void effacer(Etat& e, int position, const char* nom, bool& dit)
{
    envoyerAvecNumero(e, requete::kEffacerJob, position);
    std::fprintf(e.out, ">>%-9s KILLED\n", nom);
    if (e.recu.portDisparu && !dit) {
        dit = true;
        // A target outside the table has no name: its position alone.
        std::string quel;
        if (*nom != '\0') {
            quel.append("\"").append(nom).append("\" ");
        }
        std::fprintf(e.err,
                     ">> %s\n>> Les JOBS marques KILLED a partir de %s(position %d) n ont "
                     "peut-etre pas ete effaces : verifiez la memoire du materiel.\n",
                     direPortDisparu(e).c_str(), quel.c_str(), position);
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
    bool disparitionDite = false;
    if (cible.valeur == kTousLesJobs) {
        for (int i = 0; i < e.nbJobs; ++i) {
            if (e.jobs[i].no != 0) {
                effacer(e, i + 1, e.jobs[i].nom, disparitionDite);
            }
        }
    } else {
        // A target no row holds is still sent as typed; its line shows no name.
        const bool dansLaTable = cible.valeur >= 1 && cible.valeur <= e.nbJobs;
        effacer(e, cible.valeur, dansLaTable ? e.jobs[cible.valeur - 1].nom : "", disparitionDite);
    }
    afficherEcranFin(e);
    return kCodeOk;
}

}  // namespace gsicom
