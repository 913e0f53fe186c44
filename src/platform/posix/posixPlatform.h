#pragma once
// The Linux desktop: termios serial ports, the configuration in a .reg file under the user's
// configuration folder, X11 close requests and logind's power-off, the desktop's sound, syslog, and
// the signals that ask a program to end.
#include <string>

#include "net/sockets.h"
#include "platform/common/portNameStore.h"
#include "platform/platform.h"
#include "platform/posix/desktopSound.h"
#include "platform/posix/icmpEcho.h"
#include "platform/posix/posixSystemControl.h"
#include "platform/posix/regFileStore.h"
#include "platform/posix/singleInstance.h"
#include "platform/posix/syslogSystemLog.h"
#include "platform/posix/systemClock.h"
#include "platform/posix/terminationSignals.h"
#include "platform/posix/termiosSerialDriver.h"

namespace ups {

class PosixPlatform : public Platform {
public:
    explicit PosixPlatform(std::string storePath);

    SerialDriver& serial() override { return serial_; }
    // The registry with the serial port's name kept beside the records (portNameStore.h).
    RegistryStore& store() override { return portStore_; }
    SystemControl& systemControl() override { return system_; }
    Clock& clock() override { return clock_; }
    Sleeper& sleeper() override { return sleeper_; }
    WarningSound& sound() override { return sound_; }
    SystemLog& systemLog() override { return log_; }
    IcmpEchoTransport& icmpEcho() override { return icmpEcho_; }
    bool startSockets() override { return SocketInterfaceStartup(); }
    void stopSockets() override { SocketInterfaceCleanup(); }
    void onTerminationRequest(std::function<void()> request) override {
        termination_.watch(std::move(request));
    }
    InstanceClaim claimSingleInstance(std::function<void()> showWindow,
                                      std::function<void()> endRequest) override;
    std::string trapPortProblem(const std::string& address, std::uint16_t port) override;
    std::string historyPath() override;

private:
    TermiosSerialDriver serial_;
    RegFileStore store_;
    PortNameStore portStore_{store_, serial_};
    PosixSystemControl system_;
    SystemClock clock_;
    SystemSleeper sleeper_;
    DesktopSound sound_;
    SyslogSystemLog log_;
    IcmpEcho icmpEcho_;
    TerminationSignals termination_;
    PosixSingleInstance instance_;
};

}  // namespace ups
