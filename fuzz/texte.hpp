// The fuzzer's bytes as the NUL-terminated reply the exchange hands to a parser:
// at most 2047 bytes, cut at the first NUL like readBuffer.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>

inline std::string commeReponse(const std::uint8_t* data, std::size_t size)
{
    std::string texte(reinterpret_cast<const char*>(data), size < 2047 ? size : 2047);
    return texte.substr(0, std::strlen(texte.c_str()));
}
