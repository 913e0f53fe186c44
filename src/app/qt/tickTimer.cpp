#include "app/qt/tickTimer.h"

#include <QAbstractEventDispatcher>
#include <chrono>
#include <utility>

#include "base/tickPath.h"

namespace ups {

namespace {

UPS_TICK_PATH std::int64_t monotonicMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

}  // namespace

TickTimer::TickTimer(int intervalMs, std::function<void()> onTick, int longTickMs)
    : pacer_(*this, std::move(onTick), monotonicMs, longTickMs) {
    timer_.setObjectName("Timer");
    timer_.setInterval(intervalMs);
    QObject::connect(&timer_, &QTimer::timeout, [this] { pacer_.fire(); });
    if (QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance()) {
        QObject::connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, &timer_,
                         [this] { pacer_.loopAboutToWait(); });
    }
}

UPS_TICK_PATH bool TickTimer::armed() const {
    return timer_.isActive();
}

}  // namespace ups
