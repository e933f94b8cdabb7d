// The current folder on Windows: temporary when it lies in the folder GetTempPath
// gives. Explorer runs an exe opened inside a ZIP from a copy in
// %TEMP%\Temp1_<zip>\, its current folder too. Both sides are compared as long paths
// (either may come in its short 8.3 form, C:\Users\PAULDU~1\...), ignoring case, in
// UTF-16: a byte of a double-byte code page may look like a backslash.
#include <windows.h>

#include <string>

#include "plateforme/dossier_systeme.hpp"

namespace gsicom {

namespace {

// A Win32 call that fills a buffer of the size it asks for; empty when it fails.
template <typename Appel>
std::wstring remplir(Appel appel)
{
    std::wstring texte;
    for (DWORD taille = MAX_PATH + 2;;) {
        texte.assign(taille, L'\0');
        const DWORD n = appel(texte.data(), taille);
        if (n == 0) {
            return {};
        }
        if (n < taille) {
            texte.resize(n);
            return texte;
        }
        taille = n + 1;
    }
}

std::wstring cheminLong(const std::wstring& chemin)
{
    const std::wstring longue =
        remplir([&](wchar_t* b, DWORD t) { return GetLongPathNameW(chemin.c_str(), b, t); });
    return longue.empty() ? chemin : longue;
}

// Without its last backslash, but a drive's root keeps it.
std::wstring sansSeparateurFinal(std::wstring chemin)
{
    while (chemin.size() > 3 && (chemin.back() == L'\\' || chemin.back() == L'/')) {
        chemin.pop_back();
    }
    return chemin;
}

// In the code page the console shows (the system's where there is none).
std::string pourLaConsole(const std::wstring& texte)
{
    const UINT page = GetConsoleOutputCP() != 0 ? GetConsoleOutputCP() : CP_ACP;
    const int n =
        WideCharToMultiByte(page, 0, texte.data(), int(texte.size()), nullptr, 0, nullptr, nullptr);
    std::string octets(std::size_t(n > 0 ? n : 0), '\0');
    WideCharToMultiByte(page, 0, texte.data(), int(texte.size()), octets.data(), n, nullptr,
                        nullptr);
    return octets;
}

}  // namespace

DossierTemporaire dossierCourantTemporaire()
{
    // Without TMP and TEMP, GetTempPath falls back on the profile or the Windows
    // folder, which the system does not empty (and Documents lies in the profile).
    if (GetEnvironmentVariableW(L"TMP", nullptr, 0) == 0 &&
        GetEnvironmentVariableW(L"TEMP", nullptr, 0) == 0) {
        return {};
    }
    const std::wstring temporaire = sansSeparateurFinal(
        cheminLong(remplir([](wchar_t* b, DWORD t) { return GetTempPathW(t, b); })));
    const std::wstring courant = sansSeparateurFinal(
        cheminLong(remplir([](wchar_t* b, DWORD t) { return GetCurrentDirectoryW(t, b); })));
    const std::size_t n = temporaire.size();
    // A root (C:\) as the temporary folder would make every folder of the drive one.
    if (n <= 3 || courant.size() < n ||
        CompareStringOrdinal(courant.data(), int(n), temporaire.data(), int(n), TRUE) !=
            CSTR_EQUAL ||
        (courant.size() > n && courant[n] != L'\\' && courant[n] != L'/')) {
        return {};
    }
    return {pourLaConsole(courant),
            "Copiez gsicom.exe dans un dossier a vous (Documents, par exemple) et lancez-le de "
            "la."};
}

}  // namespace gsicom
