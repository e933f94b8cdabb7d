// The devices Windows marks with a problem, as the Device Manager shows them (SetupAPI,
// and the configuration manager for the problem code and the device each is part of), for
// the scan to find the USB-serial adapters among them that give no port
// (peripheriques_windows.hpp). Nothing is opened.
#pragma once

#include <vector>

#include "plateforme/plateforme.hpp"

namespace gsicom {

std::vector<DeviceRecord> peripheriquesEnPanneWindows();

}  // namespace gsicom
