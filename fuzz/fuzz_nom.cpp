// The instrument's name between quotes, in any reply; any reply quoted for a message.
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
    // The same bytes, NULs included, as a message quotes them: printable ASCII only, at
    // most 80 characters between the quotes.
    const std::string citee = gsicom::citerReponse(
        std::string_view(reinterpret_cast<const char*>(data), size < 2047 ? size : 2047));
    if (citee.size() > 1 + 80 + 4 || citee.front() != '"') std::abort();
    for (const char c : citee) {
        if (c < 0x20 || c > 0x7E) std::abort();
    }
    return 0;
}
