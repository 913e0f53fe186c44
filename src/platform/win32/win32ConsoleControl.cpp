#include "platform/win32/win32ConsoleControl.h"

#include <windows.h>

#include <utility>

namespace ups {

namespace {

// Set before the handler is registered, and only read by it afterwards.
std::function<void()> gRequest;
// Manual reset, set once the monitor has ended. Never closed: a handler may still be waiting on
// it while the process goes.
HANDLE gEnded = nullptr;
// The system ends the process on its own a few seconds after these events anyway; this only
// bounds a wait that nothing would end.
constexpr DWORD kEndWaitMs = 20000;

BOOL WINAPI onConsoleControl(DWORD event) {
    switch (event) {
        case CTRL_C_EVENT:
        case CTRL_BREAK_EVENT:
            gRequest();
            return TRUE;
        case CTRL_CLOSE_EVENT:
        case CTRL_LOGOFF_EVENT:
        case CTRL_SHUTDOWN_EVENT:
            gRequest();
            // The process is ended as soon as this returns: hold it until the monitor has
            // written its end and flushed its history.
            WaitForSingleObject(gEnded, kEndWaitMs);
            return TRUE;
        default:
            return FALSE;
    }
}

}  // namespace

void Win32ConsoleControl::watch(std::function<void()> request) {
    if (watching_ || gEnded) return;
    gEnded = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (!gEnded) return;
    gRequest = std::move(request);
    watching_ = SetConsoleCtrlHandler(onConsoleControl, TRUE) != 0;
}

Win32ConsoleControl::~Win32ConsoleControl() {
    if (!watching_) return;
    // No new request reaches a monitor that is gone; a handler already waiting returns now.
    SetConsoleCtrlHandler(onConsoleControl, FALSE);
    SetEvent(gEnded);
}

}  // namespace ups
