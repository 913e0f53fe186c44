#pragma once
// The notification area as the tray component sees it: add, modify and delete one icon, and tell
// where the pointer is for the menu. A QSystemTrayIcon backend serves the desktop; tests count the
// calls with a fake.
#include <QIcon>
#include <QObject>
#include <QPoint>
#include <QString>

namespace ups {

// The icon record handed to the shell.
struct TrayIconData {
    static constexpr unsigned kNifMessage = 1;
    static constexpr unsigned kNifIcon = 2;
    static constexpr unsigned kNifTip = 4;
    static constexpr int kCallbackMessage = 1124;  // WM_USER + 100
    static constexpr int kTipCapacity = 63;

    unsigned flags = kNifMessage | kNifIcon;
    QIcon icon;
    QString tip;
};

// Mouse messages the shell reports for the icon.
enum class TrayMouse { LeftDown, LeftUp, LeftDouble, RightDown, RightUp, RightDouble };

class TrayShell : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    // False when there is no notification area to put an icon in.
    virtual bool hostAvailable() const = 0;
    virtual bool add(const TrayIconData& data) = 0;
    virtual bool modify(const TrayIconData& data) = 0;
    virtual bool remove() = 0;
    virtual QPoint cursorPos() const = 0;

signals:
    void mouse(ups::TrayMouse message);
};

}  // namespace ups
