// The temperature reply, whatever it holds.
#include "instrument/analyse.hpp"
#include "texte.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string reponse = commeReponse(data, size);
    (void)gsicom::lireTemperature(reponse.c_str());
    return 0;
}
