#pragma once
// The forced power-off through logind. Whether the caller may power the machine off is polkit's
// decision; an active local session is normally allowed.
#include <QDBusConnection>

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

private:
    QDBusConnection bus_;
};

}  // namespace ups
