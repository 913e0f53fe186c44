#pragma once
// The rules of the supervisor's once-a-second timer, apart from the system timer that carries
// them out, so that they can be driven in virtual time.
//
// Every tick stops the timer while it runs and starts it again, so ticks never overlap. Done on
// the system timer itself, that would unregister and register it every second of an idle
// monitor; here a stop made inside a tick only holds the timer: a start inside the same tick
// releases it again, and a tick that ends held disarms it for real. Outside a tick, start and
// stop act at once.
//
// A box or dialog opened inside a tick runs an event loop of its own, and the system timer is
// not delivered again while its previous timeout is still being handled. So when such a loop is
// about to wait and ticks are wanted, the timer is armed anew: the fresh registration ticks
// inside the box, and supervision goes on while the box waits for the user.
//
// A tick that runs long (a blocking read, a box) is followed by a whole interval counted from
// its end, as after a stop and a start; a short one keeps the timer's rhythm.
#include <cstdint>
#include <functional>
#include <vector>

namespace ups {

// A repeating system timer. arm() makes a new registration whose first timeout comes a whole
// interval later, replacing any earlier one.
class SystemTimer {
public:
    virtual ~SystemTimer() = default;
    virtual void arm() = 0;
    virtual void disarm() = 0;
    virtual bool armed() const = 0;
};

class TickPacer {
public:
    // `nowMs` is a monotonic clock in milliseconds; a tick of `longTickMs` or more is long.
    TickPacer(SystemTimer& timer, std::function<void()> onTick, std::function<std::int64_t()> nowMs,
              int longTickMs);
    TickPacer(const TickPacer&) = delete;
    TickPacer& operator=(const TickPacer&) = delete;

    void start();
    void stop();
    // Whether ticks are wanted: false while a tick holds the timer.
    bool isActive() const { return wanted_; }

    // A timeout of the system timer's current registration.
    void fire();
    // The event loop is about to wait for events. Inside a tick that is a nested loop.
    void loopAboutToWait();

    bool insideTick() const { return depth_ != 0; }

private:
    void arm();
    void growHandled();
    // A loop run inside a tick (a box, a dialog) is about to wait: the timer is armed again
    // when it is the one being handled or is not armed.
    void keepArmedInsideTick();

    SystemTimer& timer_;
    std::function<void()> onTick_;
    std::function<std::int64_t()> nowMs_;
    const int longTickMs_;
    bool wanted_ = false;
    std::uint64_t registration_ = 0;
    // The registrations whose timeouts are being handled, outermost first: the first depth_ of
    // handled_, which only grows, so that an idle tick allocates nothing and its code holds no
    // vector's growth.
    std::vector<std::uint64_t> handled_;
    std::size_t depth_ = 0;
};

}  // namespace ups
