#include "supervisor/tickPacer.h"

#include <algorithm>
#include <utility>

#include "base/tickPath.h"

namespace ups {

TickPacer::TickPacer(SystemTimer& timer, std::function<void()> onTick,
                     std::function<std::int64_t()> nowMs, int longTickMs)
    : timer_(timer), onTick_(std::move(onTick)), nowMs_(std::move(nowMs)), longTickMs_(longTickMs) {
    // Room for a tick and one inside it, made with the pacer rather than by its first tick.
    growHandled();
}

UPS_TICK_RARE void TickPacer::growHandled() {
    handled_.resize(handled_.size() * 2 + 2);
}

UPS_TICK_RARE void TickPacer::arm() {
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
    if (depth_ == handled_.size()) growHandled();
    handled_[depth_++] = registration_;
    onTick_();
    --depth_;
    if (insideTick()) return;
    if (!wanted_) {
        timer_.disarm();
    } else if (!timer_.armed() || nowMs_() - began >= longTickMs_) {
        arm();  // the next interval counts from now
    }
}

UPS_TICK_PATH void TickPacer::loopAboutToWait() {
    if (insideTick() && wanted_) keepArmedInsideTick();
}

UPS_TICK_RARE void TickPacer::keepArmedInsideTick() {
    const bool beingHandled = std::find(handled_.begin(), handled_.begin() + depth_,
                                        registration_) != handled_.begin() + depth_;
    if (beingHandled || !timer_.armed()) arm();
}

}  // namespace ups
