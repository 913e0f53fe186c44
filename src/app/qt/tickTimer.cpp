#include "app/qt/tickTimer.h"

#include <QAbstractEventDispatcher>
#include <QDeadlineTimer>
#include <utility>

#include "base/tickPath.h"

namespace ups {

namespace {

// Qt's monotonic clock, the one its timers have just read: the C++ library's clock would be one
// more page for an idle tick to touch.
UPS_TICK_PATH std::int64_t monotonicMs() {
    return QDeadlineTimer::current(Qt::PreciseTimer).deadline();
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
