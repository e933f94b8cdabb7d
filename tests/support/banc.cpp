#include "banc.hpp"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "console/deroulement.hpp"

namespace gsicom::test {

namespace {

std::string toutLire(std::FILE* f)
{
    std::string texte;
    std::rewind(f);
    char bloc[4096];
    for (std::size_t n; (n = std::fread(bloc, 1, sizeof bloc, f)) > 0;) {
        texte.append(bloc, n);
    }
    std::fclose(f);
    return texte;
}

}  // namespace

int Banc::lancer(const std::string& reponses)
{
    instrument = std::make_unique<sim::Instrument>(memoire, pannes);
    os = std::make_unique<PlateformeSimulee>(*instrument);
    if (preparer) {
        preparer(*os);
    }
    std::FILE* in = std::tmpfile();
    std::FILE* out = std::tmpfile();
    std::FILE* err = std::tmpfile();
    std::fwrite(reponses.data(), 1, reponses.size(), in);
    std::rewind(in);
    int code = 0;
    {
        Etat etat(*os, in, out, err);
        code = executer(etat);
    }
    std::fclose(in);
    sortie = toutLire(out);
    erreurs = toutLire(err);
    return code;
}

std::string Banc::apresDemarrage() const
{
    const std::size_t debut = sortie.find("Scan des ports...");
    return debut == std::string::npos ? std::string() : sortie.substr(debut);
}

RepertoireTemporaire::RepertoireTemporaire()
{
    std::string modele = (std::filesystem::temp_directory_path() / "gsicom-test-XXXXXX").string();
    chemin_ = ::mkdtemp(modele.data());
    precedent_ = std::filesystem::current_path().string();
    std::filesystem::current_path(chemin_);
}

RepertoireTemporaire::~RepertoireTemporaire()
{
    std::filesystem::current_path(precedent_);
    std::error_code ignore;
    std::filesystem::remove_all(chemin_, ignore);
}

std::vector<std::string> RepertoireTemporaire::fichiers() const
{
    std::vector<std::string> noms;
    for (const auto& entree : std::filesystem::directory_iterator(chemin_)) {
        noms.push_back(entree.path().filename().string());
    }
    std::sort(noms.begin(), noms.end());
    return noms;
}

std::string RepertoireTemporaire::lire(const std::string& nom)
{
    std::ifstream f(nom, std::ios::binary);
    std::ostringstream texte;
    texte << f.rdbuf();
    return texte.str();
}

std::string enLigne(const std::vector<std::string>& requetes)
{
    std::string ligne;
    for (const std::string& r : requetes) {
        ligne += (ligne.empty() ? "" : "|") + r;
    }
    return ligne;
}

}  // namespace gsicom::test
