// The current folder on Linux: temporary when it lies in $TMPDIR, /tmp or /var/tmp,
// links resolved on both sides (/tmp may be a link, the folder reached through one).
#include <cstdlib>
#include <string>

#include "plateforme/dossier_systeme.hpp"

namespace gsicom {

namespace {

std::string reel(const char* chemin)
{
    char* resolu = ::realpath(chemin, nullptr);
    std::string r = resolu != nullptr ? resolu : "";
    std::free(resolu);
    return r;
}

// `dossier` is `parent` or one of its folders: /tmp2 is not in /tmp.
bool dans(const std::string& dossier, const std::string& parent)
{
    return dossier.compare(0, parent.size(), parent) == 0 &&
           (dossier.size() == parent.size() || dossier[parent.size()] == '/');
}

}  // namespace

DossierTemporaire dossierCourantTemporaire()
{
    const std::string courant = reel(".");
    if (courant.empty()) {
        return {};  // a folder removed under the run: nothing to say of it
    }
    // A TMPDIR that is not absolute means nothing; one that is the root would make
    // every folder temporary.
    for (const char* temporaire :
         {static_cast<const char*>(std::getenv("TMPDIR")), "/tmp", "/var/tmp"}) {
        if (temporaire == nullptr || temporaire[0] != '/') {
            continue;
        }
        const std::string t = reel(temporaire);
        if (t.size() > 1 && dans(courant, t)) {
            return {courant,
                    "Placez-vous dans un dossier a vous (cd ~/Documents, par exemple), puis "
                    "relancez gsicom."};
        }
    }
    return {};
}

}  // namespace gsicom
