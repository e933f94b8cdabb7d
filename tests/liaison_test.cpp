// Whole runs through the port stages and the wake-up, and the exchange's rules, on
// virtual time.
#include "serial/liaison.hpp"

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <set>
#include <tuple>

#include "appareils/ports_windows.hpp"
#include "banc.hpp"
#include "serial/echange.hpp"
#include "socle/etat.hpp"

namespace gsicom::test {
namespace {

constexpr char kGuichet[] =
    "\n\n\tAdressez-vous au guichet 35\n\tDemmandez a l huissier\n\n\t\tVous commencez a m "
    "ennuyez avec le port !\n\n";

// Every end of a run: the port released and one pause.
void verifierFinCommune(const Banc& banc)
{
    EXPECT_EQ(banc.os->portsOuverts, 0);
    EXPECT_EQ(banc.os->pauses, 1);
}

const DeviceRecord kCom2Desactive{
    "Communications Port (COM2)", "ACPI\\PNP0501", "Ports", {"*PNP0501"}, 22};
const std::string kLigneCom2Desactive =
    "Port serie du PC \"Communications Port (COM2)\" ne donne aucun port : il est desactive "
    "(code 22) : activez-le dans le Gestionnaire de peripheriques (clic droit, Activer le "
    "peripherique), puis relancez gsicom.";
const DeviceRecord kUsbIllisible{"Unknown USB Device (Device Descriptor Request Failed)",
                                 "USB\\DEVICE_DESCRIPTOR_FAILURE",
                                 "USB",
                                 {},
                                 43};
const std::string kLigneUsbIllisible =
    "Peripherique USB \"Unknown USB Device (Device Descriptor Request Failed)\" que Windows n a "
    "pas pu lire (code 43) : si c est l adaptateur du cable, son cable, sa prise ou le courant "
    "qu elle donne est en cause : branchez-le sur une autre prise USB du PC lui-meme (sans "
    "concentrateur) ou changez de cable, puis relancez gsicom.";

// Standard output is the same whatever standard error says: a machine without any
// serial port is told what to plug in, one whose ports are all held or out of reach
// is told about those alone, as is one whose adapters give no port (the devices
// Windows marks with a problem: only serial adapters are named, never by their
// vendor alone nor a printer port; Linux's lines). A device that may be no adapter
// leaves the advice to plug one in standing.
TEST(ChoixDuPort, NoPortEndsTheRunWithCodeZero)
{
    const std::string ch340 =
        "Adaptateur USB-serie \"USB-SERIAL CH340\" (1A86:7523) ne donne aucun port : ";
    const struct {
        void (*preparer)(PlateformeSimulee&);
        std::vector<DeviceRecord> peripheriques;
        std::string erreurs;
    } cas[] = {
        {[](PlateformeSimulee&) {},
         {},
         ">> Aucun port serie sur cette machine : branchez l adaptateur USB-serie du cable (son "
         "pilote installe), puis relancez gsicom.\n"},
        {[](PlateformeSimulee& os) {
             os.portsHorsTable = {"COM34 existe", "COM40 existe"};
         },
         {},
         ">> COM34 existe\n>> COM40 existe\n"},
        {[](PlateformeSimulee& os) { os.portsPresents = os.portsOccupes = {3}; },
         {},
         ">> COM3 : occupe\n"},
        {[](PlateformeSimulee&) {},
         {{"USB-SERIAL CH340", "USB\\VID_1A86&PID_7523&REV_0264", "", {}, 28}},
         ">> " + ch340 +
             "Windows n a pas son pilote (code 28) : installez le pilote du fabricant (WCH), puis "
             "relancez gsicom.\n"},
        {[](PlateformeSimulee&) {},
         {{"Prolific USB-to-Serial Comm Port (COM3)",
           "USB\\VID_067B&PID_2303&REV_0300",
           "Ports",
           {},
           10},
          {"P\xC3\xA9riph\xC3\xA9rique \"s\xC3\xA9rie\" USB",
           "FTDIBUS\\COMPORT&VID_0403&PID_6015",
           "Ports",
           {},
           22},
          {"CDC", "USB\\VID_2E8A&PID_000A&MI_00", "", {"USB\\Class_02&SubClass_02&Prot_01"}, 43},
          {"CP2112 HID", "USB\\VID_10C4&PID_EA90", "", {"USB\\Class_03"}, 28},
          {"ECP (LPT1)", "ACPI\\PNP0401", "Ports", {"*PNP0400"}, 22},
          {"Webcam", "USB\\VID_046D&PID_0825", "Camera", {"USB\\Class_02&SubClass_02"}, 43},
          {"Communications Port (COM1)", "ACPI\\PNP0501", "Ports", {"*PNP0501"}, 43}},
         ">> Adaptateur USB-serie \"Prolific USB-to-Serial Comm Port (COM3)\" (067B:2303) ne "
         "donne aucun port : son pilote refuse de le demarrer (code 10) : installez une version "
         "plus ancienne du pilote du fabricant (Prolific) (la derniere refuse parfois les puces "
         "anciennes ou copiees), ou prenez un autre adaptateur, puis relancez gsicom.\n"
         ">> Adaptateur USB-serie \"CDC\" (2E8A:000A) ne donne aucun port : Windows le signale en "
         "panne (code 43) : debranchez-le, branchez-le sur une autre prise USB et voyez son etat "
         "dans le Gestionnaire de peripheriques (Proprietes, Etat du peripherique), puis relancez "
         "gsicom.\n"
         ">> Port serie du PC \"Communications Port (COM1)\" ne donne aucun port : Windows le "
         "signale en panne (code 43) : voyez son etat dans le Gestionnaire de peripheriques "
         "(Proprietes, Etat du peripherique), puis relancez gsicom.\n"
         ">> Adaptateur USB-serie \"P\\xC3\\xA9riph\\xC3\\xA9rique \\x22s\\xC3\\xA9rie\\x22 USB\" "
         "(0403:6015) ne donne aucun port : il est desactive (code 22) : activez-le dans le "
         "Gestionnaire de peripheriques (clic droit, Activer le peripherique), puis relancez "
         "gsicom.\n"},
        {[](PlateformeSimulee& os) {
             os.lignesSansPort = {{"Adaptateur USB-serie"}, {}};
         },
         {},
         ">> Adaptateur USB-serie\n"},
        {[](PlateformeSimulee& os) {
             os.lignesSansPort = {{}, {"Peripherique USB de FTDI (peut-etre pas ...)"}};
         },
         {},
         ">> Peripherique USB de FTDI (peut-etre pas ...)\n>> Aucun port serie sur cette machine "
         ": branchez l adaptateur USB-serie du cable (son pilote installe), puis relancez "
         "gsicom.\n"},
        // Each code in Microsoft's words; an adapter's interfaces said once, whether
        // Windows gives their device, their instance IDs show it, or neither (their lines
        // alike); a printer port under either form of its ID says nothing.
        {[](PlateformeSimulee&) {},
         {{"Enhanced Com Port",
           "USB\\VID_10C4&PID_EA70&REV_0100&MI_00",
           "",
           {},
           28,
           "USB\\VID_10C4&PID_EA70&MI_00\\6&2B1F3E9A&0&0000",
           "USB\\VID_10C4&PID_EA70\\0054C7B8"},
          {"Standard Com Port",
           "USB\\VID_10C4&PID_EA70&REV_0100&MI_01",
           "",
           {},
           28,
           "USB\\VID_10C4&PID_EA70&MI_01\\6&2B1F3E9A&0&0001",
           "USB\\VID_10C4&PID_EA70\\0054C7B8"},
          {"Dual RS232-HS",
           "USB\\VID_0403&PID_6010&MI_00",
           "",
           {},
           28,
           "USB\\VID_0403&PID_6010&MI_00\\6&1C3A7F2&0&0000",
           ""},
          {"Dual RS232-HS B",
           "USB\\VID_0403&PID_6010&MI_01",
           "",
           {},
           28,
           "usb\\vid_0403&pid_6010&mi_01\\6&1c3a7f2&0&0001",
           ""},
          {"USB Serial Port (COM8)",
           "FTDIBUS\\COMPORT&VID_0403&PID_6010",
           "Ports",
           {},
           10,
           "FTDIBUS\\VID_0403+PID_6010+FT5R2WJ9A\\0000",
           "USB\\VID_0403&PID_6010\\FT5R2WJ9"},
          {"USB Serial Port (COM9)",
           "FTDIBUS\\COMPORT&VID_0403&PID_6010",
           "Ports",
           {},
           10,
           "FTDIBUS\\VID_0403+PID_6010+FT5R2WJ9B\\0000",
           "USB\\VID_0403&PID_6010\\FT5R2WJ9"},
          {"USB-SERIAL CH342", "USB\\VID_1A86&PID_55D2&MI_00", "", {}, 28},
          {"USB-SERIAL CH342", "USB\\VID_1A86&PID_55D2&MI_02", "", {}, 28},
          {"USB Serial Port", "FTDIBUS\\COMPORT&VID_0403&PID_6001", "Ports", {}, 14},
          {"USB-SERIAL CH340 (COM4)", "USB\\VID_1A86&PID_7523&REV_0264", "Ports", {}, 52},
          {"Prolific USB-to-Serial Comm Port", "USB\\VID_067B&PID_2303&REV_0300", "Ports", {}, 48},
          {"USB Serial Device (COM7)", "USB\\VID_2E8A&PID_000A&MI_00", "Ports", {}, 10},
          {"Communications Port (COM2)", "ACPI\\VEN_PNP&DEV_0501", "Ports", {}, 29},
          {"Communications Port (COM3)", "ACPI\\PNP0501", "Ports", {"*PNP0501"}, 12},
          {"Standard Serial over Bluetooth link (COM6)",
           "BTHENUM\\{00001101-0000-1000-8000-00805f9b34fb}_LOCALMFG&0002",
           "Ports",
           {},
           10},
          {"Printer Port (LPT1)", "ACPI\\VEN_PNP&DEV_0401", "Ports", {}, 22}},
         ">> Adaptateur USB-serie \"Enhanced Com Port\" (10C4:EA70) ne donne aucun port : Windows "
         "n a pas son pilote (code 28) : installez le pilote du "
         "fabricant (Silicon Labs), puis relancez gsicom.\n"
         ">> Adaptateur USB-serie \"Dual RS232-HS\" (0403:6010) ne donne aucun port : Windows n a "
         "pas son pilote (code 28) : installez le pilote du fabricant (FTDI), puis relancez "
         "gsicom.\n"
         ">> Adaptateur USB-serie \"USB Serial Port (COM8)\" (0403:6010) ne donne aucun port : "
         "son pilote refuse de le demarrer (code 10) : installez une version plus ancienne du "
         "pilote du fabricant (FTDI) (la derniere refuse parfois les puces anciennes ou copiees), "
         "ou prenez un autre adaptateur, puis relancez gsicom.\n"
         ">> Adaptateur USB-serie \"USB-SERIAL CH342\" (1A86:55D2) ne donne aucun port : Windows "
         "n a pas son pilote (code 28) : installez le pilote du fabricant (WCH), puis relancez "
         "gsicom.\n"
         ">> Adaptateur USB-serie \"USB Serial Port\" (0403:6001) ne donne aucun port : Windows "
         "doit redemarrer pour le faire marcher (code 14) : redemarrez le PC, puis relancez "
         "gsicom.\n"
         ">> Adaptateur USB-serie \"USB-SERIAL CH340 (COM4)\" (1A86:7523) ne donne aucun port : "
         "Windows ne peut pas verifier la signature de son pilote (code 52) : installez le pilote "
         "signe du fabricant (WCH), puis relancez gsicom.\n"
         ">> Adaptateur USB-serie \"Prolific USB-to-Serial Comm Port\" (067B:2303) ne donne aucun "
         "port : Windows bloque son pilote, connu pour poser probleme (code 48) : installez la "
         "version actuelle du pilote du fabricant (Prolific), que Windows ne bloque pas, puis "
         "relancez gsicom.\n"
         ">> Adaptateur USB-serie \"USB Serial Device (COM7)\" (2E8A:000A) ne donne aucun port : "
         "son pilote refuse de le demarrer (code 10) : voyez son etat dans le Gestionnaire de "
         "peripheriques (Proprietes, Etat du peripherique), puis relancez gsicom.\n"
         ">> Port serie du PC \"Communications Port (COM2)\" ne donne aucun port : le "
         "micrologiciel du PC l a desactive (code 29) : activez-le dans la configuration du "
         "micrologiciel du PC (BIOS ou UEFI, a l allumage), puis relancez gsicom.\n"
         ">> Port serie du PC \"Communications Port (COM3)\" ne donne aucun port : Windows lui "
         "signale un probleme (code 12) : voyez son etat dans le Gestionnaire de peripheriques "
         "(Proprietes, Etat du peripherique), puis relancez gsicom.\n"
         ">> Port serie Bluetooth \"Standard Serial over Bluetooth link (COM6)\" ne donne aucun "
         "port : son pilote refuse de le demarrer (code 10) : voyez son etat dans le Gestionnaire "
         "de peripheriques (Proprietes, Etat du peripherique), puis relancez gsicom.\n"},
        // A port disabled on purpose and a USB device Windows could not read may explain
        // why no port is available, but the cable may just be missing: said, and the
        // "branchez" line too; a port held by another program stands for that line.
        {[](PlateformeSimulee&) {},
         {kCom2Desactive, kUsbIllisible},
         ">> " + kLigneCom2Desactive + "\n>> " + kLigneUsbIllisible +
             "\n>> Aucun port serie sur cette machine : branchez l adaptateur USB-serie du cable "
             "(son pilote installe), puis relancez gsicom.\n"},
        {[](PlateformeSimulee& os) { os.portsPresents = os.portsOccupes = {3}; },
         {kCom2Desactive},
         ">> COM3 : occupe\n>> " + kLigneCom2Desactive + "\n"},
    };
    for (const auto& c : cas) {
        Banc banc;
        banc.preparer = [&c](PlateformeSimulee& os) {
            os.portsPresents.clear();
            os.peripheriquesEnPanne = c.peripheriques;
            c.preparer(os);
        };
        EXPECT_EQ(banc.lancer("1\n"), 0);
        EXPECT_EQ(banc.apresDemarrage(),
                  "Scan des ports...\n\nIl y a eu 0 port(s) disponibles...\n\nPas de ports "
                  "!\nDehors\n\n");
        EXPECT_EQ(banc.erreurs, c.erreurs);
        EXPECT_EQ(banc.os->ouvertures.size(), 30u);  // COM1 to COM30, nothing above
        EXPECT_EQ(banc.os->ouvertures.back(), "\\\\.\\COM30");
        verifierFinCommune(banc);
    }
}

TEST(ChoixDuPort, AnAnswerThatIsNotAListedPortShowsTheCounterAndNeverOpens)
{
    for (const char* reponse : {"0\n", "31\n", "-1\n", "3\n", "abc\n", "4294967297\n", ""}) {
        Banc banc;
        banc.preparer = [](PlateformeSimulee& os) {
            os.portsPresents = {1, 3};
            os.portsOccupes = {3};  // held by another program: not listed
            os.portsHorsTable = {"COM34 existe"};
            os.peripheriquesEnPanne = {kCom2Desactive, kUsbIllisible};  // no news: COM1 serves
        };
        EXPECT_EQ(banc.lancer(reponse), 0) << reponse;
        const std::string texte = banc.apresDemarrage();
        EXPECT_NE(texte.find("Il y a eu 1 port(s) disponibles...\n\t\t\tCOM 1\n"
                             "\nEntrez le numero du port\t -> "),
                  std::string::npos);
        EXPECT_EQ(texte.find("COM 3"), std::string::npos);
        // COM2 and COM4-30 do not exist; the ports beyond come after the scan's.
        EXPECT_EQ(banc.erreurs, ">> COM3 : occupe\n>> COM34 existe\n");
        EXPECT_NE(texte.find(kGuichet), std::string::npos) << reponse;
        EXPECT_EQ(banc.os->ouvertures.size(), 30u) << reponse;
        EXPECT_TRUE(banc.requetes().empty());
        verifierFinCommune(banc);
    }
}

// Standard output lists the ports as ever; standard error says what each listed port
// is when there is a choice to make, and waits on an outgoing Bluetooth port with a
// reason on the screen: its device off, the open fails after seconds.
TEST(ChoixDuPort, EachListedPortIsSaidByWhatItIs)
{
    using Kind = PortKind;
    const PortDescription ftdi{11, Kind::usb, "FT232R USB UART", "0403:6001", ""};
    const PortDescription uart{1, Kind::uart, "16550A", "", ""};
    const PortDescription sortant{5, Kind::bluetoothOutgoing, "", "", "TS16 \x1B[2J"};
    const PortDescription entrant{6, Kind::bluetoothIncoming, "", "", ""};
    const std::string annonce =
        ">> COM5 (simule) : connexion Bluetooth a \"TS16 \\x1B[2J\" (quelques secondes s il est "
        "eteint ou hors de portee)...\n";
    const struct {
        std::set<int> presents;
        std::vector<PortDescription> descriptions;
        std::map<int, std::uint32_t> sansReponse;
        std::string liste;
        std::string erreurs;
        std::uint64_t attente = 0;  // virtual time the scan took
    } cas[] = {
        {{1, 11},
         {ftdi, uart},
         {},
         "\t\t\tCOM 1\n\t\t\tCOM 11\n",
         ">> COM1 (simule) : port serie du PC (16550A)\n"
         ">> COM11 (simule) : \"FT232R USB UART\", USB 0403:6001\n"},
        // One port: no choice to help. A port of which nothing is known: no line.
        {{11}, {ftdi}, {}, "\t\t\tCOM 11\n", ""},
        {{1, 3, 11},
         {ftdi},
         {},
         "\t\t\tCOM 1\n\t\t\tCOM 3\n\t\t\tCOM 11\n",
         ">> COM11 (simule) : \"FT232R USB UART\", USB 0403:6001\n"},
        {{5, 6},
         {sortant, entrant},
         {},
         "\t\t\tCOM 5\n\t\t\tCOM 6\n",
         annonce +
             ">> COM5 (simule) : Bluetooth, port sortant vers \"TS16 \\x1B[2J\" : le port a "
             "choisir pour lui\n"
             ">> COM6 (simule) : Bluetooth, port entrant : aucun materiel n y repond, choisissez "
             "COM5\n"},
        {{1, 5, 6},
         {uart, sortant, entrant},
         {{5, 4000}},
         "\t\t\tCOM 1\n\t\t\tCOM 6\n",
         annonce +
             ">> COM5 (simule) : \"TS16 \\x1B[2J\" n a pas repondu a la connexion (eteint, hors de "
             "portee ou plus appaire) : allumez-le pres du PC (ou appairez-le de nouveau), puis "
             "relancez gsicom.\n"
             ">> COM1 (simule) : port serie du PC (16550A)\n"
             ">> COM6 (simule) : Bluetooth, port entrant : aucun materiel n y repond\n",
         4000},
    };
    for (const auto& c : cas) {
        Banc banc;
        banc.preparer = [&c](PlateformeSimulee& os) {
            os.portsPresents = c.presents;
            os.descriptions = c.descriptions;
            os.ouverturesSansReponse = c.sansReponse;
        };
        EXPECT_EQ(banc.lancer("0\n"), 0);
        EXPECT_EQ(banc.erreurs, c.erreurs);
        const std::string texte = banc.apresDemarrage();
        EXPECT_NE(texte.find("disponibles...\n" + c.liste + "\nEntrez le numero du port\t -> "),
                  std::string::npos)
            << texte;
        EXPECT_EQ(banc.os->maintenant, c.attente);  // the pictures after it do not wait
    }
}

// What Windows records of a port's device, read: the product string where the shown
// name is a generic one (an FTDI's on its USB device, never a hub's), the PC's UART, a
// Bluetooth link's direction from its instance ID; less where a record has another shape.
TEST(ChoixDuPort, WindowsRecordsOfEachPortsDevice)
{
    using Kind = PortKind;
    const std::string spp = "BTHENUM\\{00001101-0000-1000-8000-00805F9B34FB}_LOCALMFG&000F\\";
    const struct {
        FichePortWindows fiche;
        PortDescription attendu;
    } cas[] = {
        {{"COM3", "FTDIBUS\\VID_0403+PID_6001+A10K1XYZA\\0000",
          "FTDIBUS\\COMPORT&VID_0403&PID_6001", "USB Serial Port (COM3)", "",
          "USB\\VID_0403&PID_6001\\A10K1XYZ", "FT232R USB UART", ""},
         {3, Kind::usb, "FT232R USB UART", "0403:6001", ""}},
        {{"com4", "USB\\VID_2E8A&PID_000A&MI_00\\6&1&0&0000",
          "USB\\VID_2E8A&PID_000a&REV_0100&MI_00",
          "P\xC3\xA9riph\xC3\xA9rique s\xC3\xA9rie USB (COM4)", "Pico", "", "", ""},
         {4, Kind::usb, "Pico", "2E8A:000A", ""}},
        {{"COM7", "USB\\VID_0483&PID_5740\\1", "USB\\VID_0483&PID_5740&REV_0200",
          "USB Serial Device (COM7)", "", "USB\\ROOT_HUB30\\4&1", "USB Root Hub (USB 3.0)", ""},
         {7, Kind::usb, "USB Serial Device", "0483:5740", ""}},
        {{"COM5", "USB\\VID_1A86&PID_7523\\5&1", "USB\\VID_1A86&PID_7523&REV_0264",
          "USB-SERIAL CH340 (COM5)", "USB Serial", "", "", ""},
         {5, Kind::usb, "USB-SERIAL CH340", "1A86:7523", ""}},
        {{"COM1", "ACPI\\PNP0501\\0", "ACPI\\PNP0501", "Communications Port (COM1)", "", "", "",
          ""},
         {1, Kind::uart, "", "", ""}},
        {{"COM8", spp + "7&2A4B8C7E&0&001122334455_C00000000", "",
          "Standard Serial over Bluetooth "
          "link (COM8)",
          "", "", "", "TS16"},
         {8, Kind::bluetoothOutgoing, "", "", "TS16"}},
        {{"COM9", spp + "7&2A4B8C7E&0&000000000000_00000000", "", "", "", "", "", "TS16"},
         {9, Kind::bluetoothIncoming, "", "", ""}},
        {{"COM10", spp + "7&2A4B8C7E&0&0011223344_C0", "", "", "", "", "", "TS16"},
         {10, Kind::bluetooth, "", "", "TS16"}},
        {{"COM12", "COM0COM\\PORT\\CNCA0", "com0com\\port",
          "com0com - serial port emulator (COM12)", "", "", "", ""},
         {12, Kind::unknown, "com0com - serial port emulator", "", ""}},
        {{"COM31", "", "", "Port (COM31)", "", "", "", ""},
         {0, Kind::unknown, "Port (COM31)", "", ""}},
        {{"COM07", "", "", "", "", "", "", ""}, {0, Kind::unknown, "", "", ""}},
    };
    for (const auto& c : cas) {
        const PortDescription d = decrirePortWindows(c.fiche);
        EXPECT_EQ(std::tie(d.number, d.kind, d.name, d.usbId, d.remoteName),
                  std::tie(c.attendu.number, c.attendu.kind, c.attendu.name, c.attendu.usbId,
                           c.attendu.remoteName))
            << c.fiche.portName;
    }
    // A paired device's own node, and the name BTHPORT keeps for it.
    EXPECT_EQ(adresseAppareilBluetooth("BTHENUM\\DEV_001122334455\\7&2A4B8C7E&0&BLUETOOTHDEVICE_0"),
              "001122334455");
    EXPECT_EQ(adresseAppareilBluetooth("BTHENUM\\DEV_0011\\7"), std::nullopt);
    EXPECT_EQ(adresseAppareilBluetooth("BTHENUM"), std::nullopt);
    EXPECT_EQ(nomBluetoothEnregistre(std::string("TS16\0", 5)), "TS16");
    EXPECT_EQ(nomBluetoothEnregistre("TS16"), "TS16");
}

TEST(OuvertureDuPort, EachFailureHasItsMessageAndCodeOne)
{
    const struct {
        void (*preparer)(PlateformeSimulee&);
        const char* message;
        const char* erreurs;
    } cas[] = {
        {[](PlateformeSimulee& os) { os.echecOuvertureChoisie = true; },
         "\nOn va jaser sur le port \t -> \\\\.\\COM1Erreur ouverture \\\\.\\COM1\n",
         ">> COM1 : le port n est plus la (cable debranche ?) : rebranchez-le, puis relancez "
         "gsicom.\n"},
        {[](PlateformeSimulee& os) { os.echecGetCommState = true; },
         "\nOn va jaser sur le port \t -> \\\\.\\COM1Erreur GetCommState\n", ""},
        {[](PlateformeSimulee& os) { os.echecSetCommState = true; },
         "\t\t\t\tCHOIX : Erreur SetCommState\n", ""},
    };
    for (const auto& c : cas) {
        Banc banc;
        banc.preparer = c.preparer;
        EXPECT_EQ(banc.lancer("1\n2\n"), 1);
        const std::string& texte = banc.sortie;
        ASSERT_GE(texte.size(), std::strlen(c.message));
        EXPECT_EQ(texte.substr(texte.size() - std::strlen(c.message)), c.message);
        EXPECT_EQ(banc.erreurs, c.erreurs);
        EXPECT_TRUE(banc.requetes().empty());
        verifierFinCommune(banc);
    }
}

TEST(OuvertureDuPort, TheSpeedMenuSetsTheBaudRateAnd8N1WithTheReadTimeouts)
{
    const struct {
        const char* reponses;
        std::uint32_t baud;
    } cas[] = {{"1\n1\n", 9600},  {"1\n2\n", 19200}, {"1\n3\n", 38400}, {"1\n4\n", 57600},
               {"1\n0\n", 19200}, {"1\n5\n", 19200}, {"1\nx\n", 19200}, {"1\n", 19200}};
    for (const auto& c : cas) {
        Banc banc;
        banc.preparer = [](PlateformeSimulee& os) {
            os.reglages = {4800, 7, 2, 2};  // whatever the port had before
        };
        banc.lancer(c.reponses);
        EXPECT_EQ(banc.os->reglages.baudRate, c.baud) << c.reponses;
        EXPECT_EQ(banc.os->reglages.byteSize, 8);
        EXPECT_EQ(banc.os->reglages.parity, 0);
        EXPECT_EQ(banc.os->reglages.stopBits, 0);
        const CommTimeouts& d = banc.os->delais;
        EXPECT_EQ(d.readIntervalTimeout, 50u);
        EXPECT_EQ(d.readTotalTimeoutMultiplier, 10u);
        EXPECT_EQ(d.readTotalTimeoutConstant, 50u);
        EXPECT_EQ(d.writeTotalTimeoutMultiplier, 10u);
        EXPECT_EQ(d.writeTotalTimeoutConstant, 50u);
    }
}

TEST(Reveil, SendsAThenTheProgressLineThenC)
{
    Banc banc;
    banc.lancer("1\n2\n");
    EXPECT_NE(banc.sortie.find("\nWake UP ! ....................\n"), std::string::npos);
    const auto& e = banc.os->ecritures;
    ASSERT_GE(e.size(), 2u);
    EXPECT_EQ(e[0].octets, "a\r\n");
    EXPECT_EQ(e[0].ms, 0u);
    // 250 ms wait, the reply read 50 ms after its last byte, then 20 dots of 125 ms.
    EXPECT_EQ(e[1].octets, "c\r\n");
    EXPECT_EQ(e[1].ms, 300u + 2500u);
}

TEST(Reveil, LettersAtTheSpeedPromptStickToEveryLaterPrompt)
{
    Banc banc;
    EXPECT_EQ(banc.lancer("1\nx\n2\n2\n"), 0);
    EXPECT_EQ(banc.os->reglages.baudRate, 19200u);
    const std::string requetes = enLigne(banc.requetes());
    EXPECT_NE(requetes.find("JOB/RCV/OBSERV/1"), std::string::npos);  // job 1, observations
    EXPECT_EQ(requetes.find("ERASE"), std::string::npos);
    verifierFinCommune(banc);
}

// The exchange on its own, against the simulator on virtual time.
class Echange : public ::testing::Test {
protected:
    void ouvrir(sim::Pannes pannes)
    {
        instrument = std::make_unique<sim::Instrument>(sim::memoireDemo(), std::move(pannes));
        os = std::make_unique<PlateformeSimulee>(*instrument);
        etat = std::make_unique<Etat>(*os, stdin, stdout, stderr);
        etat->portChoisi = 1;
        std::FILE* vitesse = std::tmpfile();
        std::fputs("2\n", vitesse);
        std::rewind(vitesse);
        etat->in = vitesse;
        etat->out = std::tmpfile();
        ASSERT_EQ(ouvrirPort(*etat), kContinuer);
    }
    void TearDown() override
    {
        if (etat) {
            std::fclose(etat->in);
            std::fclose(etat->out);
        }
    }
    std::unique_ptr<sim::Instrument> instrument;
    std::unique_ptr<PlateformeSimulee> os;
    std::unique_ptr<Etat> etat;
};

TEST_F(Echange, WritesTheRequestWithoutItsNulAndWaitsForTheReply)
{
    ouvrir({});
    envoyer(*etat, "c\r\n");
    EXPECT_EQ(os->ecritures.at(0).octets, std::string("c\r\n"));
    EXPECT_EQ(etat->bytesWritten, 3u);
    EXPECT_STREQ(etat->readBuffer, "?\r\n");
    EXPECT_EQ(os->maintenant, 300u);
}

TEST_F(Echange, ASilentInstrumentGivesAnEmptyReplyAfterTheTotalTimeout)
{
    sim::Pannes pannes;
    pannes.silenceDes = 1;
    ouvrir(pannes);
    envoyer(*etat, "c\r\n");
    envoyer(*etat, "c\r\n");
    EXPECT_STREQ(etat->readBuffer, "");
    EXPECT_EQ(os->maintenant, 2u * (250 + 20520));
}

TEST_F(Echange, AGapOverFiftyMillisecondsSplitsTheReply)
{
    const struct {
        std::uint32_t ecart;  // second piece after the request; the read starts at 250
        const char* premiere;
        const char* seconde;
    } cas[] = {{200, "?\r\n", "?\r\n"},  // both pieces during the wait: one reply
               {300, "?\r\n", "?\r\n"},  // 50 ms after the read's first byte: still one
               {301, "?", "\r\n?"}};     // and so on: every reply is split
    for (const auto& c : cas) {
        sim::Pannes pannes;
        pannes.coupure = 1;
        pannes.ecartMs = c.ecart;
        ouvrir(pannes);
        envoyer(*etat, "c\r\n");
        EXPECT_STREQ(etat->readBuffer, c.premiere) << c.ecart;
        envoyer(*etat, "c\r\n");
        EXPECT_STREQ(etat->readBuffer, c.seconde) << c.ecart;
        TearDown();
        etat.reset();
    }
}

TEST_F(Echange, AReplyOverTheBufferIsCutAndItsRestOpensTheNextReply)
{
    const std::string longue = std::string(3000, 'x') + "\r\n";
    sim::Pannes pannes;
    pannes.reponseA[1] = longue;
    ouvrir(pannes);
    envoyer(*etat, "c\r\n");
    EXPECT_EQ(etat->bytesRead, 2047u);
    EXPECT_EQ(std::string(etat->readBuffer), longue.substr(0, 2047));
    envoyer(*etat, "c\r\n");
    EXPECT_EQ(std::string(etat->readBuffer), longue.substr(2047) + "?\r\n");
}

}  // namespace
}  // namespace gsicom::test
