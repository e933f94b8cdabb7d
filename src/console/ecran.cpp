#include "console/ecran.hpp"

#include "console/art.hpp"

namespace gsicom {

namespace {

void afficherRegle(Etat& e, const char* marge)
{
    std::fputs(marge, e.out);
    for (int tiret = 0; tiret < 62; ++tiret) {
        std::fputs(tiret == 0 ? "-" : " -", e.out);
    }
    std::fputc('\n', e.out);
}

template <typename Lignes>
void afficherLignes(Etat& e, const Lignes& lignes)
{
    for (const auto ligne : lignes) {
        std::fwrite(ligne.data(), 1, ligne.size(), e.out);
        std::fputc('\n', e.out);
    }
}

}  // namespace

void afficherRegleA(Etat& e)
{
    afficherRegle(e, "    ");
}

void afficherRegleB(Etat& e)
{
    afficherRegle(e, " ");
}

Issue afficherEcranDepart(Etat& e)
{
    afficherRegleA(e);
    afficherLignes(e, art::banniere);
    afficherRegleA(e);
    std::fputs("\n", e.out);
    std::fprintf(e.out, "%40s%s%4s\n", "", "Communication uUart/GSI avec appareils leica", "");
    std::fprintf(e.out, "%51s%s%15s\n", "", "Programme experimental", "");
    std::fprintf(e.out, "%36s%s\n", "", "Version 0.01 en cours de developpement au 02-07-2025");
    std::fputs("\n", e.out);
    afficherRegleA(e);
    std::fputs("\n", e.out);
    afficherLignes(e, art::imageDepart);
    std::fputs("\n", e.out);
    return kContinuer;
}

void afficherImageMauvaisPort(Etat& e)
{
    afficherLignes(e, art::imageMauvaisPort);
}

void afficherEcranFin(Etat& e)
{
    std::fputs("\nFIN POUR LE MOMENT\n\n", e.out);
    afficherRegleB(e);
    std::fputs("\n\n", e.out);
    afficherLignes(e, art::imageFin);
    std::fputs("\n\n", e.out);
    afficherRegleB(e);
    std::fputs("\n", e.out);
}

}  // namespace gsicom
