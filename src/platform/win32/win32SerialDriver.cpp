#include "platform/win32/win32SerialDriver.h"

#include <string>

namespace ups {

Win32SerialDriver::~Win32SerialDriver() {
    for (int port = 0; port < 4; ++port) close(port);
}

HANDLE Win32SerialDriver::handleFor(int port) const {
    return port >= 0 && port < 4 ? handles_[port] : INVALID_HANDLE_VALUE;
}

int Win32SerialDriver::systemError(DWORD error) {
    // The library's callers keep the code as a signed number.
    lastError_ = static_cast<int>(error);
    return kSioSystemError;
}

int Win32SerialDriver::open(int port, int rxQueue, int txQueue) {
    if (port < 0 || port >= 4) return kSioBadPort;
    close(port);
    // The device namespace form, which also reaches ports numbered above 9.
    const std::string path = "\\\\.\\COM" + std::to_string(port + 1);
    HANDLE handle = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                OPEN_EXISTING, 0, nullptr);
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
    HANDLE handle = handleFor(port);
    if (handle == INVALID_HANDLE_VALUE) return;
    CloseHandle(handle);
    handles_[port] = INVALID_HANDLE_VALUE;
    rts_[port] = false;
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

}  // namespace ups
