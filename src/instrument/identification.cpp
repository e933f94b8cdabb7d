#include "instrument/analyse.hpp"
#include "instrument/etapes.hpp"
#include "serial/echange.hpp"
#include "serial/requetes.hpp"

namespace gsicom {

namespace {
// An instrument that keeps answering the format list with the end-of-data marker
// is asked again this many times at most; the run then goes on.
constexpr int kMaxRelancesFormats = 100;
}  // namespace

Issue identifierInstrument(Etat& e)
{
    envoyer(e, requete::kNomInstrument);
    if (!extraireNom(e.readBuffer, e.model, sizeof e.model)) {
        std::fputs("Le materiel ne donne pas son identite.\n", e.out);
        return kCodeSansIdentite;
    }
    std::fprintf(e.out, "Modele detecte : \t\t%s", e.model);
    envoyer(e, requete::kTemperature);
    std::fprintf(e.out, " et il est @ %d degres Celsius\n", lireTemperature(e.readBuffer));
    envoyer(e, requete::kEfface);
    envoyer(e, requete::kListeFormats);
    for (int relance = 0; relance < kMaxRelancesFormats && finDeDonnees(e); ++relance) {
        envoyer(e, requete::kSuivante);
    }
    envoyer(e, requete::kEfface);
    return kContinuer;
}

}  // namespace gsicom
