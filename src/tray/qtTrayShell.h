#pragma once
// The notification area through QSystemTrayIcon.
#include <QSystemTrayIcon>

#include "tray/trayShell.h"

namespace ups {

class QtTrayShell : public TrayShell {
    Q_OBJECT
public:
    explicit QtTrayShell(QObject* parent = nullptr);

    bool hostAvailable() const override;
    bool add(const TrayIconData& data) override;
    bool modify(const TrayIconData& data) override;
    bool remove() override;
    QPoint cursorPos() const override;

    QSystemTrayIcon& icon() { return icon_; }

private:
    void apply(const TrayIconData& data);
    void activated(QSystemTrayIcon::ActivationReason reason);

    QSystemTrayIcon icon_;
};

}  // namespace ups
