#pragma once
// The main window: shows the monitor's live objects, is the supervisor's view and the links'
// display, and ends the program in order.
#include <QMenu>
#include <QPixmap>
#include <QVector>
#include <QWidget>
#include <functional>
#include <memory>

#include "app/flows/configFlow.h"
#include "app/process/linkLifecycle.h"
#include "app/process/mainDeps.h"
#include "app/process/monitorParts.h"
#include "app/qt/dialogSupport.h"
#include "app/qt/tickTimer.h"
#include "battery/scheduledBatteryTests.h"
#include "supervisor/supervisor.h"
#include "supervisor/supervisorView.h"
#include "tray/Traycomp.h"

class QLabel;
class QPushButton;
class QSessionManager;

namespace Ui {
class TmainF;
}

namespace ups {

class FollowerLink;
class TinfoFrm;

class TmainF : public QWidget,
               public SupervisorView,
               public LinkDisplay,
               public ConfigurationWindow {
    Q_OBJECT
public:
    // The window over the monitor's live objects; the supervisor, the scheduled tests, the links'
    // owner and the configuration flow, which need the window, are attached once they exist.
    TmainF(const MainDeps& deps, MonitorParts& parts, QWidget* parent = nullptr);
    ~TmainF() override;

    void attach(Supervisor& supervisor, ScheduledBatteryTests& scheduledTests, LinkLifecycle& links,
                ConfigurationFlow& configFlow) {
        supervisor_ = &supervisor;
        scheduledTests_ = &scheduledTests;
        links_ = &links;
        configFlow_ = &configFlow;
    }
    // The network's server (fed the state on every tick and repaint) and follower (whose server's
    // identity the information lines show).
    void setNetworkLinks(NetworkLinks* network) { network_ = network; }
    void setInfoForm(TinfoFrm* info) {
        infoFrm_ = info;
        noticeCaption_.clear();
    }
    // Or how to make the pop-up when the first notice needs it: a monitor that waits in the tray
    // builds none until then.
    void setInfoFormMaker(std::function<TinfoFrm*()> make) { makeInfoForm_ = std::move(make); }
    // The start-up sequence; run once, after both windows exist.
    void FormCreate();

    // Handlers.
    void Restaurar1Click();
    void Cerrar1Click();
    void MinimClicClick();
    void FormDblClick();
    void TimerTimer();
    void bbtnIniTestClick();
    void bbtnSetupClick();
    void openHistoryClick();
    // What the "Historial" items of both menus open; the menus have them once one is given.
    void setHistoryOpener(std::function<void()> open);
    // How the configuration and password dialogs are shown; tests drive them through this.
    void setDialogRunner(DialogRunner run) { runDialog_ = std::move(run); }
    void refreshDisplay() override;
    void showLinkStateSoon(bool lineOk, bool batteryLow) override;
    // The answer to a desktop logoff or shutdown: true lets it go on.
    bool sessionMayEnd(bool mayAsk);

    // The live objects the rest of the monitor works on.
    CfgUps& cfgUps() { return cfgUps_; }
    CfgSnmp& cfgSnmp() { return cfgSnmp_; }
    SupervisorState& state() { return state_; }
    TrapFields& trapFields() { return trapFields_; }
    SerialLink& serialLink() { return serialLink_; }
    AgentLink& agentLink() { return agentLink_; }
    // Created suspended with the monitor; the start-up starts it in SNMP trap mode.
    TrapCatch& trapCatch() { return trapCatch_; }
    TickTimer& Timer() { return *timer_; }
    QMenu* pMnTray() { return pMnTray_; }
    QMenu* pMnFrm() { return pMnFrm_; }
    TTrayComp& TrayComp() { return *trayComp_; }
    const QVector<QPixmap>& imgLst() const { return imgLst_; }
    QLabel* label(const char* name) const;
    QPushButton* button(const char* name) const;

    Supervisor& supervisor() { return *supervisor_; }
    TinfoFrm* infoFrm() const { return infoFrm_; }

    // What the supervisor asks of the window.
    void restoreWindow() override { restoreApplication(); }
    void startTimer() override { timer_->start(); }
    void stopTimer() override { timer_->stop(); }
    void showNotice(std::optional<std::string> caption, std::optional<int> picture,
                    std::string text, int hideDelayMs) override;
    void setNoticeCaption(std::string caption) override;
    void repaintNotice() override;
    void runLater(int delayMs, std::function<void()> task) override;
    bool dialogOpen() const override;
    // A notice of the outage rehearsal: marked, and kept apart from the caption and picture the
    // real notices leave on the pop-up.
    void showRehearsalNotice(const std::string& caption, std::optional<int> picture,
                             const std::string& text, int hideDelayMs);
    void setTestButtonEnabled(bool enabled) override;
    void closeMainWindow() override { close(); }
    void defaultBeep() override;
    MessageBoxes& messageBoxes() override { return deps_.boxes; }

    // What the links' owner asks of the window.
    void showSerialInfo() override { setSerialInfoLines(); }
    void showAgentInfo(const AgentInfoLines& lines) override { showInfoLines(lines); }
    void applyTestButton(TestButtonChange change) override;
    void startSupervision() override { timer_->start(); }

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    // The pop-up, made now if it is made on demand and not yet.
    TinfoFrm* noticeForm();
    // The state, line, battery and test button, and the tray's icon and hint, as `state` has them.
    void paintState(const SupervisorState& state);
    bool FormCloseQuery();
    // True when the program is ending for the power-off, whose request goes out first if it
    // still waits.
    bool closingForPowerOff();
    void FormClose();
    void commitData(QSessionManager& manager);
    void buildMenus();
    void buildTrayIcon();
    void centreOnScreen();
    void setInfoLines(const QString& l1, const QString& l2, const QString& l3);
    void setSerialInfoLines();
    void showInfoLines(const AgentInfoLines& lines);
    // The followed server's identity, once it has said it or when it changes.
    void showFollowedInfo();
    void showFollowedIdentity(FollowerLink& follower);
    // The state to the server, as the window shows it.
    void publishState(const SupervisorState& state);
    // What the configuration flow asks of the window.
    QWidget& dialogParent() override { return *this; }
    const DialogRunner& dialogRunner() const override { return runDialog_; }
    std::unique_ptr<TickTimer> makeTickTimer();
    // What only the window learns: a trap port that cannot be bound, a history not kept.
    void watchHistory();
    void reportTrapPortLost();
    void tellHistoryUnavailable();
    void changeNoticeCaption(std::string caption);
    void restoreApplication();
    void minimiseApplication();
    static void setLabelColour(QLabel* label, const QColor& colour);

    Ui::TmainF* ui_;
    const MainDeps& deps_;
    CfgUps& cfgUps_;
    CfgSnmp& cfgSnmp_;
    SupervisorState& state_;
    TrapFields& trapFields_;
    SerialLink& serialLink_;
    AgentLink& agentLink_;
    TrapCatch& trapCatch_;
    ScheduledBatteryTests* scheduledTests_ = nullptr;
    Supervisor* supervisor_ = nullptr;
    LinkLifecycle* links_ = nullptr;
    ConfigurationFlow* configFlow_ = nullptr;
    NetworkLinks* network_ = nullptr;
    // What the information lines last showed of a followed server.
    std::optional<AgentInfoLines> followedShown_;
    TinfoFrm* infoFrm_ = nullptr;
    std::function<TinfoFrm*()> makeInfoForm_;
    // The caption and picture the real notices last gave the pop-up.
    std::string noticeCaption_;
    std::optional<int> noticePicture_;
    // The pop-up holds a rehearsal notice's caption and picture.
    bool rehearsalOnPopup_ = false;
    // Made last, after the window's controls: what an idle tick reads of it and of its Qt
    // objects then lies together, not among the controls'.
    std::unique_ptr<TickTimer> timer_;
    QMenu* pMnTray_ = nullptr;
    QMenu* pMnFrm_ = nullptr;
    TTrayComp* trayComp_ = nullptr;
    QVector<QPixmap> imgLst_;
    DialogRunner runDialog_ = execDialog;
    std::function<void()> openHistory_;
    QList<QAction*> historyItems_;
    bool closed_ = false;
    bool trapPortReported_ = false;
};

// The maker's web address shown after "Sitio : ".
QString webAddress();

}  // namespace ups
