#include "app/tickTimer.h"

#include <utility>

namespace ups {

TickTimer::TickTimer(int intervalMs, std::function<void()> onTick) : onTick_(std::move(onTick)) {
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
    ++depth_;
    onTick_();
    --depth_;
    if (depth_ == 0 && !wanted_) timer_.stop();
}

}  // namespace ups
