#include "options.hpp"

#include <algorithm>
#include <charconv>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <set>

namespace gsicom::sim {

namespace {

bool lireNombre(std::string_view texte, long& valeur, long minimum = 0, long maximum = LONG_MAX)
{
    const char* fin = texte.data() + texte.size();
    const auto [p, e] = std::from_chars(texte.data(), fin, valeur);
    return e == std::errc{} && p == fin && valeur >= minimum && valeur <= maximum;
}

// "3,5,9": request numbers.
bool lireListe(std::string_view texte, std::set<long>& rangs)
{
    std::size_t debut = 0;
    for (std::size_t fin = 0; fin != std::string_view::npos; debut = fin + 1) {
        fin = texte.find(',', debut);
        long n = 0;
        if (!lireNombre(texte.substr(debut, fin - debut), n, 1)) return false;
        rangs.insert(n);
    }
    return true;
}

// "KEY=TEXT" with TEXT decoded.
bool lirePaire(std::string_view arg, std::string& cle, std::string& octets)
{
    const std::size_t egal = arg.find('=');
    return egal != std::string_view::npos && decoder(arg.substr(0, egal), cle) && !cle.empty() &&
           decoder(arg.substr(egal + 1), octets);
}

bool lireDuree(std::string_view texte, std::uint32_t& ms)
{
    long n = 0;
    return lireNombre(texte, n, 0, 600000) && ((ms = std::uint32_t(n)), true);
}

// One option and its value; false when the value is refused.
bool appliquer(std::string_view nom, std::string_view v, Options& o)
{
    std::string cle, texte;
    long n = 0;
    Pannes& p = o.pannes;
    if (nom == "--memoire") return !(o.fichierMemoire = v).empty();
    if (nom == "--jobs") return lireNombre(v, o.jobs, 0, 10000);
    if (nom == "--mesures") return lireNombre(v, o.mesures, 0, 1000000);
    if (nom == "--lien") return !(o.lien = v).empty();
    if (nom == "--journal") return !(o.journal = v).empty();
    if (nom == "--vitesse") {
        return lireNombre(v, o.vitesse) &&
               (o.vitesse == 9600 || o.vitesse == 19200 || o.vitesse == 38400 ||
                o.vitesse == 57600 || o.vitesse == 115200);
    }
    if (nom == "--silence-des") return lireNombre(v, p.silenceDes, 1);
    if (nom == "--sans-reponse") return lireListe(v, p.sansReponse);
    if (nom == "--delai") return lireDuree(v, p.delaiMs);
    if (nom == "--ecart") return lireDuree(v, p.ecartMs);
    if (nom == "--raccroche-des") return lireNombre(v, p.raccrocheDes, 1);
    if (nom == "--coupure") return lireNombre(v, n, 1) && ((p.coupure = std::size_t(n)), true);
    if (nom == "--reponse-a") {
        return lirePaire(v, cle, texte) && lireNombre(cle, n, 1) && ((p.reponseA[n] = texte), true);
    }
    return lirePaire(v, cle, texte) && ((p.reponsePour[cle] = texte), true);  // --reponse-pour
}

}  // namespace

const char kAide[] = R"(Usage : gsicom-sim [OPTION]...
Une station totale simulee sur un pseudo-terminal. Ecrit d'abord "gsicom-sim: /dev/pts/N",
puis sert jusqu'a SIGINT ou SIGTERM.

Memoire (defaut : trois jobs de demonstration)
  --memoire FICHIER        la memoire lue dans ce fichier (format de sim/memoire.hpp)
  --jobs N                 N jobs generes (JOB1, JOB2...)
  --mesures M              lignes de mesure par job genere (defaut 10)
Service
  --lien CHEMIN            un lien symbolique vers le pty (remplace un ancien lien)
  --journal FICHIER        les requetes recues et les reponses envoyees, une par ligne
                           (defaut : stderr). Un tube ou un terminal n'arrete jamais le
                           service : au-dela de 1 Mio en attente, les lignes sont
                           perdues, puis comptees par une ligne du journal
  --sans-cadence           repond d'un bloc, sans suivre la vitesse de la ligne
  --une-session            s'arrete quand le programme a ferme le port apres avoir parle
  --vitesse BAUDS          la vitesse de la ligne de l'appareil : 9600, 19200, 38400,
                           57600 ou 115200 (defaut : celle que le programme regle).
                           Si le programme en regle une autre, aucune requete n'est
                           comprise (la memoire ne bouge pas, chacune recoit @W127) et
                           chaque reponse arrive brouillee, comme un UART a l'autre
                           vitesse la lirait : autant d'octets qu'il en tient dans sa
                           duree, celui de rang i valant 0x80 | ((b + 0x2B * i) & 0x7F),
                           b l'octet envoye a cet instant : aucun n'est lisible
Pannes (N : rang de la requete, 1 pour la premiere, "a" et "c" compris)
  --silence-des N          plus aucune reponse a partir de la requete N (appareil eteint)
  --sans-reponse N[,N...]  aucune reponse a ces requetes (repetable)
  --delai MS               chaque reponse commence MS millisecondes apres la requete
  --coupure OCTETS         une reponse plus longue part en deux morceaux...
  --ecart MS               ...separes par MS millisecondes de silence
  --reponse-a N=TEXTE      cette reponse, CR LF compris, a la requete N (repetable)
  --reponse-pour R=TEXTE   cette reponse a chaque requete R, sans son CR LF (repetable)
  --raccroche-des N        la ligne est coupee a l'arrivee de la requete N
TEXTE et R acceptent \r \n \t \\ \" et \xHH : --reponse-pour '?=\x1A\r\n'
)";

bool decoder(std::string_view texte, std::string& octets)
{
    octets.clear();
    for (std::size_t i = 0; i < texte.size(); ++i) {
        if (texte[i] != '\\') {
            octets += texte[i];
            continue;
        }
        if (++i == texte.size()) return false;
        switch (texte[i]) {
            case 'r': octets += '\r'; break;
            case 'n': octets += '\n'; break;
            case 't': octets += '\t'; break;
            case '\\': octets += '\\'; break;
            case '"': octets += '"'; break;
            case 'x': {
                unsigned valeur = 0;
                const char* debut = texte.data() + i + 1;
                const auto [p, e] = std::from_chars(
                    debut, debut + std::min<std::size_t>(2, texte.size() - i - 1), valeur, 16);
                if (e != std::errc{} || p != debut + 2) return false;
                octets += char(valeur);
                i += 2;
                break;
            }
            default: return false;
        }
    }
    return true;
}

std::string echapper(std::string_view octets)
{
    std::string texte;
    for (const char c : octets) {
        const auto u = static_cast<unsigned char>(c);
        char hex[5];
        switch (c) {
            case '\r': texte += "\\r"; break;
            case '\n': texte += "\\n"; break;
            case '\t': texte += "\\t"; break;
            case '\\': texte += "\\\\"; break;
            default:
                std::snprintf(hex, sizeof hex, "\\x%02X", u);
                texte += (u < 0x20 || u > 0x7E) ? std::string(hex) : std::string(1, c);
        }
    }
    return texte;
}

bool lireOptions(int argc, char** argv, Options& o, std::string& erreur)
{
    static constexpr std::string_view kAvecValeur[] = {
        "--memoire",     "--jobs",         "--mesures",       "--lien",    "--journal",
        "--silence-des", "--sans-reponse", "--delai",         "--coupure", "--ecart",
        "--reponse-a",   "--reponse-pour", "--raccroche-des", "--vitesse"};
    for (int i = 1; i < argc; ++i) {
        const std::string_view nom = argv[i];
        if (nom == "--aide" || nom == "-h" || nom == "--help") {
            o.aide = true;
        } else if (nom == "--sans-cadence") {
            o.cadence = false;
        } else if (nom == "--une-session") {
            o.uneSession = true;
        } else if (std::find(std::begin(kAvecValeur), std::end(kAvecValeur), nom) ==
                   std::end(kAvecValeur)) {
            erreur = "option inconnue : " + std::string(nom);
            return false;
        } else if (++i == argc || !appliquer(nom, argv[i], o)) {
            erreur = std::string(nom) + (i == argc ? " attend une valeur" : " : valeur refusee");
            return false;
        }
    }
    if (!o.fichierMemoire.empty() && o.jobs >= 0) {
        erreur = "--memoire et --jobs s'excluent";
        return false;
    }
    return true;
}

}  // namespace gsicom::sim
