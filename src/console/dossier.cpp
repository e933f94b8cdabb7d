#include "console/dossier.hpp"

namespace gsicom {

Issue avertirDossier(Etat& e)
{
    const DossierTemporaire d = e.os.temporaryCurrentFolder();
    if (!d.dossier.empty()) {
        std::fflush(e.out);  // after what the console already shows
        std::fprintf(e.err,
                     ">> Attention : le dossier courant (%s) est un dossier temporaire que le "
                     "systeme peut vider : le fichier GSI y serait perdu. %s\n",
                     d.dossier.c_str(), d.remede.c_str());
        std::fflush(e.err);
    }
    return kContinuer;
}

}  // namespace gsicom
