// The serial devices of /dev that no name of COM1 to COM30 leads to (a USB adapter
// numbered ttyUSB10 or above, a Bluetooth rfcomm0, a board's ttyAMA0 or ttySC0, an
// adapter of a vendor's own driver...), found as /sys tells of the machine's ttys (by
// their names where there is no /sys), each named with how to give it a name of the
// table. Looked at in /dev and /sys, never opened.
#pragma once

#include <string>
#include <vector>

namespace gsicom {

// One line each, without its newline, in the order of their names. `sys`: where /sys is
// mounted (a test gives a tree of its own).
std::vector<std::string> portsHorsTableLinux(const std::string& sys = "/sys");

}  // namespace gsicom
