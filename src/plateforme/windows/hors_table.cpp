#include "plateforme/windows/hors_table.hpp"

#include <windows.h>

#include <cstring>
#include <set>
#include <string>

#include "serial/chemin_com.hpp"

namespace gsicom {

namespace {

// n where `nom` is "COMn" (any case, no leading zero) and n lies above the table; 0
// for every other name.
int numeroHorsTable(const char* nom)
{
    const auto lettre = [nom](int i, char majuscule) { return (nom[i] & ~0x20) == majuscule; };
    if (!lettre(0, 'C') || !lettre(1, 'O') || !lettre(2, 'M') || nom[3] < '1' || nom[3] > '9') {
        return 0;
    }
    int numero = 0;
    for (const char* c = nom + 3; *c != '\0'; ++c) {
        if (*c < '0' || *c > '9' || c - nom >= 8) {
            return 0;
        }
        numero = numero * 10 + (*c - '0');
    }
    return numero > kDernierPort ? numero : 0;
}

// The ports whose driver registered them: the values of SERIALCOMM are their names.
void lireSerialComm(std::set<int>& numeros)
{
    HKEY cle = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_QUERY_VALUE,
                      &cle) != ERROR_SUCCESS) {
        return;
    }
    for (DWORD index = 0;; ++index) {
        char nomValeur[16384];  // the longest a value name may be
        DWORD longueurNom = sizeof nomValeur;
        char donnee[64] = {};
        DWORD longueurDonnee = sizeof donnee - 1;  // room for a NUL the value may lack
        DWORD type = 0;
        const LONG r = RegEnumValueA(cle, index, nomValeur, &longueurNom, nullptr, &type,
                                     reinterpret_cast<BYTE*>(donnee), &longueurDonnee);
        if (r != ERROR_SUCCESS && r != ERROR_MORE_DATA) {
            break;  // the end of the values, or a key that cannot be read
        }
        if (r == ERROR_SUCCESS && type == REG_SZ) {  // one too long for a name is no port
            if (const int n = numeroHorsTable(donnee); n != 0) {
                numeros.insert(n);
            }
        }
    }
    RegCloseKey(cle);
}

// The COMn names of the MS-DOS device namespace, where some drivers make only these.
void lireNomsDos(std::set<int>& numeros)
{
    std::string noms(65536, '\0');
    while (QueryDosDeviceA(nullptr, noms.data(), static_cast<DWORD>(noms.size())) == 0) {
        if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || noms.size() >= (64u << 20)) {
            return;
        }
        noms.assign(noms.size() * 2, '\0');
    }
    // NUL-separated names, an empty one at the end.
    for (const char* nom = noms.c_str(); nom < noms.c_str() + noms.size() && *nom != '\0';
         nom += std::strlen(nom) + 1) {
        if (const int n = numeroHorsTable(nom); n != 0) {
            numeros.insert(n);
        }
    }
}

}  // namespace

std::vector<std::string> portsHorsTableWindows()
{
    std::set<int> numeros;
    lireSerialComm(numeros);
    lireNomsDos(numeros);
    std::vector<std::string> lignes;
    for (const int n : numeros) {
        lignes.push_back("COM" + std::to_string(n) +
                         " existe, mais gsicom ne parle qu aux ports COM1 a COM30 : donnez-lui un "
                         "numero de 1 a 30 (Gestionnaire de peripheriques, Ports (COM et LPT), "
                         "Proprietes, Parametres du port, Avance), puis relancez gsicom.");
    }
    return lignes;
}

}  // namespace gsicom
