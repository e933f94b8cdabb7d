// The devices Windows marks with a problem (DeviceRecord), sorted and worded: which are
// serial adapters or ports that give no port, one line per physical adapter, and what
// each problem code asks of the operator. Shared by every build, so that the sorting and
// the words run in the native tests.
#pragma once

#include <string>
#include <vector>

#include "plateforme/plateforme.hpp"

namespace gsicom {

// Whether a Windows device ID names a piece of a USB device rather than the device: one
// of its interfaces ("USB\VID_10C4&PID_EA70&MI_01\...") or a port its maker's bus driver
// made below one ("FTDIBUS\VID_0403+PID_6010+...").
bool morceauUsb(const std::string& id);

// The lines, each without its newline, for the serial adapters and ports among the
// devices: a device whose class is Ports, a known bridge product, or, with no driver, a
// CDC ACM one; never a printer port. One line per physical adapter: its interfaces share
// one, and lines alike to the byte are said once where the adapter is unknown.
struct LignesWindows {
    // Why the scan found no port there: they stand for the "branchez" line.
    std::vector<std::string> adaptateurs;
    // A port disabled on purpose, and a USB device Windows could not read (it may be the
    // adapter): said only when no port is available, beside the "branchez" line.
    std::vector<std::string> siAucunPort;
};
LignesWindows adaptateursSansPortWindows(const std::vector<DeviceRecord>& peripheriques);

}  // namespace gsicom
