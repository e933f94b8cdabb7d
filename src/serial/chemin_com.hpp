// The COM names: the Win32 path of COMn, and where it lands on Linux: COM1-COM10 are
// /dev/ttyS0-9 (the motherboard UARTs), COM11-COM20 /dev/ttyUSB0-9 (USB adapters) and
// COM21-COM30 /dev/ttyACM0-9 (USB modems and instruments with a CDC port).
#pragma once

#include <string>

namespace gsicom {

inline constexpr int kPremierPort = 1;
inline constexpr int kDernierPort = 30;

// "\\.\COMn": the Win32 device-namespace path, the only form that reaches COM10 and above.
std::string cheminPort(int numero);

// "\\.\COMn" -> the Linux device; an empty string for anything that is not COM1 to COM30.
std::string cheminLinux(const char* devicePath);

}  // namespace gsicom
