// The Linux serial port behind the platform (linux/port.cpp): a device opened as
// gsicom opens its port, set up as termios allows, read by Windows' time-out rule.
#pragma once

#include <memory>
#include <string>

#include "plateforme/plateforme.hpp"

namespace gsicom {

// Opens "\\.\COMn" (its Linux device, serial/chemin_com.hpp) as Platform::openPort
// says: nullptr, with the operator's line in `pourquoi` where the device exists but
// cannot be used.
std::unique_ptr<SerialPort> ouvrirPortLinux(const char* devicePath, std::string& pourquoi);

}  // namespace gsicom
