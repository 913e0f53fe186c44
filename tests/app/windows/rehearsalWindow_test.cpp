// The "Ensayo de corte" entry through the real window and supervisor on a fake UPS: the password,
// the marked pop-up, the applications listed at half-time, nothing asked of the system, cancel.
#include "app/windows/rehearsal/rehearsalWindow.h"

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QtTest>

#include "app/flows/rehearsalFlow.h"
#include "app/windows/password/upsPsw.h"
#include "config/password.h"
#include "support/windowRig.h"

using namespace ups;
using namespace ups::test;

class RehearsalWindowTest : public QObject {
    Q_OBJECT
private slots:
    void aRehearsalRunsThroughThePopupAndItsWindowAndAsksNothingOfTheSystem();
};

void RehearsalWindowTest::aRehearsalRunsThroughThePopupAndItsWindowAndAsksNothingOfTheSystem() {
    WindowRig rig;
    rig.storeConfig([](CfgUps& cfg, CfgSnmp&) {
        cfg.comPort = 0;
        cfg.tmpFail = 1;
        cfg.tmpLowB = 10;
        cfg.enhShutdwn = 1;
        storePassword(cfg, "Clave1");
        cfg.pswEnabled = 1;
    });
    TmainF& w = rig.make();
    w.FormCreate();
    RehearsalFlow& flow = rig.monitor->rehearsalFlow();
    // A tick a second: the countdowns count seconds.
    auto tick = [&] {
        rig.time.advanceMs(1000);
        w.TimerTimer();
    };
    QString typed;
    flow.setDialogRunner([&](QDialog& dialog) {
        qobject_cast<TsysPswF*>(&dialog)->edPassw()->setText(typed);
        return int(QDialog::Accepted);
    });
    QAction* trayEntry = w.pMnTray()->findChild<QAction*>("TrayItemRehearsal");
    QAction* frmEntry = w.pMnFrm()->findChild<QAction*>("MenuItemRehearsal");

    typed = "clave1";
    trayEntry->trigger();
    QVERIFY(!flow.running());
    QCOMPARE(rig.boxes.texts(), std::vector<std::string>{"Clave Incorrecta."});

    typed = "Clave1";
    frmEntry->trigger();
    QVERIFY(flow.running());
    QCOMPARE(trayEntry->text(), QStringLiteral("&Cancelar ensayo"));
    tick();
    tick();  // the first line-failure notice
    QCOMPARE(rig.info->windowTitle(), QStringLiteral("ENSAYO - Información"));
    QVERIFY(rig.info->rehearsalMarked());
    for (int i = 0; i < 12 && flow.running(); ++i) tick();
    QVERIFY(!flow.running());
    RehearsalWindow& window = *flow.window();
    QCOMPARE(window.windowTitle(), QStringLiteral("Ensayo de corte - completado"));
    QCOMPARE(window.lstAplic()->count(), 2);
    QCOMPARE(window.lstAplic()->item(1)->text(), QStringLiteral("Hoja de cálculo"));
    QCOMPARE(rig.info->text(), QStringLiteral("Cerrando sistema"));
    QCOMPARE(rig.system.closeRequests + rig.system.powerOffRequests, 0);
    QVERIFY(!w.state().closingBySystem && w.Timer().isActive());
    QCOMPARE(w.label("lblSum")->text(), QStringLiteral("Suministro de Línea"));  // the real state

    // Cancelled from its window; ended by a real line failure, whose notice is the pop-up's own.
    frmEntry->trigger();
    tick();
    window.btnCancelar()->click();
    QCOMPARE(window.windowTitle(), QStringLiteral("Ensayo de corte - cancelado por el usuario"));
    frmEntry->trigger();
    tick();
    rig.serial.mainsPresent = false;
    tick();
    QCOMPARE(window.windowTitle(),
             QStringLiteral("Ensayo de corte - interrumpido por un evento real"));
    QCOMPARE(frmEntry->text(), QStringLiteral("&Ensayo de corte"));
    tick();
    QCOMPARE(rig.info->text(), QStringLiteral("Falla en tensión de línea"));
    QCOMPARE(rig.info->windowTitle(), QStringLiteral("Información"));
    QVERIFY(!rig.info->rehearsalMarked());
    frmEntry->trigger();
    QVERIFY(!flow.running());
    QCOMPARE(rig.boxes.texts().back(),
             std::string("Hay un evento de energía en curso.\r\nEl ensayo no puede comenzar."));
}

QTEST_MAIN(RehearsalWindowTest)
#include "rehearsalWindow_test.moc"
