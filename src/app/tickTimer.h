#pragma once

#include <QTimer>

#include <functional>

namespace ups {

// The window's once-a-second timer. Every tick stops it while it runs and starts it again at its
// end, so that a message box the tick opens never nests another tick. Done on the QTimer itself,
// that would unregister and register a system timer every second of an idle monitor; here a stop
// made inside a tick only holds the timer: a start inside the same tick releases it again, and a
// tick that ends held stops it for real. Outside a tick, start and stop act at once. A held timer
// never nests a tick: Qt does not deliver a timer's timeout while its previous one is handled.
// A tick that runs long (a blocking read, a message box) is followed by a whole interval counted
// from its end, as after a stop and a start, instead of by a tick at once; a short one keeps the
// timer's rhythm.
class TickTimer {
public:
    TickTimer(int intervalMs, std::function<void()> onTick, int longTickMs = 100);
    TickTimer(const TickTimer&) = delete;
    TickTimer& operator=(const TickTimer&) = delete;

    void start();
    void stop();
    // Whether ticks are wanted: false while a tick holds the timer.
    bool isActive() const { return wanted_; }
    int interval() const { return timer_.interval(); }
    // The system timer behind it, for checks that it is not re-registered.
    int timerId() const { return timer_.timerId(); }
    // Its timeout signal, for observers that connect after the tick and so run right after it.
    const QTimer& signalSource() const { return timer_; }

private:
    void fire();

    QTimer timer_;
    std::function<void()> onTick_;
    const int longTickMs_;
    bool wanted_ = false;
    int depth_ = 0;
};

}  // namespace ups
