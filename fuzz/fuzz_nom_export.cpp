// The job-name check: a name it accepts never holds a separator or a control byte.
#include <cstdlib>
#include <string_view>

#include "instrument/analyse.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view nom(reinterpret_cast<const char*>(data), size);
    if (gsicom::defautNomExport(nom) == nullptr) {
        for (const char c : nom) {
            if (!(static_cast<unsigned char>(c) >= 0x20 && c != 0x7F)) std::abort();
            if (!(std::string_view("/\\:<>\"|?*").find(c) == std::string_view::npos)) std::abort();
        }
    }
    return 0;
}
