#include "serial/liaison.hpp"

#include <array>
#include <utility>
#include <vector>

#include "appareils/peripheriques_windows.hpp"
#include "appareils/ports_decrits.hpp"
#include "console/ecran.hpp"
#include "serial/chemin_com.hpp"
#include "serial/echange.hpp"
#include "serial/requetes.hpp"

namespace gsicom {

std::string nomPortChoisi(Etat& e)
{
    return e.os.portName(cheminPort(e.portChoisi).c_str());
}

namespace {

// The ports beyond the scan's reach, named, then the USB-serial adapters plugged in
// that give no port, each with why, and the devices that may be one; where no port is
// available, the devices that may explain it without being sure to (a port disabled on
// purpose, a USB device Windows could not read); and where the machine has no serial port
// and nothing explains it, what to plug in.
void signalerPortsHorsTable(Etat& e, int existants, int disponibles)
{
    std::vector<std::string> lignes = e.os.listUnreachablePorts();
    LignesWindows windows = adaptateursSansPortWindows(e.os.listProblemDevices());
    for (std::string& ligne : windows.adaptateurs) {
        lignes.push_back(std::move(ligne));
    }
    LignesSansPort usb = e.os.listAdaptersWithoutPort();
    for (std::string& ligne : usb.adaptateurs) {
        lignes.push_back(std::move(ligne));
    }
    const bool aucun = lignes.empty();
    for (std::string& ligne : usb.peutEtre) {
        lignes.push_back(std::move(ligne));
    }
    for (const std::string& ligne : lignes) {
        std::fprintf(e.err, ">> %s\n", ligne.c_str());
    }
    for (std::size_t i = 0; disponibles == 0 && i < windows.siAucunPort.size(); ++i) {
        std::fprintf(e.err, ">> %s\n", windows.siAucunPort[i].c_str());
    }
    if (existants == 0 && aucun) {
        std::fputs(
            ">> Aucun port serie sur cette machine : branchez l adaptateur USB-serie du cable (son "
            "pilote installe), puis relancez gsicom.\n",
            e.err);
    }
}

enum class Essai { disponible, inutilisable, absent };

// One port of the scan, opened and closed at once. A port held by another program fails
// the exclusive open: not available. One that exists says why on standard error, one
// line a port; an outgoing Bluetooth port, whose open waits for its device, says so
// before it.
Essai essayerPort(Etat& e, int numero)
{
    const std::string chemin = cheminPort(numero);
    const PortDescription* decrit = descriptionDuPort(e.portsDecrits, numero);
    const bool bluetooth = decrit != nullptr && decrit->kind == PortKind::bluetoothOutgoing;
    if (bluetooth) {
        std::fprintf(e.err, ">> %s\n",
                     annonceConnexion(*decrit, e.os.portName(chemin.c_str())).c_str());
        std::fflush(e.err);
    }
    std::string pourquoi;
    if (e.os.openPort(chemin.c_str(), pourquoi) != nullptr) {
        return Essai::disponible;
    }
    if (bluetooth && e.os.lastOpenUnanswered()) {
        pourquoi = connexionSansReponse(*decrit, e.os.portName(chemin.c_str()));
    }
    if (pourquoi.empty()) {
        return Essai::absent;
    }
    std::fprintf(e.err, ">> %s\n", pourquoi.c_str());
    return Essai::inutilisable;
}

// What each listed port is, between the list and the prompt; with a single port there
// is no choice to help.
void direPortsListes(Etat& e, const std::vector<int>& listes)
{
    if (listes.size() < 2) {
        return;
    }
    std::fflush(e.out);
    for (const int numero : listes) {
        const std::string ligne = direPortListe(e.portsDecrits, listes, numero,
                                                e.os.portName(cheminPort(numero).c_str()));
        if (!ligne.empty()) {
            std::fprintf(e.err, ">> %s\n", ligne.c_str());
        }
    }
    std::fflush(e.err);
}

}  // namespace

Issue choisirPort(Etat& e)
{
    std::fputs("Scan des ports...\n", e.out);
    std::fflush(e.out);
    std::array<bool, kDernierPort + 1> portsDispo{};  // slot 0 never marks a port
    int nombre = 0;
    int existants = 0;  // available, or saying why not
    e.portsDecrits = e.os.describePorts();
    for (int numero = kPremierPort; numero <= kDernierPort; ++numero) {
        switch (essayerPort(e, numero)) {
            case Essai::disponible:
                portsDispo[numero] = true;
                ++nombre;
                ++existants;
                break;
            case Essai::inutilisable: ++existants; break;
            case Essai::absent: break;
        }
    }
    signalerPortsHorsTable(e, existants, nombre);
    std::fprintf(e.out, "\nIl y a eu %i port(s) disponibles...\n", nombre);
    if (nombre == 0) {
        std::fputs("\nPas de ports !\nDehors\n\n", e.out);
        return kCodeOk;
    }
    std::vector<int> listes;
    for (int numero = kPremierPort; numero <= kDernierPort; ++numero) {
        if (portsDispo[numero]) {
            std::fprintf(e.out, "\t\t\tCOM %i\n", numero);
            listes.push_back(numero);
        }
    }
    direPortsListes(e, listes);
    e.portChoisi = demander(e, "\nEntrez le numero du port\t -> ", 0);
    if (e.portChoisi < kPremierPort || e.portChoisi > kDernierPort || !portsDispo[e.portChoisi]) {
        std::fputs(
            "\n\n\tAdressez-vous au guichet 35\n\tDemmandez a l huissier\n\n\t\tVous commencez a "
            "m ennuyez avec le port !\n\n",
            e.out);
        afficherImageMauvaisPort(e);
        return kCodeOk;
    }
    return kContinuer;
}

namespace {

std::uint32_t vitesse(int choix)
{
    switch (choix) {
        case 1: return 9600;
        case 3: return 38400;
        case 4: return 57600;
        default: return 19200;  // 2, and every other answer
    }
}

}  // namespace

Issue ouvrirPort(Etat& e)
{
    const std::string chemin = cheminPort(e.portChoisi);
    std::fprintf(e.out, "\nOn va jaser sur le port \t -> %s", chemin.c_str());
    std::fflush(e.out);
    std::string pourquoi;
    e.hSerial = e.os.openPort(chemin.c_str(), pourquoi);
    if (e.hSerial == nullptr) {
        std::fprintf(e.out, "Erreur ouverture %s\n", chemin.c_str());
        std::fflush(e.out);
        if (pourquoi.empty()) {  // it opened for the scan
            pourquoi = "COM" + std::to_string(e.portChoisi) +
                       " : le port n est plus la (cable debranche ?) : rebranchez-le, puis "
                       "relancez gsicom.";
        }
        std::fprintf(e.err, ">> %s\n", pourquoi.c_str());
        return kCodeErreur;
    }
    LineSettings reglages{};
    if (!e.hSerial->getCommState(reglages)) {
        std::fputs("Erreur GetCommState\n", e.out);
        return kCodeErreur;
    }
    const int choix = demander(e,
                               "\nVitesse de communication :\n\t\t(1)  9 600\n\t\t(2) 19 200 "
                               "(Normalement)\n\t\t(3) 38 400\n\t\t(4) 57 600\n\t\t\t\tCHOIX : ",
                               0);
    e.vitesse = vitesse(choix);
    reglages.baudRate = e.vitesse;
    reglages.byteSize = 8;
    reglages.parity = 0;    // NOPARITY
    reglages.stopBits = 0;  // ONESTOPBIT
    if (!e.hSerial->setCommState(reglages)) {
        std::fputs("Erreur SetCommState\n", e.out);
        return kCodeErreur;
    }
    // One read of up to 2047 bytes ends 50 ms after the last byte, at the latest
    // after 10 x 2047 + 50 = 20520 ms.
    CommTimeouts delais{};
    delais.readIntervalTimeout = 50;
    delais.readTotalTimeoutMultiplier = 10;
    delais.readTotalTimeoutConstant = 50;
    delais.writeTotalTimeoutMultiplier = 10;
    delais.writeTotalTimeoutConstant = 50;
    e.hSerial->setCommTimeouts(delais);
    return kContinuer;
}

Issue reveillerInstrument(Etat& e)
{
    envoyer(e, requete::kReveil);
    std::fputs("\nWake UP ! ", e.out);
    for (int point = 0; point < 20; ++point) {
        attendre(e, 125);
        std::fputc('.', e.out);
    }
    std::fputc('\n', e.out);
    envoyer(e, requete::kEfface);
    return kContinuer;
}

}  // namespace gsicom
