#include "memoire.hpp"

#include <cmath>
#include <cstdio>
#include <random>
#include <sstream>

namespace gsicom::sim {

namespace {

// A GSI-16 word: index, four information characters, sign, 16 digits, a blank.
std::string mot(int index, const char* info, long long valeur)
{
    char texte[40];
    std::snprintf(texte, sizeof texte, "%02d%s%c%016lld ", index, info, valeur < 0 ? '-' : '+',
                  valeur < 0 ? -valeur : valeur);
    return texte;
}

std::string motPoint(int bloc, long long point)
{
    char info[8];
    std::snprintf(info, sizeof info, "%04d", bloc % 10000);
    return "*" + mot(11, info, point);
}

}  // namespace

JobSimule genererJob(const std::string& nom, int no, int mesures, unsigned graine)
{
    std::mt19937 hasard(graine);
    std::uniform_real_distribution<double> hz(0.0, 400.0), v(80.0, 120.0), sd(2.0, 500.0);
    const double e0 = 2600000.0, n0 = 1200000.0, h0 = 450.0, ih = 1.55, hr = 1.5;
    const double gonRad = M_PI / 200.0;

    JobSimule job;
    job.ligneRepertoire = nom + "," + std::to_string(no) + "," + std::to_string(mesures) + "," +
                          std::to_string(mesures + 1);
    job.observations.push_back(motPoint(1, 1000) + mot(84, "..10", std::llround(e0 * 1000)) +
                               mot(85, "..10", std::llround(n0 * 1000)) +
                               mot(86, "..10", std::llround(h0 * 1000)) +
                               mot(88, "..10", std::llround(ih * 1000)));
    for (int i = 1; i <= mesures; ++i) {
        const double a = hz(hasard), b = v(hasard), d = sd(hasard);
        const long long point = 1000 + i;
        job.observations.push_back(motPoint(i + 1, point) + mot(21, ".322", std::llround(a * 1e5)) +
                                   mot(22, ".322", std::llround(b * 1e5)) +
                                   mot(31, "..00", std::llround(d * 1000)) +
                                   mot(87, "..10", std::llround(hr * 1000)));
        const double hd = d * std::sin(b * gonRad);
        const double e = e0 + hd * std::sin(a * gonRad);
        const double n = n0 + hd * std::cos(a * gonRad);
        const double h = h0 + ih + d * std::cos(b * gonRad) - hr;
        job.coordonnees.push_back(motPoint(i, point) + mot(81, "..00", std::llround(e * 1000)) +
                                  mot(82, "..00", std::llround(n * 1000)) +
                                  mot(83, "..00", std::llround(h * 1000)));
    }
    return job;
}

Memoire memoireDemo()
{
    Memoire memoire;
    memoire.jobs.push_back(genererJob("DEFAULT", 1, 4, 1));
    memoire.jobs.push_back(genererJob("PONT-EST", 2, 12, 2));
    memoire.jobs.push_back(genererJob("LOT 17", 3, 25, 3));
    return memoire;
}

bool chargerMemoire(std::istream& entree, Memoire& memoire, std::string& erreur)
{
    memoire = Memoire{};
    bool formatsLus = false;
    std::string ligne;
    for (int numero = 1; std::getline(entree, ligne); ++numero) {
        if (!ligne.empty() && ligne.back() == '\r') {
            ligne.pop_back();
        }
        if (ligne.empty() || ligne[0] == '#') {
            continue;
        }
        const std::size_t espace = ligne.find(' ');
        const std::string directive = ligne.substr(0, espace);
        const std::string valeur = espace == std::string::npos ? "" : ligne.substr(espace + 1);
        const auto echec = [&](const char* pourquoi) {
            erreur = "ligne " + std::to_string(numero) + " : " + pourquoi;
            return false;
        };
        if (directive == "nom") {
            memoire.nom = valeur;
        } else if (directive == "temperature") {
            std::istringstream nombre(valeur);
            if (!(nombre >> memoire.temperature)) {
                return echec("temperature sans nombre");
            }
        } else if (directive == "format") {
            if (!formatsLus) {
                memoire.formats.clear();
                formatsLus = true;
            }
            memoire.formats.push_back(valeur);
        } else if (directive == "job") {
            memoire.jobs.push_back(JobSimule{valeur, {}, {}});
        } else if (directive == "obs" || directive == "coord") {
            if (memoire.jobs.empty()) {
                return echec("ligne de donnees avant le premier job");
            }
            JobSimule& job = memoire.jobs.back();
            (directive == "obs" ? job.observations : job.coordonnees).push_back(valeur);
        } else if (directive == "generer") {
            std::istringstream nombres(valeur);
            int jobs = 0, mesures = 0;
            unsigned graine = 1;
            if (!(nombres >> jobs >> mesures) || jobs < 0 || mesures < 0) {
                return echec("generer attend un nombre de jobs et un nombre de mesures");
            }
            nombres >> graine;
            for (int i = 0; i < jobs; ++i) {
                const int no = static_cast<int>(memoire.jobs.size()) + 1;
                memoire.jobs.push_back(
                    genererJob("JOB" + std::to_string(no), no, mesures, graine + no));
            }
        } else {
            return echec("directive inconnue");
        }
    }
    return true;
}

}  // namespace gsicom::sim
