// Console art: each piece has its row count, one width, only its own characters, real drawing.
#include "console/art.hpp"

#include <gtest/gtest.h>

#include <cstddef>
#include <span>
#include <string_view>

namespace gsicom {
namespace {

TEST(Art, EachPieceHasItsSizeItsCharactersAndIsDrawn)
{
    const struct {
        const char* nom;
        std::span<const std::string_view> lignes;
        std::size_t hauteur;
        std::size_t largeur;
        std::string_view permis;
        std::size_t pleinesMin;  // rows that must hold something other than spaces
    } cas[] = {
        {"banniere", art::banniere, 7, 127, "# ", 7},
        {"imageDepart", art::imageDepart, 71, 130, " .-+#", 54},
        {"imageMauvaisPort", art::imageMauvaisPort, 56, 124, " .-+#", 42},
        {"imageFin", art::imageFin, 34, 124, " .-+#", 26},
    };
    for (const auto& c : cas) {
        SCOPED_TRACE(c.nom);
        EXPECT_EQ(c.lignes.size(), c.hauteur);
        std::size_t pleines = 0;
        for (std::size_t i = 0; i < c.lignes.size(); ++i) {
            const std::string_view ligne = c.lignes[i];
            EXPECT_EQ(ligne.size(), c.largeur) << "row " << i;  // trailing spaces kept
            EXPECT_EQ(ligne.find_first_not_of(c.permis), std::string_view::npos) << "row " << i;
            if (ligne.find_first_not_of(' ') != std::string_view::npos) ++pleines;
        }
        EXPECT_GE(pleines, c.pleinesMin);
    }
}

}  // namespace
}  // namespace gsicom
