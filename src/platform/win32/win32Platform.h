#pragma once
// Windows: the registry, COM ports through the communications API, WM_CLOSE and ExitWindowsEx,
// the system's warning sound, the event log, Winsock 2, the ICMP helper and the console's control
// events.
#include "platform/common/portNameStore.h"
#include "platform/platform.h"
#include "platform/win32/win32Clock.h"
#include "platform/win32/win32ConsoleControl.h"
#include "platform/win32/win32EventLog.h"
#include "platform/win32/win32IcmpEcho.h"
#include "platform/win32/win32Registry.h"
#include "platform/win32/win32SerialDriver.h"
#include "platform/win32/win32SingleInstance.h"
#include "platform/win32/win32Sound.h"
#include "platform/win32/win32SystemControl.h"

namespace ups {

class Win32Platform : public Platform {
public:
    // Takes over the settings an earlier installation left elsewhere (win32EarlierConfig.h)
    // before anything reads the configuration.
    Win32Platform();
    ~Win32Platform() override;

    SerialDriver& serial() override { return serial_; }
    // The registry with the serial port's name kept beside the records (portNameStore.h).
    RegistryStore& store() override { return portStore_; }
    SystemControl& systemControl() override { return system_; }
    Clock& clock() override { return clock_; }
    Sleeper& sleeper() override { return sleeper_; }
    WarningSound& sound() override { return sound_; }
    SystemLog& systemLog() override { return log_; }
    IcmpEchoTransport& icmpEcho() override { return icmpEcho_; }
    // Winsock 2.2 or nothing: the SNMP calls and the echo rely on its behaviour.
    bool startSockets() override;
    void stopSockets() override;
    InstanceClaim claimSingleInstance(std::function<void()> showWindow,
                                      std::function<void()> endRequest) override {
        return instance_.claim(std::move(showWindow), std::move(endRequest));
    }
    // Names the Windows "SNMP Trap" service when it runs: it holds UDP 162 whenever it does.
    std::string trapPortProblem(const std::string& address, std::uint16_t port) override;
    std::string historyPath() override;
    void onTerminationRequest(std::function<void()> request) override {
        console_.watch(std::move(request));
    }

private:
    Win32SerialDriver serial_;
    Win32Registry store_;
    PortNameStore portStore_{store_, serial_};
    Win32SystemControl system_;
    Win32Clock clock_;
    Win32Sleeper sleeper_;
    Win32Sound sound_;
    Win32EventLog log_;
    Win32IcmpEcho icmpEcho_;
    Win32ConsoleControl console_;
    Win32SingleInstance instance_;
    bool socketsStarted_ = false;
};

}  // namespace ups
