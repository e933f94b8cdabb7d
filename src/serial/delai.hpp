// When a serial read must end: Windows' COMMTIMEOUTS rule as a pure function of the
// clock, shared by the Linux port and the simulated one so that both end a read at
// exactly the moment a Windows port would.
//
// A read of n bytes ends when the n bytes are in; or readIntervalTimeout after the
// last byte received (the interval timer starts only with the first byte); or
// readTotalTimeoutMultiplier x n + readTotalTimeoutConstant after the read began.
#pragma once

#include <cstdint>
#include <optional>

#include "plateforme/plateforme.hpp"

namespace gsicom {

inline constexpr std::uint64_t kJamais = UINT64_MAX;  // no limit applies

struct DebutLecture {
    std::uint64_t debutMs;   // when the read began, on a steady clock
    std::uint32_t demandes;  // bytes asked for
};

// The moment, on the same clock, at which the read ends if no further byte arrives.
// lastByteMs is the arrival of the last byte received so far, if any. A zero field
// switches its timer off; kJamais when neither timer applies.
std::uint64_t finDeLecture(const CommTimeouts& timeouts, DebutLecture lecture,
                           std::optional<std::uint64_t> lastByteMs);

}  // namespace gsicom
