#pragma once
// Every service the monitor needs from the operating system, in one place. The process entry asks
// makePlatform() for the backend the build chose for its target system (posix, win32) or the
// null one (in memory and recorded, for headless runs and tests); nothing else names a backend.
#include <functional>
#include <memory>

#include "base/clock.h"
#include "base/systemLog.h"
#include "config/registryStore.h"
#include "links/serialDriver.h"
#include "net/pingsend.h"
#include "platform/sound.h"
#include "supervisor/systemControl.h"

namespace ups {

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
};

// The backend of this build.
std::unique_ptr<Platform> makePlatform();

// Run once by the installer as an administrator, before any user starts the monitor: lets the
// machine's ordinary users read and write the configuration. False when refused; where the
// configuration belongs to the user anyway there is nothing to do.
bool grantConfigAccess();

}  // namespace ups
