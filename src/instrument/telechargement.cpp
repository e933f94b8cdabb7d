#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <string>

#include "instrument/analyse.hpp"
#include "instrument/etapes.hpp"
#include "serial/echange.hpp"
#include "serial/requetes.hpp"

namespace gsicom {

namespace {

constexpr char kPrefixeErreurCreation[] = ">> Erreur improbable de creation du fichier...";

// The export file, owned: closed on every way out of the stage.
struct FichierExport {
    std::FILE* f = nullptr;
    FichierExport() = default;
    FichierExport(const FichierExport&) = delete;
    FichierExport& operator=(const FichierExport&) = delete;
    ~FichierExport()
    {
        if (f != nullptr) {
            std::fclose(f);
        }
    }
    // Closes now; false, with errno set, when the last bytes could not be written.
    bool fermer()
    {
        const int resultat = std::fclose(f);
        f = nullptr;
        return resultat == 0;
    }
};

// Stores a received text with every LF written as CR LF, as Windows' text mode would,
// so that the file has the same bytes on every platform. Flushed at once: what the
// instrument sent is on disk before the next line is asked for.
bool ecrireLigne(std::FILE* f, const char* texte, std::size_t taille)
{
    const char* fin = texte + taille;
    while (texte < fin) {
        const char* lf = static_cast<const char*>(std::memchr(texte, '\n', fin - texte));
        const std::size_t morceau = (lf == nullptr ? fin : lf) - texte;
        if (std::fwrite(texte, 1, morceau, f) != morceau) {
            return false;
        }
        texte += morceau;
        if (lf != nullptr) {
            if (std::fwrite("\r\n", 1, 2, f) != 2) {
                return false;
            }
            ++texte;
        }
    }
    return std::fflush(f) == 0;
}

void signalerErreurEcriture(Etat& e)
{
    std::fprintf(e.err, ">> Erreur d ecriture du fichier %s : %s\n", e.nom_fichier,
                 std::strerror(errno));
}

void nommerFichier(Etat& e, const Job& job)
{
    const std::tm t = e.os.localTime();
    std::snprintf(e.nom_fichier, sizeof e.nom_fichier, "%04d-%02d-%02d - %02d-%02d-%02d - %s.GSI",
                  t.tm_year + 1900, t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec,
                  job.nom);
}

// Where the end-of-data marker starts a line inside a reply: the last line of a job
// that came split arrives with the marker behind it in one read. The reply's size
// when it holds none.
std::size_t debutDuMarqueur(const char* reponse, std::size_t taille)
{
    for (std::size_t i = 1; i < taille; ++i) {
        if (reponse[i] == requete::kFinDeDonnees && reponse[i - 1] == '\n') {
            return i;
        }
    }
    return taille;
}

// What a transfer met on its way that may leave the file wrong although the job came
// to its end.
struct Doutes {
    int vides = 0;                   // empty replies: lines the instrument counts as sent
    std::uint64_t illisibles = 0;    // bytes of the lines written that no instrument sends
    std::uint32_t erreursLigne = 0;  // the driver's, during the transfer's replies
};

// Asks for the job's lines until the marker, storing each one. kContinuer when the
// job came to its end; `doutes` counts the empty replies and illegible bytes on the way.
Issue recevoirJob(Etat& e, std::FILE* f, Doutes& doutes)
{
    int vides = 0;
    long lignes = 0;
    while (!finDeDonnees(e)) {
        if (e.bytesRead == 0) {
            ++doutes.vides;
            // A port that is gone will not answer a second time.
            if (e.recu.portDisparu || ++vides == kMaxReponsesVides) {
                const std::string pourquoi = e.recu.portDisparu
                                                 ? "le port " + direPortDisparu(e)
                                                 : std::string("le materiel ne repond plus.");
                std::fprintf(e.err,
                             ">> Transfert interrompu : %s\n"
                             ">> Fichier incomplet : %s (%ld lignes)\n",
                             pourquoi.c_str(), e.nom_fichier, lignes);
                return kCodeInterrompu;
            }
        } else {
            // Every byte that came, not the text up to a first NUL: a NUL from line
            // noise must not silently cut the rest of a measurement line.
            vides = 0;
            const std::size_t donnees = debutDuMarqueur(e.readBuffer, e.bytesRead);
            if (!ecrireLigne(f, e.readBuffer, donnees)) {
                signalerErreurEcriture(e);
                return kCodeErreur;
            }
            lignes += std::count(e.readBuffer, e.readBuffer + donnees, '\n');
            doutes.illisibles += compterIllisibles(e.readBuffer, donnees);
            if (donnees < e.bytesRead) {
                return kContinuer;  // the marker came: the job is whole
            }
        }
        envoyer(e, requete::kSuivante);
    }
    return kContinuer;
}

// Told once the file is on the disk, before the closing menu can offer the erase. A
// lost request costs nothing, but a lost reply is a line the instrument counts as
// sent: the file may be short. A line error or a byte no instrument sends may have
// changed a byte of a line.
void signalerDoutes(Etat& e, const Doutes& d)
{
    if (d.vides > 0) {
        std::fprintf(e.err,
                     ">> Attention : %d reponse(s) vide(s) pendant le transfert, il peut manquer "
                     "des lignes dans %s : verifiez-le avant de supprimer le job.\n",
                     d.vides, e.nom_fichier);
    }
    const std::string quoi = direDoutes(d.erreursLigne, e.recu.figure, d.illisibles);
    if (quoi.empty()) {
        return;
    }
    std::fprintf(e.err,
                 ">> Attention : %s pendant le transfert : des octets de %s peuvent etre faux : "
                 "verifiez-le avant de supprimer le job.\n",
                 quoi.c_str(), e.nom_fichier);
}

}  // namespace

Issue telechargerJob(Etat& e)
{
    int numero = demander(e, "\nDownloder le job numero \n\t\t\t\tCHOIX : ", 0);
    if (numero > e.nbJobs || numero < 1) {
        numero = 1;
    }
    int contenu = demander(
        e, "\nDownloder en GSI : \t(1) observations\n\t\t\t(2) points \n\t\t\t\tCHOIX : ", 1);
    if (contenu != 1 && contenu != 2) {
        contenu = 1;
    }
    const Job& job = e.jobs[numero - 1];
    nommerFichier(e, job);
    std::fprintf(e.out, ">> Exportation : %s\n", e.nom_fichier);
    std::fflush(e.out);

    // The name comes from the instrument: never let it lead the file elsewhere.
    if (const char* defaut = defautNomExport(job.nom)) {
        std::fprintf(e.err, "%s: %s\n", kPrefixeErreurCreation, defaut);
        return kCodeErreur;
    }
    FichierExport fichier;
    fichier.f = std::fopen(e.nom_fichier, "wb");
    if (fichier.f == nullptr) {
        std::fprintf(e.err, "%s: %s\n", kPrefixeErreurCreation, std::strerror(errno));
        return kCodeErreur;
    }

    envoyer(e, requete::kEfface);
    envoyer(e, requete::kFormat0);
    envoyer(e, requete::kFormat0);
    const std::uint32_t erreursAvant = e.recu.erreursLigne.value_or(0);
    envoyerAvecNumero(
        e, contenu == 2 ? requete::kRecevoirCoordonnees : requete::kRecevoirObservations, numero);
    Doutes doutes;
    const Issue issue = recevoirJob(e, fichier.f, doutes);
    doutes.erreursLigne = e.recu.erreursLigne.value_or(0) - erreursAvant;
    envoyer(e, requete::kEfface);  // ends the instrument's transfer, whatever happened
    // The closing menu may erase the job next: the file must be on the disk first,
    // not in a cache that a flat battery or a pulled stick would lose.
    if (issue == kContinuer && (!e.os.flushToDisk(fichier.f) || !fichier.fermer())) {
        signalerErreurEcriture(e);
        return kCodeErreur;
    }
    if (issue == kContinuer) {
        signalerDoutes(e, doutes);
    }
    return issue;
}

}  // namespace gsicom
