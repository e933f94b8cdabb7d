#include <algorithm>

#include "console/ecran.hpp"
#include "instrument/analyse.hpp"
#include "instrument/etapes.hpp"
#include "serial/echange.hpp"
#include "serial/requetes.hpp"

namespace gsicom {

void afficherTableJobs(Etat& e)
{
    static constexpr char kSeparateur[] = "\t\t|----+-----------+--------+---------|\n";
    std::fputs("\t\t| No |    Nom    | Points |  BLOCS  |\n", e.out);
    std::fputs(kSeparateur, e.out);
    for (int i = 0; i < e.nbJobs; ++i) {
        const Job& job = e.jobs[i];
        std::fprintf(e.out, "\t\t| %2d | %-9s | %6d | %7d |\n", job.no, job.nom, job.points,
                     job.blocs);
    }
    std::fputs(kSeparateur, e.out);
}

Issue lireRepertoire(Etat& e)
{
    std::fputs("\n", e.out);
    afficherRegleA(e);
    std::fputs("\nLecture de la liste des JOBS...\n", e.out);
    envoyer(e, requete::kEfface);
    envoyer(e, requete::kListeJobs);
    e.nbJobs = 0;
    // The reply to the list request is always row 1; the reply that brings the
    // marker after it is never parsed. An empty reply is an empty row.
    int vides = 0;
    do {
        std::fputc('.', e.out);
        e.jobs[e.nbJobs] = analyserLigneJob(e.readBuffer);
        ++e.nbJobs;
        vides = e.bytesRead == 0 ? vides + 1 : 0;
        if (vides == kMaxReponsesVides) {
            std::fputc('\n', e.out);
            if (e.recu.portDisparu) {
                std::fprintf(e.err, ">> %s\n", direPortDisparu(e).c_str());
            } else {
                std::fputs(">> Le materiel ne repond plus : liste des JOBS interrompue.\n", e.err);
            }
            return kCodeInterrompu;
        }
        envoyer(e, requete::kSuivante);
    } while (!finDeDonnees(e) && e.nbJobs < kMaxJobs);
    std::fputc('\n', e.out);

    int plusGrand = -99;
    for (int i = 0; i < e.nbJobs; ++i) {
        Job& job = e.jobs[i];
        if (job.no < 1) {
            job.points = 0;
            job.blocs = 0;
        }
        plusGrand = std::max(plusGrand, job.no);
    }
    std::fprintf(e.out, "\nListe des JOBS detectes (%d) :\n", e.nbJobs);
    afficherTableJobs(e);
    if (plusGrand <= 0) {
        std::fputs(
            "\nPas de JOB dans la memoire\nVerifier la meomoire ou le materiel\nOn sort du "
            "programme !",
            e.out);
        return kCodeSansJob;
    }
    return kContinuer;
}

}  // namespace gsicom
