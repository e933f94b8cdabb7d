// What the device behind each of COM1 to COM30 is, as SetupAPI and the registry give it
// (Platform::describePorts): every present device of any class whose key names one of
// these ports, and the paired Bluetooth devices' names. Nothing is opened but registry
// keys; the rules that read the records are appareils/ports_windows.hpp.
#pragma once

#include <vector>

#include "plateforme/plateforme.hpp"

namespace gsicom {

std::vector<PortDescription> descriptionsPortsWindows();

}  // namespace gsicom
