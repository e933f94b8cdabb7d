// Who holds a USB device through usbfs, the raw access user programs have to it
// (brltty, most often, which takes the USB-serial adapters for braille displays), in
// the operator's words. Used by linux/adaptateurs.cpp; nothing is opened but /sys
// and /proc.
#pragma once

#include <string>

namespace gsicom {

// Why the USB device at `appareil` (its folder in /sys) gives no port, and what to
// do: the process that holds its node /dev/bus/usb/BBB/DDD, found in the /proc
// mounted at `proc` (another account's only as root), else a running brltty.
std::string tenuParUsbfs(const std::string& proc, const std::string& appareil);

}  // namespace gsicom
