#include "platform/posix/systemClock.h"

#include <chrono>
#include <ctime>
#include <thread>

#include "base/oleDate.h"

namespace ups {

double SystemClock::now() const {
    using namespace std::chrono;
    auto nowTp = system_clock::now();
    std::time_t secs = system_clock::to_time_t(nowTp);
    int ms = static_cast<int>(duration_cast<milliseconds>(nowTp.time_since_epoch()).count() % 1000);
    std::tm local{};
    localtime_r(&secs, &local);
    return oleFromLocal(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
                        local.tm_min, local.tm_sec, ms < 0 ? 0 : ms);
}

void SystemSleeper::sleepMs(int ms) {
    if (ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

}  // namespace ups
