#include "appareils/ports_decrits.hpp"
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
// of standard error: the first that fits. A port that went away is no fault of the
// instrument, nor the incoming Bluetooth port, which no instrument answers, of the cable,
// nor an outgoing one whose stack opened it but could not reach the device (some fail
// the first write, not the open).
// A line at another speed brings no legible reply ended by CR LF: only then do illegible
// bytes or line errors blame the speed; after such a reply they are added to what the
// reply says. No run that ends here goes without a line.
void direPourquoiSansNom(Etat& e)
{
    const std::string port = nomPortChoisi(e);
    const Reception& r = e.recu;
    const PortDescription* decrit = descriptionDuPort(e.portsDecrits, e.portChoisi);
    const std::uint32_t erreurs = r.erreursLigne.value_or(0);
    const std::string liaison =
        "reglee sur " + std::to_string(e.vitesse) + " bauds, 8 bits, sans parite.";
    const std::string doutes = direDoutes(erreurs, r.figure, r.illisibles);
    const std::string enPlus = doutes.empty() ? "" : " (" + doutes + " depuis l ouverture du port)";
    if (r.portDisparu) {
        std::fprintf(e.err, ">> %s\n", direPortDisparu(e).c_str());
    } else if (r.octets == 0 && erreurs > 0) {
        std::fprintf(e.err,
                     ">> %s : aucun octet lisible, mais %s : verifiez le cable et que la liaison "
                     "du materiel est %s\n",
                     port.c_str(), direErreursLigne(erreurs, r.figure).c_str(), liaison.c_str());
    } else if (r.octets == 0 && decrit != nullptr && decrit->kind == PortKind::bluetoothIncoming) {
        std::fprintf(e.err, ">> %s\n", portEntrantChoisi(e.portsDecrits, port).c_str());
    } else if (r.octets == 0 && decrit != nullptr && decrit->kind == PortKind::bluetoothOutgoing) {
        std::fprintf(e.err, ">> %s\n", connexionSansReponse(*decrit, port).c_str());
    } else if (r.octets == 0) {
        std::fprintf(e.err,
                     ">> %s : aucun octet recu du materiel depuis l ouverture du port : verifiez "
                     "qu il est allume, que le cable le relie a ce port et que sa liaison est "
                     "%s\n",
                     port.c_str(), liaison.c_str());
    } else if (!r.repliqueLisible && !doutes.empty()) {
        const std::string dont =
            r.illisibles > 0 ? ", dont " + std::to_string(r.illisibles) + " illisible(s)" : "";
        const std::string etErreurs =
            erreurs > 0 ? " et " + direErreursLigne(erreurs, r.figure) : "";
        std::fprintf(e.err,
                     ">> %s : %llu octet(s) recu(s) depuis l ouverture du port%s%s : la liaison du "
                     "materiel n est sans doute pas %s\n",
                     port.c_str(), static_cast<unsigned long long>(r.octets), dont.c_str(),
                     etErreurs.c_str(), liaison.c_str());
    } else if (e.bytesRead > 0) {
        std::fprintf(e.err, ">> %s : le materiel repond, mais pas par son nom%s : %s\n",
                     port.c_str(), enPlus.c_str(),
                     citerReponse({e.readBuffer, e.bytesRead}).c_str());
    } else {
        std::fprintf(e.err,
                     ">> %s : le materiel a repondu au reveil, mais rien a la demande de son "
                     "nom%s.\n",
                     port.c_str(), enPlus.c_str());
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
