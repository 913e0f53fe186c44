#include "platform/win32/win32Platform.h"

#include "net/sockets.h"
#include "platform/win32/win32ConfigAccess.h"

namespace ups {

Win32Platform::~Win32Platform() {
    stopSockets();
}

bool Win32Platform::startSockets() {
    if (socketsStarted_) return true;
    socketsStarted_ = SocketInterfaceStartup();
    return socketsStarted_;
}

void Win32Platform::stopSockets() {
    if (!socketsStarted_) return;
    SocketInterfaceCleanup();
    socketsStarted_ = false;
}

std::unique_ptr<Platform> makePlatform() {
    return std::make_unique<Win32Platform>();
}

bool grantConfigAccess() {
    return grantUsersConfigAccess();
}

}  // namespace ups
