#include "plateforme/windows/adaptateurs.hpp"

#include "appareils/peripheriques_windows.hpp"

// clang-format off
#include <windows.h>
#include <cfgmgr32.h>
#include <setupapi.h>
// clang-format on

#include <cstring>
#include <string>

#include "plateforme/windows/proprietes.hpp"

namespace gsicom {

namespace {

std::string idDuNoeud(DEVINST noeud)
{
    wchar_t id[MAX_DEVICE_ID_LEN + 1] = {};
    if (CM_Get_Device_IDW(noeud, id, MAX_DEVICE_ID_LEN, 0) != CR_SUCCESS) {
        return {};
    }
    return utf8(id);
}

// The USB device whose piece the node is, found up its parents: the interfaces of one
// adapter, and the ports below them, share it. Empty where the node is no such piece or a
// parent cannot be read (a configuration manager that gives a node as its own parent, or
// one above the bus).
std::string appareilUsb(DEVINST noeud, std::string id)
{
    bool monte = false;
    for (int etage = 0; etage < 3 && morceauUsb(id); ++etage) {
        DEVINST parent = 0;
        if (CM_Get_Parent(&parent, noeud, 0) != CR_SUCCESS || parent == noeud) {
            return {};
        }
        noeud = parent;
        id = idDuNoeud(noeud);
        monte = true;
    }
    // Only a USB device stands for the adapter: never a node above the bus.
    const bool usb = _strnicmp(id.c_str(), "USB\\", 4) == 0;
    return monte && usb && !morceauUsb(id) ? id : std::string();
}

}  // namespace

// Every present device is enumerated, but only those with a problem code are read
// further: the scan pays for one status query a device.
std::vector<DeviceRecord> peripheriquesEnPanneWindows()
{
    std::vector<DeviceRecord> peripheriques;
    pourChaqueAppareilPresent([&](HDEVINFO ensemble, SP_DEVINFO_DATA& appareil) {
        ULONG etat = 0;
        ULONG probleme = 0;
        if (CM_Get_DevNode_Status(&etat, &probleme, appareil.DevInst, 0) != CR_SUCCESS ||
            (etat & DN_HAS_PROBLEM) == 0 || probleme == 0) {
            return;
        }
        DeviceRecord p;
        p.name = nomAffiche(ensemble, appareil);
        p.hardwareId = premiere(propriete(ensemble, appareil, SPDRP_HARDWAREID));
        p.deviceClass = premiere(propriete(ensemble, appareil, SPDRP_CLASS));
        p.compatibleIds = propriete(ensemble, appareil, SPDRP_COMPATIBLEIDS);
        p.problem = probleme;
        p.instanceId = idDuNoeud(appareil.DevInst);
        p.adapterId = appareilUsb(appareil.DevInst, p.instanceId);
        peripheriques.push_back(std::move(p));
    });
    return peripheriques;
}

}  // namespace gsicom
