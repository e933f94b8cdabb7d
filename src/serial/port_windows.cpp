// The platform on Windows: the kernel32 serial API, Sleep, localtime and the command
// interpreter's PAUSE.
#include <windows.h>

#include <cstdlib>
#include <ctime>

#include "serial/plateforme.hpp"

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

    // Every other field of the DCB keeps the value GetCommState returned.
    bool setCommState(const LineSettings& settings) override
    {
        dcb_.BaudRate = settings.baudRate;
        dcb_.ByteSize = settings.byteSize;
        dcb_.Parity = settings.parity;
        dcb_.StopBits = settings.stopBits;
        return SetCommState(handle_, &dcb_) != 0;
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
        return ok != 0;
    }

    bool readFile(char* data, std::uint32_t size, std::uint32_t& read) override
    {
        DWORD n = 0;
        const BOOL ok = ReadFile(handle_, data, size, &n, nullptr);
        read = n;
        return ok != 0;
    }

private:
    HANDLE handle_;
    DCB dcb_{};
};

class WindowsPlatform final : public Platform {
public:
    std::unique_ptr<SerialPort> openPort(const char* devicePath) override
    {
        // Share mode 0: a port another program holds does not open.
        HANDLE handle = CreateFileA(devicePath, GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                    OPEN_EXISTING, 0, nullptr);
        if (handle == INVALID_HANDLE_VALUE) {
            return nullptr;
        }
        return std::make_unique<WindowsSerialPort>(handle);
    }

    void sleep(std::uint32_t milliseconds) override { Sleep(milliseconds); }

    std::tm localTime() override
    {
        const std::time_t maintenant = std::time(nullptr);
        std::tm t{};
        localtime_s(&t, &maintenant);
        return t;
    }

    void pause() override { std::system("PAUSE"); }
};

}  // namespace

std::unique_ptr<Platform> makeSystemPlatform()
{
    return std::make_unique<WindowsPlatform>();
}

}  // namespace gsicom
