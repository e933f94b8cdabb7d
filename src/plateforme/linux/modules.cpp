#include "plateforme/linux/modules.hpp"

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

template <typename Fonction>
void parLigne(std::string_view texte, Fonction&& fonction)
{
    while (!texte.empty()) {
        const std::size_t fin = std::min(texte.find('\n'), texte.size());
        fonction(texte.substr(0, fin));
        texte.remove_prefix(std::min(fin + 1, texte.size()));
    }
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
    for (const auto& [motif, module] : alias_) {
        if (correspond(motif, modalias) && series_.count(nomDeModule(module)) != 0) {
            return nomDeModule(module);
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
    std::unique_ptr<char[]> tampon;
    std::string_view dep;
    lireFichier(dossier_ + "/modules.dep", tampon, dep);
    parLigne(dep, [this](std::string_view ligne) {
        const std::string_view fichier = ligne.substr(0, ligne.find(':'));
        if (fichier.find("/drivers/usb/serial/") != std::string_view::npos ||
            fichier.find("/cdc-acm.ko") != std::string_view::npos) {
            series_.insert(nomDeModule(fichier));
        }
    });
    std::string_view alias;
    lisible_ = lireFichier(dossier_ + "/modules.alias", texte_, alias);
    parLigne(alias, [this](std::string_view ligne) {
        if (ligne.substr(0, 11) == "alias usb:v") {
            const std::size_t espace = ligne.rfind(' ');
            alias_.emplace_back(ligne.substr(6, espace - 6), ligne.substr(espace + 1));
        }
    });
}

}  // namespace gsicom
