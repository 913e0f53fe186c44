#pragma once
// The shutdown sequence's system control on Windows: close requests to the other applications,
// then the shutdown privilege and a forced power-off.
#include "platform/win32/win32WindowCloser.h"
#include "supervisor/systemControl.h"

namespace ups {

// Enables SeShutdownPrivilege in this process's token, as the NT family requires before a
// shutdown. False when any step is refused.
bool enableShutdownPrivilege();

class Win32SystemControl : public SystemControl {
public:
    std::vector<std::string> closeOtherApplications() override;
    std::vector<std::string> listOtherApplications() override;
    // Shut down + force + power off; the monitor closes itself whatever the system answers, and
    // the answer goes only to the history.
    std::string requestPowerOff() override;

private:
    Win32WindowCloser closer_;
};

}  // namespace ups
