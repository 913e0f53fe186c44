#pragma once
// Windows: the registry, COM ports through the communications API, WM_CLOSE and ExitWindowsEx,
// the system's warning sound, the event log, Winsock 2, the ICMP helper and the console's control
// events.
#include "platform/platform.h"
#include "platform/win32/win32Clock.h"
#include "platform/win32/win32ConsoleControl.h"
#include "platform/win32/win32EventLog.h"
#include "platform/win32/win32IcmpEcho.h"
#include "platform/win32/win32Registry.h"
#include "platform/win32/win32SerialDriver.h"
#include "platform/win32/win32Sound.h"
#include "platform/win32/win32SystemControl.h"

namespace ups {

class Win32Platform : public Platform {
public:
    ~Win32Platform() override;

    SerialDriver& serial() override { return serial_; }
    RegistryStore& store() override { return store_; }
    SystemControl& systemControl() override { return system_; }
    Clock& clock() override { return clock_; }
    Sleeper& sleeper() override { return sleeper_; }
    WarningSound& sound() override { return sound_; }
    SystemLog& systemLog() override { return log_; }
    IcmpEchoTransport& icmpEcho() override { return icmpEcho_; }
    // Winsock 2.2 or nothing: the SNMP calls and the echo rely on its behaviour.
    bool startSockets() override;
    void stopSockets() override;
    void onTerminationRequest(std::function<void()> request) override {
        console_.watch(std::move(request));
    }

private:
    Win32SerialDriver serial_;
    Win32Registry store_;
    Win32SystemControl system_;
    Win32Clock clock_;
    Win32Sleeper sleeper_;
    Win32Sound sound_;
    Win32EventLog log_;
    Win32IcmpEcho icmpEcho_;
    Win32ConsoleControl console_;
    bool socketsStarted_ = false;
};

}  // namespace ups
