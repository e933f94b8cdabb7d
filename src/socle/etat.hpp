// The state of one run of gsicom: one plain struct that main owns and hands by
// reference to every stage. It holds the console streams, the platform, the serial
// port, the request and reply buffers of the exchange, what the line brought and the
// job table. There is no global state: a test builds a fresh Etat for every run.
#pragma once

#include <array>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <vector>

#include "plateforme/plateforme.hpp"

namespace gsicom {

// One row of the instrument's job directory.
struct Job {
    char nom[64] = {};    // at most 63 characters, always NUL-terminated
    std::int32_t no = 0;  // the number the instrument lists; requests use the position
    std::int32_t points = 0;
    std::int32_t blocs = 0;
};

// What the line brought since the port was opened, counted after every read of the
// exchange (serial/echange.cpp): what a stage that fails can tell the operator.
struct Reception {
    std::uint64_t octets = 0;
    std::uint64_t illisibles = 0;               // bytes no instrument sends (serial/echange.hpp)
    std::optional<std::uint32_t> erreursLigne;  // the driver's count; none where it keeps none
    LineErrorFigure figure = LineErrorFigure::errors;  // what that count stands for
    bool repliqueLisible = false;  // a legible reply ended by CR LF (serial/echange.hpp)
    bool portDisparu = false;      // the port itself went away (SerialPort::vanished)
};

inline constexpr int kMaxJobs = 100;
inline constexpr std::size_t kTailleBuffer = 2048;

struct Etat {
    Etat(Platform& platform, std::FILE* entree, std::FILE* sortie, std::FILE* erreurs)
        : os(platform), in(entree), out(sortie), err(erreurs)
    {
    }

    Platform& os;
    std::FILE* in;
    std::FILE* out;
    std::FILE* err;

    std::unique_ptr<SerialPort> hSerial;  // no port until the opening stage
    char demande[kTailleBuffer] = {};
    char readBuffer[kTailleBuffer] = {};
    std::uint32_t bytesWritten = 0;
    std::uint32_t bytesRead = 0;

    char model[128] = {};
    std::array<Job, kMaxJobs> jobs{};
    int nbJobs = 0;
    char nom_fichier[512] = {};

    int portChoisi = 0;
    std::vector<PortDescription> portsDecrits;  // read before the scan (Platform::describePorts)
    std::uint32_t vitesse = 0;                  // baud, as chosen at the speed prompt
    Reception recu;
};

}  // namespace gsicom
