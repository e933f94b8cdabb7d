#include "plateforme/linux/modules.hpp"

#include <dirent.h>
#include <fcntl.h>
#include <fnmatch.h>
#include <strings.h>
#include <sys/stat.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <memory>

namespace gsicom {

namespace {

std::string base(const std::string& chemin)
{
    return chemin.substr(chemin.rfind('/') + 1);
}

// A module as /sys/module and modules.alias name it: cdc-acm.ko is cdc_acm.
std::string nomDeModule(std::string_view fichier)
{
    fichier.remove_prefix(fichier.rfind('/') + 1);  // npos + 1: from the start
    std::string nom(fichier.substr(0, fichier.find(".ko")));
    std::replace(nom.begin(), nom.end(), '-', '_');
    return nom;
}

// A whole file, in one buffer that is not cleared first (modules.alias is 1.3 MB for a
// distribution's kernel); false where it cannot be read. The index holds tens of
// thousands of lines: views into the buffer, rather than a string each.
bool lireFichier(const std::string& chemin, std::unique_ptr<char[]>& tampon,
                 std::string_view& texte)
{
    const int fd = ::open(chemin.c_str(), O_RDONLY | O_CLOEXEC);
    struct stat s {};
    if (fd < 0 || ::fstat(fd, &s) != 0) {
        if (fd >= 0) {
            ::close(fd);
        }
        return false;
    }
    const auto taille = static_cast<std::size_t>(s.st_size);
    tampon = std::make_unique_for_overwrite<char[]>(taille);
    std::size_t lu = 0;
    ssize_t n = 0;
    while (lu < taille &&
           ((n = ::read(fd, tampon.get() + lu, taille - lu)) > 0 || (n < 0 && errno == EINTR))) {
        lu += n > 0 ? static_cast<std::size_t>(n) : 0;
    }
    ::close(fd);
    texte = std::string_view(tampon.get(), lu);
    return n >= 0;
}

// Each entry of the text, up to `separateur` ('\n', or the NUL of modules.builtin.modinfo).
template <typename Fonction>
void parLigne(std::string_view texte, Fonction&& fonction, char separateur = '\n')
{
    while (!texte.empty()) {
        const std::size_t fin = std::min(texte.find(separateur), texte.size());
        fonction(texte.substr(0, fin));
        texte.remove_prefix(std::min(fin + 1, texte.size()));
    }
}

// A serial driver's file, as modules.dep and modules.builtin give it.
bool fichierSerie(std::string_view fichier)
{
    return fichier.find("/drivers/usb/serial/") != std::string_view::npos ||
           fichier.find("/cdc-acm.ko") != std::string_view::npos;
}

// Whether an alias ("usb:v0403p6001d*dc*...") matches a modalias. Most name their
// vendor: those of another are passed over without the glob.
bool correspond(std::string_view motif, const std::string& modalias)
{
    const std::string_view vendeur = motif.substr(5, 4);
    if (vendeur.find_first_of("*?[") == std::string_view::npos && modalias.size() > 5 &&
        ::strncasecmp(vendeur.data(), modalias.c_str() + 5,
                      std::min<std::size_t>(4, vendeur.size())) != 0) {
        return false;
    }
    return ::fnmatch(std::string(motif).c_str(), modalias.c_str(), 0) == 0;
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
    std::string acm;
    for (const auto& [motif, module] : alias_) {
        if (correspond(motif, modalias) && serie(nomDeModule(module))) {
            if (nomDeModule(module) != "cdc_acm") {
                return nomDeModule(module);
            }
            acm = "cdc_acm";
        }
    }
    return acm;
}

bool IndexDesModules::serie(const std::string& module)
{
    lire();
    return series_.count(module) != 0;
}

bool IndexDesModules::integre(const std::string& module)
{
    lire();
    return integres_.count(module) != 0;
}

std::string IndexDesModules::remplacant() const
{
    struct stat s {};
    const std::size_t barre = dossier_.rfind('/');
    if (dossier_.empty() || ::stat(dossier_.c_str(), &s) == 0 || errno != ENOENT ||
        barre == std::string::npos) {
        return {};
    }
    const std::string parent = dossier_.substr(0, barre);
    const std::unique_ptr<DIR, int (*)(DIR*)> d(::opendir(parent.c_str()), ::closedir);
    std::string version;
    while (d != nullptr) {
        const dirent* entree = ::readdir(d.get());
        if (entree == nullptr) {
            break;
        }
        const std::string nom = entree->d_name;
        if (nom[0] != '.' && nom > version &&
            ::stat((parent + "/" + nom + "/modules.dep").c_str(), &s) == 0) {
            version = nom;
        }
    }
    return version;
}

bool IndexDesModules::connu(const std::string& modalias)
{
    lire();
    return std::any_of(alias_.begin(), alias_.end(),
                       [&](const auto& a) { return correspond(a.first, modalias); });
}

// Only the USB aliases are kept: the others never match an interface.
void IndexDesModules::garderAlias(std::string_view texte)
{
    parLigne(texte, [this](std::string_view ligne) {
        if (ligne.substr(0, 11) == "alias usb:v") {
            const std::size_t espace = ligne.rfind(' ');
            alias_.emplace_back(ligne.substr(6, espace - 6), ligne.substr(espace + 1));
        }
    });
}

void IndexDesModules::lire()
{
    if (lisible_) {
        return;
    }
    std::unique_ptr<char[]> tampon;
    std::string_view dep;
    lireFichier(dossier_ + "/modules.dep", tampon, dep);
    parLigne(dep, [this](std::string_view ligne) {
        const std::string_view fichier = ligne.substr(0, ligne.find(':'));
        if (fichierSerie(fichier)) {
            series_.insert(nomDeModule(fichier));
        }
    });
    std::string_view alias;
    lisible_ = lireFichier(dossier_ + "/modules.alias", texte_, alias);
    garderAlias(alias);
    lireIntegres();
}

// The drivers built into the kernel: modules.builtin lists their files, and depmod
// (kmod 27 on) writes their aliases to modules.builtin.alias from the kernel's
// modules.builtin.modinfo, whose entries ("cdc_acm.alias=usb:v...") end with a NUL.
void IndexDesModules::lireIntegres()
{
    std::unique_ptr<char[]> tampon;
    std::string_view liste;
    lireFichier(dossier_ + "/modules.builtin", tampon, liste);
    parLigne(liste, [this](std::string_view fichier) {
        integres_.insert(nomDeModule(fichier));
        if (fichierSerie(fichier)) {
            series_.insert(nomDeModule(fichier));
        }
    });
    std::string_view alias;
    if (lireFichier(dossier_ + "/modules.builtin.alias", texteIntegre_, alias)) {
        garderAlias(alias);
        return;
    }
    lireFichier(dossier_ + "/modules.builtin.modinfo", texteIntegre_, alias);
    parLigne(
        alias,
        [this](std::string_view entree) {
            const std::size_t cle = entree.find(".alias=usb:v");
            if (cle != std::string_view::npos) {
                alias_.emplace_back(entree.substr(cle + 7), entree.substr(0, cle));
            }
        },
        '\0');
}

}  // namespace gsicom
