#include "supervisor/tickPacer.h"

#include <algorithm>
#include <utility>

#include "base/tickPath.h"

namespace ups {

TickPacer::TickPacer(SystemTimer& timer, std::function<void()> onTick,
                     std::function<std::int64_t()> nowMs, int longTickMs)
    : timer_(timer),
      onTick_(std::move(onTick)),
      nowMs_(std::move(nowMs)),
      longTickMs_(longTickMs) {}

void TickPacer::arm() {
    ++registration_;
    timer_.arm();
}

void TickPacer::start() {
    wanted_ = true;
    if (!timer_.armed()) arm();
}

void TickPacer::stop() {
    wanted_ = false;
    if (!insideTick()) timer_.disarm();
}

UPS_TICK_PATH void TickPacer::fire() {
    const std::int64_t began = nowMs_();
    handled_.push_back(registration_);
    onTick_();
    handled_.pop_back();
    if (insideTick()) return;
    if (!wanted_) {
        timer_.disarm();
    } else if (!timer_.armed() || nowMs_() - began >= longTickMs_) {
        arm();  // the next interval counts from now
    }
}

UPS_TICK_PATH void TickPacer::loopAboutToWait() {
    if (!insideTick() || !wanted_) return;
    const bool beingHandled =
        std::find(handled_.begin(), handled_.end(), registration_) != handled_.end();
    if (beingHandled || !timer_.armed()) arm();
}

}  // namespace ups
