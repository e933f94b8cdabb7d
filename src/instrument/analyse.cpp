#include "instrument/analyse.hpp"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

namespace gsicom {

bool extraireNom(const char* reply, char* modele, std::size_t taille)
{
    const char* premier = std::strchr(reply, '"');
    const char* dernier = std::strrchr(reply, '"');
    if (premier == nullptr || dernier == premier) {
        return false;
    }
    std::size_t longueur = static_cast<std::size_t>(dernier - premier - 1);
    if (longueur > taille - 1) {
        longueur = taille - 1;
    }
    std::memcpy(modele, premier + 1, longueur);
    modele[longueur] = '\0';
    return true;
}

namespace {

// atoi without its undefined behaviour on overflow: leading white space, an optional
// sign and digits; the value saturates at the limits of a 32-bit integer.
std::int32_t lireNombre(std::string_view champ)
{
    std::string texte(champ);
    const long long valeur = std::strtoll(texte.c_str(), nullptr, 10);
    return static_cast<std::int32_t>(std::clamp<long long>(valeur, INT32_MIN, INT32_MAX));
}

// The next run of characters between commas, as strtok(..., ",") gives it: commas
// before it are skipped; empty when the line holds no further field.
std::string_view champSuivant(std::string_view& reste)
{
    const std::size_t debut = std::min(reste.find_first_not_of(','), reste.size());
    reste.remove_prefix(debut);
    const std::size_t fin = std::min(reste.find(','), reste.size());
    const std::string_view champ = reste.substr(0, fin);
    reste.remove_prefix(fin);
    return champ;
}

}  // namespace

int lireTemperature(const char* reply)
{
    // As sscanf("0091/%d") reads it, without its undefined behaviour on a number
    // that does not fit.
    static constexpr char kPrefixe[] = "0091/";
    if (std::strncmp(reply, kPrefixe, sizeof kPrefixe - 1) != 0) {
        return 0;
    }
    return lireNombre(reply + sizeof kPrefixe - 1);
}

Job analyserLigneJob(const char* ligne)
{
    Job job;
    std::string_view reste(ligne);
    const std::string_view nom = champSuivant(reste).substr(0, sizeof job.nom - 1);
    std::memcpy(job.nom, nom.data(), nom.size());
    job.nom[nom.size()] = '\0';
    for (std::int32_t* nombre : {&job.no, &job.points, &job.blocs}) {
        const std::string_view champ = champSuivant(reste);
        if (champ.empty()) {
            break;
        }
        *nombre = lireNombre(champ);
    }
    return job;
}

namespace {

// One byte of a reply as a message shows it: printable ASCII as it is, the rest escaped.
std::string echapper(char c)
{
    switch (c) {
        case '\r': return "\\r";
        case '\n': return "\\n";
        case '\t': return "\\t";
        case '\\': return "\\\\";
        case '"': return "\\\"";
        default: break;
    }
    const auto octet = static_cast<unsigned char>(c);
    if (octet >= 0x20 && octet <= 0x7E) {
        return std::string(1, c);
    }
    static constexpr char kHex[] = "0123456789ABCDEF";
    return {'\\', 'x', kHex[octet >> 4], kHex[octet & 0xF]};
}

}  // namespace

std::string citerReponse(std::string_view reponse)
{
    constexpr std::size_t kLongueurMax = 80;
    std::string texte;
    for (const char c : reponse) {
        const std::string octet = echapper(c);
        if (texte.size() + octet.size() > kLongueurMax) {
            return "\"" + texte + "\"...";
        }
        texte += octet;
    }
    return "\"" + texte + "\"";
}

const char* defautNomExport(std::string_view nom)
{
    for (const char c : nom) {
        const auto octet = static_cast<unsigned char>(c);
        if (octet < 0x20 || octet == 0x7F) {
            return "le nom du job contient un caractere de controle";
        }
        if (std::strchr("/\\:<>\"|?*", c) != nullptr) {
            return "le nom du job contient un caractere interdit dans un nom de fichier "
                   "(/ \\ : < > \" | ? *)";
        }
    }
    return nullptr;
}

}  // namespace gsicom
