// Whether a UART is behind a Linux serial device, as its driver and /sys say. Every PC
// has the 8250 driver's slots /dev/ttyS0 to ttyS3 (more as the kernel is built), most
// with no UART behind them; their open succeeds all the same, the tty marked with an
// I/O error. Also the first line of a small file of /proc or /sys, read as they are.
// Used by the Linux port (linux/ligne.cpp, linux/refus.cpp, linux/hors_table.cpp), and
// by gsicom-sim through linux/refus.cpp.
#pragma once

#include <sys/types.h>

#include <string>

namespace gsicom {

// The first line of a small file of /proc or /sys, without its newline; empty when it
// cannot be read.
std::string premiereLigne(const std::string& chemin);

// The UART type of the tty `nom` as the /sys mounted at `sys` gives it: "0" for a slot
// with no UART behind it; empty where /sys does not tell (a device of no UART driver,
// such as a USB adapter or a pty, or no /sys).
std::string typeUart(const std::string& sys, const std::string& nom);

// Whether `nom` is one of the 8250 driver's names: ttyS and its number.
bool nomDeSlotUart(const std::string& nom);

// Whether the device just opened on `fd` at `chemin` (character device `rdev`) is a slot
// of the 8250 driver with no UART behind it: no port. Judged on the device, not on its
// name: another device (a pty, a USB adapter linked there) may stand under a ttyS name.
// Only the 8250 driver's devices: a USB adapter's driver (ftdi_sio, cdc-acm) says
// "unknown" of real ports.
bool slotSansUart(int fd, const std::string& chemin, dev_t rdev);

// The same for the node at `chemin` that this account may not open: by its device
// number alone.
bool noeudSansUart(const std::string& chemin);

}  // namespace gsicom
