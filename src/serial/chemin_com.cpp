#include "serial/chemin_com.hpp"

#include <cstdio>
#include <cstring>

namespace gsicom {

std::string cheminPort(int numero)
{
    char chemin[16];
    std::snprintf(chemin, sizeof chemin, "\\\\.\\COM%d", numero);
    return chemin;
}

std::string cheminLinux(const char* devicePath)
{
    static constexpr char kPrefixe[] = "\\\\.\\COM";
    const std::size_t longueurPrefixe = sizeof kPrefixe - 1;
    if (std::strncmp(devicePath, kPrefixe, longueurPrefixe) != 0) {
        return {};
    }
    const char* chiffres = devicePath + longueurPrefixe;
    int numero = 0;
    for (const char* p = chiffres; *p != '\0'; ++p) {
        if (*p < '0' || *p > '9' || p - chiffres >= 2) {
            return {};
        }
        numero = numero * 10 + (*p - '0');
    }
    if (*chiffres == '0' || numero < kPremierPort || numero > kDernierPort) {
        return {};
    }
    static constexpr const char* kFamilles[] = {"/dev/ttyS", "/dev/ttyUSB", "/dev/ttyACM"};
    const int index = numero - 1;
    return kFamilles[index / 10] + std::to_string(index % 10);
}

}  // namespace gsicom
