// What Windows records of a port's device, read into what the operator is told of it
// (Platform::describePorts): the friendly name without its "(COMn)", the USB product
// string where that name is a generic one, the USB IDs, the PC's own UART, and a
// Bluetooth link's direction and paired device from its instance ID. SetupAPI's reading
// is windows/description.cpp; these rules are shared by every build, so that they run in
// the native tests. Where a record does not have the shape Windows is known to give,
// less is said, never a guess.
#pragma once

#include <optional>
#include <string>

#include "plateforme/plateforme.hpp"

namespace gsicom {

// One present device whose key gives a port, as SetupAPI gives it; texts in UTF-8.
struct FichePortWindows {
    std::string portName;           // its device key's PortName: "COM3"
    std::string instanceId;         // "FTDIBUS\VID_0403+PID_6001+A10K1XYZA\0000"
    std::string hardwareId;         // the first hardware ID: "FTDIBUS\COMPORT&VID_0403&PID_6001"
    std::string friendlyName;       // "USB Serial Port (COM3)"
    std::string busReported;        // the USB product string the device reports, where it has one
    std::string parentId;           // the instance ID of the device it hangs on
    std::string parentBusReported;  // that one's product string
    std::string remoteName;         // a Bluetooth port's paired device, where Windows knows it
};

// n of "COMn" (any case) when n lies in COM1 to COM30, else 0.
int numeroDePortWindows(const std::string& portName);

// The Bluetooth address a port's instance ID carries, 12 hex digits as written there
// ("001122334455"; all zeros on the incoming port), or none where the ID is no Bluetooth
// port's or has not the shape Windows gives:
// "BTHENUM\{...}_...\7&2A4B8C7E&0&001122334455_C00000000".
std::optional<std::string> adresseBluetooth(const std::string& instanceId);

// The address of a paired Bluetooth device's own node, "BTHENUM\DEV_001122334455\...",
// whose friendly name is the device's name; none for every other ID.
std::optional<std::string> adresseAppareilBluetooth(const std::string& instanceId);

// The paired device's name from BTHPORT's Name value (REG_BINARY, UTF-8): up to its
// first NUL.
std::string nomBluetoothEnregistre(const std::string& octets);

// Whether a device's friendly name is one a driver gives every device it serves.
bool nomGenerique(const std::string& nom);

PortDescription decrirePortWindows(const FichePortWindows& fiche);

}  // namespace gsicom
