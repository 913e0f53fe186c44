#include "tray/qtTrayShell.h"

#include <QCursor>

namespace ups {

QtTrayShell::QtTrayShell(QObject* parent) : TrayShell(parent) {
    connect(&icon_, &QSystemTrayIcon::activated, this, &QtTrayShell::activated);
}

bool QtTrayShell::hostAvailable() const {
    return QSystemTrayIcon::isSystemTrayAvailable();
}

void QtTrayShell::apply(const TrayIconData& data) {
    if (data.flags & TrayIconData::kNifIcon) icon_.setIcon(data.icon);
    icon_.setToolTip((data.flags & TrayIconData::kNifTip) ? data.tip : QString());
}

bool QtTrayShell::add(const TrayIconData& data) {
    apply(data);
    // Shown even without a notification area yet: the icon docks when a tray host appears later
    // (a panel that starts after the monitor at login).
    icon_.show();
    return true;
}

bool QtTrayShell::modify(const TrayIconData& data) {
    if (!icon_.isVisible()) return false;
    apply(data);
    return true;
}

bool QtTrayShell::remove() {
    icon_.hide();
    return true;
}

QPoint QtTrayShell::cursorPos() const {
    return QCursor::pos();
}

void QtTrayShell::activated(QSystemTrayIcon::ActivationReason reason) {
    // The desktop reports whole clicks; they are given back as the press and release the
    // component dispatches on.
    switch (reason) {
        case QSystemTrayIcon::Trigger:
            emit mouse(TrayMouse::LeftDown);
            emit mouse(TrayMouse::LeftUp);
            break;
        case QSystemTrayIcon::DoubleClick:
            emit mouse(TrayMouse::LeftDouble);
            break;
        case QSystemTrayIcon::Context:
            emit mouse(TrayMouse::RightDown);
            emit mouse(TrayMouse::RightUp);
            break;
        default:
            break;
    }
}

}  // namespace ups
