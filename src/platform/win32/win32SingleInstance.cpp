#include "platform/win32/win32SingleInstance.h"

#include <sddl.h>

namespace ups {

namespace {

// The installer runs as an elevated administrator, in whatever session: the end event lets the
// Administrators group and the system set it, besides the monitor that made it.
HANDLE createEndEvent(const std::wstring& name) {
    SECURITY_ATTRIBUTES attributes{sizeof attributes, nullptr, FALSE};
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (ConvertStringSecurityDescriptorToSecurityDescriptorW(
            L"D:(A;;GA;;;BA)(A;;GA;;;SY)", SDDL_REVISION_1, &descriptor, nullptr)) {
        attributes.lpSecurityDescriptor = descriptor;
    }
    HANDLE event = CreateEventW(&attributes, FALSE, FALSE, name.c_str());
    if (descriptor != nullptr) LocalFree(descriptor);
    return event;
}

}  // namespace

Win32SingleInstance::~Win32SingleInstance() {
    if (watcher_.joinable()) {
        SetEvent(stopEvent_);
        watcher_.join();
    }
    for (HANDLE handle : {showEvent_, endEvent_, stopEvent_, mutex_}) {
        if (handle != nullptr) CloseHandle(handle);
    }
}

InstanceClaim Win32SingleInstance::claim(std::function<void()> showWindow,
                                         std::function<void()> endRequest) {
    mutex_ = CreateMutexW(nullptr, FALSE, names_.machine.c_str());
    // A mutex made by another user's monitor is refused to this one: it runs all the same.
    const DWORD error = GetLastError();
    if (mutex_ == nullptr && error != ERROR_ACCESS_DENIED) return InstanceClaim::First;
    if (mutex_ == nullptr || error == ERROR_ALREADY_EXISTS) {
        if (mutex_ != nullptr) CloseHandle(mutex_);
        mutex_ = nullptr;
        HANDLE show = OpenEventW(EVENT_MODIFY_STATE, FALSE, names_.show.c_str());
        if (show == nullptr) return InstanceClaim::RunningElsewhere;
        // The window may come to the front: this start is what the user just did.
        AllowSetForegroundWindow(ASFW_ANY);
        SetEvent(show);
        CloseHandle(show);
        return InstanceClaim::ShownRunning;
    }
    showWindow_ = std::move(showWindow);
    endRequest_ = std::move(endRequest);
    showEvent_ = CreateEventW(nullptr, FALSE, FALSE, names_.show.c_str());
    endEvent_ = createEndEvent(names_.end);
    stopEvent_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (showEvent_ != nullptr && endEvent_ != nullptr && stopEvent_ != nullptr) {
        watcher_ = std::thread([this] { watch(); });
    }
    return InstanceClaim::First;
}

void Win32SingleInstance::watch() {
    const HANDLE events[] = {stopEvent_, showEvent_, endEvent_};
    while (true) {
        switch (WaitForMultipleObjects(3, events, FALSE, INFINITE)) {
            case WAIT_OBJECT_0 + 1:
                if (showWindow_) showWindow_();
                break;
            case WAIT_OBJECT_0 + 2:
                if (endRequest_) endRequest_();
                break;
            default:
                return;
        }
    }
}

}  // namespace ups
