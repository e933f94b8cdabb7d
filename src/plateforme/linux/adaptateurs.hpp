// The USB-serial adapters plugged in that give no tty, as Linux tells of them: a USB
// device under /sys/bus/usb/devices none of whose interfaces has a tty below it, and
// why: another program holds it through usbfs (brltty, most often, linux/usbfs.hpp), USB
// authorization refuses it, no driver took it (its module not loaded, the kernel
// upgraded under the running one, or no module of this kernel knows the chip), or its
// driver took it and made no port. The kernel's module index (linux/modules.hpp) names
// the serial driver that would take it; it is read only where an interface needs it.
// Nothing is opened but files of /sys, /proc and the index.
#pragma once

#include <string>
#include <vector>

#include "plateforme/plateforme.hpp"

namespace gsicom {

// One line each, without its newline, in the order of the devices' names; an FTDI
// product no module knows may be no adapter, and its line says so. `sys`, `proc`:
// where /sys and /proc are mounted; `modules`: this kernel's module folder,
// /lib/modules/$(uname -r) when empty (a test gives trees of its own). Where a source is
// missing, the lines say less: no /sys, no line.
LignesSansPort adaptateursSansPortLinux(const std::string& sys = "/sys",
                                        const std::string& modules = "",
                                        const std::string& proc = "/proc");

}  // namespace gsicom
