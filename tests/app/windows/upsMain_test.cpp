// The main window: its controls, the start-up over the serial link, and the ways it closes.
#include "app/windows/main/upsMain.h"

#include <QAction>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QtTest>
#include <algorithm>

#include "app/qt/artwork.h"
#include "links/agentLink.h"
#include "net/blcksock.h"
#include "net/snmpsend.h"
#include "support/windowRig.h"

using namespace ups;
using namespace ups::test;

namespace {

using Rig = WindowRig;

QColor textColour(QLabel* l) {
    return l->palette().color(QPalette::WindowText);
}

// The agent's status trap, as it sends it from 127.0.0.1.
std::string statusTrap(int lineState) {
    TSNMPRec rec;
    rec.Community = "public";
    rec.PDUType = kPduTrap;
    rec.OldTrapEnterprise = kOidTrapEnterprise;
    rec.OldTrapHost = "127.0.0.1";
    rec.OldTrapGen = 6;
    rec.OldTrapSpec = 1;
    rec.MIBAdd(kOidBatteryState, "1", kAsnInteger);
    rec.MIBAdd(kOidLineState, std::to_string(lineState), kAsnInteger);
    return rec.EncodeBuf();
}

}  // namespace

class UpsMainTest : public QObject {
    Q_OBJECT
private slots:
    void aTrapPortThatCannotBeHadIsToldOnceWithItsReason();
    void componentsCarryTheirCaptionsHintsAndInitialState();
    void menusOfferRestoreMinimiseAndFinish();
    void closeBoxAsksAndNoKeepsTheMonitorRunning();
    void closeBoxYesEndsTheProgramAndReleasesThePort();
    void finalizarClosesWithoutAQuestion();
    void logoffAsksTheCloseQuestion();
    void doubleClickMinimisesAndRestores();
    void startWithNoUsablePortKeepsTheWindowForTheConfiguration();
    void startWithNoPortConfiguredWarnsThenShowsTheWindow();
    void startWithAWorkingPortAssertsRtsAndStoresTheProbe();
    void startOnAFreshStoreWritesTheDefaults();
    void startWithAnUnreachableAgentSaysSoAndAwaitsItsTraps();
    void startWithAForeignAgentSaysNothing();
    void startWithTheAgentShowsItsIdentityAndListensForTraps();
    void startWithAnAgentWhoseStatusFailsStillListens();
    void aStatusTrapIsDrawnAtOnceAndReadByTheNextTick();
    void aMonitorInTheTrayBuildsNeitherWindowNorPopUpUntilTheyShow();
    void aCloseWhileThePowerOffWaitsAsksForItFirstAndARefusalKeepsSupervising();
};

namespace {

void seedAgent(WindowRig& rig, bool trap = true) {
    rig.storeConfig([&](CfgUps&, CfgSnmp& snmp) {
        snmp.enhSnmp = 1;
        snmp.enhTrap = trap ? 1 : 0;
        setFieldText(snmp.ipAgent, "127.0.0.1");
        setFieldText(snmp.snmpPass, "secreto");
        snmp.snmpPassSet = 1;
    });
}

void answerLikeTheUps(ScriptedAgentTransport& agent) {
    agent.nextName = "1.3.6.1.4.1.27431.1.1.1.1.0";
    agent.answer(kOidLineState, "2");
    agent.answer(kOidBatteryState, "1");
    agent.answer(kOidUpsSerial, "KV-00123456789");
    agent.answer(kOidUpsModel, "Sentinel 3000 VA");
    agent.answer(kOidUpsName, "UPS sala de servidores");
    agent.answer(kOidWriteProbe, "0", "secreto");
}

}  // namespace

void UpsMainTest::componentsCarryTheirCaptionsHintsAndInitialState() {
    Rig rig;
    TmainF& w = rig.make();
    QCOMPARE(w.windowTitle(), QStringLiteral("Korvan Servicio UPS - Ver 1.4"));
    QCOMPARE(w.size(), QSize(294, 220));
    QCOMPARE(w.toolTip(), QStringLiteral("Doble clic minimiza"));
    QVERIFY(w.windowState() & Qt::WindowMinimized);

    QPushButton* setup = w.button("bbtnSetup");
    QVERIFY(setup);
    QCOMPARE(setup->text(), QStringLiteral("&Configuración"));
    QCOMPARE(setup->toolTip(), QStringLiteral("Configuración de parámetros de monitoreo"));
    QPushButton* test = w.button("bbtnIniTest");
    QVERIFY(test);
    QCOMPARE(test->text(), QStringLiteral("&Test"));
    QCOMPARE(test->toolTip(), QStringLiteral("Prueba la UPS"));
    QVERIFY(!test->isEnabled());

    QCOMPARE(w.label("Image1")->toolTip(), QStringLiteral("Korvan Ingeniería S.R.L."));
    QCOMPARE(w.findChild<QWidget*>("Panel1")->toolTip(),
             QStringLiteral("Estado de la UPS monitoreada"));
    QCOMPARE(w.findChild<QWidget*>("Panel2")->toolTip(), QStringLiteral("Información"));
    QCOMPARE(w.label("lblSum")->text(), QStringLiteral("Suministro de Línea"));
    QCOMPARE(w.label("lblBat")->text(), QStringLiteral("Batería Normal"));
    QCOMPARE(textColour(w.label("lblSum")), QColor(0, 0, 255));
    QCOMPARE(textColour(w.label("lblBat")), QColor(0, 0, 255));
    for (const char* name : {"imgLine", "imgBat", "lblInfo1", "lblInfo2", "lblInfo3"}) {
        QVERIFY2(w.label(name), name);
    }
    QCOMPARE(w.imgLst().size(), 4);
    for (const QPixmap& p : w.imgLst()) QCOMPARE(p.size(), QSize(32, 32));

    QVERIFY(!w.Timer().isActive());
    QCOMPARE(w.Timer().interval(), 1000);

    // Constructor values of the run-time state and the records' defaults.
    QVERIFY(!w.state().serialLinkActive && !w.state().agentLinkActive);
    QVERIFY(w.state().lineOk && !w.state().batteryLow);
    QVERIFY(w.state().startPending);
    QCOMPARE(w.cfgUps().comPort, -1);
    QCOMPARE(w.cfgUps().tmpLowB, 30);
    QCOMPARE(w.cfgSnmp().enterprise, 27431);
}

void UpsMainTest::menusOfferRestoreMinimiseAndFinish() {
    Rig rig;
    TmainF& w = rig.make();
    auto texts = [](QMenu* m) {
        QStringList t;
        for (QAction* a : m->actions()) t << (a->isSeparator() ? QStringLiteral("-") : a->text());
        return t;
    };
    // As the program shows them: the monitor is built here as the process entry builds it.
    QCOMPARE(texts(w.pMnTray()),
             (QStringList{"&Restaurar", "&Ensayo de corte", "&Historial...", "-", "&Finalizar"}));
    QCOMPARE(texts(w.pMnFrm()),
             (QStringList{"&Minimizar", "&Ensayo de corte", "&Historial...", "-", "&Finalizar"}));
    QCOMPARE(w.pMnTray()->actions().first()->objectName(), QStringLiteral("Restaurar1"));
    QCOMPARE(w.pMnTray()->actions().last()->objectName(), QStringLiteral("Cerrar1"));
    QCOMPARE(w.pMnFrm()->actions().first()->objectName(), QStringLiteral("MinimClic"));
    QCOMPARE(w.pMnFrm()->actions().last()->objectName(), QStringLiteral("MenuItem3"));
    QAction* restore = w.pMnTray()->actions().first();
    QCOMPARE(restore->toolTip(), QStringLiteral("Restaura la aplicación"));
    QCOMPARE(w.pMnTray()->actions().last()->toolTip(), QStringLiteral("Finaliza monitoreo de UPS"));
    QCOMPARE(w.pMnFrm()->actions().first()->toolTip(), QStringLiteral("Restaura la aplicación"));
}

void UpsMainTest::closeBoxAsksAndNoKeepsTheMonitorRunning() {
    Rig rig;
    TmainF& w = rig.make();
    w.show();
    rig.boxes.answers = {MbResult::No};
    QVERIFY(!w.close());
    QCOMPARE(rig.boxes.shown.size(), size_t(1));
    QCOMPARE(rig.boxes.shown[0].text, std::string("Cerrando el programa dejará de monitorear la "
                                                  "UPS.\r\n¿Desea finalizar la aplicación?."));
    QCOMPARE(rig.boxes.shown[0].title, std::string("Pregunta"));
    QVERIFY(rig.boxes.shown[0].icon == MbIcon::Question);
    QVERIFY(rig.boxes.shown[0].buttons == MbButtons::YesNo);
    QVERIFY(!w.state().closingBySystem);
    QVERIFY(w.isVisible());
}

void UpsMainTest::closeBoxYesEndsTheProgramAndReleasesThePort() {
    Rig rig;
    rig.storeConfigWithPort(2);
    TmainF& w = rig.make();
    w.FormCreate();
    QVERIFY(w.state().serialLinkActive);
    w.show();
    rig.boxes.answers = {MbResult::Yes};
    QSignalSpy quit(qApp, &QCoreApplication::aboutToQuit);
    QVERIFY(w.close());
    QVERIFY(w.state().closingBySystem);
    QVERIFY(!rig.serial.rts());
    QVERIFY(!rig.serial.isOpen(2));
    auto names = rig.serial.callNames();
    QCOMPARE(QString::fromStdString(names[names.size() - 2]), QStringLiteral("rts 2 off"));
    QCOMPARE(QString::fromStdString(names.back()), QStringLiteral("close 2"));
    QVERIFY(!w.Timer().isActive());
}

void UpsMainTest::finalizarClosesWithoutAQuestion() {
    Rig rig;
    TmainF& w = rig.make();
    w.show();
    w.pMnFrm()->actions().last()->trigger();
    QVERIFY(rig.boxes.shown.empty());
    QVERIFY(!w.isVisible());
    QVERIFY(w.state().closingBySystem);

    Rig rig2;
    TmainF& w2 = rig2.make();
    w2.show();
    w2.pMnTray()->actions().last()->trigger();
    QVERIFY(rig2.boxes.shown.empty());
    QVERIFY(!w2.isVisible());
}

void UpsMainTest::logoffAsksTheCloseQuestion() {
    Rig rig;
    TmainF& w = rig.make();
    rig.boxes.answers = {MbResult::No, MbResult::Yes};
    QVERIFY(!w.sessionMayEnd(true));
    QVERIFY(!w.state().closingBySystem);
    QVERIFY(w.sessionMayEnd(true));
    QVERIFY(w.state().closingBySystem);
    QCOMPARE(rig.boxes.shown.size(), size_t(2));
    // Once the monitor is closing by itself, nothing is asked.
    QVERIFY(w.sessionMayEnd(true));
    QCOMPARE(rig.boxes.shown.size(), size_t(2));

    Rig quiet;
    TmainF& w2 = quiet.make();
    QVERIFY(w2.sessionMayEnd(false));
    QVERIFY(quiet.boxes.shown.empty());
}

void UpsMainTest::doubleClickMinimisesAndRestores() {
    Rig rig;
    TmainF& w = rig.make();
    w.showNormal();
    QVERIFY(!(w.windowState() & Qt::WindowMinimized));
    QTest::mouseDClick(w.label("lblInfo2"), Qt::LeftButton);
    QVERIFY(w.windowState() & Qt::WindowMinimized);
    QTest::mouseDClick(w.label("lblSum"), Qt::LeftButton);
    QVERIFY(!(w.windowState() & Qt::WindowMinimized));
    // The buttons keep their own double click.
    QTest::mouseDClick(w.button("bbtnSetup"), Qt::LeftButton);
    QVERIFY(!(w.windowState() & Qt::WindowMinimized));
    w.pMnFrm()->actions().at(0)->trigger();  // "&Minimizar"
    QVERIFY(w.windowState() & Qt::WindowMinimized);
    w.pMnTray()->actions().at(0)->trigger();  // "&Restaurar"
    QVERIFY(!(w.windowState() & Qt::WindowMinimized));
}

void UpsMainTest::startWithNoUsablePortKeepsTheWindowForTheConfiguration() {
    Rig rig;
    for (int p = 0; p < 4; ++p) rig.serial.setPort(p, FakeSerialUps::PortKind::SystemError, 2);
    TmainF& w = rig.make();
    w.FormCreate();
    QCOMPARE(rig.boxes.texts(), std::vector<std::string>{"No hay puerto serie disponible."});
    QCOMPARE(rig.boxes.shown[0].title, std::string("! ERROR !"));
    QVERIFY(rig.boxes.shown[0].icon == MbIcon::Error);
    // Without COM1..COM4 the configuration is the only way to the agent: the window stays, with
    // nothing supervised, as when no port is chosen.
    QVERIFY(!w.state().serialLinkActive);
    QVERIFY(!w.button("bbtnIniTest")->isEnabled());
    QCOMPARE(w.label("lblInfo1")->text(), QStringLiteral("Monitor de UPS"));
    QCOMPARE(w.label("lblInfo3")->text(), QStringLiteral("Sitio : ") + webAddress());
    w.TimerTimer();
    QVERIFY(!(w.windowState() & Qt::WindowMinimized));
    QVERIFY(!w.Timer().isActive());
}

void UpsMainTest::startWithNoPortConfiguredWarnsThenShowsTheWindow() {
    Rig rig;
    rig.storeConfigWithPort(-1);
    TmainF& w = rig.make();
    w.FormCreate();
    QCOMPARE(rig.boxes.texts(),
             std::vector<std::string>{
                 "No hay un puerto válido seleccionado.\r\nSeleccione uno válido."});
    QCOMPARE(rig.boxes.shown[0].title, std::string("! CUIDADO !"));
    QVERIFY(rig.boxes.shown[0].icon == MbIcon::Warning);
    QVERIFY(!w.state().serialLinkActive);
    QVERIFY(!w.button("bbtnIniTest")->isEnabled());
    QVERIFY(w.Timer().isActive());
    QCOMPARE(w.label("lblInfo1")->text(), QStringLiteral("Monitor por puerto serie"));
    QCOMPARE(w.label("lblInfo2")->text(), QStringLiteral("UPS Korvan"));

    // The first tick finds no link: the window comes up and the tick stays stopped.
    QVERIFY(w.windowState() & Qt::WindowMinimized);
    w.TimerTimer();
    QVERIFY(!(w.windowState() & Qt::WindowMinimized));
    QVERIFY(w.isVisible());
    QVERIFY(!w.Timer().isActive());
}

void UpsMainTest::startWithAWorkingPortAssertsRtsAndStoresTheProbe() {
    Rig rig;
    rig.storeConfigWithPort(1);
    rig.serial.setPort(0, FakeSerialUps::PortKind::SystemError, 5);
    rig.serial.setPort(3, FakeSerialUps::PortKind::OtherError);
    TmainF& w = rig.make();
    w.FormCreate();

    QVERIFY(rig.boxes.shown.empty());
    QVERIFY(w.state().serialLinkActive);
    QVERIFY(w.Timer().isActive());
    QVERIFY(rig.serial.rts());
    QVERIFY(rig.serial.isOpen(1));
    QVERIFY(w.button("bbtnIniTest")->isEnabled());
    auto names = rig.serial.callNames();
    QCOMPARE(QString::fromStdString(names.back()), QStringLiteral("rts 1 on"));

    CfgUps stored = rig.storedUps();
    QCOMPARE(stored.portStatus[0], 5);
    QCOMPARE(stored.portStatus[1], 0);
    QCOMPARE(stored.portStatus[2], 0);
    QCOMPARE(stored.portStatus[3], -1000);
    QCOMPARE(w.state().warnCountdown, 5);
    QCOMPARE(w.state().shutdownCountdown, 30);

    // A tick reads the lines; mains lost shows on the panel.
    rig.serial.mainsPresent = false;
    w.TimerTimer();
    QCOMPARE(w.state().eventCode(), ecOnBattery);
    QCOMPARE(w.label("lblSum")->text(), QStringLiteral("Suministro de Batería"));
    QCOMPARE(textColour(w.label("lblSum")), QColor(255, 0, 0));
    QVERIFY(w.Timer().isActive());
}

void UpsMainTest::aMonitorInTheTrayBuildsNeitherWindowNorPopUpUntilTheyShow() {
    Rig rig;
    rig.storeConfigWithPort(1);
    rig.infoOnDemand = true;
    TmainF& w = rig.make();
    w.FormCreate();
    w.TrayComp().Minimize();
    for (int i = 0; i < 3; ++i) w.TimerTimer();
    // Waiting in the tray: the window was never shown nor laid out, its logo (the one drawing
    // with text) not drawn, and no pop-up was made.
    QVERIFY(!w.testAttribute(Qt::WA_WState_Polished));
    QVERIFY(w.windowState() & Qt::WindowMinimized);
    QVERIFY(w.findChild<QLabel*>("Image1")->pixmap().isNull());
    QVERIFY(!rig.info);

    // The first notice makes the pop-up, with the caption asked for before it existed.
    w.setNoticeCaption("Aviso de prueba");
    QVERIFY(!rig.info);
    w.showNotice(std::nullopt, art::picOnBattery, "Una nota", 3000);
    QVERIFY(rig.info && rig.info->isVisible());
    QCOMPARE(rig.info->text(), QStringLiteral("Una nota"));
    QCOMPARE(rig.info->windowTitle(), QStringLiteral("Aviso de prueba"));
    QVERIFY(rig.info->picture() != nullptr && !rig.info->picture()->isNull());

    // Restored from the tray, the window shows whole, logo included.
    w.TrayComp().Restore();
    QVERIFY(w.isVisible() && !(w.windowState() & Qt::WindowMinimized));
    QVERIFY(!w.findChild<QLabel*>("Image1")->pixmap().isNull());
}

void UpsMainTest::startOnAFreshStoreWritesTheDefaults() {
    Rig rig;
    TmainF& w = rig.make();
    w.FormCreate();
    QVERIFY(rig.store.hasKey(kKeySoftware));
    QVERIFY(rig.store.hasKey(kKeyUps));
    QVERIFY(rig.store.hasKey(kKeyConfig));
    CfgUps stored = rig.storedUps();
    QCOMPARE(stored.pswUnset, std::uint8_t(1));
    QCOMPARE(stored.comPort, -1);
    QCOMPARE(stored.testMode, 3);
    auto snmp = rig.store.value(kKeyConfig, kValueCfgSnmp);
    QVERIFY(snmp.has_value());
    QCOMPARE(snmp->data.size(), size_t(72));
    (void)w;
}

void UpsMainTest::startWithAnUnreachableAgentSaysSoAndAwaitsItsTraps() {
    Rig rig;
    seedAgent(rig);
    rig.agent.pingResult = -1;
    TmainF& w = rig.make();
    w.FormCreate();
    QCOMPARE(rig.boxes.texts(), std::vector<std::string>{"No se detectó el agente."});
    QCOMPARE(rig.boxes.shown[0].title, std::string("! ERROR !"));
    QVERIFY(rig.boxes.shown[0].icon == MbIcon::Error);
    // The configured agent may be restarting after the same power cut: its traps are awaited
    // and its state asked for again, tick after tick.
    QVERIFY(w.state().agentLinkActive && !w.state().serialLinkActive);
    QVERIFY(w.trapCatch().started());
    QVERIFY(w.trapFields().refreshRequested.load());
    QVERIFY(rig.serial.calls.empty());  // the serial ports are left alone in SNMP mode
    w.TimerTimer();
    QVERIFY(w.Timer().isActive());
    w.close();
}

void UpsMainTest::startWithAForeignAgentSaysNothing() {
    Rig rig;
    seedAgent(rig);
    rig.agent.nextName = "1.3.6.1.4.1.311.1.1.0";
    TmainF& w = rig.make();
    w.FormCreate();
    QVERIFY(rig.boxes.shown.empty());
    QVERIFY(!w.state().agentLinkActive);
    QVERIFY(!w.trapCatch().started());
    QCOMPARE(w.label("lblInfo1")->text(), QStringLiteral("Monitor de UPS"));
    w.TimerTimer();
    QVERIFY(!w.Timer().isActive());
}

void UpsMainTest::startWithTheAgentShowsItsIdentityAndListensForTraps() {
    Rig rig;
    seedAgent(rig);
    answerLikeTheUps(rig.agent);
    TmainF& w = rig.make();
    w.FormCreate();
    QVERIFY(rig.boxes.shown.empty());
    QVERIFY(w.state().agentLinkActive);
    QVERIFY(w.state().agentCommandsOk);
    QVERIFY(!w.state().lineOk);  // the agent reports a line failure
    QCOMPARE(w.state().eventCode(), ecOnBattery);
    QCOMPARE(w.label("lblInfo1")->text(), QStringLiteral("UPS sala de servidores"));
    QCOMPARE(w.label("lblInfo2")->text(), QStringLiteral("Nro. Serie : KV-0012345"));
    QCOMPARE(w.label("lblInfo3")->text(), QStringLiteral("Modelo : Sentinel 3000 VA"));
    QCOMPARE(w.label("lblSum")->text(), QStringLiteral("Suministro de Batería"));
    QVERIFY(w.trapCatch().started());
    QCOMPARE(w.trapFields().lineState.load(), 2);  // seeded from the status read
    QVERIFY(w.Timer().isActive());
    w.close();  // closing stops and joins the listener
}

void UpsMainTest::startWithAnAgentWhoseStatusFailsStillListens() {
    Rig rig;
    seedAgent(rig);
    answerLikeTheUps(rig.agent);
    rig.agent.silence(kOidLineState);
    TmainF& w = rig.make();
    w.FormCreate();
    // A running listener is a live link: the failed read is asked for again by the ticks, and
    // supervision never stops for it.
    QVERIFY(w.state().agentLinkActive);
    QVERIFY(w.trapCatch().started());
    QCOMPARE(w.label("lblInfo1")->text(), QStringLiteral("UPS sala de servidores"));
    auto lineReads = [&] {
        return std::count_if(rig.agent.calls.begin(), rig.agent.calls.end(),
                             [](const AgentCall& c) { return c.oid == kOidLineState; });
    };
    const auto readsBefore = lineReads();
    for (int i = 0; i < 3; ++i) w.TimerTimer();
    QVERIFY(w.Timer().isActive());
    QVERIFY(lineReads() > readsBefore);
    rig.agent.answer(kOidLineState, "1");
    for (int i = 0; i < 3; ++i) w.TimerTimer();
    QCOMPARE(w.state().eventCode(), ecNormal);
    rig.boxes.answers = {MbResult::Yes};
    w.close();
}

// The agent's traps cannot arrive when another program holds the port: the user is told why,
// once, in a box from the event loop, and the history keeps the reason.
void UpsMainTest::aTrapPortThatCannotBeHadIsToldOnceWithItsReason() {
    TUDPBlockSocket holder;
    holder.Bind("127.0.0.1", "0");
    Rig rig;
    seedAgent(rig);
    answerLikeTheUps(rig.agent);
    rig.trapPort = std::to_string(holder.GetLocalSinPort());
    rig.trapPortProblem = [] { return std::string("el puerto lo ocupa otro programa."); };
    TmainF& w = rig.make();
    w.FormCreate();
    QVERIFY(QTest::qWaitFor([&] { return w.trapCatch().bindFailures() > 0; }, 5000));
    for (int i = 0; i < 3; ++i) {
        w.TimerTimer();
        rig.tasks.runDue();
    }
    QCOMPARE(rig.boxes.texts(), std::vector<std::string>{"el puerto lo ocupa otro programa."});
    QCOMPARE(rig.boxes.shown[0].title, std::string("! CUIDADO !"));
    QCOMPARE(std::count(rig.history.entries.begin(), rig.history.entries.end(),
                        "trap_port_unavailable UDP " + rig.trapPort +
                            ": el puerto lo ocupa otro programa."),
             1);
    w.close();
}

void UpsMainTest::aStatusTrapIsDrawnAtOnceAndReadByTheNextTick() {
    Rig rig;
    seedAgent(rig);
    answerLikeTheUps(rig.agent);
    rig.agent.answer(kOidLineState, "1");
    TmainF& w = rig.make();
    w.FormCreate();
    w.Timer().stop();
    QTRY_VERIFY(w.trapCatch().listening());
    QCOMPARE(w.label("lblSum")->text(), QStringLiteral("Suministro de Línea"));
    TUDPBlockSocket agent;
    agent.Bind("127.0.0.1", "0");
    agent.Connect("127.0.0.1", std::to_string(w.trapCatch().boundPort()));
    agent.SendString(statusTrap(2));
    QTRY_COMPARE(w.label("lblSum")->text(), QStringLiteral("Suministro de Batería"));
    QCOMPARE(rig.tray.tip(), QStringLiteral("Suministro de Batería"));
    // Shown, not yet supervised: the tick reads it, with its notices and history.
    QVERIFY(w.state().lineOk);
    w.TimerTimer();
    QVERIFY(!w.state().lineOk);
    w.close();
}

// A close that comes between the power-off's decision and its request (the notice's moment): the
// request goes out at once. Refused, the monitor goes on supervising, as with any refusal.
void UpsMainTest::aCloseWhileThePowerOffWaitsAsksForItFirstAndARefusalKeepsSupervising() {
    Rig rig;
    rig.storeConfig([](CfgUps& cfg, CfgSnmp&) {
        cfg.comPort = 0;
        cfg.enhShutdwn = 1;
    });
    TmainF& w = rig.make();
    w.show();
    w.FormCreate();
    w.Timer().stop();
    rig.serial.mainsPresent = false;
    rig.serial.batteryOk = false;
    for (int i = 0; i < 60 && !rig.monitor->supervisor().shutdownPending(); ++i) {
        rig.time.advanceMs(1000);
        w.TimerTimer();
    }
    QVERIFY(rig.monitor->supervisor().shutdownPending());
    rig.system.powerOffAnswer = "sin privilegio";
    rig.boxes.answers = {MbResult::Ok, MbResult::No};
    QVERIFY(!w.close());
    QCOMPARE(rig.system.powerOffRequests, 1);
    QVERIFY(w.isVisible());
    QVERIFY(!rig.monitor->supervisor().shutdownPending());
    QVERIFY(rig.boxes.texts().front().starts_with("El sistema no aceptó el apagado"));
    // The request waiting for the notice's moment is not made a second time.
    rig.time.advanceMs(1000);
    rig.tasks.runDue();
    QCOMPARE(rig.system.powerOffRequests, 1);
    w.close();
}

QTEST_MAIN(UpsMainTest)
#include "upsMain_test.moc"
