// The one seam between gsicom and the machine it runs on.
//
// Everything that differs between Windows, Linux and the in-process test simulator
// sits behind these two interfaces: a serial port (opened exclusively by its Win32
// device path, line settings, time-outs, synchronous write and read, the driver's
// count of line errors) and the rest of the operating system the run needs (sleep,
// local time, the final pause, whether the current folder lasts).
// The implementations are whole files: windows/port.cpp, linux/port.cpp and the
// simulated platform of the tests.
#pragma once

#include <cstdint>
#include <cstdio>
#include <ctime>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace gsicom {

// The line settings gsicom chooses. The port sets every other field of the platform's
// own record to one fixed line, whatever a previous program left in it: binary, no
// flow control of any kind, DTR and RTS raised, no character replaced.
struct LineSettings {
    std::uint32_t baudRate = 0;
    std::uint8_t byteSize = 0;
    std::uint8_t parity = 0;    // 0: no parity (NOPARITY)
    std::uint8_t stopBits = 0;  // 0: one stop bit (ONESTOPBIT)
};

// The meaning of Windows' COMMTIMEOUTS, in milliseconds, on every platform.
struct CommTimeouts {
    std::uint32_t readIntervalTimeout = 0;
    std::uint32_t readTotalTimeoutMultiplier = 0;
    std::uint32_t readTotalTimeoutConstant = 0;
    std::uint32_t writeTotalTimeoutMultiplier = 0;
    std::uint32_t writeTotalTimeoutConstant = 0;
};

// The current folder when the system may empty it, and what the operator does about
// it on this system. An empty `dossier`: a folder that lasts.
struct DossierTemporaire {
    std::string dossier;
    std::string remede;
};

// What the figure of SerialPort::lineErrors stands for.
enum class LineErrorFigure {
    errors,        // every error the driver counted (Linux's TIOCGICOUNT)
    flaggedReads,  // the reads after which the driver flagged some: Windows' ClearCommError
                   // gives flags since its last call, not how many errors
};

// A device Windows marks with a problem, as SetupAPI and the Device Manager give it.
struct DeviceRecord {
    std::string name;         // the friendly name, else the description, in UTF-8
    std::string hardwareId;   // the first hardware ID: "USB\VID_1A86&PID_7523&REV_0264"
    std::string deviceClass;  // "Ports"; empty with no driver
    std::vector<std::string> compatibleIds;  // "USB\Class_02&SubClass_02&Prot_01"...
    std::uint32_t problem = 0;               // the Device Manager's code: 28, 10...
    // Its own instance ID: "USB\VID_10C4&PID_EA70&MI_00\6&2B1F3E9A&0&0000"; empty where
    // unread.
    std::string instanceId{};
    // The instance ID of the USB device it is part of, for an interface (&MI_nn) or a port
    // a maker's bus driver makes (FTDIBUS\...): "USB\VID_10C4&PID_EA70\0001". Empty for a
    // device that is none, or where its parents could not be read.
    std::string adapterId{};
};

// The lines of the USB devices plugged in that give no port: those of serial adapters,
// and those of devices that may not be one (known by their maker and a vendor class
// alone), which leave the scan's advice to plug an adapter in standing.
struct LignesSansPort {
    std::vector<std::string> adaptateurs;
    std::vector<std::string> peutEtre;
};

// What a port's device is, for the operator choosing among several ports: as much as
// the system tells; every text may be empty. Texts the device gives itself, in UTF-8.
enum class PortKind {
    unknown,
    usb,                // a USB adapter, or the instrument's own USB port
    uart,               // a serial port of the PC itself
    bluetooth,          // a Bluetooth link, its direction not known
    bluetoothOutgoing,  // the PC calls the paired device: the port to choose for it
    bluetoothIncoming,  // the PC waits for a device to call: an instrument never does
};

struct PortDescription {
    int number = 0;  // n of COMn
    PortKind kind = PortKind::unknown;
    std::string name;        // what the device is: "FT232R USB UART", "16550A"
    std::string usbId;       // "0403:6001", where the device has USB IDs
    std::string remoteName;  // the paired device's name on a Bluetooth link, where known
};

// An open serial port, owned: destroying it releases the port (CloseHandle).
class SerialPort {
public:
    virtual ~SerialPort() = default;
    virtual bool getCommState(LineSettings& settings) = 0;
    virtual bool setCommState(const LineSettings& settings) = 0;
    virtual bool setCommTimeouts(const CommTimeouts& timeouts) = 0;
    // Synchronous, like WriteFile/ReadFile without an OVERLAPPED record. A read
    // that times out is a success with fewer bytes (possibly none).
    virtual bool writeFile(const char* data, std::uint32_t size, std::uint32_t& written) = 0;
    virtual bool readFile(char* data, std::uint32_t size, std::uint32_t& read) = 0;
    // The line errors (framing, overrun, parity, break) the driver counted since the
    // line was set (setCommState); none where the driver counts none (a pseudo-terminal).
    virtual std::optional<std::uint32_t> lineErrors() = 0;
    virtual LineErrorFigure lineErrorFigure() const = 0;
    // Whether the port itself went away under gsicom (a USB adapter pulled, its driver
    // stopped, the line hung up): set by the read, write or error query that found it
    // gone, and for good. A time-out never sets it.
    virtual bool vanished() const = 0;
};

class Platform {
public:
    virtual ~Platform() = default;
    // Opens "\\.\COMn" for exclusive reading and writing; nullptr when it cannot.
    // A port that exists but cannot be used (held by another program, refused to
    // this account...) says why in `pourquoi`, one line for the operator without
    // its newline; a port that does not exist leaves it empty.
    virtual std::unique_ptr<SerialPort> openPort(const char* devicePath, std::string& pourquoi) = 0;
    // The serial ports the machine has beyond COM1 to COM30, which gsicom cannot reach:
    // one line each for the operator (the port, and how to give it a place among
    // COM1 to COM30), without its newline. None of them is opened.
    virtual std::vector<std::string> listUnreachablePorts() = 0;
    // The USB-serial adapters plugged in that give no port, for the scan to say why
    // (adaptateurs.hpp). Windows gives the devices it marks with a problem, which shared
    // code sorts and words (peripheriques_windows.hpp); Linux words its own lines, from
    // /sys and the kernel's module index, one each without its newline (LignesSansPort).
    // Either is empty elsewhere.
    virtual std::vector<DeviceRecord> listProblemDevices() { return {}; }
    virtual LignesSansPort listAdaptersWithoutPort() { return {}; }
    // What the device behind each of COM1 to COM30 is, read once before the scan opens
    // any of them, without opening one; a port of which nothing is known is left out.
    virtual std::vector<PortDescription> describePorts() { return {}; }
    // Whether the last openPort failed because the device behind the port did not answer
    // the connection (a Bluetooth link whose far end is off or out of reach), whatever
    // its `pourquoi` says.
    virtual bool lastOpenUnanswered() { return false; }
    // The port as the operator's messages name it: "COM1 (/dev/ttyS0)" on Linux, "COM1"
    // on Windows.
    virtual std::string portName(const char* devicePath) = 0;
    // Whether the port may be the instrument's own (a USB port the instrument gives
    // itself, a Bluetooth link), which switching the instrument off or taking it out of
    // reach takes away too. Windows does not tell: always true there. Linux judges the
    // device its links led to when the port was last opened: udev removes the links
    // (/dev/serial/by-id/..., its rules' own) with the device.
    virtual bool instrumentMayOwnPort(const char* devicePath) = 0;
    virtual void sleep(std::uint32_t milliseconds) = 0;
    virtual std::tm localTime() = 0;
    // Puts the export file `f`, just made in the current folder, on the disk itself and
    // not only in the system's cache: the job may be erased from the instrument next.
    // False, with errno set, when the disk refused it.
    virtual bool flushToDisk(std::FILE* f) = 0;
    // Whether the current folder, where the export file goes, lies inside the system's
    // temporary folder (a ZIP opened in Explorer runs its exe from a copy there).
    virtual DossierTemporaire temporaryCurrentFolder() = 0;
    // Waits for a key press before the program ends (the console may close after).
    virtual void pause() = 0;
};

// The platform this binary was built for (windows/port.cpp or linux/port.cpp).
std::unique_ptr<Platform> makeSystemPlatform();

}  // namespace gsicom
