#include "plateforme/windows/description.hpp"

// clang-format off
#include <windows.h>
#include <initguid.h>
#include <devpkey.h>
#include <setupapi.h>
// clang-format on

#include <cctype>
#include <map>
#include <optional>
#include <string>

#include "appareils/ports_windows.hpp"
#include "plateforme/windows/proprietes.hpp"

namespace gsicom {

namespace {

std::string enMajuscules(std::string texte)
{
    for (char& c : texte) {
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    return texte;
}

std::string identifiant(HDEVINFO ensemble, SP_DEVINFO_DATA& appareil)
{
    wchar_t id[201] = {};  // an instance ID has at most 200 characters
    if (!SetupDiGetDeviceInstanceIdW(ensemble, &appareil, id, 201, nullptr)) {
        return {};
    }
    return utf8(id);
}

// A string property by its key (DEVPKEY_...), where the device has it.
std::string texteDe(HDEVINFO ensemble, SP_DEVINFO_DATA& appareil, const DEVPROPKEY& cle)
{
    wchar_t texte[512] = {};
    DEVPROPTYPE type = 0;
    if (!SetupDiGetDevicePropertyW(ensemble, &appareil, &cle, &type, reinterpret_cast<BYTE*>(texte),
                                   sizeof texte - sizeof(wchar_t), nullptr, 0) ||
        type != DEVPROP_TYPE_STRING) {
        return {};
    }
    return utf8(texte);
}

// The product string of the device `id` (an FTDI port's USB device), read in a set of
// its own: the scan's set is being walked.
std::string texteDuParent(const std::string& id)
{
    std::wstring large(id.begin(), id.end());  // instance IDs are ASCII
    const HDEVINFO ensemble = SetupDiCreateDeviceInfoList(nullptr, nullptr);
    if (ensemble == INVALID_HANDLE_VALUE) {
        return {};
    }
    SP_DEVINFO_DATA parent{};
    parent.cbSize = sizeof parent;
    std::string texte;
    if (SetupDiOpenDeviceInfoW(ensemble, large.c_str(), nullptr, 0, &parent)) {
        texte = texteDe(ensemble, parent, DEVPKEY_Device_BusReportedDeviceDesc);
    }
    SetupDiDestroyDeviceInfoList(ensemble);
    return texte;
}

// The port the device's own key names (its PortName), else an empty string.
std::string nomDePort(HDEVINFO ensemble, SP_DEVINFO_DATA& appareil)
{
    const HKEY cle =
        SetupDiOpenDevRegKey(ensemble, &appareil, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_QUERY_VALUE);
    if (cle == INVALID_HANDLE_VALUE) {
        return {};
    }
    wchar_t nom[32] = {};
    DWORD taille = sizeof nom - sizeof(wchar_t);  // room for a NUL the value may lack
    DWORD type = 0;
    const LONG r =
        RegQueryValueExW(cle, L"PortName", nullptr, &type, reinterpret_cast<BYTE*>(nom), &taille);
    RegCloseKey(cle);
    return r == ERROR_SUCCESS && type == REG_SZ ? utf8(nom) : std::string();
}

// The name BTHPORT keeps for a paired device (REG_BINARY, UTF-8), where it has one.
std::string nomEnregistre(const std::string& adresse)
{
    const std::string chemin =
        "SYSTEM\\CurrentControlSet\\Services\\BTHPORT\\Parameters\\Devices\\" + adresse;
    char octets[256] = {};  // a Bluetooth name is at most 248 bytes
    DWORD taille = sizeof octets;
    DWORD type = 0;
    if (RegGetValueA(HKEY_LOCAL_MACHINE, chemin.c_str(), "Name", RRF_RT_REG_BINARY, &type, octets,
                     &taille) != ERROR_SUCCESS) {
        return {};
    }
    return nomBluetoothEnregistre(std::string(octets, taille));
}

FichePortWindows lireFiche(HDEVINFO ensemble, SP_DEVINFO_DATA& appareil, std::string portName,
                           std::string instanceId)
{
    FichePortWindows fiche;
    fiche.portName = std::move(portName);
    fiche.instanceId = std::move(instanceId);
    fiche.hardwareId = premiere(propriete(ensemble, appareil, SPDRP_HARDWAREID));
    fiche.friendlyName = nomAffiche(ensemble, appareil);
    fiche.busReported = texteDe(ensemble, appareil, DEVPKEY_Device_BusReportedDeviceDesc);
    if (fiche.busReported.empty()) {
        fiche.parentId = texteDe(ensemble, appareil, DEVPKEY_Device_Parent);
        if (!fiche.parentId.empty()) {
            fiche.parentBusReported = texteDuParent(fiche.parentId);
        }
    }
    return fiche;
}

}  // namespace

// One walk of the present devices: the ports' records, and the names of the paired
// Bluetooth devices' own nodes, which the outgoing ports are then named by.
std::vector<PortDescription> descriptionsPortsWindows()
{
    std::vector<PortDescription> ports;
    std::vector<FichePortWindows> fiches;
    std::map<std::string, std::string> nomsBluetooth;  // by address, upper case
    pourChaqueAppareilPresent([&](HDEVINFO ensemble, SP_DEVINFO_DATA& appareil) {
        std::string id = identifiant(ensemble, appareil);
        if (const std::optional<std::string> adresse = adresseAppareilBluetooth(id)) {
            nomsBluetooth[enMajuscules(*adresse)] =
                premiere(propriete(ensemble, appareil, SPDRP_FRIENDLYNAME));
            return;
        }
        std::string port = nomDePort(ensemble, appareil);
        if (numeroDePortWindows(port) != 0) {
            fiches.push_back(lireFiche(ensemble, appareil, std::move(port), std::move(id)));
        }
    });
    for (FichePortWindows& fiche : fiches) {
        const std::optional<std::string> adresse = adresseBluetooth(fiche.instanceId);
        if (adresse && *adresse != std::string(12, '0')) {
            const auto trouve = nomsBluetooth.find(enMajuscules(*adresse));
            fiche.remoteName = trouve != nomsBluetooth.end() && !trouve->second.empty()
                                   ? trouve->second
                                   : nomEnregistre(*adresse);
        }
        ports.push_back(decrirePortWindows(fiche));
    }
    return ports;
}

}  // namespace gsicom
