// Widening the Windows console for the start screen (see console_windows.hpp).
// A console of 120 columns (Windows 10) or 80 (Windows 7) would wrap every row of
// the banner and the pictures.
#include "console/console_windows.hpp"

#include <windows.h>

#include <algorithm>

namespace gsicom {

void widenConsole()
{
    constexpr SHORT colonnes = 131;
    const HANDLE sortie = GetStdHandle(STD_OUTPUT_HANDLE);
    CONSOLE_SCREEN_BUFFER_INFO info{};
    if (sortie == INVALID_HANDLE_VALUE || GetConsoleScreenBufferInfo(sortie, &info) == 0) {
        return;  // redirected, or no console
    }
    const SHORT largeur = SHORT(info.srWindow.Right - info.srWindow.Left + 1);
    if (info.dwSize.X >= colonnes && largeur >= colonnes) {
        return;
    }
    // The buffer first: a window may not be wider than its buffer. Where the screen
    // takes fewer columns, the rows still do not wrap; the window scrolls sideways.
    if (info.dwSize.X < colonnes &&
        SetConsoleScreenBufferSize(sortie, COORD{colonnes, info.dwSize.Y}) == 0) {
        return;  // a terminal that sizes itself
    }
    const COORD plusGrande = GetLargestConsoleWindowSize(sortie);
    const SHORT cible = std::min(colonnes, std::max(largeur, plusGrande.X));
    if (cible > largeur) {
        SMALL_RECT fenetre = info.srWindow;
        fenetre.Left = 0;
        fenetre.Right = SHORT(cible - 1);
        SetConsoleWindowInfo(sortie, TRUE, &fenetre);
    }
}

}  // namespace gsicom
