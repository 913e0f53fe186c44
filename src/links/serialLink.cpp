#include "links/serialLink.h"

#include "base/tickPath.h"

namespace ups {

namespace {

// A system error is stored as the low 16 bits of its code, read back as a signed 16-bit number.
std::int32_t probeStatusFor(int resetResult, int lastError) {
    if (resetResult >= 0) return 0;
    if (resetResult == kSioSystemError) {
        return static_cast<std::int16_t>(static_cast<std::uint16_t>(lastError & 0xFFFF));
    }
    return SerialLink::kProbeOtherError;
}

}  // namespace

bool SerialLink::probePorts(CfgUps& cfg) {
    bool anyUsable = false;
    for (int port = 0; port < 4; ++port) {
        int result = sio_.SioReset(port, kProbeQueue, kProbeQueue);
        std::int32_t status = probeStatusFor(result, sio_.SioLastError());
        if (result >= 0) sio_.SioDone(port);
        cfg.portStatus[port] = status;
        anyUsable = anyUsable || status == 0;
    }
    return anyUsable;
}

SerialOpenResult SerialLink::openSerialLink(std::int32_t comPort) {
    if (comPort < 0) return {false, TestButtonChange::Disable};
    if (sio_.SioReset(comPort, kLinkQueue, kLinkQueue) < 0)
        return {false, TestButtonChange::Unchanged};
    sio_.SioBaud(comPort, kBaud);
    sio_.SioFlow(comPort, 'N');
    sio_.SioRTS(comPort, 'C');
    port_ = comPort;
    return {true, TestButtonChange::Enable};
}

void SerialLink::assertRts() {
    sio_.SioRTS(port_, 'S');
}

UPS_TICK_PATH SerialLines SerialLink::readLines() {
    // One request a tick. The UPS's cable takes its signals' power from RTS: when RTS is found
    // down it is raised again, and CTS and DCD are read after it.
    const ModemLines lines = sio_.readModemLines(port_);
    if (lines.rts == 0) return raiseRtsAndRead();
    return serialLinesFrom(lines.cts, lines.dcd);
}

UPS_TICK_RARE SerialLines SerialLink::raiseRtsAndRead() {
    sio_.SioRTS(port_, 'S');
    const ModemLines lines = sio_.readModemLines(port_);
    return serialLinesFrom(lines.cts, lines.dcd);
}

bool SerialLink::watchLines(SerialLineWatcher::OnChange onChange) {
    stopWatching();
    if (port_ < 0) return false;
    std::shared_ptr<SerialLineWaiter> waiter = sio_.lineWaiter(port_);
    if (!waiter) return false;
    watcher_ = std::make_unique<SerialLineWatcher>(std::move(waiter), std::move(onChange));
    return true;
}

void SerialLink::stopWatching() {
    watcher_.reset();
}

void SerialLink::setBreak(bool on) {
    sio_.SioBrkSig(port_, on ? 'A' : 'C');
    breakHeld_ = on;
}

void SerialLink::releaseBreak() {
    if (breakHeld_ && port_ >= 0) setBreak(false);
    breakHeld_ = false;
}

void SerialLink::beginBatteryTest() {
    setBreak(true);
    testPolls_ = 0;
}

std::optional<SerialTestEnd> SerialLink::pollBatteryTest() {
    // A port closed meanwhile (a configuration change, the end) released the BREAK already.
    if (!breakHeld_) return SerialTestEnd::Interrupted;
    std::optional<SerialTestEnd> end;
    testPolls_ += 1;
    const int dcd = sio_.SioDCD(port_);
    const int cts = dcd > 0 && testPolls_ == kTestResponsePoll ? sio_.SioCTS(port_) : 0;
    if (dcd < 0 || cts < 0) {
        // A pulled adapter reads as an error, which would pass for a held battery.
        end = SerialTestEnd::Interrupted;
    } else if (dcd == 0) {
        end = SerialTestEnd::BatteryLow;
    } else if (testPolls_ == kTestResponsePoll && cts > 0) {
        end = SerialTestEnd::MainsStayed;
    } else if (testPolls_ >= kTestPolls) {
        end = SerialTestEnd::BatteryHeld;
    }
    if (end) setBreak(false);
    return end;
}

void SerialLink::closeAtEnd() {
    stopWatching();
    releaseBreak();
    sio_.SioRTS(port_, 'C');
    sio_.SioDone(port_);
    port_ = -1;
}

void SerialLink::closeForChange() {
    stopWatching();
    releaseBreak();
    sio_.SioDone(port_);
    port_ = -1;
}

}  // namespace ups
