// The configuration button: password, the dialog over a copy of the records while supervision goes
// on, and the link the new settings name taking over without a restart.
#include <QLabel>
#include <QLineEdit>
#include <QtTest>

#include "app/windows/configuration/upsCfg.h"
#include "app/windows/main/upsMain.h"
#include "app/windows/password/upsPsw.h"
#include "config/password.h"
#include "support/windowRig.h"

using namespace ups;
using namespace ups::test;

namespace {

// What the user does in the dialog, applied to its records as the dialog's "Aceptar" would.
using Edit = std::function<void(CfgUps&, CfgSnmp&)>;

struct SetupRig : WindowRig {
    int dialogsShown = 0;

    TmainF& startSerial(int port) {
        storeConfigWithPort(port);
        TmainF& w = make();
        w.FormCreate();
        return w;
    }
    // Runs the configuration button with the user accepting (edit given) or cancelling.
    void configure(std::optional<Edit> edit) {
        window->setDialogRunner([this, edit](QDialog& dialog) {
            auto* cfg = qobject_cast<TcfgF*>(&dialog);
            if (!cfg) return int(QDialog::Rejected);
            ++dialogsShown;
            if (!edit) return int(QDialog::Rejected);
            (*edit)(cfg->editedUps(), cfg->editedSnmp());
            return int(QDialog::Accepted);
        });
        window->bbtnSetupClick();
    }
    QString info(int line) {
        return window->label(("lblInfo" + std::to_string(line)).c_str())->text();
    }
};

void answerLikeTheUps(ScriptedAgentTransport& agent) {
    agent.nextName = "1.3.6.1.4.1.27431.1.1.1.1.0";
    agent.answer(kOidLineState, "1");
    agent.answer(kOidBatteryState, "2");
    agent.answer(kOidUpsSerial, "KV123");
    agent.answer(kOidUpsModel, "Sentinel");
    agent.answer(kOidUpsName, "UPS oficina");
}

void useAgent(CfgUps&, CfgSnmp& snmp, bool trap) {
    snmp.enhSnmp = 1;
    snmp.enhTrap = trap ? 1 : 0;
    setFieldText(snmp.ipAgent, "127.0.0.1");
}

}  // namespace

class UpsSetupTest : public QObject {
    Q_OBJECT
private slots:
    void acceptingTheSamePortKeepsTheLinkAndTheState();
    void switchingPortClosesTheOldOneAndOpensTheNew();
    void switchingToTheAgentWithTrapsReadsItAndListens();
    void aComputerWithoutSerialPortsCanChooseTheAgent();
    void switchingToTheAgentWithoutTrapsShowsAnUnknownAgent();
    void cancellingChangesNothing();
    void aWrongPasswordKeepsTheDialogShut();
    void acceptingInDaysModeStartsTheCountNow();
    void anUnexpectedFailureIsReportedAsMemory();
};

void UpsSetupTest::acceptingTheSamePortKeepsTheLinkAndTheState() {
    SetupRig rig;
    TmainF& w = rig.startSerial(1);
    rig.serial.mainsPresent = false;
    rig.serial.batteryOk = false;
    for (int i = 0; i < 5; ++i) w.TimerTimer();
    int countdownBefore = w.state().shutdownCountdown;
    QVERIFY(countdownBefore < 30);
    rig.serial.calls.clear();

    rig.configure([](CfgUps& cfg, CfgSnmp&) {
        cfg.tmpFail = 9;
        cfg.tmpLowB = 200;
    });

    QCOMPARE(rig.dialogsShown, 1);
    for (const auto& c : rig.serial.callNames()) QVERIFY2(c.rfind("read", 0) == 0, c.c_str());
    QVERIFY(w.state().serialLinkActive);
    QCOMPARE(w.state().eventCode(), ecCritical);             // the state stays
    QCOMPARE(w.state().warnCountdown, 9);                    // reloaded
    QCOMPARE(w.state().shutdownCountdown, countdownBefore);  // battery low: kept
    QVERIFY(w.Timer().isActive());
    QCOMPARE(rig.storedUps().tmpLowB, 200);
    QCOMPARE(rig.history.entries.back(),
             std::string("config_changed CfgUps.tmpFail, CfgUps.tmpLowB"));
}

void UpsSetupTest::switchingPortClosesTheOldOneAndOpensTheNew() {
    SetupRig rig;
    TmainF& w = rig.startSerial(1);
    rig.serial.mainsPresent = false;
    w.TimerTimer();
    QCOMPARE(w.state().eventCode(), ecOnBattery);
    rig.serial.calls.clear();

    rig.configure([](CfgUps& cfg, CfgSnmp&) { cfg.comPort = 2; });

    auto calls = rig.serial.callNames();
    QCOMPARE(QString::fromStdString(calls.at(0)), QStringLiteral("close 1"));  // no RTS clear
    QCOMPARE(QString::fromStdString(calls.at(1)), QStringLiteral("open 2 512 512"));
    QVERIFY(rig.serial.isOpen(2) && !rig.serial.isOpen(1));
    QCOMPARE(w.serialLink().port(), 2);
    QVERIFY(w.state().lineOk && !w.state().batteryLow);
    QCOMPARE(w.state().eventCode(), ecNormal);
    QCOMPARE(rig.info(1), QStringLiteral("Monitor por puerto serie"));
    QVERIFY(w.Timer().isActive());
    // RTS is asserted by the first tick's read.
    w.TimerTimer();
    QVERIFY(rig.serial.rts());
}

// Without COM1..COM4 the start says so and keeps the window, with nothing supervised; the
// configuration then reaches the agent, and supervision starts.
void UpsSetupTest::aComputerWithoutSerialPortsCanChooseTheAgent() {
    SetupRig rig;
    answerLikeTheUps(rig.agent);
    for (int p = 0; p < 4; ++p) rig.serial.setPort(p, FakeSerialUps::PortKind::SystemError, 2);
    TmainF& w = rig.startSerial(0);
    QCOMPARE(rig.boxes.texts(), std::vector<std::string>{"No hay puerto serie disponible."});
    w.TimerTimer();
    QVERIFY(!w.Timer().isActive());

    rig.configure([](CfgUps& cfg, CfgSnmp& snmp) { useAgent(cfg, snmp, true); });

    QVERIFY(w.state().agentLinkActive);
    QVERIFY(w.trapCatch().started());
    QVERIFY(w.Timer().isActive());
    QCOMPARE(rig.info(1), QStringLiteral("UPS oficina"));
    w.close();
}

void UpsSetupTest::switchingToTheAgentWithTrapsReadsItAndListens() {
    SetupRig rig;
    answerLikeTheUps(rig.agent);
    TmainF& w = rig.startSerial(0);
    rig.serial.calls.clear();

    rig.configure([](CfgUps& cfg, CfgSnmp& snmp) { useAgent(cfg, snmp, true); });

    QCOMPARE(rig.serial.callNames(), std::vector<std::string>{"close 0"});
    QVERIFY(!w.state().serialLinkActive);
    QVERIFY(w.state().agentLinkActive);
    QVERIFY(w.state().lineOk && w.state().batteryLow);
    QCOMPARE(w.trapFields().batteryState.load(), 2);
    QVERIFY(w.trapCatch().started() && !w.trapCatch().paused());
    QCOMPARE(rig.info(1), QStringLiteral("UPS oficina"));
    QCOMPARE(rig.info(2), QStringLiteral("Nro. Serie : KV123"));
    QCOMPARE(rig.info(3), QStringLiteral("Modelo : Sentinel"));
    QVERIFY(w.Timer().isActive());

    // While the dialog is open the listener and the tick go on: a critical trap that comes
    // meanwhile is supervised, and the dialog counts as open for the scheduled tests.
    bool listeningDuringDialog = false;
    bool ticksDuringDialog = false;
    w.setDialogRunner([&](QDialog&) {
        listeningDuringDialog = !w.trapCatch().paused();
        w.trapFields().storeStatus(2, 2);
        w.TimerTimer();
        ticksDuringDialog =
            w.Timer().isActive() && w.dialogOpen() && w.state().eventCode() == ecCritical;
        return int(QDialog::Rejected);
    });
    w.bbtnSetupClick();
    QVERIFY(listeningDuringDialog);
    QVERIFY(ticksDuringDialog);
    QVERIFY(!w.dialogOpen());
}

void UpsSetupTest::switchingToTheAgentWithoutTrapsShowsAnUnknownAgent() {
    SetupRig rig;
    rig.agent.pingResult = -1;  // nothing answers at the new address
    TmainF& w = rig.startSerial(0);
    rig.serial.mainsPresent = false;
    w.TimerTimer();

    rig.configure([](CfgUps& cfg, CfgSnmp& snmp) { useAgent(cfg, snmp, false); });

    QVERIFY(!w.state().serialLinkActive && !w.state().agentLinkActive);
    QVERIFY(w.state().lineOk);
    QCOMPARE(w.state().eventCode(), ecNormal);
    QCOMPARE(rig.info(1), QStringLiteral("Agente no detectado"));
    QCOMPARE(rig.info(2), QStringLiteral("Nro. Serie :  ????"));
    QCOMPARE(rig.info(3), QStringLiteral("Modelo : desconocido"));
    w.TimerTimer();  // no link left: the window comes up and the tick stops
    QVERIFY(!(w.windowState() & Qt::WindowMinimized));
    QVERIFY(!w.Timer().isActive());
    QVERIFY(!w.trapCatch().started());
}

void UpsSetupTest::cancellingChangesNothing() {
    SetupRig rig;
    TmainF& w = rig.startSerial(3);
    rig.serial.calls.clear();
    rig.configure(std::nullopt);
    QVERIFY(w.Timer().isActive());
    QVERIFY(rig.serial.calls.empty());

    SetupRig none;
    TmainF& w2 = none.startSerial(-1);
    w2.TimerTimer();
    none.boxes.shown.clear();
    none.configure(std::nullopt);
    QVERIFY(!w2.Timer().isActive());
    QVERIFY(none.boxes.shown.empty());
}

void UpsSetupTest::aWrongPasswordKeepsTheDialogShut() {
    SetupRig rig;
    TmainF& w = rig.startSerial(0);
    storePassword(w.cfgUps(), "Clave1");
    w.cfgUps().pswEnabled = 1;
    w.cfgUps().pswUnset = 0;
    w.setDialogRunner([&](QDialog& dialog) {
        if (auto* prompt = qobject_cast<TsysPswF*>(&dialog)) {
            prompt->edPassw()->setText("clave1");
            return int(QDialog::Accepted);
        }
        ++rig.dialogsShown;
        return int(QDialog::Rejected);
    });
    w.bbtnSetupClick();
    QCOMPARE(rig.dialogsShown, 0);
    QCOMPARE(rig.boxes.texts(), std::vector<std::string>{"Clave Incorrecta."});
    QVERIFY(w.Timer().isActive());  // supervision was never interrupted
}

void UpsSetupTest::acceptingInDaysModeStartsTheCountNow() {
    SetupRig rig;
    TmainF& w = rig.startSerial(0);
    rig.time.set(46'100.25);
    rig.configure([](CfgUps& cfg, CfgSnmp&) { cfg.testMode = tmDias; });
    QCOMPARE(w.cfgUps().lastTest, 46'100.25);
    QCOMPARE(rig.storedUps().lastTest, 46'100.25);
    // The acceptance's own stamp is not the user's change.
    QCOMPARE(rig.history.entries.back(), std::string("config_changed CfgUps.testMode"));
}

void UpsSetupTest::anUnexpectedFailureIsReportedAsMemory() {
    SetupRig rig;
    TmainF& w = rig.startSerial(0);
    w.setDialogRunner([](QDialog&) -> int { throw std::bad_alloc(); });
    w.bbtnSetupClick();
    QCOMPARE(rig.boxes.texts(), std::vector<std::string>{"Asignando memoria."});
    QCOMPARE(rig.boxes.shown[0].title, std::string("! ERROR !"));
}

QTEST_MAIN(UpsSetupTest)
#include "upsSetup_test.moc"
