// The simulator's side of the line: any bytes written to it, cut into requests.
#include <string_view>

#include "instrument.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    gsicom::sim::Memoire memoire;
    memoire.jobs.push_back({"A,1,1,1", {"L1", "L2"}, {"C1"}});
    gsicom::sim::Instrument instrument(memoire);
    (void)instrument.recevoir(std::string_view(reinterpret_cast<const char*>(data), size));
    return 0;
}
