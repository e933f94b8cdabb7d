#include "plateforme/windows/adaptateurs.hpp"

// clang-format off
#include <windows.h>
#include <cfgmgr32.h>
#include <setupapi.h>
// clang-format on

#include <string>

#include "plateforme/windows/proprietes.hpp"

namespace gsicom {

// Every present device is enumerated, but only those with a problem code are read
// further: the scan pays for one status query a device.
std::vector<DeviceRecord> peripheriquesEnPanneWindows()
{
    std::vector<DeviceRecord> peripheriques;
    const HDEVINFO ensemble =
        SetupDiGetClassDevsW(nullptr, nullptr, nullptr, DIGCF_ALLCLASSES | DIGCF_PRESENT);
    if (ensemble == INVALID_HANDLE_VALUE) {
        return peripheriques;
    }
    SP_DEVINFO_DATA appareil{};
    appareil.cbSize = sizeof appareil;
    for (DWORD i = 0; SetupDiEnumDeviceInfo(ensemble, i, &appareil); ++i) {
        ULONG etat = 0;
        ULONG probleme = 0;
        if (CM_Get_DevNode_Status(&etat, &probleme, appareil.DevInst, 0) != CR_SUCCESS ||
            (etat & DN_HAS_PROBLEM) == 0 || probleme == 0) {
            continue;
        }
        DeviceRecord p;
        p.name = premiere(propriete(ensemble, appareil, SPDRP_FRIENDLYNAME));
        if (p.name.empty()) {
            p.name = premiere(propriete(ensemble, appareil, SPDRP_DEVICEDESC));
        }
        p.hardwareId = premiere(propriete(ensemble, appareil, SPDRP_HARDWAREID));
        p.deviceClass = premiere(propriete(ensemble, appareil, SPDRP_CLASS));
        p.compatibleIds = propriete(ensemble, appareil, SPDRP_COMPATIBLEIDS);
        p.problem = probleme;
        peripheriques.push_back(std::move(p));
    }
    SetupDiDestroyDeviceInfoList(ensemble);
    return peripheriques;
}

}  // namespace gsicom
