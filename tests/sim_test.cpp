// The simulator core: what it takes a request for, its memory file, the garbling of
// a line at the wrong speed, and its log.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <sstream>

#include "instrument.hpp"
#include "journal.hpp"
#include "memoire.hpp"

namespace gsicom::sim {
namespace {

TEST(AnalyserRequete, KnowsEveryRequestAndNothingElse)
{
    const struct {
        const char* texte;
        TypeRequete type;
        long argument;
    } cas[] = {
        {"a", TypeRequete::reveil, 0},
        {"%R1Q,5004:", TypeRequete::nomGeoCom, 0},
        {"%R1Q,5003:", TypeRequete::autreGeoCom, 0},
        {"JOB/RCV/OBSERV/12", TypeRequete::recevoirObservations, 12},
        {"JOB/RCV/COORD/3", TypeRequete::recevoirCoordonnees, 3},
        {"JOB/ERASE/-1", TypeRequete::effacerJob, -1},
        {"JOB/ERASE/", TypeRequete::inconnue, 0},
        {"JOB/ERASE/2x", TypeRequete::inconnue, 0},
        {"JOB/ERASE/99999999999999999999", TypeRequete::inconnue, 0},
        {"%R1Q,", TypeRequete::inconnue, 0},
        {"?x", TypeRequete::inconnue, 0},
        {"", TypeRequete::inconnue, 0},
    };
    for (const auto& c : cas) {
        const Requete r = analyserRequete(c.texte);
        EXPECT_EQ(r.type, c.type) << c.texte;
        EXPECT_EQ(r.argument, c.argument) << c.texte;
    }
}

TEST(Instrument, CutsRequestsAtLfIgnoresLoneLfAndForgetsAnErasedJob)
{
    Instrument instrument(memoireDemo());
    std::string reponses;
    for (const char* bloc : {"\nJOB/ERA", "SE/1\r\n", "JOB/CONF/LIST\r\n", "JOB/ERASE/9\r\n"}) {
        for (const Morceau& m : instrument.recevoir(bloc)) {
            reponses += m.octets;
        }
    }
    EXPECT_EQ(instrument.requetes(),
              (std::vector<std::string>{"JOB/ERASE/1", "JOB/CONF/LIST", "JOB/ERASE/9"}));
    EXPECT_EQ(reponses, "?\r\nPONT-EST,2,12,13\r\n@W127\r\n");

    // At another speed than the instrument's: logged, answered as unknown, and the
    // memory stays as it is, even with a chosen reply for the request.
    Pannes pannes;
    pannes.reponsePour["JOB/CONF/LIST"] = "X,1,1,1\r\n";
    Instrument sourd(memoireDemo(), pannes);
    reponses.clear();
    for (const Morceau& m : sourd.recevoir("JOB/ERASE/1\r\nJOB/CONF/LIST\r\n?\r\n", false)) {
        reponses += m.octets;
    }
    EXPECT_EQ(sourd.requetes(), (std::vector<std::string>{"JOB/ERASE/1", "JOB/CONF/LIST", "?"}));
    EXPECT_EQ(reponses, "@W127\r\n@W127\r\n@W127\r\n");
    EXPECT_EQ(sourd.memoire().jobs.size(), memoireDemo().jobs.size());
    reponses.clear();
    for (const Morceau& m : sourd.recevoir("?\r\n")) {
        reponses += m.octets;
    }
    EXPECT_EQ(reponses, kMarqueur) << "no listing was opened";
}

// What the program reads at another speed than the instrument's: as many bytes as
// the instrument's take of its time, and not one it could read as text, a line's
// end or the end-of-data marker, whatever was sent.
TEST(Brouiller, GivesOnlyIllegibleBytesForTheTimeTheReplyTakes)
{
    std::string tous;
    for (int b = 0; b < 256; ++b) {
        tous += static_cast<char>(b);
    }
    const struct {
        unsigned long ligne, appareil;
        std::size_t attendus;  // of the 256
    } cas[] = {
        {19200, 9600, 512},
        {115200, 9600, 3072},
        {9600, 19200, 128},
        {9600, 115200, 22},  // 21.3, rounded up
    };
    for (const auto& c : cas) {
        const std::string lus = brouiller(tous, c.ligne, c.appareil);
        EXPECT_EQ(lus.size(), c.attendus) << c.ligne << " " << c.appareil;
        for (const char o : lus) {
            ASSERT_GE(static_cast<unsigned char>(o), 0x80u) << c.ligne << " " << c.appareil;
        }
    }
    EXPECT_EQ(brouiller("?", 9600, 115200).size(), 1u) << "a reply never vanishes";
}

TEST(ChargerMemoire, ReadsTheFileAndNamesTheBadLine)
{
    std::istringstream bon(
        "# site\nnom TPS 1200\ntemperature -5\njob A,1,2,0\nobs 110001+00000101 \ncoord C1\n"
        "generer 2 3 7\n");
    Memoire m;
    std::string erreur;
    ASSERT_TRUE(chargerMemoire(bon, m, erreur)) << erreur;
    EXPECT_EQ(m.nom, "TPS 1200");
    EXPECT_EQ(m.temperature, -5);
    ASSERT_EQ(m.jobs.size(), 3u);
    EXPECT_EQ(m.jobs[0].observations, std::vector<std::string>{"110001+00000101 "});
    EXPECT_EQ(m.jobs[2].ligneRepertoire, "JOB3,3,3,4");
    EXPECT_EQ(m.jobs[2].observations.size(), 4u);  // station line and 3 measurements

    for (const char* mauvais : {"obs X\n", "temperature chaud\n", "volume 3\n", "generer x\n"}) {
        std::istringstream f(std::string("nom X\n") + mauvais);
        EXPECT_FALSE(chargerMemoire(f, m, erreur)) << mauvais;
        EXPECT_EQ(erreur.rfind("ligne 2 : ", 0), 0u) << erreur;
    }
}

// The log never waits for its reader: on a pipe read late, the lines past its
// buffer are dropped, and counted once there is room again; a file keeps them all.
TEST(Journal, DropsAndCountsWhatAPipeDoesNotTakeAndKeepsAllInAFile)
{
    constexpr unsigned long kLignes = 20000;  // 2.5 MB: more than a pipe and the buffer hold
    for (const bool fichier : {false, true}) {
        int fds[2] = {-1, -1};
        std::FILE* f = fichier ? std::tmpfile() : nullptr;
        ASSERT_TRUE(fichier ? f != nullptr : ::pipe2(fds, O_NONBLOCK) == 0);
        const int ecriture = fichier ? ::fileno(f) : fds[1];
        std::string lu;
        const auto lire = [&] {
            char bloc[65536];
            for (ssize_t n; (n = ::read(fichier ? ecriture : fds[0], bloc, sizeof bloc)) > 0;) {
                lu.append(bloc, std::size_t(n));
            }
        };
        {
            Journal journal(ecriture, nowNs());
            const auto toutLire = [&] {
                for (lire(); journal.attente() >= 0; lire()) journal.vider();
            };
            for (unsigned long i = 0; i < kLignes; ++i) {
                journal.noter('>', std::string(100, 'x'));
            }
            toutLire();
            journal.noter('#', "fin");
            toutLire();
        }
        if (fichier) {
            ::lseek(ecriture, 0, SEEK_SET);
            lire();
        }
        unsigned long vues = 0, perdues = 0;
        std::istringstream lignes(lu);
        for (std::string l; std::getline(lignes, l);) {
            vues += l.find(" > ") != std::string::npos;
            if (const auto p = l.find(" # "); l.find("perdue") != std::string::npos) {
                perdues += std::stoul(l.substr(p + 3));
            }
        }
        EXPECT_EQ(vues + perdues, kLignes) << fichier;
        EXPECT_EQ(perdues == 0, fichier);
        EXPECT_EQ(lu.substr(lu.size() - 6), "# fin\n") << fichier;
        fichier ? std::fclose(f) : (::close(fds[0]), ::close(fds[1]));
    }
}

}  // namespace
}  // namespace gsicom::sim
