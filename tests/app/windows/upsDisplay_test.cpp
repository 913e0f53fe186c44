// The state as the main window draws it: the panel, the tray icon and its tooltip, and the test
// button's two roles.
#include <QLabel>
#include <QPushButton>
#include <QtTest>

#include "app/windows/main/upsMain.h"
#include "support/windowRig.h"

using namespace ups;
using namespace ups::test;

namespace {

struct Rig : WindowRig {
    TmainF& window = make();

    void draw(bool lineOk, bool batteryLow) {
        SupervisorState& s = window.state();
        s.lineOk = lineOk;
        s.batteryLow = batteryLow;
        s.displayDirty = true;
        window.refreshDisplay();
    }
    QString text(const char* label) { return window.label(label)->text(); }
    QColor colour(const char* label) {
        return window.label(label)->palette().color(QPalette::WindowText);
    }
    QPushButton* testButton() { return window.button("bbtnIniTest"); }
};

QImage pictureOf(QLabel* label) {
    return label->pixmap().toImage();
}

// A 40-second mains failure and its return on the serial link, ticked second by second with the
// timer stopped: what each tick records as notices. The change reaches the UPS's lines either
// through the watch on them (the event path) or only as the tick's own read finds it.
std::vector<std::string> noticesPerTick(bool throughTheWatch) {
    WindowRig rig;
    rig.storeConfig([](CfgUps& cfg, CfgSnmp&) { cfg.comPort = 0; });
    TmainF& w = rig.make();
    w.FormCreate();
    w.Timer().stop();
    auto lineSum = [&] { return w.label("lblSum")->text(); };
    auto change = [&](bool mains) {
        if (!throughTheWatch) {
            rig.serial.mainsPresent = mains;
            return;
        }
        rig.serial.changeLines(mains, true);
        // On the screen before any tick, and the supervision's own state left to the tick.
        QTRY_COMPARE(lineSum(), mains ? QStringLiteral("Suministro de Línea")
                                      : QStringLiteral("Suministro de Batería"));
        QCOMPARE(w.state().lineOk, !mains);
    };
    std::vector<std::string> perTick;
    auto tick = [&] {
        const std::size_t before = rig.history.entries.size();
        rig.time.advanceMs(1000);
        w.TimerTimer();
        rig.tasks.runDue();
        std::string notices;
        for (std::size_t i = before; i < rig.history.entries.size(); ++i) {
            if (rig.history.entries[i].starts_with("notice_shown"))
                notices += rig.history.entries[i];
        }
        perTick.push_back(notices);
    };
    change(false);
    for (int i = 0; i < 40; ++i) tick();
    change(true);
    for (int i = 0; i < 5; ++i) tick();
    w.close();
    return perTick;
}

const QColor kBlue(0, 0, 255);
const QColor kRed(255, 0, 0);

}  // namespace

class UpsDisplayTest : public QObject {
    Q_OBJECT
private slots:
    void eachStateDrawsItsRow_data();
    void eachStateDrawsItsRow();
    void onBatteryDisablesTheButtonAndKeepsItsRole();
    void agentWithoutCommandsLeavesTheButtonDisabledInEveryState();
    void sameStateTwiceRedrawsNothing();
    void aLineChangeIsDrawnAtOnceAndTheNoticesKeepTheirTicks();
};

void UpsDisplayTest::eachStateDrawsItsRow_data() {
    QTest::addColumn<bool>("lineOk");
    QTest::addColumn<bool>("batteryLow");
    QTest::addColumn<QString>("sum");
    QTest::addColumn<QColor>("sumColour");
    QTest::addColumn<QString>("bat");
    QTest::addColumn<QColor>("batColour");
    QTest::addColumn<QString>("tip");
    QTest::addColumn<int>("icon");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("hint");

    QTest::newRow("0 normal") << true << false << "Suministro de Línea" << kBlue << "Batería Normal"
                              << kBlue << "Suministro de Línea" << 0 << "&Test"
                              << "Prueba la UPS";
    QTest::newRow("2 low on mains") << true << true << "Suministro de Línea" << kBlue
                                    << "Batería Baja" << kRed << "Batería Baja" << 3 << "&Alarma"
                                    << "Anula alarma de UPS";
    QTest::newRow("3 critical") << false << true << "Suministro de Batería" << kRed
                                << "Batería Baja" << kRed << "Batería Baja" << 3 << "&Alarma"
                                << "Anula alarma de UPS";
}

void UpsDisplayTest::eachStateDrawsItsRow() {
    QFETCH(bool, lineOk);
    QFETCH(bool, batteryLow);
    Rig rig;
    rig.window.state().serialLinkActive = true;
    rig.draw(lineOk, batteryLow);
    QTEST(rig.text("lblSum"), "sum");
    QTEST(rig.colour("lblSum"), "sumColour");
    QTEST(rig.text("lblBat"), "bat");
    QTEST(rig.colour("lblBat"), "batColour");
    QTEST(rig.tray.tip(), "tip");
    QTEST(rig.window.TrayComp().IconIndex(), "icon");
    QVERIFY(rig.testButton()->isEnabled());
    QTEST(rig.testButton()->text(), "caption");
    QTEST(rig.testButton()->toolTip(), "hint");
    const auto& pics = rig.window.imgLst();
    QCOMPARE(pictureOf(rig.window.label("imgLine")), pics[lineOk ? 0 : 1].toImage());
    QCOMPARE(pictureOf(rig.window.label("imgBat")), pics[batteryLow ? 3 : 2].toImage());
    QVERIFY(!rig.window.state().displayDirty);
}

void UpsDisplayTest::onBatteryDisablesTheButtonAndKeepsItsRole() {
    Rig rig;
    rig.window.state().serialLinkActive = true;
    rig.draw(true, true);
    QCOMPARE(rig.testButton()->text(), QStringLiteral("&Alarma"));
    rig.draw(false, false);
    QCOMPARE(rig.text("lblSum"), QStringLiteral("Suministro de Batería"));
    QCOMPARE(rig.colour("lblSum"), kRed);
    QCOMPARE(rig.tray.tip(), QStringLiteral("Suministro de Batería"));
    QCOMPARE(rig.window.TrayComp().IconIndex(), 1);
    QVERIFY(!rig.testButton()->isEnabled());
    QCOMPARE(rig.testButton()->text(), QStringLiteral("&Alarma"));  // left as it was
    rig.draw(true, false);
    QVERIFY(rig.testButton()->isEnabled());
    QCOMPARE(rig.testButton()->text(), QStringLiteral("&Test"));
    QCOMPARE(rig.testButton()->toolTip(), QStringLiteral("Prueba la UPS"));
}

void UpsDisplayTest::agentWithoutCommandsLeavesTheButtonDisabledInEveryState() {
    Rig rig;
    rig.window.state().agentLinkActive = true;
    rig.window.state().agentCommandsOk = false;
    for (auto [line, low] : {std::pair{true, false}, {false, false}, {true, true}, {false, true}}) {
        rig.draw(line, low);
        QVERIFY(!rig.testButton()->isEnabled());
    }
    rig.window.state().agentCommandsOk = true;
    rig.draw(true, false);
    QVERIFY(rig.testButton()->isEnabled());
}

void UpsDisplayTest::sameStateTwiceRedrawsNothing() {
    Rig rig;
    rig.window.state().serialLinkActive = true;
    rig.draw(false, false);
    int modifies = rig.tray.modifies;
    // A tick in the same state leaves displayDirty clear: nothing reaches the shell or the panel.
    rig.window.label("lblSum")->setText("marker");
    rig.window.refreshDisplay();
    QCOMPARE(rig.tray.modifies, modifies);
    QCOMPARE(rig.text("lblSum"), QStringLiteral("marker"));
}

void UpsDisplayTest::aLineChangeIsDrawnAtOnceAndTheNoticesKeepTheirTicks() {
    const std::vector<std::string> byTheTick = noticesPerTick(false);
    QVERIFY(std::count_if(byTheTick.begin(), byTheTick.end(),
                          [](const std::string& n) { return !n.empty(); }) >= 2);
    QVERIFY(noticesPerTick(true) == byTheTick);
}

QTEST_MAIN(UpsDisplayTest)
#include "upsDisplay_test.moc"
