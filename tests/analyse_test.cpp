// The parsers of instrument text: the GeoCOM name, the temperature, a directory line,
// and the check of a job name before it becomes part of a file name.
#include "instrument/analyse.hpp"

#include <gtest/gtest.h>

#include <string>

namespace gsicom {
namespace {

TEST(ExtraireNom, TakesTheTextBetweenTheFirstAndTheLastQuote)
{
    const struct {
        const char* reponse;
        bool trouve;
        const char* nom;
    } cas[] = {
        {"%R1P,0,0:0,\"TS-SIM 30\"\r\n", true, "TS-SIM 30"},
        {"%R1P,0,0:0,\"TPS \\\"1200\\\"\"\r\n", true, "TPS \\\"1200\\\""},  // inner quotes kept
        {"\"\"", true, ""},
        {"%R1P,0,0:0,\"TS\r\n", false, ""},
        {"%R1P,0,0:5\r\n", false, ""},
        {"", false, ""},
    };
    for (const auto& c : cas) {
        char modele[128] = "avant";
        EXPECT_EQ(extraireNom(c.reponse, modele, sizeof modele), c.trouve) << c.reponse;
        if (c.trouve) {
            EXPECT_STREQ(modele, c.nom);
        }
    }
}

TEST(ExtraireNom, CutsALongNameToTheBuffer)
{
    const std::string nom(300, 'N');
    char modele[128];
    ASSERT_TRUE(extraireNom(("\"" + nom + "\"").c_str(), modele, sizeof modele));
    EXPECT_EQ(std::string(modele), nom.substr(0, 127));
}

TEST(LireTemperature, ReadsOnlyAReplyThatBeginsWith0091)
{
    const struct {
        const char* reponse;
        int degres;
    } cas[] = {{"0091/0023\r\n", 23},
               {"0091/-005\r\n", -5},
               {" 0091/0023", 0},
               {"0092/0023", 0},
               {"0091/", 0},
               {"0091/+12x", 12},
               {"0091/ 7", 7},
               {"0091/99999999999", 2147483647},
               {"", 0}};
    for (const auto& c : cas) {
        EXPECT_EQ(lireTemperature(c.reponse), c.degres) << c.reponse;
    }
}

TEST(AnalyserLigneJob, SplitsLikeStrtokAndReadsNumbersLikeAtoi)
{
    const std::string long70(70, 'L');
    const struct {
        std::string ligne;
        std::string nom;
        int no, points, blocs;
    } cas[] = {
        {"DEFAULT,1,12,3\r\n", "DEFAULT", 1, 12, 3},
        {"A,,2,3\r\n", "A", 2, 3, 0},  // a run of commas is one separator
        {",,A,1,2,3", "A", 1, 2, 3},
        {"B,-4,7,8", "B", -4, 7, 8},
        {"SANS VIRGULE\r\n", "SANS VIRGULE\r\n", 0, 0, 0},  // the ending stays in the name
        {long70 + ",5,1,1", long70.substr(0, 63), 5, 1, 1},
        {"C, 9x,abc,+2,99", "C", 9, 0, 2},
        {"D,99999999999,-99999999999,1", "D", 2147483647, -2147483647 - 1, 1},
        {"\x1A\r\n", "\x1A\r\n", 0, 0, 0},
        {"", "", 0, 0, 0},
        {",,,", "", 0, 0, 0},
    };
    for (const auto& c : cas) {
        const Job job = analyserLigneJob(c.ligne.c_str());
        EXPECT_EQ(job.nom, c.nom) << c.ligne;
        EXPECT_EQ(job.no, c.no) << c.ligne;
        EXPECT_EQ(job.points, c.points) << c.ligne;
        EXPECT_EQ(job.blocs, c.blocs) << c.ligne;
    }
}

TEST(DefautNomExport, RefusesWhatWouldLeadTheFileElsewhere)
{
    for (const char* bon : {"DEFAULT", "LOT 17", "PONT-EST.2026", "", "a,b;c=d'e(f)"}) {
        EXPECT_EQ(defautNomExport(bon), nullptr) << bon;
    }
    for (const char* mauvais : {"../x", "a/b", "a\\b", "C:x", "job:flux", "a<b", "a>b", "a\"b",
                                "a|b", "a?b", "a*b", "a\rb", "NOM\r\n", "\x1A", "del\x7f"}) {
        EXPECT_NE(defautNomExport(mauvais), nullptr) << mauvais;
    }
}

}  // namespace
}  // namespace gsicom
