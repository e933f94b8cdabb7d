// The COM ports Windows has above COM30, which the scan does not reach (a Bluetooth
// link's or a USB adapter's COM34...), each named with how to renumber it. Read from
// the registry's list of serial ports and the MS-DOS device names, never opened.
#pragma once

#include <string>
#include <vector>

namespace gsicom {

// One line each, without its newline, by port number.
std::vector<std::string> portsHorsTableWindows();

}  // namespace gsicom
