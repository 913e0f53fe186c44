#include "app/windows/main/upsMain.h"

#include <QApplication>
#include <QCloseEvent>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QSessionManager>
#include <QShowEvent>
#include <QTimer>
#include <algorithm>
#include <utility>

#include "app/qt/artwork.h"
#include "app/qt/menuEntries.h"
#include "app/windows/configuration/upsCfg.h"
#include "app/windows/info/upsInfo.h"
#include "base/tickPath.h"
#include "battery/testScheduler.h"
#include "config/configHistory.h"
#include "config/configStore.h"
#include "ui_upsMain.h"

namespace ups {

namespace {

// The strings' own comparison calls the C library's memcmp, whose code and GOT entry would be two
// more pages for every idle tick to touch (base/tickPath.h), to compare a dozen bytes.
UPS_TICK_PATH bool sameText(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (a[i] != b[i]) return false;
    }
    return true;
}

constexpr std::string_view kMsgCloseQuestion =
    "Cerrando el programa dejará de monitorear la UPS.\r\n¿Desea finalizar la aplicación?.";

constexpr int kHistoryNoticeMs = 5000;

const QColor kBlue(0, 0, 255);
const QColor kRed(255, 0, 0);

}  // namespace

QString webAddress() {
    return QStringLiteral(UPS_WEB_ADDRESS);
}

TmainF::TmainF(const MainDeps& deps, MonitorParts& parts, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                          Qt::WindowContextHelpButtonHint | Qt::WindowCloseButtonHint),
      ui_(new Ui::TmainF),
      deps_(deps),
      cfgUps_(parts.cfgUps),
      cfgSnmp_(parts.cfgSnmp),
      state_(parts.state),
      trapFields_(parts.trapFields),
      serialLink_(parts.serialLink),
      agentLink_(parts.agentLink),
      trapCatch_(parts.trapCatch) {
    ui_->setupUi(this);
    setObjectName("mainF");
    setFixedSize(294, 220);
    setWindowIcon(art::applicationIcon());
    for (int i = 0; i < art::kStatePictures; ++i) imgLst_.push_back(art::statePicture(i));
    ui_->bbtnSetup->setIcon(QIcon(art::glyph("SETUP")));
    ui_->bbtnIniTest->setIcon(QIcon(art::glyph("START")));
    setLabelColour(ui_->lblSum, kBlue);
    setLabelColour(ui_->lblBat, kBlue);

    connect(ui_->bbtnIniTest, &QPushButton::clicked, this, &TmainF::bbtnIniTestClick);
    connect(ui_->bbtnSetup, &QPushButton::clicked, this, &TmainF::bbtnSetupClick);

    buildMenus();
    buildTrayIcon();
    setContextMenuPolicy(Qt::CustomContextMenu);
    connect(this, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& pos) { pMnFrm_->popup(mapToGlobal(pos)); });

    // Every control but the buttons minimises or restores on a double click.
    for (QWidget* child : findChildren<QWidget*>()) {
        if (!qobject_cast<QPushButton*>(child)) child->installEventFilter(this);
    }

    connect(qApp, &QGuiApplication::commitDataRequest, this, &TmainF::commitData);
    connect(qApp, &QCoreApplication::aboutToQuit, this, &TmainF::FormClose);
    centreOnScreen();
    setWindowState(Qt::WindowMinimized);
    timer_ = makeTickTimer();
}

std::unique_ptr<TickTimer> TmainF::makeTickTimer() {
    return std::make_unique<TickTimer>(deps_.tickIntervalMs, [this] { TimerTimer(); });
}

void TmainF::showEvent(QShowEvent* event) {
    // The logo is the only drawing with text: made when the window first shows, a monitor that
    // waits in the tray loads no font.
    if (ui_->Image1->pixmap().isNull()) ui_->Image1->setPixmap(art::logo());
    QWidget::showEvent(event);
}

void TmainF::centreOnScreen() {
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        move(screen->availableGeometry().center() - rect().center());
    }
}

TmainF::~TmainF() {
    FormClose();
    delete ui_;
}

void TmainF::buildMenus() {
    auto addItem = [](QMenu* menu, const char* name, const QString& text, const QString& hint) {
        QAction* action = menu->addAction(text);
        action->setObjectName(name);
        action->setToolTip(hint);
        action->setStatusTip(hint);
        return action;
    };
    pMnTray_ = new QMenu(this);
    pMnTray_->setObjectName("pMnTray");
    pMnTray_->setToolTipsVisible(true);
    connect(addItem(pMnTray_, "Restaurar1", QStringLiteral("&Restaurar"),
                    QStringLiteral("Restaura la aplicación")),
            &QAction::triggered, this, &TmainF::Restaurar1Click);
    pMnTray_->addSeparator()->setObjectName("N1");
    connect(addItem(pMnTray_, "Cerrar1", QStringLiteral("&Finalizar"),
                    QStringLiteral("Finaliza monitoreo de UPS")),
            &QAction::triggered, this, &TmainF::Cerrar1Click);

    pMnFrm_ = new QMenu(this);
    pMnFrm_->setObjectName("pMnFrm");
    pMnFrm_->setToolTipsVisible(true);
    connect(addItem(pMnFrm_, "MinimClic", QStringLiteral("&Minimizar"),
                    QStringLiteral("Restaura la aplicación")),
            &QAction::triggered, this, &TmainF::MinimClicClick);
    pMnFrm_->addSeparator()->setObjectName("MenuItem2");
    connect(addItem(pMnFrm_, "MenuItem3", QStringLiteral("&Finalizar"),
                    QStringLiteral("Finaliza monitoreo de UPS")),
            &QAction::triggered, this, &TmainF::Cerrar1Click);
}

void TmainF::buildTrayIcon() {
    // The values the window stores for its tray icon, then the component's own loading step.
    trayComp_ = new TTrayComp(this, deps_.trayShell);
    trayComp_->SetVisible(true);
    trayComp_->setPopupMenu(pMnTray_);
    trayComp_->SetHide(true);
    trayComp_->RestoreOn = arLeftDblClick;
    trayComp_->PopupMenuOn = arRightClick;
    trayComp_->setIcons(&imgLst_);
    trayComp_->Loaded();
}

QLabel* TmainF::label(const char* name) const {
    return findChild<QLabel*>(name);
}
QPushButton* TmainF::button(const char* name) const {
    return findChild<QPushButton*>(name);
}

void TmainF::setLabelColour(QLabel* label, const QColor& colour) {
    QPalette p = label->palette();
    p.setColor(QPalette::WindowText, colour);
    label->setPalette(p);
}

void TmainF::setInfoLines(const QString& l1, const QString& l2, const QString& l3) {
    ui_->lblInfo1->setText(l1);
    ui_->lblInfo2->setText(l2);
    ui_->lblInfo3->setText(l3);
}

void TmainF::setSerialInfoLines() {
    setInfoLines(QStringLiteral("Monitor por puerto serie"), QStringLiteral("UPS Korvan"),
                 QStringLiteral("Sitio : ") + webAddress());
}

void TmainF::FormCreate() {
    setInfoLines(QStringLiteral("Monitor de UPS"), QStringLiteral("UPS Korvan"),
                 QStringLiteral("Sitio : ") + webAddress());
    trayComp_->RestoreOn = arLeftClick;
    trayComp_->PopupMenuOn = arRightClick;
    loadConfig(cfgUps_, cfgSnmp_, deps_.store, deps_.boxes);
    deps_.history.record(HistoryEventKind::monitorStarted, monitorModeText(cfgUps_, cfgSnmp_));
    links_->start();
    showFollowedInfo();
    refreshDisplay();
}

void TmainF::showInfoLines(const AgentInfoLines& lines) {
    // The agent's texts are single-byte characters.
    auto text = [](const std::string& s) {
        return QString::fromLatin1(s.data(), static_cast<int>(s.size()));
    };
    setInfoLines(text(lines.line1), text(lines.line2), text(lines.line3));
}

void TmainF::applyTestButton(TestButtonChange change) {
    if (change != TestButtonChange::Unchanged) {
        ui_->bbtnIniTest->setEnabled(change == TestButtonChange::Enable);
    }
}

UPS_TICK_PATH void TmainF::TimerTimer() {
    supervisor_->TimerTimer();
    publishState(state_);
    showFollowedInfo();
    watchHistory();
}

UPS_TICK_PATH void TmainF::publishState(const SupervisorState& state) {
    if (network_ != nullptr) network_->publish(state, cfgSnmp_.enhSnmp != 0);
}

UPS_TICK_PATH void TmainF::showFollowedInfo() {
    FollowerLink* follower = network_ != nullptr ? network_->follower() : nullptr;
    if (follower == nullptr) {
        followedShown_.reset();
        return;
    }
    showFollowedIdentity(*follower);
}

UPS_TICK_RARE void TmainF::showFollowedIdentity(FollowerLink& follower) {
    const FollowedIdentity who = follower.identity();
    std::string model = who.maker;
    if (!who.model.empty()) model += (model.empty() ? "" : " ") + who.model;
    const AgentInfoLines lines{"Servidor : " + follower.serverName(),
                               "Nro. Serie : " + (who.serial.empty() ? " ????" : who.serial),
                               "Modelo : " + (model.empty() ? "desconocido" : model)};
    if (followedShown_ && followedShown_->line1 == lines.line1 &&
        followedShown_->line2 == lines.line2 && followedShown_->line3 == lines.line3)
        return;
    followedShown_ = lines;
    showInfoLines(lines);
}

UPS_TICK_PATH void TmainF::watchHistory() {
    // The listener only counts its failed binds; the tick is where the history hears of them.
    // The counter first: while the port is bound, an idle tick takes none of the listener's locks.
    if (!trapPortReported_ && trapCatch_.bindFailures() > 0 && trapCatch_.started() &&
        !trapCatch_.listening()) {
        reportTrapPortLost();
    }
    // Said once, and not over a power event's notices.
    if (state_.eventCode() == ecNormal && !state_.closingBySystem &&
        deps_.history.takeUnavailableNotice()) {
        tellHistoryUnavailable();
    }
}

UPS_TICK_RARE void TmainF::tellHistoryUnavailable() {
    showNotice(std::nullopt, std::nullopt, std::string(kHistoryUnavailableText), kHistoryNoticeMs);
}

UPS_TICK_RARE void TmainF::reportTrapPortLost() {
    trapPortReported_ = true;
    // Without the port the agent's traps never arrive: the user is told why, once, from the
    // event loop (this runs on the tick's timeout).
    const std::string why = deps_.trapPortProblem();
    deps_.history.record(HistoryEventKind::trapPortUnavailable,
                         "UDP " + deps_.trapOptions.port + (why.empty() ? "" : ": " + why));
    if (!why.empty()) {
        runLater(0, [this, why] {
            deps_.boxes.messageBox(why, kTitleCaution, MbIcon::Warning, MbButtons::Ok);
        });
    }
}

void TmainF::bbtnIniTestClick() {
    scheduledTests_->buttonPressed();
}

void TmainF::bbtnSetupClick() {
    try {
        configFlow_->run();
    } catch (...) {
        deps_.boxes.messageBox(kMsgAllocating, kTitleError, MbIcon::Error);
    }
}

void TmainF::showNotice(std::optional<std::string> caption, std::optional<int> picture,
                        std::string text, int hideDelayMs) {
    if (!noticeForm()) return;
    if (caption) noticeCaption_ = *caption;
    if (picture) noticePicture_ = picture;
    // A notice that keeps the caption or picture keeps the real sequence's, not a rehearsal's.
    if (rehearsalOnPopup_) {
        rehearsalOnPopup_ = false;
        infoFrm_->markRehearsal(false);
        if (!noticeCaption_.empty()) caption = noticeCaption_;
        picture = noticePicture_;
    }
    std::optional<QString> qCaption;
    if (caption) qCaption = QString::fromStdString(*caption);
    std::optional<QPixmap> qPicture;
    if (picture && *picture >= 0 && *picture < imgLst_.size()) qPicture = imgLst_[*picture];
    infoFrm_->showNotice(qCaption, qPicture, QString::fromStdString(text), hideDelayMs);
}

UPS_TICK_PATH void TmainF::setNoticeCaption(std::string caption) {
    // Asked for on every ordinary tick; the pop-up is only touched when the caption changes, and
    // not while it holds a rehearsal notice, which the real ticks around it would unmark.
    // A pop-up not made yet takes it when it is made.
    if (!sameText(caption, noticeCaption_)) changeNoticeCaption(std::move(caption));
}

UPS_TICK_RARE void TmainF::changeNoticeCaption(std::string caption) {
    if (infoFrm_ && !rehearsalOnPopup_) infoFrm_->setWindowTitle(QString::fromStdString(caption));
    noticeCaption_ = std::move(caption);
}

void TmainF::showRehearsalNotice(const std::string& caption, std::optional<int> picture,
                                 const std::string& text, int hideDelayMs) {
    if (!noticeForm()) return;
    rehearsalOnPopup_ = true;
    infoFrm_->markRehearsal(true);
    std::optional<QPixmap> qPicture;
    if (picture && *picture >= 0 && *picture < imgLst_.size()) qPicture = imgLst_[*picture];
    infoFrm_->showNotice(QString::fromStdString(caption), qPicture, QString::fromStdString(text),
                         hideDelayMs);
}

TinfoFrm* TmainF::noticeForm() {
    if (infoFrm_ == nullptr && makeInfoForm_) {
        infoFrm_ = std::exchange(makeInfoForm_, nullptr)();
        if (infoFrm_ && !noticeCaption_.empty())
            infoFrm_->setWindowTitle(QString::fromStdString(noticeCaption_));
    }
    return infoFrm_;
}

void TmainF::repaintNotice() {
    if (infoFrm_) infoFrm_->repaintNow();
}

void TmainF::runLater(int delayMs, std::function<void()> task) {
    if (deps_.tasks != nullptr) {
        deps_.tasks->runLater(delayMs, std::move(task));
        return;
    }
    // The window is the context: a task still waiting when it goes is dropped with it.
    QTimer::singleShot(std::max(0, delayMs), this, std::move(task));
}

bool TmainF::dialogOpen() const {
    return (configFlow_ != nullptr && configFlow_->open()) ||
           QApplication::activeModalWidget() != nullptr;
}

void TmainF::setTestButtonEnabled(bool enabled) {
    ui_->bbtnIniTest->setEnabled(enabled);
}

void TmainF::defaultBeep() {
    QApplication::beep();
}

UPS_TICK_PATH void TmainF::refreshDisplay() {
    if (!state_.displayDirty) return;
    state_.displayDirty = false;
    paintState(state_);
}

void TmainF::showLinkStateSoon(bool lineOk, bool batteryLow) {
    QMetaObject::invokeMethod(
        this,
        [this, lineOk, batteryLow] {
            if (closed_ || !state_.linkActive()) return;
            SupervisorState shown = state_;
            shown.lineOk = lineOk;
            shown.batteryLow = batteryLow;
            paintState(shown);
        },
        Qt::QueuedConnection);
}

void TmainF::paintState(const SupervisorState& state) {
    publishState(state);
    ui_->imgLine->setPixmap(imgLst_[state.lineOk ? art::picMains : art::picOnBattery]);
    ui_->imgBat->setPixmap(imgLst_[state.batteryLow ? art::picBatteryLow : art::picBatteryOk]);

    const bool commandLinkUsable =
        state.serialLinkActive || (state.agentCommandsOk && state.agentLinkActive);
    const EventCode code = state.eventCode();
    const bool onBattery = code == ecOnBattery || code == ecCritical;
    const bool low = code == ecLowOnMains || code == ecCritical;
    ui_->lblSum->setText(onBattery ? QStringLiteral("Suministro de Batería")
                                   : QStringLiteral("Suministro de Línea"));
    setLabelColour(ui_->lblSum, onBattery ? kRed : kBlue);
    ui_->lblBat->setText(low ? QStringLiteral("Batería Baja") : QStringLiteral("Batería Normal"));
    setLabelColour(ui_->lblBat, low ? kRed : kBlue);
    trayComp_->SetHint(low ? QStringLiteral("Batería Baja") : ui_->lblSum->text());
    trayComp_->SetIconIndex(low ? art::picBatteryLow
                                : (onBattery ? art::picOnBattery : art::picMains));

    if (code == ecOnBattery) {
        ui_->bbtnIniTest->setEnabled(false);
        return;
    }
    ui_->bbtnIniTest->setEnabled(commandLinkUsable);
    if (code == ecNormal) {
        ui_->bbtnIniTest->setText(QStringLiteral("&Test"));
        ui_->bbtnIniTest->setToolTip(QStringLiteral("Prueba la UPS"));
        ui_->bbtnIniTest->setIcon(QIcon(art::glyph("START")));
    } else {
        ui_->bbtnIniTest->setText(QStringLiteral("&Alarma"));
        ui_->bbtnIniTest->setToolTip(QStringLiteral("Anula alarma de UPS"));
        ui_->bbtnIniTest->setIcon(QIcon(art::glyph("BEEPER")));
    }
}

void TmainF::restoreApplication() {
    trayComp_->Restore();
}

void TmainF::minimiseApplication() {
    trayComp_->Minimize();
}

void TmainF::Restaurar1Click() {
    restoreApplication();
}

void TmainF::setHistoryOpener(std::function<void()> open) {
    openHistory_ = std::move(open);
    if (!historyItems_.isEmpty()) return;
    // Each menu gets the item above its separator, once the program has a history to show.
    auto insertItem = [this](QMenu* menu, const char* name, const char* separator) {
        QAction* item =
            insertMenuEntry(menu, name, QStringLiteral("&Historial..."),
                            QStringLiteral("Muestra el historial de eventos"), separator);
        connect(item, &QAction::triggered, this, &TmainF::openHistoryClick);
        historyItems_ << item;
    };
    insertItem(pMnTray_, "TrayItemHistory", "N1");
    insertItem(pMnFrm_, "MenuItemHistory", "MenuItem2");
}

void TmainF::openHistoryClick() {
    if (openHistory_) openHistory_();
}

void TmainF::Cerrar1Click() {
    state_.closingBySystem = true;
    close();
}

void TmainF::MinimClicClick() {
    minimiseApplication();
}

void TmainF::FormDblClick() {
    if (windowState() & (Qt::WindowMinimized | Qt::WindowMaximized)) {
        restoreApplication();
    } else {
        minimiseApplication();
    }
}

bool TmainF::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonDblClick) {
        FormDblClick();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void TmainF::mouseDoubleClickEvent(QMouseEvent* event) {
    FormDblClick();
    event->accept();
}

bool TmainF::closingForPowerOff() {
    // A power-off decided and not yet asked for is asked for now, while the program runs: a
    // refusal then keeps the monitor supervising instead of ending it with the close.
    if (supervisor_ != nullptr && supervisor_->shutdownPending()) supervisor_->requestPowerOffNow();
    return state_.closingBySystem;
}

bool TmainF::FormCloseQuery() {
    if (closingForPowerOff()) return true;
    MbResult answer = deps_.boxes.messageBox(kMsgCloseQuestion, kTitleQuestion, MbIcon::Question,
                                             MbButtons::YesNo);
    // Supervision went on while the question waited: when the power-off was decided meanwhile,
    // the monitor's own close (ignored by Qt while this one is under way) is this one.
    if (closingForPowerOff()) return true;
    if (answer != MbResult::Yes) return false;
    state_.closingBySystem = true;
    return true;
}

bool TmainF::sessionMayEnd(bool mayAsk) {
    // A session manager that lets no one ask gets its way: there is nobody to answer.
    if (state_.closingBySystem || !mayAsk) return true;
    return FormCloseQuery();
}

void TmainF::commitData(QSessionManager& manager) {
    // The desktop session is ending: the close question decides whether the monitor lets it.
    bool mayAsk = !state_.closingBySystem && manager.allowsInteraction();
    bool allow = sessionMayEnd(mayAsk);
    if (mayAsk) manager.release();
    if (!allow) manager.cancel();
}

void TmainF::closeEvent(QCloseEvent* event) {
    if (!FormCloseQuery()) {
        event->ignore();
        return;
    }
    event->accept();
    FormClose();
    QMetaObject::invokeMethod(qApp, &QCoreApplication::quit, Qt::QueuedConnection);
}

void TmainF::FormClose() {
    if (closed_) return;
    closed_ = true;
    // A power-off decided but not yet asked for is asked for now: the program is ending, and
    // nobody would ask for it afterwards.
    if (supervisor_ != nullptr) supervisor_->completePendingShutdown();
    deps_.history.record(HistoryEventKind::monitorEnded, monitorModeText(cfgUps_, cfgSnmp_));
    timer_->stop();
    if (links_ != nullptr) links_->stop();
    trayComp_->SetVisible(false);
    trayComp_->SetHide(true);
}

}  // namespace ups
