#include "tray/Traycomp.h"

#include <QApplication>
#include <QEvent>
#include <QMessageBox>
#include <QWindowStateChangeEvent>

namespace ups {

TTrayComp::TTrayComp(QWidget* owner, TrayShell& shell)
    : QObject(owner), owner_(owner), shell_(shell) {
    setObjectName("TrayComp");
    trayIcon_ = QApplication::windowIcon();
    animTimer_.setInterval(1000);
    connect(&animTimer_, &QTimer::timeout, this, &TTrayComp::OnAnimation);
    iconData_.flags = TrayIconData::kNifMessage | TrayIconData::kNifIcon;
    connect(&shell_, &TrayShell::mouse, this, &TTrayComp::OnMessage);
    // Any minimising of the application sends it to the tray; restoring brings it back.
    if (owner_) owner_->installEventFilter(this);
    // The session is ending: the icon goes whatever else happens.
    connect(qApp, &QCoreApplication::aboutToQuit, this, &TTrayComp::EndSession);
    reportShellFailure = [this](const QString& text) {
        QMessageBox::warning(owner_, QStringLiteral("Application Error"), text);
    };
    requestTermination = [] {
        QMetaObject::invokeMethod(qApp, &QCoreApplication::quit, Qt::QueuedConnection);
    };
    Update();
}

TTrayComp::~TTrayComp() {
    if (owner_) owner_->removeEventFilter(this);
    shell_.remove();
}

void TTrayComp::Loaded() {
    if (icons_ && iconIndex_ >= 0 && iconIndex_ < icons_->size()) {
        trayIcon_ = QIcon((*icons_)[iconIndex_]);
    } else if (!icons_) {
        trayIcon_ = QApplication::windowIcon();
    }
    Update();
}

void TTrayComp::shellFailed(const QString& text) {
    if (reportShellFailure) reportShellFailure(text);
    if (requestTermination) requestTermination();
}

void TTrayComp::SetVisible(bool v) {
    visible_ = v;
    if (v) {
        iconData_.icon = trayIcon_;
        if (!shell_.add(iconData_))
            shellFailed(QStringLiteral("Cannot Create System Shell Notification Icon"));
        SetHide(true);
    } else {
        if (!shell_.remove())
            shellFailed(QStringLiteral("Cannot Remove System Shell Notification Icon"));
        SetHide(false);
    }
}

void TTrayComp::SetHint(const QString& text) {
    if (text == hint_ || text.size() >= 64) return;
    hint_ = text;
    iconData_.tip = text.left(TrayIconData::kTipCapacity);
    if (text.isEmpty()) {
        iconData_.flags &= ~TrayIconData::kNifTip;
    } else {
        iconData_.flags |= TrayIconData::kNifTip;
    }
    Update();
}

void TTrayComp::SetAnimate(bool v) {
    if (!icons_) return;
    if (v) {
        animTimer_.start();
    } else {
        animTimer_.stop();
    }
}

void TTrayComp::SetIconIndex(int i) {
    iconIndex_ = i;
    if (icons_ && i >= 0 && i < icons_->size()) trayIcon_ = QIcon((*icons_)[i]);
    Update();
}

void TTrayComp::Update() {
    iconData_.icon = trayIcon_;
    shell_.modify(iconData_);
}

void TTrayComp::SetDefaultIcon() {
    trayIcon_ = QApplication::windowIcon();
    Update();
}

void TTrayComp::ShowMenu() {
    if (!popupMenu_) return;
    popupMenu_->popup(shell_.cursorPos());
}

void TTrayComp::Minimize() {
    if (owner_) {
        changingWindowState_ = true;
        // The window leaves the taskbar only where a notification area can bring it back. One
        // that is not on the screen (the start) is only marked minimised: it is never built
        // on the screen, so a monitor that waits in the tray loads no fonts and lays out nothing.
        const bool toTray = hide_ && visible_ && shell_.hostAvailable();
        if (toTray && !owner_->isVisible()) {
            owner_->setWindowState(owner_->windowState() | Qt::WindowMinimized);
        } else {
            owner_->showMinimized();
            if (toTray) owner_->hide();
        }
        changingWindowState_ = false;
    }
    if (OnMinimize) OnMinimize(*this);
}

void TTrayComp::Restore() {
    if (owner_) {
        changingWindowState_ = true;
        owner_->showNormal();
        if (hide_ && visible_) {
            owner_->raise();
            owner_->activateWindow();
        }
        changingWindowState_ = false;
    }
    if (OnRestore) OnRestore(*this);
}

void TTrayComp::EndSession() {
    shell_.remove();
}

void TTrayComp::OnMessage(TrayMouse message) {
    switch (message) {
        case TrayMouse::LeftDown:
            LButtonDown();
            break;
        case TrayMouse::LeftUp:
            LButtonUp();
            break;
        case TrayMouse::LeftDouble:
            LButtonDblClick();
            break;
        case TrayMouse::RightDown:
            RButtonDown();
            break;
        case TrayMouse::RightUp:
            RButtonUp();
            break;
        case TrayMouse::RightDouble:
            RButtonDblClick();
            break;
    }
}

void TTrayComp::mouseOperation(TTrayCompButtonClick which, const Notify& event) {
    if (RestoreOn == which) Restore();
    if (PopupMenuOn == which) ShowMenu();
    if (event) event(*this);
}

void TTrayComp::OnAnimation() {
    if (!icons_ || icons_->isEmpty()) return;
    int next = iconIndex_ + 1;
    if (next >= icons_->size()) next = 0;
    SetIconIndex(next);
    Update();
}

bool TTrayComp::eventFilter(QObject* watched, QEvent* event) {
    if (watched == owner_ && event->type() == QEvent::WindowStateChange && !changingWindowState_) {
        auto* change = static_cast<QWindowStateChangeEvent*>(event);
        const bool wasMinimised = change->oldState() & Qt::WindowMinimized;
        const bool isMinimised = owner_->windowState() & Qt::WindowMinimized;
        if (isMinimised && !wasMinimised) {
            QMetaObject::invokeMethod(this, &TTrayComp::TrayCompMinimize, Qt::QueuedConnection);
        } else if (wasMinimised && !isMinimised) {
            QMetaObject::invokeMethod(this, &TTrayComp::TrayCompRestore, Qt::QueuedConnection);
        }
    }
    return QObject::eventFilter(watched, event);
}

}  // namespace ups
