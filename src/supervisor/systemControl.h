#pragma once
// The two things the shutdown sequence asks of the operating system. Both are fire-and-forget:
// the monitor neither waits for the other programs nor checks whether the power-off was accepted.

namespace ups {

class SystemControl {
public:
    virtual ~SystemControl() = default;
    // Asks the main window of every other user application to close, without waiting.
    virtual void closeOtherApplications() = 0;
    // Obtains the shutdown right where the system needs one and requests a forced power-off.
    virtual void requestPowerOff() = 0;
};

}  // namespace ups
