#pragma once
// Asks the other applications to close the way a user would: one WM_CLOSE to the main window of
// each other process, posted so that a program busy with its own questions never holds us up.
#include <windows.h>

#include <string>
#include <vector>

namespace ups {

struct WindowCloseRequest {
    HWND window = nullptr;
    DWORD processId = 0;
    std::string title;  // in the system's ANSI code page
};

class Win32WindowCloser {
public:
    // Windows of ownProcessId are never asked to close.
    explicit Win32WindowCloser(DWORD ownProcessId = GetCurrentProcessId())
        : ownProcessId_(ownProcessId) {}

    // The requests in the order sent: the first top-level, unowned, visible and titled window of
    // each other process in the system's enumeration order, leaving out the desktop's own.
    std::vector<WindowCloseRequest> closeOtherApplications() const;
    // The windows closeOtherApplications would ask now, sending nothing.
    std::vector<WindowCloseRequest> listOtherApplications() const;

private:
    DWORD ownProcessId_;
};

}  // namespace ups
