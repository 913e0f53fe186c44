#include "platform/posix/systemClock.h"

#include <ctime>
#include <thread>

#include "base/oleDate.h"
#include "base/tickPath.h"

namespace ups {

namespace {

constexpr std::int64_t kSecondsPerDay = 86'400;
// The kept word: the UTC minute in the high bits, the offset in seconds plus a bias in the low
// 24. A kept offset's low bits are never all zero, so the zero word keeps nothing.
constexpr int kOffsetBits = 24;
constexpr std::uint64_t kOffsetMask = (std::uint64_t{1} << kOffsetBits) - 1;
constexpr std::int64_t kOffsetBias = std::int64_t{1} << (kOffsetBits - 1);

std::int64_t floorDiv(std::int64_t a, std::int64_t b) {
    return a / b - (a % b != 0 && (a < 0) != (b < 0));
}

// The zone's offset from UTC at `secs`, through the C library: the local wall time it gives,
// counted as if it were UTC, less the instant itself.
UPS_TICK_RARE std::int64_t zoneOffsetAt(std::time_t secs) {
    std::tm local{};
    if (localtime_r(&secs, &local) == nullptr) return 0;
    const double wallDays =
        oleFromLocal(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday) - kOleUnixEpoch;
    const std::int64_t wall = static_cast<std::int64_t>(wallDays) * kSecondsPerDay +
                              local.tm_hour * 3600 + local.tm_min * 60 + local.tm_sec;
    return wall - static_cast<std::int64_t>(secs);
}

}  // namespace

UPS_TICK_PATH double SystemClock::now() const {
    // The C library's clock, which the event loop has just read too, rather than the C++
    // library's wrapper around it: one page fewer for a tick to touch.
    timespec wall{};
    clock_gettime(CLOCK_REALTIME, &wall);
    using namespace std::chrono;
    return at(system_clock::time_point(
        duration_cast<system_clock::duration>(seconds(wall.tv_sec) + nanoseconds(wall.tv_nsec))));
}

UPS_TICK_PATH double SystemClock::at(std::chrono::system_clock::time_point t) const {
    using namespace std::chrono;
    const std::int64_t msSinceEpoch = duration_cast<milliseconds>(t.time_since_epoch()).count();
    const std::int64_t secs = floorDiv(msSinceEpoch, 1000);
    const std::int64_t minute = floorDiv(secs, 60);

    std::uint64_t kept = kept_.load(std::memory_order_relaxed);
    std::int64_t offset;
    if ((kept & kOffsetMask) != 0 && static_cast<std::int64_t>(kept >> kOffsetBits) == minute) {
        offset = static_cast<std::int64_t>(kept & kOffsetMask) - kOffsetBias;
    } else {
        offset = zoneOffsetAt(static_cast<std::time_t>(minute * 60));
        if (minute >= 0 && offset > -kOffsetBias && offset < kOffsetBias) {
            kept = (static_cast<std::uint64_t>(minute) << kOffsetBits) |
                   static_cast<std::uint64_t>(offset + kOffsetBias);
            kept_.store(kept, std::memory_order_relaxed);
        }
    }

    const std::int64_t localMs = msSinceEpoch + offset * 1000;
    const std::int64_t days = floorDiv(localMs, kSecondsPerDay * 1000);
    const std::int64_t msOfDay = localMs - days * kSecondsPerDay * 1000;
    constexpr auto kOleUnixEpochDays = static_cast<std::int64_t>(kOleUnixEpoch);
    static_assert(kOleUnixEpochDays == kOleUnixEpoch);
    return static_cast<double>(days + kOleUnixEpochDays) + static_cast<double>(msOfDay) / msPerDay_;
}

void SystemSleeper::sleepMs(int ms) {
    if (ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

}  // namespace ups
