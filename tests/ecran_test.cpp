// The art at its places in a run: the start screen's 88 lines before the scan, the
// bad-port picture right after the counter text and nothing after it.
#include <gtest/gtest.h>

#include <string>

#include "banc.hpp"
#include "console/art.hpp"

namespace gsicom::test {
namespace {

std::string lignes(const auto& piece)
{
    std::string texte;
    for (const auto ligne : piece) {
        texte += std::string(ligne) + "\n";
    }
    return texte;
}

TEST(Ecran, TheStartScreenIs88LinesBeforeTheScan)
{
    Banc banc;
    banc.lancer("");
    std::string regle = "    -";
    for (int i = 1; i < 62; ++i) regle += " -";
    ASSERT_EQ(regle.size(), 127u);
    const std::string attendu =
        regle + "\n" + lignes(art::banniere) + regle + "\n\n" + std::string(40, ' ') +
        "Communication uUart/GSI avec appareils leica    \n" + std::string(51, ' ') +
        "Programme experimental" + std::string(15, ' ') + "\n" + std::string(36, ' ') +
        "Version 0.01 en cours de developpement au 02-07-2025\n\n" + regle + "\n\n" +
        lignes(art::imageDepart) + "\nScan des ports...\n";
    EXPECT_EQ(banc.sortie.substr(0, attendu.size()), attendu);
    EXPECT_EQ(std::count(attendu.begin(), attendu.end(), '\n'), 88 + 1);
}

TEST(Ecran, TheBadPortPictureFollowsTheCounterTextAndEndsTheRun)
{
    Banc banc;
    banc.lancer("7\n");
    const std::string fin = "m ennuyez avec le port !\n\n" + lignes(art::imageMauvaisPort);
    ASSERT_GE(banc.sortie.size(), fin.size());
    EXPECT_EQ(banc.sortie.substr(banc.sortie.size() - fin.size()), fin);
}

TEST(Ecran, TheClosingPictureStandsBetweenItsEmptyLines)
{
    Banc banc;
    banc.lancer("1\n2\n2\n1\n2\n1472583690\n2\n");
    std::string regleB = " -";
    for (int i = 1; i < 62; ++i) regleB += " -";
    const std::string fin = ">>PONT-EST  KILLED\n\nFIN POUR LE MOMENT\n\n" + regleB + "\n\n\n" +
                            lignes(art::imageFin) + "\n\n" + regleB + "\n\n";
    ASSERT_GE(banc.sortie.size(), fin.size());
    EXPECT_EQ(banc.sortie.substr(banc.sortie.size() - fin.size()), fin);
}

}  // namespace
}  // namespace gsicom::test
