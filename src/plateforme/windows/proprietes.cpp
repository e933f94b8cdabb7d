#include "plateforme/windows/proprietes.hpp"

#include <cwchar>

namespace gsicom {

std::string utf8(const wchar_t* texte)
{
    const int taille = WideCharToMultiByte(CP_UTF8, 0, texte, -1, nullptr, 0, nullptr, nullptr);
    if (taille <= 1) {
        return {};
    }
    std::string octets(static_cast<std::size_t>(taille), '\0');
    WideCharToMultiByte(CP_UTF8, 0, texte, -1, octets.data(), taille, nullptr, nullptr);
    octets.pop_back();  // its NUL
    return octets;
}

// Read with the wide API: a name may hold any character.
std::vector<std::string> propriete(HDEVINFO ensemble, SP_DEVINFO_DATA& appareil, DWORD quelle)
{
    std::vector<wchar_t> texte(256);
    DWORD type = 0;
    DWORD taille = 0;
    while (!SetupDiGetDeviceRegistryPropertyW(
        ensemble, &appareil, quelle, &type, reinterpret_cast<BYTE*>(texte.data()),
        static_cast<DWORD>(texte.size() * sizeof(wchar_t)), &taille)) {
        if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || taille > 65536) {
            return {};
        }
        texte.resize(taille / sizeof(wchar_t) + 1);
    }
    if (type != REG_SZ && type != REG_MULTI_SZ) {
        return {};
    }
    // A value need not end with its NULs: two more after what was read.
    texte.resize(taille / sizeof(wchar_t));
    texte.insert(texte.end(), 2, L'\0');
    std::vector<std::string> chaines;
    for (const wchar_t* c = texte.data(); *c != L'\0'; c += std::wcslen(c) + 1) {
        chaines.push_back(utf8(c));
    }
    return chaines;
}

std::string premiere(const std::vector<std::string>& chaines)
{
    return chaines.empty() ? std::string() : chaines.front();
}

std::string nomAffiche(HDEVINFO ensemble, SP_DEVINFO_DATA& appareil)
{
    std::string nom = premiere(propriete(ensemble, appareil, SPDRP_FRIENDLYNAME));
    return nom.empty() ? premiere(propriete(ensemble, appareil, SPDRP_DEVICEDESC)) : nom;
}

void pourChaqueAppareilPresent(const std::function<void(HDEVINFO, SP_DEVINFO_DATA&)>& faire)
{
    const HDEVINFO ensemble =
        SetupDiGetClassDevsW(nullptr, nullptr, nullptr, DIGCF_ALLCLASSES | DIGCF_PRESENT);
    if (ensemble == INVALID_HANDLE_VALUE) {
        return;
    }
    SP_DEVINFO_DATA appareil{};
    appareil.cbSize = sizeof appareil;
    for (DWORD i = 0; SetupDiEnumDeviceInfo(ensemble, i, &appareil); ++i) {
        faire(ensemble, appareil);
    }
    SetupDiDestroyDeviceInfoList(ensemble);
}

}  // namespace gsicom
