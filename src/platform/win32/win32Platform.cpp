#include "platform/win32/win32Platform.h"

#include <knownfolders.h>
#include <shlobj.h>

#include <string>

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

std::string Win32Platform::historyPath() {
    PWSTR local = nullptr;
    if (FAILED(SHGetKnownFolderPath(FOLDERID_LocalAppData, KF_FLAG_CREATE, nullptr, &local))) {
        CoTaskMemFree(local);
        return {};
    }
    std::wstring folder = std::wstring(local) + L"\\korvan-ups";
    CoTaskMemFree(local);
    if (!CreateDirectoryW(folder.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) {
        return {};
    }
    const std::wstring file = folder + L"\\historial.db";
    // SQLite takes UTF-8 file names.
    const int size =
        WideCharToMultiByte(CP_UTF8, 0, file.c_str(), -1, nullptr, 0, nullptr, nullptr);
    if (size <= 1) return {};
    std::string path(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, file.c_str(), -1, path.data(), size, nullptr, nullptr);
    path.resize(static_cast<std::size_t>(size - 1));
    return path;
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
