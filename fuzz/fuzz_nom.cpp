// The instrument's name between quotes, in any reply.
#include <cstdlib>

#include "instrument/analyse.hpp"
#include "texte.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string reponse = commeReponse(data, size);
    char modele[128];
    std::memset(modele, 'X', sizeof modele);
    if (gsicom::extraireNom(reponse.c_str(), modele, sizeof modele)) {
        if (!(std::strlen(modele) <= 127)) std::abort();
    }
    return 0;
}
