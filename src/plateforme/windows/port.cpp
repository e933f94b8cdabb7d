// The platform on Windows: the kernel32 serial API, Sleep, localtime, whether the
// current folder is a temporary one (windows/dossier.cpp), what each port's device is
// (windows/description.cpp) and the command interpreter's PAUSE.
#include <io.h>
#include <windows.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>

#include "plateforme/dossier_systeme.hpp"
#include "plateforme/plateforme.hpp"
#include "plateforme/windows/adaptateurs.hpp"
#include "plateforme/windows/console.hpp"
#include "plateforme/windows/description.hpp"
#include "plateforme/windows/hors_table.hpp"

namespace gsicom {

namespace {

class WindowsSerialPort final : public SerialPort {
public:
    explicit WindowsSerialPort(HANDLE handle) : handle_(handle) {}
    ~WindowsSerialPort() override { CloseHandle(handle_); }
    WindowsSerialPort(const WindowsSerialPort&) = delete;
    WindowsSerialPort& operator=(const WindowsSerialPort&) = delete;

    bool getCommState(LineSettings& settings) override
    {
        dcb_ = DCB{};
        dcb_.DCBlength = sizeof dcb_;
        if (GetCommState(handle_, &dcb_) == 0) {
            return false;
        }
        settings.baudRate = dcb_.BaudRate;
        settings.byteSize = dcb_.ByteSize;
        settings.parity = dcb_.Parity;
        settings.stopBits = dcb_.StopBits;
        return true;
    }

    // The line set whole, nothing kept of what a previous program left in it: binary,
    // no flow control of any kind (CTS, DSR, XON/XOFF either way), DTR and RTS raised,
    // no byte replaced or dropped, no read failing after a line error. The XON/XOFF
    // limits are the driver's, sized to its buffers (and unused here). An error state
    // and bytes left from before (nothing has been asked yet) are cleared.
    bool setCommState(const LineSettings& settings) override
    {
        DCB dcb{};
        dcb.DCBlength = sizeof dcb;
        dcb.BaudRate = settings.baudRate;
        dcb.fBinary = TRUE;
        dcb.fParity = FALSE;
        dcb.fOutxCtsFlow = FALSE;
        dcb.fOutxDsrFlow = FALSE;
        dcb.fDtrControl = DTR_CONTROL_ENABLE;
        dcb.fDsrSensitivity = FALSE;
        dcb.fTXContinueOnXoff = TRUE;  // no XOFF of ours to wait behind
        dcb.fOutX = FALSE;
        dcb.fInX = FALSE;
        dcb.fErrorChar = FALSE;
        dcb.fNull = FALSE;
        dcb.fRtsControl = RTS_CONTROL_ENABLE;
        dcb.fAbortOnError = FALSE;
        dcb.XonLim = dcb_.XonLim;
        dcb.XoffLim = dcb_.XoffLim;
        dcb.ByteSize = settings.byteSize;
        dcb.Parity = settings.parity;
        dcb.StopBits = settings.stopBits;
        dcb.XonChar = 0x11;  // some drivers refuse equal XON and XOFF characters
        dcb.XoffChar = 0x13;
        if (SetCommState(handle_, &dcb) == 0) {
            return false;
        }
        DWORD erreurs = 0;
        compte_ = ClearCommError(handle_, &erreurs, nullptr) != 0;  // no driver says none
        PurgeComm(handle_, PURGE_RXABORT | PURGE_RXCLEAR | PURGE_TXABORT | PURGE_TXCLEAR);
        erreurs_ = 0;
        return true;
    }

    bool setCommTimeouts(const CommTimeouts& timeouts) override
    {
        COMMTIMEOUTS t{};
        t.ReadIntervalTimeout = timeouts.readIntervalTimeout;
        t.ReadTotalTimeoutMultiplier = timeouts.readTotalTimeoutMultiplier;
        t.ReadTotalTimeoutConstant = timeouts.readTotalTimeoutConstant;
        t.WriteTotalTimeoutMultiplier = timeouts.writeTotalTimeoutMultiplier;
        t.WriteTotalTimeoutConstant = timeouts.writeTotalTimeoutConstant;
        return SetCommTimeouts(handle_, &t) != 0;
    }

    bool writeFile(const char* data, std::uint32_t size, std::uint32_t& written) override
    {
        DWORD n = 0;
        const BOOL ok = WriteFile(handle_, data, size, &n, nullptr);
        written = n;
        disparu_ = disparu_ || portPerdu(ok);
        return ok != 0;
    }

    bool readFile(char* data, std::uint32_t size, std::uint32_t& read) override
    {
        DWORD n = 0;
        const BOOL ok = ReadFile(handle_, data, size, &n, nullptr);
        read = n;
        disparu_ = disparu_ || portPerdu(ok);
        compterErreurs();
        return ok != 0;
    }

    std::optional<std::uint32_t> lineErrors() override
    {
        return compte_ ? std::optional<std::uint32_t>(erreurs_) : std::nullopt;
    }

    LineErrorFigure lineErrorFigure() const override { return LineErrorFigure::flaggedReads; }
    bool vanished() const override { return disparu_; }

private:
    // Whether a failed ReadFile or WriteFile lost the port. A time-out is a success with
    // fewer bytes, but some USB adapters' drivers fail a write that timed out instead:
    // the port is still there.
    static bool portPerdu(BOOL ok)
    {
        if (ok != 0) {
            return false;
        }
        const DWORD erreur = GetLastError();
        return erreur != ERROR_SEM_TIMEOUT && erreur != ERROR_TIMEOUT &&
               erreur != ERROR_COUNTER_TIMEOUT;
    }

    // One more read after which the driver flagged errors since the last call (which
    // clears them): flags, not a count of errors.
    void compterErreurs()
    {
        DWORD drapeaux = 0;
        if (!compte_) {
            return;
        }
        if (ClearCommError(handle_, &drapeaux, nullptr) == 0) {
            disparu_ = true;
            return;
        }
        erreurs_ +=
            (drapeaux & (CE_FRAME | CE_OVERRUN | CE_RXOVER | CE_RXPARITY | CE_BREAK)) != 0 ? 1 : 0;
    }

    HANDLE handle_;
    DCB dcb_{};
    bool compte_ = false;   // the driver reports line errors
    bool disparu_ = false;  // a read, write or error query failed: the port is gone
    std::uint32_t erreurs_ = 0;
};

// Whether CreateFileA failed because the device behind the port did not answer: what
// Windows' Bluetooth stack gives, after seconds, for a paired device that is off or out
// of reach (a time-out mostly; "not connected" and "not functioning" on some stacks and
// adapters). Only a port known to be an outgoing Bluetooth one is said so by the scan.
bool sansReponse(DWORD erreur)
{
    return erreur == ERROR_SEM_TIMEOUT || erreur == ERROR_TIMEOUT ||
           erreur == ERROR_DEVICE_NOT_CONNECTED || erreur == ERROR_GEN_FAILURE;
}

// Why CreateFileA failed, for the operator; empty where there is no such port.
std::string refusOuverture(const char* com, DWORD erreur)
{
    const std::string port = std::string(com) + " : ";
    switch (erreur) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND: return {};
        case ERROR_ACCESS_DENIED:  // share mode 0: another program has the port
            return port + "occupe par un autre programme : fermez-le, puis relancez gsicom.";
        case ERROR_SEM_TIMEOUT:
        case ERROR_TIMEOUT:
            return port +
                   "le peripherique n a pas repondu a l ouverture du port : verifiez qu il est "
                   "allume et branche (ou a portee), puis relancez gsicom.";
        case ERROR_DEVICE_NOT_CONNECTED:
            return port +
                   "le peripherique du port n est pas connecte : branchez-le (ou allumez-le "
                   "pres du PC), puis relancez gsicom.";
        case ERROR_GEN_FAILURE:
            return port +
                   "le peripherique du port ne fonctionne pas : debranchez-le et rebranchez-le "
                   "(ou allumez-le pres du PC), puis relancez gsicom.";
        default: break;
    }
    // In English, or the error's number: a French Windows' text is accented, in a code
    // page the console does not show.
    char* texte = nullptr;
    if (FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                           FORMAT_MESSAGE_IGNORE_INSERTS,
                       nullptr, erreur, MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US),
                       reinterpret_cast<LPSTR>(&texte), 0, nullptr) == 0) {
        texte = nullptr;
    }
    std::string message = port;
    message += texte != nullptr ? texte : "erreur " + std::to_string(erreur);
    LocalFree(texte);
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r' ||
                                message.back() == ' ' || message.back() == '.')) {
        message.pop_back();  // the system's text ends with a full stop and CR LF
    }
    return message + ".";
}

class WindowsPlatform final : public Platform {
public:
    std::unique_ptr<SerialPort> openPort(const char* devicePath, std::string& pourquoi) override
    {
        pourquoi.clear();
        sansReponse_ = false;
        // Share mode 0: a port another program holds does not open.
        HANDLE handle = CreateFileA(devicePath, GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                    OPEN_EXISTING, 0, nullptr);
        if (handle == INVALID_HANDLE_VALUE) {
            const DWORD erreur = GetLastError();
            sansReponse_ = sansReponse(erreur);
            pourquoi = refusOuverture(devicePath + 4, erreur);  // "COMn"
            return nullptr;
        }
        return std::make_unique<WindowsSerialPort>(handle);
    }

    std::vector<std::string> listUnreachablePorts() override { return portsHorsTableWindows(); }
    std::vector<DeviceRecord> listProblemDevices() override
    {
        return peripheriquesEnPanneWindows();
    }
    std::vector<PortDescription> describePorts() override { return descriptionsPortsWindows(); }
    bool lastOpenUnanswered() override { return sansReponse_; }
    std::string portName(const char* devicePath) override { return devicePath + 4; }  // "COMn"
    bool instrumentMayOwnPort(const char*) override { return true; }

    void sleep(std::uint32_t milliseconds) override { Sleep(milliseconds); }

    std::tm localTime() override
    {
        const std::time_t maintenant = std::time(nullptr);
        std::tm t{};
        localtime_s(&t, &maintenant);
        return t;
    }

    // _commit is FlushFileBuffers on the stream's handle: the file's data and its
    // metadata go to the disk. Its failure is told as an I/O error: the C runtime's
    // mapping of the Windows code says "Invalid argument", which tells the operator
    // nothing.
    bool flushToDisk(std::FILE* f) override
    {
        if (std::fflush(f) != 0) {
            return false;
        }
        if (_commit(_fileno(f)) != 0) {
            errno = EIO;
            return false;
        }
        return true;
    }

    DossierTemporaire temporaryCurrentFolder() override { return dossierCourantTemporaire(); }

    void pause() override { std::system("PAUSE"); }

private:
    bool sansReponse_ = false;  // the last open's device did not answer
};

}  // namespace

std::unique_ptr<Platform> makeSystemPlatform()
{
    widenConsole();  // before the start screen's first line
    return std::make_unique<WindowsPlatform>();
}

}  // namespace gsicom
