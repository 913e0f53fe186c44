#include "platform/win32/win32WindowCloser.h"

#include <algorithm>
#include <cstring>

namespace ups {

namespace {

struct Pass {
    DWORD ownProcessId;
    bool send;
    std::vector<WindowCloseRequest> sent;
};

bool alreadyAsked(const Pass& pass, DWORD processId) {
    return std::any_of(
        pass.sent.begin(), pass.sent.end(),
        [processId](const WindowCloseRequest& r) { return r.processId == processId; });
}

BOOL CALLBACK visitWindow(HWND window, LPARAM context) {
    auto& pass = *reinterpret_cast<Pass*>(context);
    char title[70] = {};
    char className[95] = {};
    GetWindowTextA(window, title, sizeof title);
    GetClassNameA(window, className, sizeof className);
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);

    // Owned windows are dialogs and tool windows; their owner is the one to ask.
    const bool owned = GetParent(window) != nullptr || GetWindow(window, GW_OWNER) != nullptr;
    if (processId == pass.ownProcessId || owned || alreadyAsked(pass, processId)) return TRUE;
    if (title[0] == '\0' || !IsWindowVisible(window)) return TRUE;
    // The program manager is the desktop itself.
    if (std::strcmp(className, "Progman") == 0) return TRUE;

    pass.sent.push_back({window, processId, title});
    // No completion routine: the message is queued for the target and we go on at once.
    if (pass.send) SendMessageCallbackA(window, WM_CLOSE, 0, 0, nullptr, 0);
    return TRUE;
}

}  // namespace

std::vector<WindowCloseRequest> Win32WindowCloser::closeOtherApplications() const {
    Pass pass{ownProcessId_, true, {}};
    EnumWindows(visitWindow, reinterpret_cast<LPARAM>(&pass));
    return std::move(pass.sent);
}

std::vector<WindowCloseRequest> Win32WindowCloser::listOtherApplications() const {
    Pass pass{ownProcessId_, false, {}};
    EnumWindows(visitWindow, reinterpret_cast<LPARAM>(&pass));
    return std::move(pass.sent);
}

}  // namespace ups
