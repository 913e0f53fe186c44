#pragma once
// Every service the monitor needs from the operating system, in one place. The process entry asks
// makePlatform() for the backend the build chose for its target system (posix, win32) or the
// null one (in memory and recorded, for headless runs and tests); nothing else names a backend.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "base/clock.h"
#include "base/systemLog.h"
#include "config/registryStore.h"
#include "links/serialDriver.h"
#include "net/pingsend.h"
#include "platform/sound.h"
#include "supervisor/systemControl.h"

namespace ups {

// What a start learns when it claims the one monitor of the machine.
enum class InstanceClaim {
    First,             // no other monitor runs: this one is it
    ShownRunning,      // one runs in this session and was asked to bring its window forward
    RunningElsewhere,  // one runs in another session of the machine
};

class Platform {
public:
    virtual ~Platform() = default;

    // COM1..COM4 and their modem-status lines.
    virtual SerialDriver& serial() = 0;
    // The registry key of the configuration; a save replaces each value whole.
    virtual RegistryStore& store() = 0;
    // Closing the other applications and powering the machine off.
    virtual SystemControl& systemControl() = 0;
    // Local date and time, and blocking waits.
    virtual Clock& clock() = 0;
    virtual Sleeper& sleeper() = 0;
    // The system's warning sound, played with every notice.
    virtual WarningSound& sound() = 0;
    // The system's log, where the history's events also go.
    virtual SystemLog& systemLog() = 0;
    // ICMP echo, with which the agent is looked for before it is read.
    virtual IcmpEchoTransport& icmpEcho() = 0;
    // The socket library, started once at process entry before any socket is made; false when
    // it cannot be, and the monitor cannot run. Stopped once at the end.
    virtual bool startSockets() = 0;
    virtual void stopSockets() = 0;
    // The system asks the monitor to end: SIGTERM, SIGINT or SIGHUP on Linux; the console's
    // Ctrl+C, close, logoff or shutdown event on Windows when the process has a console (a
    // windowed program hears of the session's end from Qt). `request` runs on the GUI thread or
    // on a thread of the backend's, never inside a signal handler, so the receiver hands it to
    // its event loop; several requests may come. Set once, from the GUI thread, before the event
    // loop runs. The system waits only a few seconds for the end.
    virtual void onTerminationRequest(std::function<void()> request) = 0;
    // One monitor per machine: a second one could not open the COM port the first holds, nor
    // bind the trap port. Claimed once, at process entry; the claim lasts as long as the
    // platform. The first start hears through `showWindow` of each later start in its session,
    // and through `endRequest` of the installer's request to end (both on a thread of the
    // backend's). The null backend claims nothing and is always first.
    virtual InstanceClaim claimSingleInstance(std::function<void()> showWindow,
                                              std::function<void()> endRequest) {
        (void)showWindow;
        (void)endRequest;
        return InstanceClaim::First;
    }
    // Why the trap port cannot be bound now, in the user's words (another program holds it,
    // and which, or the program may not use it); empty when it can be. Asked once the trap
    // listener has reported a failed bind.
    virtual std::string trapPortProblem(const std::string& address, std::uint16_t port) {
        (void)address;
        (void)port;
        return {};
    }
    // The event history's file: historial.db in the program's folder under the user's data
    // folder (~/.local/share/korvan-ups on Linux, %LOCALAPPDATA%\korvan-ups on Windows), the
    // folder created when missing. Empty when there is no such folder: the monitor then runs
    // without a history.
    virtual std::string historyPath() { return {}; }
};

// The backend of this build.
std::unique_ptr<Platform> makePlatform();

// Run once by the installer as an administrator, before any user starts the monitor: lets the
// machine's ordinary users read and write the configuration. False when refused; where the
// configuration belongs to the user anyway there is nothing to do.
bool grantConfigAccess();

}  // namespace ups
