#include "serial/modules_linux.hpp"

#include <fnmatch.h>
#include <strings.h>
#include <sys/utsname.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace gsicom {

namespace {

std::string base(const std::string& chemin)
{
    return chemin.substr(chemin.rfind('/') + 1);
}

// A module as /sys/module and modules.alias name it: cdc-acm.ko is cdc_acm.
std::string nomDeModule(const std::string& fichier)
{
    std::string nom = base(fichier).substr(0, base(fichier).find(".ko"));
    std::replace(nom.begin(), nom.end(), '-', '_');
    return nom;
}

// Each line of a text file, without its newline; false where it cannot be read.
template <typename Fonction>
bool parLigne(const std::string& chemin, Fonction&& fonction)
{
    std::FILE* f = std::fopen(chemin.c_str(), "re");
    if (f == nullptr) {
        return false;
    }
    char* ligne = nullptr;
    std::size_t taille = 0;
    for (ssize_t n; (n = ::getline(&ligne, &taille, f)) > 0;) {
        fonction(std::string(ligne, static_cast<std::size_t>(n) - (ligne[n - 1] == '\n')));
    }
    std::free(ligne);
    std::fclose(f);
    return true;
}

// Whether an alias ("usb:v0403p6001d*dc*...") matches a modalias. Most name their
// vendor: those of another are passed over without the glob.
bool correspond(const std::string& motif, const std::string& modalias)
{
    const std::string vendeur = motif.substr(5, 4);
    if (vendeur.find_first_of("*?[") == std::string::npos && modalias.size() > 5 &&
        ::strncasecmp(vendeur.c_str(), modalias.c_str() + 5, 4) != 0) {
        return false;
    }
    return ::fnmatch(motif.c_str(), modalias.c_str(), 0) == 0;
}

std::string dossierDuNoyau()
{
    utsname u{};
    return ::uname(&u) == 0 ? std::string("/lib/modules/") + u.release : std::string();
}

}  // namespace

IndexDesModules::IndexDesModules(std::string dossier)
    : dossier_(dossier.empty() ? dossierDuNoyau() : std::move(dossier))
{
}

std::string IndexDesModules::version() const
{
    return base(dossier_);
}

bool IndexDesModules::lisible()
{
    lire();
    return *lisible_;
}

std::string IndexDesModules::moduleSerie(const std::string& modalias)
{
    lire();
    for (const auto& [motif, module] : alias_) {
        if (series_.count(module) != 0 && correspond(motif, modalias)) {
            return module;
        }
    }
    return {};
}

bool IndexDesModules::connu(const std::string& modalias)
{
    lire();
    return std::any_of(alias_.begin(), alias_.end(),
                       [&](const auto& a) { return correspond(a.first, modalias); });
}

// Only the USB aliases are kept: the others never match an interface.
void IndexDesModules::lire()
{
    if (lisible_) {
        return;
    }
    lisible_ = parLigne(dossier_ + "/modules.alias", [this](const std::string& ligne) {
        const std::size_t espace = ligne.rfind(' ');
        if (ligne.rfind("alias usb:v", 0) == 0 && espace > 10) {
            alias_.emplace_back(ligne.substr(6, espace - 6), nomDeModule(ligne.substr(espace + 1)));
        }
    });
    parLigne(dossier_ + "/modules.dep", [this](const std::string& ligne) {
        const std::string fichier = ligne.substr(0, ligne.find(':'));
        if (fichier.find("/drivers/usb/serial/") != std::string::npos ||
            nomDeModule(fichier) == "cdc_acm") {
            series_.insert(nomDeModule(fichier));
        }
    });
}

}  // namespace gsicom
