#include "platform/win32/win32Clock.h"

#include <windows.h>

#include "base/oleDate.h"

namespace ups {

double Win32Clock::now() const {
    SYSTEMTIME local{};
    GetLocalTime(&local);
    return oleFromLocal(local.wYear, local.wMonth, local.wDay, local.wHour, local.wMinute,
                        local.wSecond, local.wMilliseconds);
}

void Win32Sleeper::sleepMs(int ms) {
    if (ms > 0) Sleep(static_cast<DWORD>(ms));
}

}  // namespace ups
