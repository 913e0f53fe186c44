#include "app/tickTimer.h"

#include <chrono>
#include <utility>

namespace ups {

TickTimer::TickTimer(int intervalMs, std::function<void()> onTick, int longTickMs)
    : onTick_(std::move(onTick)), longTickMs_(longTickMs) {
    timer_.setObjectName("Timer");
    timer_.setInterval(intervalMs);
    QObject::connect(&timer_, &QTimer::timeout, [this] { fire(); });
}

void TickTimer::start() {
    wanted_ = true;
    if (!timer_.isActive()) timer_.start();
}

void TickTimer::stop() {
    wanted_ = false;
    if (depth_ == 0) timer_.stop();
}

void TickTimer::fire() {
    using Clock = std::chrono::steady_clock;
    const Clock::time_point began = Clock::now();
    ++depth_;
    onTick_();
    --depth_;
    if (depth_ > 0) return;
    if (!wanted_) {
        timer_.stop();
    } else if (Clock::now() - began >= std::chrono::milliseconds(longTickMs_)) {
        timer_.start();  // the next interval counts from now
    }
}

}  // namespace ups
