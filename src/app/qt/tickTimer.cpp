#include "app/qt/tickTimer.h"

#include <QAbstractEventDispatcher>
#include <QElapsedTimer>
#include <utility>

namespace ups {

namespace {

std::int64_t monotonicMs() {
    static QElapsedTimer clock;
    if (!clock.isValid()) clock.start();
    return clock.elapsed();
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

}  // namespace ups
