// The operator's answers: any bytes on standard input, read prompt after prompt.
#include <cstdint>
#include <cstdio>

#include "socle/reponse.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::FILE* in = fmemopen(const_cast<std::uint8_t*>(data), size, "rb");
    if (in == nullptr) {
        return 0;
    }
    // As many prompts as a run has; every one must end, whatever the bytes.
    for (int invite = 0; invite < 8; ++invite) {
        (void)gsicom::lireChoix(in, -1);
    }
    std::fclose(in);
    return 0;
}
