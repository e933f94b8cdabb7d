// Widening the Windows console for the start screen (see windows/console.hpp).
// A console of 120 columns (Windows 10) or 80 (Windows 7) would wrap every row of
// the banner and the pictures.
#include "plateforme/windows/console.hpp"

#include <windows.h>

#include <algorithm>
#include <cstring>

namespace gsicom {

namespace {

// A console window of the classic kind, on the screen: conhost's own (Wine's own
// under Wine). Under a pseudoconsole (Windows Terminal, the default console of
// Windows 11, an editor's terminal) the console's window is a hidden stand-in, and a
// buffer resized through the console API leaves the terminal's cursor out of step
// with the text: such a console keeps its size.
bool fenetreClassique()
{
    const HWND fenetre = GetConsoleWindow();
    if (fenetre == nullptr || IsWindowVisible(fenetre) == 0) {
        return false;
    }
    char classe[32] = {};
    GetClassNameA(fenetre, classe, sizeof classe);
    return std::strcmp(classe, "ConsoleWindowClass") == 0 ||
           std::strcmp(classe, "WineConsoleClass") == 0;
}

}  // namespace

void widenConsole()
{
    if (!fenetreClassique()) {
        return;
    }
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
