// The USB-serial adapters plugged in that give no tty, as Linux tells of them: a USB
// device under /sys/bus/usb/devices none of whose interfaces has a tty below it, and
// why: another program holds it through usbfs (brltty, most often), no driver took it
// (its module not loaded, or no module of this kernel knows the chip), or its driver took
// it and made no port. The kernel's module index (linux/modules.hpp) names the serial
// driver that would take it; it is read only where an interface needs it. Nothing is
// opened but files of /sys, /proc and the index.
#pragma once

#include <string>
#include <vector>

namespace gsicom {

// One line each, without its newline, in the order of the devices' names. `sys`, `proc`:
// where /sys and /proc are mounted; `modules`: this kernel's module folder,
// /lib/modules/$(uname -r) when empty (a test gives trees of its own). Where a source is
// missing, the lines say less: no /sys, no line.
std::vector<std::string> adaptateursSansPortLinux(const std::string& sys = "/sys",
                                                  const std::string& modules = "",
                                                  const std::string& proc = "/proc");

}  // namespace gsicom
