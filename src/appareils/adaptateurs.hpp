// The USB-serial adapters plugged in that give no port, in the operator's words: the
// bridge chips gsicom knows by their USB IDs and how a line about one begins, for the
// lines of both systems (Linux words its own from /sys, linux/adaptateurs.cpp; Windows'
// devices with a problem are sorted and worded in peripheriques_windows.hpp). Shared by
// every build, so that the matching and the words run in the native tests.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "plateforme/plateforme.hpp"

namespace gsicom {

// The maker of USB-serial bridges whose USB vendor ID this is ("FTDI", "WCH"...), or
// nullptr.
const char* fabricantDePonts(std::uint16_t vid);

// Whether vid:pid is one of those makers' bridge products: they make other devices too,
// so a vendor alone is never enough.
bool pontUsbSerie(std::uint16_t vid, std::uint16_t pid);

// The bytes as they are, each one outside printable ASCII (and " and \) as \xHH:
// standard error stays unaccented, and no name a device or a process gives itself
// reaches the terminal as a control.
std::string echappe(const std::string& octets);

// The start of an adapter's line: what it is (`quoi`: "Adaptateur USB-serie"...), its
// name quoted where it has one, its IDs ("1a86:7523") where known, and that it gives no
// port, up to the reason.
std::string debutSansPort(const std::string& quoi, const std::string& nom, const std::string& ids);

}  // namespace gsicom
