#include "serial/delai.hpp"

#include <algorithm>

namespace gsicom {

std::uint64_t finDeLecture(const CommTimeouts& timeouts, DebutLecture lecture,
                           std::optional<std::uint64_t> lastByteMs)
{
    std::uint64_t fin = kJamais;
    const std::uint64_t total =
        std::uint64_t{timeouts.readTotalTimeoutMultiplier} * lecture.demandes +
        timeouts.readTotalTimeoutConstant;
    if (total != 0) {
        fin = lecture.debutMs + total;
    }
    if (lastByteMs && timeouts.readIntervalTimeout != 0) {
        fin = std::min(fin, *lastByteMs + timeouts.readIntervalTimeout);
    }
    return fin;
}

}  // namespace gsicom
