#include "platform/null/nullPlatform.h"

#include <chrono>
#include <thread>

namespace ups {

namespace {

// Days from 1899-12-30, the OLE date's day zero, to 1970-01-01.
constexpr double kOleUnixEpoch = 25569.0;

}  // namespace

double UtcClock::now() const {
    using namespace std::chrono;
    const double ms = duration<double, std::milli>(system_clock::now().time_since_epoch()).count();
    return kOleUnixEpoch + ms / 86'400'000.0;
}

void ThreadSleeper::sleepMs(int ms) {
    if (ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

}  // namespace ups
