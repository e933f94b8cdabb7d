// A device's properties as SetupAPI gives them, in UTF-8: shared by the readings of the
// devices with a problem (adaptateurs.cpp) and of the ports' devices (description.cpp).
#pragma once

// clang-format off
#include <windows.h>
#include <setupapi.h>
// clang-format on

#include <functional>
#include <string>
#include <vector>

namespace gsicom {

std::string utf8(const wchar_t* texte);

// A registry property of the device (SPDRP_...), one string each for a list; none where
// the device has none.
std::vector<std::string> propriete(HDEVINFO ensemble, SP_DEVINFO_DATA& appareil, DWORD quelle);

// The first of them, or an empty string.
std::string premiere(const std::vector<std::string>& chaines);

// The name the Device Manager shows: the friendly name, else the description.
std::string nomAffiche(HDEVINFO ensemble, SP_DEVINFO_DATA& appareil);

// Calls `faire` for every present device of any class; nothing where the system gives
// no list.
void pourChaqueAppareilPresent(const std::function<void(HDEVINFO, SP_DEVINFO_DATA&)>& faire);

}  // namespace gsicom
