// Whole runs through identification and the job directory, on virtual time, and what
// gsicom says on standard error of what the line brought.
#include <gtest/gtest.h>

#include <optional>

#include "banc.hpp"

namespace gsicom::test {
namespace {

constexpr char kJusquAuRepertoire[] = "1\n2\n";  // port 1, 19200; then end of input

std::size_t compter(const std::vector<std::string>& requetes, const std::string& r)
{
    return static_cast<std::size_t>(std::count(requetes.begin(), requetes.end(), r));
}

TEST(Identification, ShowsTheNameAndTemperatureOnOneLine)
{
    const struct {
        const char* reponseNom;  // nullptr: the simulator's own
        const char* reponseTemperature;
        const char* ligne;
    } cas[] = {
        {nullptr, nullptr, "Modele detecte : \t\tTS-SIM 30 et il est @ 23 degres Celsius\n"},
        {"%R1P,0,0:0,\"\"\r\n", nullptr, "Modele detecte : \t\t et il est @ 23 degres Celsius\n"},
        {"%R1P,0,0:0,\"TPS \\\"A\\\"\"\r\n", "0091/-005\r\n",
         "Modele detecte : \t\tTPS \\\"A\\\" et il est @ -5 degres Celsius\n"},
        {nullptr, " 0091/0023\r\n", "TS-SIM 30 et il est @ 0 degres Celsius\n"},
        {nullptr, "0092/0023\r\n", "TS-SIM 30 et il est @ 0 degres Celsius\n"},
    };
    for (const auto& c : cas) {
        Banc banc;
        if (c.reponseNom) banc.pannes.reponsePour["%R1Q,5004:"] = c.reponseNom;
        if (c.reponseTemperature) banc.pannes.reponsePour["CONF/91"] = c.reponseTemperature;
        banc.lancer(kJusquAuRepertoire);
        EXPECT_NE(banc.sortie.find(c.ligne), std::string::npos) << c.ligne;
    }
}

TEST(Identification, NoPairOfQuotesEndsTheRunWithCodeFour)
{
    for (const char* reponse : {"%R1P,0,0:0,\"TS\r\n", "%R1P,0,0:5\r\n", "", "\"\x1A"}) {
        Banc banc;
        banc.pannes.reponsePour["%R1Q,5004:"] = reponse;
        if (*reponse == '\0') banc.pannes.sansReponse = {3};
        EXPECT_EQ(banc.lancer(kJusquAuRepertoire), 4);
        EXPECT_NE(banc.sortie.find("\nLe materiel ne donne pas son identite.\n"),
                  std::string::npos);
        EXPECT_EQ(enLigne(banc.requetes()), "a|c|%R1Q,5004:");
        EXPECT_EQ(banc.os->pauses, 1);
    }
}

// Why no name came (the first reason that fits), the port gone at each stage, and the
// doubts a transfer that came to its end leaves on its file: each read on the line
// counts.
TEST(Diagnostic, SaysWhatTheLineBroughtOnStandardError)
{
    using Erreurs = std::optional<std::map<long, std::uint32_t>>;  // the driver's, by read
    const std::string com1 = ">> COM1 (simule) : ";
    const std::string disparu =
        ">> COM1 (simule) a disparu : le cable ou l adaptateur a ete debranche, ou le pilote du "
        "port s est arrete.\n";
    const auto attention = [](const std::string& quoi) {
        return ">> Attention : " + quoi +
               " pendant le transfert : des octets de 2026-12-07 - 09-05-03 - PONT-EST.GSI "
               "peuvent etre faux : verifiez-le avant de supprimer le job.\n";
    };
    const std::string sansNom = "%R1P,0,0:5\r\n";
    const std::string nomLong = "%R1P,0,0:0,\"TS\x1A\\" + std::string(58, 'N') + "\r\n";
    const std::string transfert = "1\n2\n2\n1\n1\n";
    const struct {
        const char* operateur = "1\n2\n";
        long silenceDes = 0;
        long raccrocheDes = 0;
        std::map<long, std::string> reponses = {};  // by request: 1 a, 2 c, 3 the name...
        std::map<std::string, std::string> reponsesPour = {};  // by text; "": none
        Erreurs erreurs = {};
        LineErrorFigure figure = LineErrorFigure::errors;
        void (*machine)(PlateformeSimulee&) = nullptr;  // the ports, where a row says
        int code = 4;
        std::string attendu;
    } cas[] = {
        {.operateur = "1\n1\n",
         .silenceDes = 1,
         .attendu = com1 + "aucun octet recu du materiel depuis l ouverture du port : verifiez qu "
                           "il est allume, que le cable le relie a ce port et que sa liaison est "
                           "reglee sur 9600 bauds, 8 bits, sans parite.\n"},
        // A break from a miswired cable: counted, no byte.
        {.silenceDes = 1,
         .erreurs = Erreurs{{{1, 3}}},
         .attendu = com1 + "aucun octet lisible, mais 3 erreur(s) de ligne : verifiez le cable et "
                           "que la liaison du materiel est reglee sur 19200 bauds, 8 bits, sans "
                           "parite.\n"},
        // Another speed: no reply ends in CR LF. 3 + 2 + 5 bytes, all illegible.
        {.operateur = "1\n3\n",
         .reponses = {{1, "\xF8\x80\xBF"},
                      {2, "\xE6\x8D"},
                      {3, std::string("\xE0\0\xA5\xD2\x8A", 5)}},
         .erreurs = Erreurs{{{1, 1}, {3, 2}}},
         .attendu = com1 + "10 octet(s) recu(s) depuis l ouverture du port, dont 10 illisible(s) "
                           "et 3 erreur(s) de ligne : la liaison du materiel n est sans doute pas "
                           "reglee sur 38400 bauds, 8 bits, sans parite.\n"},
        // A NUL as the adapter powers up does not outweigh legible replies; a driver
        // without counts says none.
        {.reponses = {{1, std::string("\0?\r\n", 4)}, {3, sansNom}},
         .attendu = com1 + "le materiel repond, mais pas par son nom (1 octet(s) illisible(s) "
                           "depuis l ouverture du port) : \"%R1P,0,0:5\\r\\n\"\n"},
        // Flags at each read, as on Windows: no count of errors is claimed.
        {.silenceDes = 3,
         .erreurs = Erreurs{{{2, 1}}},
         .figure = LineErrorFigure::flaggedReads,
         .attendu = com1 + "le materiel a repondu au reveil, mais rien a la demande de son nom "
                           "(des erreurs de ligne signalees 1 fois depuis l ouverture du port).\n"},
        // Counted, none: the reply, escaped (the marker byte is legible), cut at 80
        // characters, before the \r escape.
        {.reponses = {{3, nomLong}},
         .erreurs = Erreurs{std::map<long, std::uint32_t>{}},
         .attendu = com1 +
                    "le materiel repond, mais pas par son nom : \"%R1P,0,0:0,\\\"TS\\x1A\\\\" +
                    std::string(58, 'N') + "\"...\n"},
        {.silenceDes = 3,
         .attendu = com1 + "le materiel a repondu au reveil, mais rien a la demande de son nom.\n"},
        // The incoming Bluetooth port chosen: no instrument ever answers there.
        {.operateur = "6\n2\n",
         .machine =
             [](PlateformeSimulee& os) {
                 os.portsPresents = {5, 6};
                 os.portInstrument = 5;
                 os.descriptions = {{5, PortKind::bluetoothOutgoing, "", "", "TS16"},
                                    {6, PortKind::bluetoothIncoming, "", "", ""}};
             },
         .attendu = ">> COM5 (simule) : connexion Bluetooth a \"TS16\" (quelques secondes s il est "
                    "eteint ou hors de portee)...\n>> COM5 (simule) : Bluetooth, port sortant vers "
                    "\"TS16\" : le port a choisir pour lui\n>> COM6 (simule) : Bluetooth, port "
                    "entrant : aucun materiel n y repond, choisissez COM5\n"
                    ">> COM6 (simule) est le port Bluetooth entrant, ou aucun materiel ne repond : "
                    "relancez gsicom et choisissez COM5, le port sortant.\n"},
        // The outgoing one, opened, but its device never reached (a stack that fails the
        // first write): no cable to blame.
        {.operateur = "5\n2\n",
         .silenceDes = 1,
         .machine =
             [](PlateformeSimulee& os) {
                 os.portsPresents = {5};
                 os.portInstrument = 5;
                 os.descriptions = {{5, PortKind::bluetoothOutgoing, "", "", ""}};
             },
         .attendu =
             ">> COM5 (simule) : connexion Bluetooth a son peripherique appaire (quelques "
             "secondes s il est eteint ou hors de portee)...\n>> COM5 (simule) : le "
             "peripherique Bluetooth appaire n a pas repondu a la connexion (eteint, hors de "
             "portee ou plus appaire) : allumez-le pres du PC (ou appairez-le de nouveau), "
             "puis relancez gsicom.\n"},
        // The port gone at the name, in the directory (exit 5, as a silent one), and at
        // the erase of the second job (24-26 erase jobs 1 to 3): code 5, no erase done.
        {.raccrocheDes = 3, .attendu = disparu},
        {.raccrocheDes = 10, .code = 5, .attendu = disparu},
        {.operateur = "1\n2\n2\n1\n2\n1472583690\n-1\n",
         .raccrocheDes = 25,
         .code = 5,
         .attendu = disparu + ">> Les JOBS marques KILLED a partir de \"PONT-EST\" (position 2) n "
                              "ont peut-etre pas ete effaces : verifiez la memoire du materiel.\n"},
        // Silent from the erase of the second job, the port still there: the requests
        // went out, but nothing tells that they were heard: code 5.
        {.operateur = "1\n2\n2\n1\n2\n1472583690\n-1\n",
         .silenceDes = 25,
         .code = 5,
         .attendu = ">> Attention : le materiel n a rien repondu a l effacement de \"PONT-EST\" "
                    "(position 2), \"LOT 17\" (position 3) : la demande ne l a peut-etre pas "
                    "atteint : verifiez la memoire du materiel.\n"},
        // Erases answered with GSI Online's errors: told, whatever the number, with the
        // answer; the instrument answered, so code 0.
        {.operateur = "1\n2\n2\n1\n2\n1472583690\n7\n",
         .code = 0,
         .attendu = ">> Attention : le materiel a repondu par une erreur a l effacement de "
                    "(position 7, reponse \"@W127\\r\\n\") : il est peut-etre encore dans sa "
                    "memoire : verifiez la memoire du materiel.\n"},
        {.operateur = "1\n2\n2\n1\n2\n1472583690\n2\n",
         .reponsesPour = {{"JOB/ERASE/2", "@E999\r\n"}},
         .code = 0,
         .attendu = ">> Attention : le materiel a repondu par une erreur a l effacement de "
                    "\"PONT-EST\" (position 2, reponse \"@E999\\r\\n\") : il est peut-etre "
                    "encore dans sa memoire : verifiez la memoire du materiel.\n"},
        // A one-job erase met by silence: code 5. The name the instrument gave is
        // escaped, or it would clear the screen (10 lists row 2).
        {.operateur = "1\n2\n1\n1\n2\n1472583690\n2\n",
         .reponses = {{10, "A\x1B[2JB,2,4,5\r\n"}},
         .reponsesPour = {{"JOB/ERASE/2", ""}},
         .code = 5,
         .attendu = ">> Attention : le materiel n a rien repondu a l effacement de "
                    "\"A\\x1B[2JB\" (position 2) : la demande ne l a peut-etre pas atteint : "
                    "verifiez la memoire du materiel.\n"},
        // The transfer of job 2: 16 JOB/RCV, 17-19 "?" for lines 2-4, 20 the marker, 21 c.
        // Errors before it and at its closing "c" are not its own.
        {.operateur = transfert.c_str(),
         .reponses = {{18, std::string("A\0B\xFF\r\n", 6)}},
         .erreurs = Erreurs{{{2, 5}, {17, 2}, {20, 1}, {21, 7}}},
         .code = 0,
         .attendu = attention("3 erreur(s) de ligne et 2 octet(s) illisible(s)")},
        // Illegible bytes of the directory are not the file's.
        {.operateur = transfert.c_str(),
         .reponses = {{10, "PONT-EST,2,4,5\x7F\r\n"}, {17, std::string("*11\0\0\r\n", 7)}},
         .code = 0,
         .attendu = attention("2 octet(s) illisible(s)")},
        {.operateur = transfert.c_str(),
         .reponses = {{19, ""}},
         .erreurs = Erreurs{{{18, 1}}},
         .figure = LineErrorFigure::flaggedReads,
         .code = 0,
         .attendu = ">> Attention : 1 reponse(s) vide(s) pendant le transfert, il peut manquer "
                    "des lignes dans 2026-12-07 - 09-05-03 - PONT-EST.GSI : verifiez-le avant de "
                    "supprimer le job.\n" +
                    attention("des erreurs de ligne signalees 1 fois")},
    };
    for (const auto& c : cas) {
        Banc banc;
        banc.memoire.jobs[1].observations.resize(4);
        banc.pannes.silenceDes = c.silenceDes;
        banc.pannes.raccrocheDes = c.raccrocheDes;
        banc.pannes.reponseA = c.reponses;
        banc.pannes.reponsePour = c.reponsesPour;
        banc.preparer = [&](PlateformeSimulee& os) {
            os.erreursDeLigne = c.erreurs;
            os.figureErreurs = c.figure;
            if (c.machine != nullptr) {
                c.machine(os);
            }
        };
        EXPECT_EQ(banc.lancer(c.operateur), c.code) << c.attendu;
        EXPECT_EQ(banc.erreurs, c.attendu);
    }
}

TEST(Identification, ALongNameIsCutTo127Characters)
{
    const std::string nom(200, 'N');
    Banc banc;
    banc.memoire.nom = nom;
    banc.lancer(kJusquAuRepertoire);
    EXPECT_NE(banc.sortie.find("\t\t" + nom.substr(0, 127) + " et il est"), std::string::npos);
}

TEST(Identification, TheFormatListAsksAgainOnlyWhileTheReplyIsTheMarker)
{
    const struct {
        std::map<long, std::string> reponses;  // by request index: 6 is FORM/CONF/LIST
        std::size_t suivantes;
    } cas[] = {
        {{}, 0},                 // an ordinary reply: straight to "c"
        {{{6, "\x1A\r\n"}}, 1},  // marker, then an ordinary reply
        {{{6, "\x1A\r\n"}, {7, "\x1A"}, {8, "1,GSI16\r\n"}}, 2},
    };
    for (const auto& c : cas) {
        Banc banc;
        banc.pannes.reponseA = c.reponses;
        banc.lancer(kJusquAuRepertoire);
        const auto& r = banc.requetes();
        ASSERT_GT(r.size(), 9u);
        EXPECT_EQ(r[5], "FORM/CONF/LIST");
        EXPECT_EQ(compter({r.begin() + 6, r.begin() + 6 + c.suivantes}, "?"), c.suivantes);
        EXPECT_EQ(r[6 + c.suivantes], "c");
        EXPECT_EQ(r[7 + c.suivantes], "c");  // the directory's own
        EXPECT_EQ(r[8 + c.suivantes], "JOB/CONF/LIST");
    }
}

TEST(Identification, AnInstrumentThatOnlyAnswersTheMarkerIsAskedAHundredTimes)
{
    Banc banc;
    banc.pannes.reponsePour["?"] = "\x1A\r\n";
    banc.pannes.reponsePour["FORM/CONF/LIST"] = "\x1A\r\n";
    EXPECT_EQ(banc.lancer(kJusquAuRepertoire), 0);
    const auto& r = banc.requetes();
    EXPECT_EQ(compter({r.begin() + 6, r.begin() + 106}, "?"), 100u);
    EXPECT_EQ(r[106], "c");
}

TEST(Repertoire, ShowsTheJobsAsATable)
{
    Banc banc;
    EXPECT_EQ(banc.lancer(kJusquAuRepertoire), 0);
    const char* attendu = "\n    - - -";  // the rule, then the listing
    EXPECT_NE(banc.sortie.find(attendu), std::string::npos);
    EXPECT_NE(
        banc.sortie.find("\nLecture de la liste des JOBS...\n...\n\nListe des JOBS detectes (3) :\n"
                         "\t\t| No |    Nom    | Points |  BLOCS  |\n"
                         "\t\t|----+-----------+--------+---------|\n"
                         "\t\t|  1 | DEFAULT   |      4 |       5 |\n"
                         "\t\t|  2 | PONT-EST  |     12 |      13 |\n"
                         "\t\t|  3 | LOT 17    |     25 |      26 |\n"
                         "\t\t|----+-----------+--------+---------|\n"
                         "\nDownloder le job numero "),
        std::string::npos);
}

sim::JobSimule ligne(const std::string& texte)
{
    return sim::JobSimule{texte, {}, {}};
}

TEST(Repertoire, OddLinesBecomeRowsAsTheInstrumentSentThem)
{
    const std::string long70(70, 'L');
    Banc banc;
    banc.memoire.jobs = {ligne("A,,2,3"), ligne("NEG,-4,7,8"), ligne(long70 + ",1234567,8,9"),
                         ligne("SANS VIRGULE")};
    banc.lancer(kJusquAuRepertoire);
    EXPECT_NE(banc.sortie.find("\t\t|  2 | A         |      3 |       0 |\n"
                               "\t\t| -4 | NEG       |      0 |       0 |\n"
                               "\t\t| 1234567 | " +
                               long70.substr(0, 63) +
                               " |      8 |       9 |\n"
                               "\t\t|  0 | SANS VIRGULE\r\n |      0 |       0 |\n"),
              std::string::npos);
}

TEST(Repertoire, NoJobEndsTheRunWithCodeSix)
{
    const struct {
        std::vector<sim::JobSimule> jobs;
        const char* premiereLigne;
    } cas[] = {
        {{}, "\t\t|  0 | \x1A\r\n       |      0 |       0 |\n"},  // the bare marker is row 1
        {{ligne("X,0,5,5"), ligne("Y,-1,5,5")}, "\t\t|  0 | X         |      0 |       0 |\n"},
    };
    for (const auto& c : cas) {
        Banc banc;
        banc.memoire.jobs = c.jobs;
        EXPECT_EQ(banc.lancer("1\n2\n1\n"), 6);
        EXPECT_NE(banc.sortie.find(c.premiereLigne), std::string::npos);
        const std::string fin =
            "\nPas de JOB dans la memoire\nVerifier la meomoire ou le materiel\nOn sort du "
            "programme !";
        EXPECT_EQ(banc.sortie.substr(banc.sortie.size() - fin.size()), fin);
        EXPECT_EQ(banc.requetes().back(), "?");
        EXPECT_EQ(banc.os->pauses, 1);
    }
}

TEST(Repertoire, KeepsAtMostAHundredRows)
{
    Banc banc;
    banc.memoire.jobs.clear();
    for (int i = 1; i <= 150; ++i) {
        banc.memoire.jobs.push_back(
            ligne("J" + std::to_string(i) + "," + std::to_string(i) + ",1,1"));
    }
    banc.lancer(kJusquAuRepertoire);
    EXPECT_NE(banc.sortie.find("Liste des JOBS detectes (100) :"), std::string::npos);
    EXPECT_NE(banc.sortie.find("| 100 | J100 "), std::string::npos);
    EXPECT_EQ(banc.sortie.find("J101"), std::string::npos);
    const auto& r = banc.requetes();
    const auto liste = std::find(r.begin(), r.end(), "JOB/CONF/LIST");
    EXPECT_EQ(compter({liste + 1, liste + 101}, "?"), 100u);
    EXPECT_NE(*(liste + 101), "?");
}

TEST(Repertoire, AnEmptyReplyIsAnEmptyRowAndTheListingGoesOn)
{
    Banc banc;
    banc.pannes.sansReponse = {10};  // the reply to the first "?" of the listing
    banc.lancer(kJusquAuRepertoire);
    EXPECT_NE(banc.sortie.find("Liste des JOBS detectes (3) :"), std::string::npos);
    EXPECT_NE(banc.sortie.find("\t\t|  0 |           |      0 |       0 |\n"), std::string::npos);
}

TEST(Repertoire, AnInstrumentThatFallsSilentEndsTheListingWithCodeFive)
{
    Banc banc;
    banc.pannes.silenceDes = 11;  // after the first two rows
    EXPECT_EQ(banc.lancer(kJusquAuRepertoire), 5);
    EXPECT_NE(banc.sortie.find("Lecture de la liste des JOBS...\n......\n"), std::string::npos);
    EXPECT_EQ(banc.erreurs, ">> Le materiel ne repond plus : liste des JOBS interrompue.\n");
    EXPECT_EQ(banc.requetes().back(), "?");
    EXPECT_LT(banc.os->maintenant, 5u * 21'000 + 10'000);
}

}  // namespace
}  // namespace gsicom::test
