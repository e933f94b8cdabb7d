// CM_Get_DevNode_Status for gsicom.exe under Wine, whose own writes neither the status
// nor the problem code. The test's table is a DWORD value "Probleme" in a device's
// own key (HKLM\System\CurrentControlSet\Enum\<instance>): a device that has one has
// that problem code, any other works. Loaded from beside the exe instead of Wine's
// builtin (WINEDLLOVERRIDES=cfgmgr32=n); cfgmgr32.def hands everything else to
// setupapi.dll.
// clang-format off
#include <windows.h>
#include <cfgmgr32.h>
// clang-format on

#include <cwchar>

extern "C" CONFIGRET WINAPI CM_Get_DevNode_Status(PULONG status, PULONG problem, DEVINST devInst,
                                                  ULONG flags)
{
    if (status == nullptr || problem == nullptr) {
        return CR_INVALID_POINTER;
    }
    if (flags != 0) {
        return CR_INVALID_FLAG;
    }
    WCHAR instance[MAX_DEVICE_ID_LEN];
    const CONFIGRET lu = CM_Get_Device_IDW(devInst, instance, MAX_DEVICE_ID_LEN, 0);
    if (lu != CR_SUCCESS) {
        return lu;
    }
    WCHAR cle[32 + MAX_DEVICE_ID_LEN];
    std::swprintf(cle, sizeof cle / sizeof cle[0], L"System\\CurrentControlSet\\Enum\\%ls",
                  instance);
    DWORD code = 0;
    DWORD taille = sizeof code;
    if (RegGetValueW(HKEY_LOCAL_MACHINE, cle, L"Probleme", RRF_RT_REG_DWORD, nullptr, &code,
                     &taille) == ERROR_SUCCESS) {
        *status = DN_HAS_PROBLEM;
        *problem = code;
    } else {
        *status = DN_DRIVER_LOADED | DN_STARTED;
        *problem = 0;
    }
    return CR_SUCCESS;
}
