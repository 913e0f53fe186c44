#pragma once
// The console's control events: Ctrl+C and Ctrl+Break, the console window closed, the user
// logging off, the system shutting down. Only a process with a console hears them (the windowed
// monitor started from one); without one, the session's end comes to the windows as messages,
// which Qt turns into its own signals.
#include <functional>

namespace ups {

class Win32ConsoleControl {
public:
    Win32ConsoleControl() = default;
    // The monitor has ended: a handler holding the process open for that lets it go.
    ~Win32ConsoleControl();
    Win32ConsoleControl(const Win32ConsoleControl&) = delete;
    Win32ConsoleControl& operator=(const Win32ConsoleControl&) = delete;

    // Once per process; `request` runs on the thread the system creates for the event.
    void watch(std::function<void()> request);

private:
    bool watching_ = false;
};

}  // namespace ups
