// The operator's answers read as scanf("%d") reads them, across several prompts of
// one input stream.
#include "socle/reponse.hpp"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

namespace gsicom {
namespace {

struct Cas {
    const char* entree;
    std::vector<int> attendus;  // what each prompt in turn gets, preset 7
    const char* reste;          // what is left unread after them
};

class LireChoix : public ::testing::TestWithParam<Cas> {};

TEST_P(LireChoix, EachPromptGetsItsValueAndTheRestStaysInTheInput)
{
    const Cas& cas = GetParam();
    std::FILE* in = std::tmpfile();
    std::fputs(cas.entree, in);
    std::rewind(in);
    for (const int attendu : cas.attendus) {
        EXPECT_EQ(lireChoix(in, 7), attendu) << "input: " << cas.entree;
    }
    std::string reste;
    for (int c; (c = std::fgetc(in)) != EOF;) {
        reste += static_cast<char>(c);
    }
    EXPECT_EQ(reste, cas.reste);
    std::fclose(in);
}

INSTANTIATE_TEST_SUITE_P(
    Reponses, LireChoix,
    ::testing::Values(
        Cas{"3\n", {3}, "\n"},
        Cas{"  \n\t 12abc", {12, 7, 7}, "abc"},  // letters stick in front of every prompt
        Cas{"1 2 3\n", {1, 2, 3}, "\n"},         // several answers on one line
        Cas{"", {7, 7}, ""},                     // end of input keeps the preset
        Cas{"-1\n+4\n", {-1, 4}, "\n"},
        Cas{"-x", {7, 7}, "x"},  // a lone sign is consumed, the letter stays
        Cas{"- 5", {7, 5}, ""}, Cas{"2147483647 -2147483648", {2147483647, -2147483647 - 1}, ""},
        Cas{"4294967297 1", {kHorsBornes, 1}, ""},  // never wraps round to port 1
        Cas{"-2147483649\n", {kHorsBornes}, "\n"},
        Cas{"99999999999999999999999999999999999999 2", {kHorsBornes, 2}, ""},
        Cas{"\x01\xff 3", {7}, "\x01\xff 3"}));

TEST(LireReponse, TellsEndOfInputFromLettersFromOverflow)
{
    const struct {
        const char* entree;
        Lecture lecture;
    } cas[] = {{"", Lecture::finDEntree},           {"  \n", Lecture::finDEntree},
               {"abc", Lecture::pasDEntier},        {"+", Lecture::pasDEntier},
               {"12345678901", Lecture::tropGrand}, {"-1", Lecture::entier}};
    for (const auto& c : cas) {
        std::FILE* in = std::tmpfile();
        std::fputs(c.entree, in);
        std::rewind(in);
        EXPECT_EQ(lireReponse(in).lecture, c.lecture) << c.entree;
        std::fclose(in);
    }
}

TEST(LireReponse, AMegabyteOfDigitsIsConsumedWhole)
{
    std::FILE* in = std::tmpfile();
    const std::string chiffres(1 << 20, '9');
    std::fputs((chiffres + " 3").c_str(), in);
    std::rewind(in);
    EXPECT_EQ(lireReponse(in).lecture, Lecture::tropGrand);
    EXPECT_EQ(lireChoix(in, 0), 3);
    std::fclose(in);
}

}  // namespace
}  // namespace gsicom
