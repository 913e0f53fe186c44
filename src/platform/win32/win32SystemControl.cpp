#include "platform/win32/win32SystemControl.h"

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

void Win32SystemControl::closeOtherApplications() {
    closer_.closeOtherApplications();
}

void Win32SystemControl::requestPowerOff() {
    if (systemHasPrivileges()) enableShutdownPrivilege();
    ExitWindowsEx(EWX_SHUTDOWN | EWX_FORCE | EWX_POWEROFF, 0);
}

}  // namespace ups
