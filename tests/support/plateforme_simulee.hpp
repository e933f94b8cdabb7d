// The platform of the in-process tests: the simulator core behind a serial port on a
// virtual clock. Nothing waits for real: sleeping and read time-outs move the clock,
// so a whole run takes milliseconds and every wait can be checked to the millisecond.
#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "instrument.hpp"
#include "plateforme/plateforme.hpp"

namespace gsicom::test {

struct Ecriture {
    std::uint64_t ms;  // virtual time of the write
    std::string octets;
};

class PlateformeSimulee final : public Platform {
public:
    explicit PlateformeSimulee(sim::Instrument& instrument) : instrument_(instrument) {}

    // The machine: which COM ports exist, which are held by another program, and
    // on which one the instrument answers (the others stay silent).
    std::set<int> portsPresents = {1};
    std::set<int> portsOccupes;
    int portInstrument = 1;
    bool echecOuvertureChoisie = false;  // the port opens for the scan, not after it
    bool echecGetCommState = false;
    bool echecSetCommState = false;
    int erreurDisque = 0;                 // errno of a flush to the disk that fails; 0: it works
    DossierTemporaire dossierTemporaire;  // a lasting current folder, unless a test says
    // The driver's count of line errors: none unless set (a pseudo-terminal); then this
    // many more at these reads of the instrument's port (1-based: every read counts).
    std::optional<std::map<long, std::uint32_t>> erreursDeLigne;
    LineErrorFigure figureErreurs = LineErrorFigure::errors;  // flaggedReads: as on Windows
    std::tm heure = heureParDefaut();
    std::vector<std::string> portsHorsTable;         // their lines, for the ports beyond COM30
    std::vector<DeviceRecord> peripheriquesEnPanne;  // as Windows would give them
    LignesSansPort lignesSansPort;                   // as Linux words them
    std::vector<PortDescription> descriptions;       // what each port's device is
    // Ports whose device does not answer the connection: their open takes this many
    // milliseconds, then fails (a Bluetooth link to a device switched off).
    std::map<int, std::uint32_t> ouverturesSansReponse;

    // What the run did.
    std::uint64_t maintenant = 0;
    std::vector<Ecriture> ecritures;
    std::vector<std::string> ouvertures;  // device paths asked for, in order
    LineSettings reglages{};
    CommTimeouts delais{};
    int portsOuverts = 0;  // open now
    int pauses = 0;

    std::unique_ptr<SerialPort> openPort(const char* devicePath, std::string& pourquoi) override;
    std::vector<std::string> listUnreachablePorts() override { return portsHorsTable; }
    std::vector<DeviceRecord> listProblemDevices() override { return peripheriquesEnPanne; }
    LignesSansPort listAdaptersWithoutPort() override { return lignesSansPort; }
    std::vector<PortDescription> describePorts() override { return descriptions; }
    bool lastOpenUnanswered() override { return sansReponse_; }
    // Not COM1 alone, as Windows says: a message must take the name from here.
    std::string portName(const char* devicePath) override
    {
        return std::string(devicePath + 4) + " (simule)";
    }
    bool instrumentMayOwnPort(const char*) override { return false; }  // an adapter's
    void sleep(std::uint32_t milliseconds) override { maintenant += milliseconds; }
    std::tm localTime() override { return heure; }
    DossierTemporaire temporaryCurrentFolder() override { return dossierTemporaire; }
    void pause() override { ++pauses; }
    bool flushToDisk(std::FILE* f) override;

    static std::tm heureParDefaut();

private:
    friend class PortSimule;
    sim::Instrument& instrument_;
    bool sansReponse_ = false;
};

}  // namespace gsicom::test
