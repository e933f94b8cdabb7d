// The simulator core: what it takes a request for, and its memory file.
#include <gtest/gtest.h>

#include <sstream>

#include "instrument.hpp"
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

}  // namespace
}  // namespace gsicom::sim
