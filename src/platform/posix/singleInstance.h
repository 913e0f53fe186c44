#pragma once
// One monitor per machine on Linux: a lock on a file every user can open (the COM ports and the
// trap port are the machine's), and a local socket per desktop session through which a later
// start in the same session asks the running monitor to show its window.
#include <functional>
#include <string>
#include <thread>

#include "platform/platform.h"

namespace ups {

class PosixSingleInstance {
public:
    // `lockPath`: the machine's lock file. `session`: names the desktop session (user and
    // display), and so the socket a later start of the same session finds.
    PosixSingleInstance(std::string lockPath, std::string session);
    ~PosixSingleInstance();
    PosixSingleInstance(const PosixSingleInstance&) = delete;
    PosixSingleInstance& operator=(const PosixSingleInstance&) = delete;

    // `showWindow` runs on the listening thread. Nothing on Linux asks the monitor to end
    // through here (the package manager replaces a running program's file), so there is no end
    // request.
    InstanceClaim claim(std::function<void()> showWindow);

    // The session of this process: the user and the display it draws on.
    static std::string currentSession();

private:
    bool askRunningToShow() const;
    void listen();

    const std::string lockPath_;
    const std::string socketName_;
    int lockFd_ = -1;
    int listenFd_ = -1;
    int stopPipe_[2] = {-1, -1};
    std::function<void()> showWindow_;
    std::thread listener_;
};

}  // namespace ups
