// What a Linux serial port's device is, as /sys tells, for the operator choosing among
// the listed ports: a USB adapter's or instrument's product string and IDs, a PC's UART
// and its type, a Bluetooth link (rfcomm). The node is followed to its device by its
// device number (/sys/dev/char), never by its name: a pty bound over /dev/ttyS0 is no
// UART. Nothing is opened but files of /sys. Used by the Linux port (linux/port.cpp) and
// by linux/refus.cpp for the IDs of a device ModemManager probes.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

#include "plateforme/plateforme.hpp"

namespace gsicom {

// The device's name at the end of the node's links ("rfcomm0" for /dev/ttyS4 ->
// /dev/rfcomm0), read link by link: a dangling link still gives its target's name.
std::string nomAuBoutDesLiens(std::string chemin);

// What the /sys mounted at `sys` tells of the character device `rdev`, whose node is
// `chemin`; kind unknown and no text when nothing is known. `number` is left 0.
PortDescription decrireTty(const std::string& sys, const std::string& chemin, dev_t rdev);

// COM1 to COM30, each node of the table found under `dev` (a test gives trees of its
// own); a port of which nothing is known is left out.
std::vector<PortDescription> decrirePortsLinux(const std::string& sys = "/sys",
                                               const std::string& dev = "/dev");

}  // namespace gsicom
