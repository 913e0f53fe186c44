#include "platform/win32/win32Platform.h"

#include <winsock2.h>

#include "platform/win32/win32ConfigAccess.h"

namespace ups {

Win32Platform::~Win32Platform() {
    stopSockets();
}

bool Win32Platform::startSockets() {
    if (socketsStarted_) return true;
    WSADATA data{};
    if (WSAStartup(MAKEWORD(2, 2), &data) != 0) return false;
    if (LOBYTE(data.wVersion) != 2 || HIBYTE(data.wVersion) != 2) {
        WSACleanup();
        return false;
    }
    socketsStarted_ = true;
    return true;
}

void Win32Platform::stopSockets() {
    if (!socketsStarted_) return;
    WSACleanup();
    socketsStarted_ = false;
}

std::unique_ptr<Platform> makePlatform() {
    return std::make_unique<Win32Platform>();
}

bool grantConfigAccess() {
    return grantUsersConfigAccess();
}

}  // namespace ups
