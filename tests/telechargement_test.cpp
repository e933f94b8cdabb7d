// Whole runs through the download and the closing menu with the erase, on virtual
// time: the file's name and bytes, the requests, and what happens when things fail.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>

#include "banc.hpp"

namespace gsicom::test {
namespace {

constexpr char kCode[] = "1472583690";
constexpr char kNomPontEst[] = "2026-12-07 - 09-05-03 - PONT-EST.GSI";

// What the instrument sends, as the file must hold it: each LF stored as CR LF.
std::string commeStocke(const std::vector<std::string>& lignes)
{
    std::string texte;
    for (const std::string& l : lignes) {
        texte += l + "\r\r\n";
    }
    return texte;
}

std::vector<std::string> depuis(const std::vector<std::string>& requetes, const std::string& r)
{
    const auto debut = std::find(requetes.begin(), requetes.end(), r);
    return {debut, requetes.end()};
}

TEST(Telechargement, WritesEveryLineOfTheJobWithCrCrLf)
{
    const struct {
        const char* reponses;
        const char* requete;
        int job;  // 0-based in the demo memory
        bool coordonnees;
        bool temporaire = false;  // the run's folder is one the system may empty
    } cas[] = {
        {"1\n2\n2\n1\n", "JOB/RCV/OBSERV/2", 1, false},
        {"1\n2\n2\n2\n", "JOB/RCV/COORD/2", 1, true},
        {"1\n2\n2\n3\n", "JOB/RCV/OBSERV/2", 1, false},
        {"1\n2\n2\nx\n", "JOB/RCV/OBSERV/2", 1, false},
        {"1\n2\n9\n2\n", "JOB/RCV/COORD/1", 0, true},  // out of range: job 1
        {"1\n2\n0\n", "JOB/RCV/OBSERV/1", 0, false},
        {"1\n2\n-3\n", "JOB/RCV/OBSERV/1", 0, false},
        {"1\n2\n2\n1\n", "JOB/RCV/OBSERV/2", 1, false, true},
    };
    const std::string avertissement =
        ">> Attention : le dossier courant (C:\\TEMP\\Temp1_gsicom.zip) est un dossier "
        "temporaire que le systeme peut vider : le fichier GSI y serait perdu. Copiez-le.\n";
    for (const auto& c : cas) {
        Banc banc;
        if (c.temporaire) {
            banc.preparer = [](PlateformeSimulee& os) {
                os.dossierTemporaire = {"C:\\TEMP\\Temp1_gsicom.zip", "Copiez-le."};
            };
        }
        EXPECT_EQ(banc.lancer(c.reponses), 0) << c.reponses;
        const sim::JobSimule& job = banc.memoire.jobs[c.job];
        const auto& lignes = c.coordonnees ? job.coordonnees : job.observations;
        std::vector<std::string> attendues = {"c", "FORM/SET/0", "FORM/SET/0", c.requete};
        attendues.insert(attendues.end(), lignes.size(), "?");
        attendues.push_back("c");
        EXPECT_EQ(depuis(banc.requetes(), "FORM/SET/0"),
                  std::vector<std::string>(attendues.begin() + 1, attendues.end()));
        const std::string nom =
            "2026-12-07 - 09-05-03 - " + std::string(c.job ? "PONT-EST" : "DEFAULT") + ".GSI";
        EXPECT_EQ(banc.dossier.fichiers(), std::vector<std::string>{nom});
        EXPECT_EQ(RepertoireTemporaire::lire(nom), commeStocke(lignes)) << c.reponses;
        EXPECT_NE(banc.sortie.find(">> Exportation : " + nom + "\n"), std::string::npos);
        // At the start, and again before the closing menu offers the erase.
        EXPECT_EQ(banc.erreurs, c.temporaire ? avertissement + avertissement : "");
    }
}

TEST(Telechargement, NamesTheFileAfterTheLocalTimeAndTheWholeName)
{
    const std::string nom63(63, 'N');
    Banc banc;
    banc.memoire.jobs = {sim::JobSimule{nom63 + ",1,1,1", {"L1"}, {}}};
    banc.preparer = [](PlateformeSimulee& os) {
        os.heure.tm_year = 2027 - 1900;
        os.heure.tm_mon = 0;
        os.heure.tm_mday = 2;
        os.heure.tm_hour = 23;
        os.heure.tm_min = 4;
        os.heure.tm_sec = 59;
    };
    banc.lancer("1\n2\n1\n1\n");
    const std::string nom = "2027-01-02 - 23-04-59 - " + nom63 + ".GSI";
    EXPECT_EQ(nom.size(), 91u);
    EXPECT_EQ(banc.dossier.fichiers(), std::vector<std::string>{nom});
}

TEST(Telechargement, AnImmediateMarkerGivesAnEmptyFileAndAnOldFileIsEmptied)
{
    Banc banc;
    banc.memoire.jobs[1].observations.clear();
    std::FILE* ancien = std::fopen(kNomPontEst, "wb");
    std::fputs("ancien contenu plus long\r\n", ancien);
    std::fclose(ancien);
    EXPECT_EQ(banc.lancer("1\n2\n2\n1\n"), 0);
    EXPECT_EQ(RepertoireTemporaire::lire(kNomPontEst), "");
}

TEST(Telechargement, KeepsEveryByteOfTheRepliesButNeverTheMarker)
{
    Banc banc;
    banc.memoire.jobs[1].observations = {"A\rB", "PERDUE", std::string("NUL\0DANS", 8),
                                         "SUB\x1A au milieu"};
    banc.pannes.sansReponse = {17};  // an empty reply in the middle: nothing written for it
    banc.lancer("1\n2\n2\n1\n");
    EXPECT_EQ(RepertoireTemporaire::lire(kNomPontEst),
              "A\rB\r\r\n" + std::string("NUL\0DANS\r\r\n", 11) + "SUB\x1A au milieu\r\r\n");
}

TEST(Telechargement, AMarkerThatStartsALineInsideAReplyEndsTheJob)
{
    Banc banc;
    auto& lignes = banc.memoire.jobs[1].observations;
    lignes.resize(3);
    // The last line came split: its tail and the marker arrive in one read (request 18).
    banc.pannes.reponseA[18] = lignes[2] + "\r\n\x1A\r\n";
    EXPECT_EQ(banc.lancer("1\n2\n2\n1\n"), 0);
    EXPECT_EQ(RepertoireTemporaire::lire(kNomPontEst), commeStocke(lignes));
    const auto& r = banc.requetes();
    EXPECT_EQ(std::vector<std::string>(r.end() - 3, r.end()),
              (std::vector<std::string>{"?", "?", "c"}));  // no "?" after the marker
}

TEST(Telechargement, AJobNameThatWouldLeadTheFileElsewhereIsRefused)
{
    for (const std::string nom : {"../ETC", "A\\B", "C:FLUX", "NOM?", "SANS VIRGULE"}) {
        Banc banc;
        if (nom == "SANS VIRGULE") {
            // No comma: the line's CR LF stays in the name. A second row makes it a job.
            banc.memoire.jobs = {sim::JobSimule{nom, {"L"}, {}}, {"AUTRE,2,1,1", {}, {}}};
        } else {
            banc.memoire.jobs = {sim::JobSimule{nom + ",1,1,1", {"L"}, {}}};
        }
        EXPECT_EQ(banc.lancer("1\n2\n1\n1\n"), 1) << nom;
        EXPECT_EQ(banc.erreurs.rfind(">> Erreur improbable de creation du fichier...: ", 0), 0u)
            << banc.erreurs;
        EXPECT_EQ(banc.requetes().back(), "?") << "nothing sent after the listing";
        EXPECT_TRUE(banc.dossier.fichiers().empty());
    }
}

TEST(Telechargement, AFileThatCannotBeCreatedEndsWithCodeOne)
{
    Banc banc;
    ASSERT_EQ(::mkdir(kNomPontEst, 0700), 0);  // a directory stands where the file would
    EXPECT_EQ(banc.lancer("1\n2\n2\n1\n"), 1);
    EXPECT_EQ(banc.erreurs.rfind(">> Erreur improbable de creation du fichier...: ", 0), 0u);
    EXPECT_EQ(banc.requetes().back(), "?");
}

TEST(Telechargement, AFailedWriteIsReportedAndTheTransferEndedWithNoEraseOffered)
{
    const struct {
        bool disquePlein;  // the first write fails; otherwise the flush to the disk does
        int erreur;
        const char* avantDernier;  // the request before the closing "c"
    } cas[] = {
        {true, ENOSPC, "JOB/RCV/OBSERV/2"},
        {false, EIO, "?"},
    };
    for (const auto& c : cas) {
        Banc banc;
        if (c.disquePlein) {
            ASSERT_EQ(::symlink("/dev/full", kNomPontEst), 0);  // a disk with no room left
        } else {
            banc.preparer = [&](PlateformeSimulee& os) { os.erreurDisque = c.erreur; };
        }
        EXPECT_EQ(banc.lancer("1\n2\n2\n1\n2\n1472583690\n-1\n"), 1);
        EXPECT_EQ(banc.erreurs, ">> Erreur d ecriture du fichier " + std::string(kNomPontEst) +
                                    " : " + std::strerror(c.erreur) + "\n");
        EXPECT_EQ(banc.requetes().back(), "c");
        EXPECT_EQ(banc.requetes()[banc.requetes().size() - 2], c.avantDernier);
        EXPECT_EQ(banc.sortie.find("Que faire"), std::string::npos);
    }
}

TEST(Telechargement, AnInstrumentThatStopsAnsweringLeavesAnIncompleteFileAndCodeFive)
{
    const struct {
        bool raccroche;
        std::uint64_t maxMs;  // virtual time of the whole run, at most
        const char* pourquoi;
    } cas[] = {{false, 150'000, "le materiel ne repond plus."},
               {true, 20'000,
                "le port COM1 (simule) a disparu : le cable ou l adaptateur a ete debranche, ou "
                "le pilote du port s est arrete."}};
    for (const auto& c : cas) {
        Banc banc;
        // Requests 16 (JOB/RCV) and 17-19 bring lines 1 to 4; then the line dies.
        (c.raccroche ? banc.pannes.raccrocheDes : banc.pannes.silenceDes) = 20;
        EXPECT_EQ(banc.lancer("1\n2\n2\n1\n1\n"), 5);
        const auto& lignes = banc.memoire.jobs[1].observations;
        EXPECT_EQ(RepertoireTemporaire::lire(kNomPontEst),
                  commeStocke({lignes.begin(), lignes.begin() + 4}));
        EXPECT_EQ(banc.erreurs, std::string(">> Transfert interrompu : ") + c.pourquoi +
                                    "\n>> Fichier incomplet : " + kNomPontEst + " (4 lignes)\n");
        EXPECT_LT(banc.os->maintenant, c.maxMs);
        if (!c.raccroche) {
            EXPECT_EQ(banc.requetes().back(), "c");
        }
        EXPECT_EQ(banc.os->pauses, 1);
    }
}

TEST(Telechargement, OnlyEmptyRepliesInARowStopTheTransferOrTheListing)
{
    Banc banc;
    // Listing: requests 10-12 empty, 13 brings a row; transfer of job 1 (16 lines):
    // 3 empty, a line, 3 empty, then the rest.
    banc.memoire.jobs = {sim::genererJob("LONG", 1, 15, 9)};
    for (long r = 1; r <= 3; ++r) banc.pannes.sansReponse.insert(9 + r);
    banc.pannes.reponseA[13] = "AUTRE,2,1,1\r\n";
    const long jobRcv = 13 + 1 + 4;  // after the marker: c, FORM/SET/0 twice, JOB/RCV
    for (const long r : {1, 2, 3, 5, 6, 7}) banc.pannes.sansReponse.insert(jobRcv + r);
    EXPECT_EQ(banc.lancer("1\n2\n1\n1\n1\n"), 0) << banc.erreurs;
    EXPECT_NE(banc.sortie.find("Liste des JOBS detectes (5) :"), std::string::npos);
    const auto& lignes = banc.memoire.jobs[0].observations;
    std::vector<std::string> recues = {lignes[0], lignes[4]};
    recues.insert(recues.end(), lignes.begin() + 8, lignes.end());
    const std::string nom = banc.dossier.fichiers().at(0);
    EXPECT_EQ(RepertoireTemporaire::lire(nom), commeStocke(recues));
    // The job came to its end with six lines missing: the operator is told before
    // the closing menu offers to erase it.
    EXPECT_EQ(banc.erreurs,
              ">> Attention : 6 reponse(s) vide(s) pendant le transfert, il peut "
              "manquer des lignes dans " +
                  nom + " : verifiez-le avant de supprimer le job.\n");
}

// The closing menu and the erase.

TEST(Effacement, OnlyChoiceTwoWithTheRightCodeErases)
{
    for (const std::string fin :
         {"1\n", "3\n", "x\n", "", "2\n1472583691\n", "2\nabc\n", "2\n", "2\n14725836900\n"}) {
        Banc banc;
        EXPECT_EQ(banc.lancer("1\n2\n2\n1\n" + fin), 0);
        EXPECT_EQ(banc.requetes().back(), "c") << fin;  // the end of the transfer, nothing after
        EXPECT_EQ(banc.sortie.find("FIN POUR LE MOMENT"), std::string::npos);
    }
}

TEST(Effacement, ErasesByPosition)
{
    const struct {
        std::vector<std::string> repertoire;
        const char* cible;
        std::vector<std::string> effacements;
        std::vector<std::string> tues;
    } cas[] = {
        {{"UN,1,1,1", "ZERO,0,1,1", "QUATRE,4,1,1"},
         "-1",
         {"JOB/ERASE/1", "JOB/ERASE/3"},
         {">>UN        KILLED", ">>QUATRE    KILLED"}},
        {{"NEG,-2,1,1", "TROIS,3,1,1"},
         "-1",
         {"JOB/ERASE/1", "JOB/ERASE/2"},
         {">>NEG       KILLED", ">>TROIS     KILLED"}},
        {{"UN,1,1,1", "DEUX,2,1,1", "UN-LONG-NOM,7,1,1"},
         "2",
         {"JOB/ERASE/2"},
         {">>DEUX      KILLED"}},
        {{"UN,1,1,1", "DEUX,2,1,1", "UN-LONG-NOM,7,1,1"},
         "3",
         {"JOB/ERASE/3"},
         {">>UN-LONG-NOM KILLED"}},
        {{"UN,1,1,1"}, "7", {"JOB/ERASE/7"}, {">>          KILLED"}},  // no such row
        {{"UN,1,1,1"}, "0", {"JOB/ERASE/0"}, {">>          KILLED"}},
    };
    for (const auto& c : cas) {
        Banc banc;
        banc.memoire.jobs.clear();
        for (const std::string& l : c.repertoire) {
            banc.memoire.jobs.push_back(sim::JobSimule{l, {"L"}, {}});
        }
        EXPECT_EQ(banc.lancer(std::string("1\n2\n1\n1\n2\n") + kCode + "\n" + c.cible + "\n"), 0);
        std::vector<std::string> attendues = {"c", "c", "c"};  // end of transfer, then two
        attendues.insert(attendues.end(), c.effacements.begin(), c.effacements.end());
        const auto& r = banc.requetes();
        EXPECT_EQ(std::vector<std::string>(r.end() - attendues.size(), r.end()), attendues)
            << c.cible;
        std::string tues;
        for (const std::string& t : c.tues) {
            tues += t + "\n";
        }
        EXPECT_NE(banc.sortie.find("\t\t\t\tCHOIX : " + tues + "\nFIN POUR LE MOMENT\n"),
                  std::string::npos)
            << banc.sortie.substr(banc.sortie.size() - 300);
        // The instrument answers @W127 for a position no row holds, and only then; the
        // positions of one table stay its own until the next listing, erase after erase.
        EXPECT_EQ(banc.erreurs.find("par une erreur") != std::string::npos,
                  c.tues[0] == ">>          KILLED")
            << banc.erreurs;
    }
}

// Erase all against an instrument that falls silent: '-' a request with no byte back,
// 'o' an answered one, by position. Each silent request waits a whole read; four in a
// row and the rest are not asked.
TEST(Effacement, AnInstrumentThatFallsSilentIsAskedAtMostFourErasesInARow)
{
    constexpr std::uint64_t kAttenteVide = 250 + 20520;
    const auto jobs = [](int de, int a) {
        std::string liste;
        for (int i = de; i <= a; ++i) {
            liste += (liste.empty() ? "\"JOB" : ", \"JOB") + std::to_string(i) + "\" (position " +
                     std::to_string(i) + ")";
        }
        return liste;
    };
    const auto sansReponse = [](const std::string& quels) {
        return ">> Attention : le materiel n a rien repondu a l effacement de " + quels +
               " : la demande ne l a peut-etre pas atteint : verifiez la memoire du materiel.\n";
    };
    const auto nonDemandes = [](const std::string& quels) {
        return ">> Effacement interrompu, le materiel ne repond plus : " + quels +
               " n ont pas ete demandes et sont encore dans sa memoire : verifiez qu il est "
               "allume et relie, puis relancez l effacement.\n";
    };
    const struct {
        std::string reponses;  // one per job
        int demandes;          // erase requests sent
        int code;
        std::string erreurs;
    } cas[] = {
        {std::string(100, '-'), 4, 5, sansReponse(jobs(1, 4)) + nonDemandes(jobs(5, 100))},
        {"---", 3, 5, sansReponse(jobs(1, 3))},
        {"-oo", 3, 0, sansReponse(jobs(1, 1))},
        {"oo-", 3, 5, sansReponse(jobs(3, 3))},
        {"--o-----", 7, 5, sansReponse(jobs(1, 2) + ", " + jobs(4, 7)) + nonDemandes(jobs(8, 8))},
    };
    for (const auto& c : cas) {
        Banc banc;
        banc.memoire.jobs.clear();
        for (std::size_t i = 1; i <= c.reponses.size(); ++i) {
            const std::string n = std::to_string(i);
            banc.memoire.jobs.push_back(sim::JobSimule{"JOB" + n + "," + n + ",1,1", {"L"}, {}});
            banc.pannes.reponsePour["JOB/ERASE/" + n] = c.reponses[i - 1] == '-' ? "" : "?\r\n";
        }
        EXPECT_EQ(banc.lancer(std::string("1\n2\n1\n1\n2\n") + kCode + "\n-1\n"), c.code)
            << c.reponses;
        EXPECT_EQ(banc.erreurs, c.erreurs);
        const auto& r = banc.requetes();
        EXPECT_EQ(std::count_if(r.begin(), r.end(),
                                [](const std::string& q) { return q.rfind("JOB/ERASE/", 0) == 0; }),
                  c.demandes);
        EXPECT_EQ(r.back(), "JOB/ERASE/" + std::to_string(c.demandes));
        // A KILLED line for every request sent, none for a job not asked; then the
        // closing screen.
        const std::size_t premier = banc.sortie.find(">>JOB1 ");
        ASSERT_NE(premier, std::string::npos);
        const std::string tues = banc.sortie.substr(premier);
        EXPECT_EQ(std::count(tues.begin(), tues.end(), 'K'), c.demandes);  // KILLED
        EXPECT_NE(tues.find(" KILLED\n\nFIN POUR LE MOMENT\n"), std::string::npos);
        const auto effacement =
            std::find_if(banc.os->ecritures.begin(), banc.os->ecritures.end(),
                         [](const Ecriture& w) { return w.octets.rfind("JOB/ERASE/", 0) == 0; });
        ASSERT_NE(effacement, banc.os->ecritures.end());
        EXPECT_LE(banc.os->maintenant - effacement->ms, c.demandes * kAttenteVide);
    }
}

TEST(Effacement, ATargetThatIsNotANumberErasesNothing)
{
    for (const char* cible : {"", "tous\n", "99999999999\n", "-\n"}) {
        Banc banc;
        EXPECT_EQ(banc.lancer(std::string("1\n2\n2\n1\n2\n") + kCode + "\n" + cible), 0);
        EXPECT_EQ(banc.requetes().back(), "c") << cible;
        EXPECT_NE(banc.sortie.find("CHOIX : \nAucun JOB supprime.\n"), std::string::npos);
        EXPECT_EQ(banc.sortie.find("KILLED"), std::string::npos);
        EXPECT_EQ(banc.sortie.find("FIN POUR LE MOMENT"), std::string::npos);
    }
}

TEST(Effacement, ShowsTheTableAgainThenTheClosingScreenOf44Lines)
{
    Banc banc;
    banc.lancer(std::string("1\n2\n2\n1\n2\n") + kCode + "\n2\n");
    const std::string& s = banc.sortie;
    const std::string entete = "\t\t| No |    Nom    | Points |  BLOCS  |\n";
    const std::size_t code = s.find("\t : ");
    ASSERT_NE(code, std::string::npos);
    EXPECT_EQ(s.substr(code + 4, entete.size()), entete);
    const std::size_t tue = s.find(">>PONT-EST  KILLED\n");
    ASSERT_NE(tue, std::string::npos);
    const std::string ecranFin = s.substr(tue + 19);
    EXPECT_EQ(std::count(ecranFin.begin(), ecranFin.end(), '\n'), 44);
    EXPECT_EQ(ecranFin.rfind("\nFIN POUR LE MOMENT\n\n -", 0), 0u);
}

}  // namespace
}  // namespace gsicom::test
