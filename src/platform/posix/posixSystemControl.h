#pragma once
// The shutdown sequence's system control on Linux: X11 close requests and logind's power-off.
#include "platform/posix/logindPowerOff.h"
#include "platform/posix/x11WindowCloser.h"
#include "supervisor/systemControl.h"

namespace ups {

class PosixSystemControl : public SystemControl {
public:
    // The session's X display and the system bus.
    PosixSystemControl();
    PosixSystemControl(X11WindowCloser closer, LogindPowerOff powerOff);

    std::vector<std::string> closeOtherApplications() override;
    std::vector<std::string> listOtherApplications() override;
    std::string requestPowerOff() override;

private:
    X11WindowCloser closer_;
    LogindPowerOff powerOff_;
};

}  // namespace ups
