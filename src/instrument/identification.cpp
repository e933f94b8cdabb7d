#include "instrument/analyse.hpp"
#include "instrument/etapes.hpp"
#include "serial/echange.hpp"
#include "serial/liaison.hpp"
#include "serial/requetes.hpp"

namespace gsicom {

namespace {
// An instrument that keeps answering the format list with the end-of-data marker
// is asked again this many times at most; the run then goes on.
constexpr int kMaxRelancesFormats = 100;

// Why no name came, from what the line brought since the port was opened, on one line
// of standard error: the first that fits. The counts cover every byte read so far, and
// the only replies before the name's are the wake-up's: so when the name reply is
// empty, no illegible byte and no line error came, and some byte did, it came legible
// to the wake-up. No run that ends here goes without a line.
void direPourquoiSansNom(Etat& e)
{
    const std::string port = e.os.portName(cheminPort(e.portChoisi).c_str());
    const Reception& r = e.recu;
    const std::uint32_t erreurs = r.erreursLigne.value_or(0);
    if (r.octets == 0) {
        std::fprintf(e.err,
                     ">> %s : aucun octet recu du materiel depuis l ouverture du port : verifiez "
                     "qu il est allume, que le cable le relie a ce port et que sa liaison est "
                     "reglee sur %u bauds, 8 bits, sans parite.\n",
                     port.c_str(), unsigned{e.vitesse});
    } else if (r.illisibles > 0 || erreurs > 0) {
        // The driver's count only where it keeps one: "0 erreur(s)" from a driver that
        // counts none would be a guess.
        const std::string enErreurs =
            r.erreursLigne ? " et " + std::to_string(erreurs) + " erreur(s) de ligne" : "";
        std::fprintf(e.err,
                     ">> %s : %llu octet(s) recu(s) depuis l ouverture du port, dont %llu "
                     "illisible(s)%s : la liaison du materiel n est sans doute pas reglee sur "
                     "%u bauds, 8 bits, sans parite.\n",
                     port.c_str(), static_cast<unsigned long long>(r.octets),
                     static_cast<unsigned long long>(r.illisibles), enErreurs.c_str(),
                     unsigned{e.vitesse});
    } else if (e.bytesRead > 0) {
        std::fprintf(e.err, ">> %s : le materiel repond, mais pas par son nom : %s\n", port.c_str(),
                     citerReponse({e.readBuffer, e.bytesRead}).c_str());
    } else {
        std::fprintf(e.err,
                     ">> %s : le materiel a repondu au reveil, mais rien a la demande de son "
                     "nom.\n",
                     port.c_str());
    }
}

}  // namespace

Issue identifierInstrument(Etat& e)
{
    envoyer(e, requete::kNomInstrument);
    if (!extraireNom(e.readBuffer, e.model, sizeof e.model)) {
        std::fputs("Le materiel ne donne pas son identite.\n", e.out);
        std::fflush(e.out);
        direPourquoiSansNom(e);
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
