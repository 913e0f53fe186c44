#pragma once
// One monitor per machine on Windows: a mutex in the global namespace, which every session
// sees; an event in the session's own namespace, with which a later start in the same session
// asks the running monitor to show its window; and a global event with which the installer asks
// it to end (korvan-ups.nsi sets it by this name).
#include <windows.h>

#include <functional>
#include <string>
#include <thread>

#include "platform/platform.h"

namespace ups {

class Win32SingleInstance {
public:
    struct Names {
        std::wstring machine = L"Global\\KorvanUps.Monitor";
        std::wstring show = L"Local\\KorvanUps.Mostrar";
        std::wstring end = L"Global\\KorvanUps.Finalizar";
    };

    Win32SingleInstance() : Win32SingleInstance(Names{}) {}
    explicit Win32SingleInstance(Names names) : names_(std::move(names)) {}
    ~Win32SingleInstance();
    Win32SingleInstance(const Win32SingleInstance&) = delete;
    Win32SingleInstance& operator=(const Win32SingleInstance&) = delete;

    // Both requests run on the watching thread.
    InstanceClaim claim(std::function<void()> showWindow, std::function<void()> endRequest);

private:
    void watch();

    const Names names_;
    HANDLE mutex_ = nullptr;
    HANDLE showEvent_ = nullptr;
    HANDLE endEvent_ = nullptr;
    HANDLE stopEvent_ = nullptr;
    std::function<void()> showWindow_;
    std::function<void()> endRequest_;
    std::thread watcher_;
};

}  // namespace ups
