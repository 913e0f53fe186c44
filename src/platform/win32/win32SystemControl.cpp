#include "platform/win32/win32SystemControl.h"

#include <string>
#include <vector>

namespace ups {

namespace {

// Only the NT family knows privileges; asking the version keeps older systems on the plain path.
bool systemHasPrivileges() {
    OSVERSIONINFOA version{};
    version.dwOSVersionInfoSize = sizeof version;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    const bool known = GetVersionExA(&version) != 0;
#pragma GCC diagnostic pop
    return known && version.dwPlatformId == VER_PLATFORM_WIN32_NT;
}

}  // namespace

bool enableShutdownPrivilege() {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES, &token)) return false;
    TOKEN_PRIVILEGES privileges{};
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    bool enabled =
        LookupPrivilegeValueA(nullptr, "SeShutdownPrivilege", &privileges.Privileges[0].Luid) != 0;
    // AdjustTokenPrivileges succeeds even when the privilege is not held: the last error tells.
    enabled = enabled &&
              AdjustTokenPrivileges(token, FALSE, &privileges, 0, nullptr, nullptr) != 0 &&
              GetLastError() == ERROR_SUCCESS;
    CloseHandle(token);
    return enabled;
}

namespace {

// Window titles come in the system's ANSI code page; the history keeps UTF-8.
std::string utf8FromAnsi(const std::string& text) {
    if (text.empty()) return {};
    const int wide =
        MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    if (wide <= 0) return {};
    std::wstring buffer(static_cast<std::size_t>(wide), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), buffer.data(), wide);
    const int bytes =
        WideCharToMultiByte(CP_UTF8, 0, buffer.data(), wide, nullptr, 0, nullptr, nullptr);
    if (bytes <= 0) return {};
    std::string utf8(static_cast<std::size_t>(bytes), '\0');
    WideCharToMultiByte(CP_UTF8, 0, buffer.data(), wide, utf8.data(), bytes, nullptr, nullptr);
    return utf8;
}

std::vector<std::string> titlesOf(const std::vector<WindowCloseRequest>& requests) {
    std::vector<std::string> titles;
    for (const WindowCloseRequest& request : requests)
        titles.push_back(utf8FromAnsi(request.title));
    return titles;
}

}  // namespace

std::vector<std::string> Win32SystemControl::closeOtherApplications() {
    return titlesOf(closer_.closeOtherApplications());
}

std::vector<std::string> Win32SystemControl::listOtherApplications() {
    return titlesOf(closer_.listOtherApplications());
}

std::string Win32SystemControl::requestPowerOff() {
    const bool privileged = !systemHasPrivileges() || enableShutdownPrivilege();
    if (ExitWindowsEx(EWX_SHUTDOWN | EWX_FORCE | EWX_POWEROFF, 0))
        return std::string(kPowerOffAccepted);
    const DWORD error = GetLastError();
    return "rechazado: error " + std::to_string(error) +
           (privileged ? std::string() : std::string(", sin privilegio de apagado"));
}

}  // namespace ups
