#pragma once
// The forced power-off through logind. Whether the caller may power the machine off is polkit's
// decision; an active local session is normally allowed.
#include <QDBusConnection>
#include <string>

namespace ups {

class LogindPowerOff {
public:
    // The system bus.
    LogindPowerOff();
    // Any bus that carries a logind, for tests.
    explicit LogindPowerOff(QDBusConnection bus);

    // Calls PowerOff(false): no interactive authentication, the shutdown goes ahead. True when
    // logind accepted the call.
    bool requestPowerOff();
    // Why the last request failed, in Spanish with the bus's own error name; empty after success.
    const std::string& failure() const { return failure_; }

private:
    QDBusConnection bus_;
    std::string failure_;
};

}  // namespace ups
