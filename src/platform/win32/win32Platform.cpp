#include "platform/win32/win32Platform.h"

#include "net/sockets.h"
#include "platform/common/trapPortProblem.h"
#include "platform/win32/win32ConfigAccess.h"
#include "platform/win32/win32EarlierConfig.h"

namespace ups {

namespace {

// The display name of the system's trap service (localised: "Captura de SNMP" on a Spanish
// Windows) when it runs, else empty.
std::string runningTrapService() {
    SC_HANDLE manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT);
    if (manager == nullptr) return {};
    std::string name;
    SC_HANDLE service = OpenServiceW(manager, L"SNMPTRAP", SERVICE_QUERY_STATUS);
    SERVICE_STATUS status{};
    if (service != nullptr && QueryServiceStatus(service, &status) &&
        status.dwCurrentState != SERVICE_STOPPED) {
        wchar_t display[256] = {};
        DWORD size = 256;
        char text[768] = {};
        // The program's texts are UTF-8.
        name = GetServiceDisplayNameW(manager, L"SNMPTRAP", display, &size) &&
                       WideCharToMultiByte(CP_UTF8, 0, display, -1, text, sizeof text, nullptr,
                                           nullptr) > 1
                   ? text
                   : "SNMP Trap";
    }
    if (service != nullptr) CloseServiceHandle(service);
    CloseServiceHandle(manager);
    return name;
}

}  // namespace

Win32Platform::Win32Platform() {
    adoptEarlierConfig();
}

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

std::string Win32Platform::trapPortProblem(const std::string& address, std::uint16_t port) {
    const int error = tryBindUdp(address, port);
    if (error == 0) return {};
    return trapPortProblemText({error, port, runningTrapService(), true});
}

std::unique_ptr<Platform> makePlatform() {
    return std::make_unique<Win32Platform>();
}

bool grantConfigAccess() {
    return grantUsersConfigAccess();
}

}  // namespace ups
