#pragma once
// The notification-area icon: keeps the icon, its tooltip and an optional animation up to date,
// turns clicks on it into restoring the application or showing a menu, and sends the application
// to the tray whenever it is minimised.
#include <QIcon>
#include <QMenu>
#include <QPixmap>
#include <QPointer>
#include <QTimer>
#include <QVector>
#include <QWidget>
#include <functional>

#include "tray/trayShell.h"

namespace ups {

enum TTrayCompButtonClick {
    arLeftClick,
    arLeftDblClick,
    arLeftClickUp,
    arRightClick,
    arRightDblClick,
    arRightClickUp,
    arNone,
};

class TTrayComp : public QObject {
    Q_OBJECT
public:
    using Notify = std::function<void(TTrayComp&)>;

    // owner: the application window the icon stands for.
    TTrayComp(QWidget* owner, TrayShell& shell);
    ~TTrayComp() override;

    // Run once the owner has set the stored properties: takes the icon from the image list.
    void Loaded();

    // Properties.
    bool Visible() const { return visible_; }
    void SetVisible(bool v);
    const QString& Hint() const { return hint_; }
    void SetHint(const QString& text);
    QMenu* PopupMenu() const { return popupMenu_; }
    void setPopupMenu(QMenu* menu) { popupMenu_ = menu; }
    bool Hide() const { return hide_; }
    void SetHide(bool v) { hide_ = v; }
    TTrayCompButtonClick RestoreOn = arLeftDblClick;
    TTrayCompButtonClick PopupMenuOn = arNone;
    const QVector<QPixmap>* Icons() const { return icons_; }
    void setIcons(const QVector<QPixmap>* icons) { icons_ = icons; }
    int IconIndex() const { return iconIndex_; }
    void SetIconIndex(int i);
    int GetInterval() const { return animTimer_.interval(); }
    void SetInterval(int ms) { animTimer_.setInterval(ms); }
    bool GetAnimate() const { return animTimer_.isActive(); }
    void SetAnimate(bool v);

    Notify OnMinimize, OnRestore, OnLButtonDblClick, OnLButtonDown, OnLButtonUp, OnRButtonDblClick,
        OnRButtonDown, OnRButtonUp;

    // Operations.
    void Minimize();
    void Restore();
    void Update();
    void ShowMenu();
    void SetDefaultIcon();
    void EndSession();
    void OnMessage(TrayMouse message);
    void LButtonDown() { mouseOperation(arLeftClick, OnLButtonDown); }
    void LButtonUp() { mouseOperation(arLeftClickUp, OnLButtonUp); }
    void LButtonDblClick() { mouseOperation(arLeftDblClick, OnLButtonDblClick); }
    void RButtonDown() { mouseOperation(arRightClick, OnRButtonDown); }
    void RButtonUp() { mouseOperation(arRightClickUp, OnRButtonUp); }
    void RButtonDblClick() { mouseOperation(arRightDblClick, OnRButtonDblClick); }

    const TrayIconData& iconData() const { return iconData_; }
    // Shows the shell's refusal to add or remove the icon; the GUI shows a box, tests record it.
    std::function<void(const QString& text)> reportShellFailure;
    // Asks the application to end after such a refusal.
    std::function<void()> requestTermination;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void mouseOperation(TTrayCompButtonClick which, const Notify& event);
    void OnAnimation();
    void TrayCompMinimize() { Minimize(); }
    void TrayCompRestore() { Restore(); }
    void shellFailed(const QString& text);

    QPointer<QWidget> owner_;
    TrayShell& shell_;
    TrayIconData iconData_;
    QIcon trayIcon_;
    QTimer animTimer_;
    bool visible_ = false;
    QString hint_;
    QMenu* popupMenu_ = nullptr;
    bool hide_ = true;
    const QVector<QPixmap>* icons_ = nullptr;
    int iconIndex_ = 0;
    bool changingWindowState_ = false;
};

}  // namespace ups
