#pragma once

#include <QTimer>
#include <functional>

#include "supervisor/tickPacer.h"

namespace ups {

// The window's once-a-second timer: a QTimer paced by TickPacer (how stops and starts inside a
// tick, long ticks and the loops of boxes opened by a tick are handled is told there). The
// event dispatcher's "about to block" tells the pacer when a loop is about to wait.
class TickTimer : private SystemTimer {
public:
    TickTimer(int intervalMs, std::function<void()> onTick, int longTickMs = 100);
    TickTimer(const TickTimer&) = delete;
    TickTimer& operator=(const TickTimer&) = delete;

    void start() { pacer_.start(); }
    void stop() { pacer_.stop(); }
    // Whether ticks are wanted: false while a tick holds the timer.
    bool isActive() const { return pacer_.isActive(); }
    int interval() const { return timer_.interval(); }
    // The system timer behind it, for checks that it is not re-registered.
    int timerId() const { return timer_.timerId(); }
    // Its timeout signal, for observers that connect after the tick and so run right after it.
    const QTimer& signalSource() const { return timer_; }

private:
    void arm() override { timer_.start(); }
    void disarm() override { timer_.stop(); }
    bool armed() const override;

    QTimer timer_;
    TickPacer pacer_;
};

}  // namespace ups
