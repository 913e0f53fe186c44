#include "platform/null/nullPlatform.h"

#include <chrono>
#include <thread>

namespace ups {

namespace {

// Days from 1899-12-30, the OLE date's day zero, to 1970-01-01.
constexpr double kOleUnixEpoch = 25569.0;

}  // namespace

ScriptedSerialDriver::Lines* ScriptedSerialDriver::find(int port) {
    if (port < 0 || port >= static_cast<int>(ports.size())) return nullptr;
    return &ports[static_cast<std::size_t>(port)];
}

int ScriptedSerialDriver::open(int port, int, int) {
    Lines* lines = find(port);
    if (lines == nullptr) return kSioBadPort;
    lines->open = true;
    return 0;
}

void ScriptedSerialDriver::close(int port) {
    if (Lines* lines = find(port)) lines->open = false;
}

void ScriptedSerialDriver::setRts(int port, bool asserted) {
    if (Lines* lines = find(port)) lines->rts = asserted;
}

void ScriptedSerialDriver::setBreak(int port, bool asserted) {
    if (Lines* lines = find(port)) lines->breakOn = asserted;
}

int ScriptedSerialDriver::readRts(int port) {
    const Lines* lines = find(port);
    return lines && lines->open ? lines->rts : kSioBadPort;
}

int ScriptedSerialDriver::readCts(int port) {
    const Lines* lines = find(port);
    return lines && lines->open ? lines->cts : kSioBadPort;
}

int ScriptedSerialDriver::readDcd(int port) {
    const Lines* lines = find(port);
    return lines && lines->open ? lines->dcd : kSioBadPort;
}

double UtcClock::now() const {
    using namespace std::chrono;
    const double ms = duration<double, std::milli>(system_clock::now().time_since_epoch()).count();
    return kOleUnixEpoch + ms / 86'400'000.0;
}

void ThreadSleeper::sleepMs(int ms) {
    if (ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

}  // namespace ups
