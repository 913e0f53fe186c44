#include "platform/win32/win32SerialDriver.h"

#include <algorithm>
#include <charconv>
#include <string>

#include "platform/win32/win32LineWaiter.h"

namespace ups {

namespace {
constexpr int kLastComNumber = 256;
}  // namespace

Win32SerialDriver::~Win32SerialDriver() {
    while (!handles_.empty()) close(handles_.begin()->first);
}

HANDLE Win32SerialDriver::handleFor(int port) const {
    const auto found = handles_.find(port);
    return found != handles_.end() ? found->second : INVALID_HANDLE_VALUE;
}

std::string Win32SerialDriver::portName(int port) const {
    return port >= 0 && port < kLastComNumber ? "COM" + std::to_string(port + 1) : std::string();
}

int Win32SerialDriver::portNumber(std::string_view name) const {
    if (name.size() < 4 || name.size() > 6) return -1;
    const std::string_view prefix = name.substr(0, 3);
    if (!std::equal(prefix.begin(), prefix.end(), "COM",
                    [](char a, char b) { return (a & ~0x20) == b; })) {
        return -1;
    }
    int number = 0;
    const char* end = name.data() + name.size();
    const auto [at, error] = std::from_chars(name.data() + 3, end, number);
    if (error != std::errc() || at != end || number < 1 || number > kLastComNumber) return -1;
    return number - 1;
}

// The system's own list: every serial port driver (USB adapters included) enters its ports there
// while they are present.
std::vector<SerialPortName> Win32SerialDriver::otherPorts() {
    std::vector<SerialPortName> ports;
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_QUERY_VALUE,
                      &key) != ERROR_SUCCESS) {
        return ports;
    }
    char valueName[256];
    char data[32];
    for (DWORD index = 0;; ++index) {
        DWORD nameLength = sizeof valueName;
        DWORD dataLength = sizeof data - 1;
        DWORD type = 0;
        const LONG result = RegEnumValueA(key, index, valueName, &nameLength, nullptr, &type,
                                          reinterpret_cast<BYTE*>(data), &dataLength);
        if (result == ERROR_NO_MORE_ITEMS) break;
        if (result != ERROR_SUCCESS || type != REG_SZ) continue;
        data[dataLength] = '\0';
        const std::string name(data);
        const int port = portNumber(name);
        if (port >= 4 && std::none_of(ports.begin(), ports.end(),
                                      [port](const auto& known) { return known.port == port; })) {
            ports.push_back({port, portName(port)});
        }
    }
    RegCloseKey(key);
    std::sort(ports.begin(), ports.end(),
              [](const auto& a, const auto& b) { return a.port < b.port; });
    return ports;
}

int Win32SerialDriver::systemError(DWORD error) {
    // The library's callers keep the code as a signed number.
    lastError_ = static_cast<int>(error);
    return kSioSystemError;
}

int Win32SerialDriver::open(int port, int rxQueue, int txQueue) {
    if (portName(port).empty()) return kSioBadPort;
    close(port);
    // The device namespace form, which also reaches ports numbered above 9. Overlapped, for the
    // line watcher's wait; nothing else here reads or writes the port.
    const std::string path = "\\\\.\\COM" + std::to_string(port + 1);
    HANDLE handle = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return systemError(GetLastError());
    // RTS starts clear, so that the UPS sees monitoring begin only when the caller asserts it.
    // DTR stays on: contact-closure cables draw their pull-up from it.
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    if (!SetupComm(handle, static_cast<DWORD>(rxQueue), static_cast<DWORD>(txQueue)) ||
        !GetCommState(handle, &dcb)) {
        const DWORD error = GetLastError();
        CloseHandle(handle);
        return systemError(error);
    }
    dcb.fRtsControl = RTS_CONTROL_DISABLE;
    dcb.fDtrControl = DTR_CONTROL_ENABLE;
    SetCommState(handle, &dcb);
    handles_[port] = handle;
    rts_[port] = false;
    return 0;
}

void Win32SerialDriver::close(int port) {
    const auto [first, last] = waiters_.equal_range(port);
    for (auto at = first; at != last; ++at) {
        if (const auto waiter = at->second.lock()) waiter->cancel();
    }
    waiters_.erase(first, last);
    HANDLE handle = handleFor(port);
    if (handle == INVALID_HANDLE_VALUE) return;
    CloseHandle(handle);
    handles_.erase(port);
    rts_.erase(port);
}

std::shared_ptr<SerialLineWaiter> Win32SerialDriver::lineWaiter(int port) {
    HANDLE handle = handleFor(port);
    if (handle == INVALID_HANDLE_VALUE) return nullptr;
    auto waiter = std::make_shared<Win32LineWaiter>(handle);
    if (!waiter->valid()) return nullptr;
    std::erase_if(waiters_, [](const auto& entry) { return entry.second.expired(); });
    waiters_.emplace(port, waiter);
    return waiter;
}

void Win32SerialDriver::setBaud(int port, int baud) {
    HANDLE handle = handleFor(port);
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    if (handle == INVALID_HANDLE_VALUE || !GetCommState(handle, &dcb)) return;
    dcb.BaudRate = static_cast<DWORD>(baud);
    dcb.fBinary = TRUE;
    dcb.fParity = FALSE;
    dcb.ByteSize = 8;
    dcb.Parity = NOPARITY;
    dcb.StopBits = ONESTOPBIT;
    SetCommState(handle, &dcb);
}

void Win32SerialDriver::setNoFlowControl(int port) {
    HANDLE handle = handleFor(port);
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    if (handle == INVALID_HANDLE_VALUE || !GetCommState(handle, &dcb)) return;
    dcb.fOutxCtsFlow = FALSE;
    dcb.fOutxDsrFlow = FALSE;
    dcb.fDsrSensitivity = FALSE;
    dcb.fOutX = FALSE;
    dcb.fInX = FALSE;
    // Handshake off must not change the level RTS was left at.
    dcb.fRtsControl = rts_[port] ? RTS_CONTROL_ENABLE : RTS_CONTROL_DISABLE;
    dcb.fDtrControl = DTR_CONTROL_ENABLE;
    SetCommState(handle, &dcb);
}

void Win32SerialDriver::setRts(int port, bool asserted) {
    HANDLE handle = handleFor(port);
    if (handle == INVALID_HANDLE_VALUE) return;
    if (EscapeCommFunction(handle, asserted ? SETRTS : CLRRTS)) rts_[port] = asserted;
}

void Win32SerialDriver::setBreak(int port, bool asserted) {
    HANDLE handle = handleFor(port);
    if (handle == INVALID_HANDLE_VALUE) return;
    if (asserted) {
        SetCommBreak(handle);
    } else {
        ClearCommBreak(handle);
    }
}

int Win32SerialDriver::readRts(int port) {
    if (handleFor(port) == INVALID_HANDLE_VALUE) return systemError(ERROR_INVALID_HANDLE);
    return rts_[port] ? 1 : 0;
}

int Win32SerialDriver::readModemBit(int port, DWORD bit) {
    HANDLE handle = handleFor(port);
    if (handle == INVALID_HANDLE_VALUE) return systemError(ERROR_INVALID_HANDLE);
    DWORD status = 0;
    if (!GetCommModemStatus(handle, &status)) return systemError(GetLastError());
    return (status & bit) != 0 ? 1 : 0;
}

int Win32SerialDriver::readCts(int port) {
    return readModemBit(port, MS_CTS_ON);
}
int Win32SerialDriver::readDcd(int port) {
    return readModemBit(port, MS_RLSD_ON);
}

ModemLines Win32SerialDriver::readLines(int port) {
    HANDLE handle = handleFor(port);
    DWORD status = 0;
    if (handle == INVALID_HANDLE_VALUE || !GetCommModemStatus(handle, &status)) {
        const int error =
            systemError(handle == INVALID_HANDLE_VALUE ? ERROR_INVALID_HANDLE : GetLastError());
        return {error, error, error};
    }
    const auto line = [status](DWORD bit) { return (status & bit) != 0 ? 1 : 0; };
    return {rts_[port] ? 1 : 0, line(MS_CTS_ON), line(MS_RLSD_ON)};
}

}  // namespace ups
