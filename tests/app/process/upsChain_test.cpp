// The serial monitor from end to end, in virtual seconds: the UPS drops CTS, then DCD, with the
// shutdown enabled; the window, its pop-up and the system control see what a user would.
#include <QLabel>
#include <QPushButton>
#include <QtTest>
#include <algorithm>

#include "app/windows/main/upsMain.h"
#include "support/windowRig.h"

using namespace ups;
using namespace ups::test;

namespace {

struct Chain : WindowRig {
    QStringList notices;  // "second: text"

    explicit Chain(bool shutdown) {
        storeConfig([&](CfgUps& cfg, CfgSnmp&) {
            cfg.comPort = 0;
            cfg.enhShutdwn = shutdown ? 1 : 0;
        });
        make();
        window->FormCreate();
    }

    // One second of the monitor's life: what it handed to the event loop as its moments come
    // (the steps of a battery test's watch, the power-off after its notice), then the tick, when
    // its timer runs.
    void second(int s) {
        log.tick = s;
        passMs(1000);
        if (!window->Timer().isActive()) return;
        int plays = sound.plays;
        window->TimerTimer();
        // The pop-up is hidden between seconds, so every notice brings it up with a beep.
        if (sound.plays != plays) notices << QString("%1: %2").arg(s).arg(info->text());
        // Each notice is read, then the pop-up goes away as its timer would make it.
        info->hide();
    }
    void passMs(int ms) {
        for (int i = 0; i < ms / 100; ++i) {
            time.advanceMs(100);
            tasks.runDue();
        }
    }
    // Seconds with the pop-up left as the user would see it.
    void seconds(int n) {
        for (int i = 0; i < n; ++i) {
            passMs(1000);
            if (window->Timer().isActive()) window->TimerTimer();
        }
    }
};

}  // namespace

class UpsChainTest : public QObject {
    Q_OBJECT
private slots:
    void criticalEventClosesApplicationsAtHalfTimeAndPowersOffAtZero();
    void mainsBackBeforeZeroStopsTheCountdown();
    void testButtonRunsABatteryTestThatPasses();
    void testButtonReportsAFailedBattery();
    void alarmButtonSendsTheBreakPulseWithoutAQuestion();
};

void UpsChainTest::criticalEventClosesApplicationsAtHalfTimeAndPowersOffAtZero() {
    Chain c(true);
    QVERIFY(c.window->state().serialLinkActive);
    QVERIFY(c.serial.rts());
    int s = 0;
    for (; s < 3; ++s) c.second(s);
    c.serial.mainsPresent = false;  // second 3: the mains fail
    for (; s < 40; ++s) c.second(s);
    QCOMPARE(c.window->label("lblSum")->text(), QStringLiteral("Suministro de Batería"));
    QCOMPARE(c.tray.tip(), QStringLiteral("Suministro de Batería"));
    c.serial.batteryOk = false;  // second 40: the battery runs low
    for (; s < 75; ++s) c.second(s);

    // The pacing of the line failure goes on into the critical state (its countdown is not
    // reloaded), so the next notices are the half-time close and the last ten seconds.
    QStringList expected = {
        "8: Falla en tensión de línea",               // the 6th second of the failure
        "39: Continúa la falla en tensión de línea",  // 31 seconds later
        "54: Cerrando aplicaciones",                  // 15 of the 30 seconds left
        "59: 10 seg. para cerrar Sistema",
        "61:  8 seg. para cerrar Sistema",
        "63:  6 seg. para cerrar Sistema",
        "65:  4 seg. para cerrar Sistema",
        "67:  2 seg. para cerrar Sistema",
        "69: Cerrando sistema",  // the 30th second of the critical state
    };
    QCOMPARE(c.notices, expected);
    QCOMPARE(c.window->label("lblBat")->text(), QStringLiteral("Batería Baja"));
    QCOMPARE(c.tray.tip(), QStringLiteral("Batería Baja"));
    QCOMPARE(c.system.closeRequests, 1);
    QCOMPARE(c.system.powerOffRequests, 1);
    auto at = [&](const std::string& what) {
        for (const auto& e : c.log.entries)
            if (e.find(what) != std::string::npos) return std::stoi(e);
        return -1;
    };
    QCOMPARE(at("closeOtherApplications"), 54);
    QCOMPARE(at("requestPowerOff"), 70);  // half a second after its notice, from the event loop
    QVERIFY(c.notices.contains("54: Cerrando aplicaciones"));
    QVERIFY(c.notices.contains("69: Cerrando sistema"));

    // The monitor closed itself without asking, releasing the port.
    QVERIFY(c.boxes.shown.empty());
    QVERIFY(c.window->state().closingBySystem);
    QVERIFY(!c.window->isVisible());
    QVERIFY(!c.window->Timer().isActive());
    QVERIFY(!c.serial.isOpen(0));
    QVERIFY(!c.serial.rts());
    // The history's first and last words come from the window, the power-off's from the tick.
    const auto& history = c.history.entries;
    QCOMPARE(history.front(), std::string("monitor_started puerto COM1"));
    QCOMPARE(history.end()[-3], std::string("power_off_requested aceptado"));
    QCOMPARE(history.back(), std::string("monitor_ended puerto COM1"));
}

void UpsChainTest::mainsBackBeforeZeroStopsTheCountdown() {
    Chain c(true);
    c.serial.mainsPresent = false;
    c.serial.batteryOk = false;
    int s = 0;
    for (; s < 10; ++s) c.second(s);
    c.serial.mainsPresent = true;
    c.serial.batteryOk = true;
    for (; s < 60; ++s) c.second(s);
    QCOMPARE(c.system.closeRequests, 0);
    QCOMPARE(c.system.powerOffRequests, 0);
    QVERIFY(c.window->Timer().isActive());
    QCOMPARE(c.window->label("lblSum")->text(), QStringLiteral("Suministro de Línea"));
    QCOMPARE(c.window->state().shutdownCountdown, 30);
}

void UpsChainTest::testButtonRunsABatteryTestThatPasses() {
    Chain c(false);
    c.serial.testDropsMainsAfterMs = 400;  // the UPS goes to its battery when told to
    c.boxes.answers = {MbResult::Yes};
    QPushButton* button = c.window->button("bbtnIniTest");
    QVERIFY(button->isEnabled());
    QTest::mouseClick(button, Qt::LeftButton);

    QCOMPARE(c.boxes.texts(),
             std::vector<std::string>{"Se realizará un test a la UPS.\r\n¿Desea Continuar?."});
    QCOMPARE(c.boxes.shown[0].title, std::string("Pregunta"));
    // The click returns at once; the watch runs beside the ticks, which see the UPS on its
    // battery and keep quiet about it.
    QCOMPARE(c.time.elapsedMs, 0.0);
    QVERIFY(c.serial.breakOn());
    QVERIFY(!button->isEnabled());
    c.seconds(11);
    QCOMPARE(c.info->text(), QStringLiteral("Test satisfactorio, batería operativa."));
    QCOMPARE(c.sound.plays, 1);  // the start pop-up came up once; the result replaced its text
    QVERIFY(!c.serial.breakOn());
    QCOMPARE(c.serial.breakOnTimes.size(), size_t(1));
    QCOMPARE(c.serial.breakOffTimes[0] - c.serial.breakOnTimes[0], 10'000.0);
    QVERIFY(c.window->Timer().isActive());
    const auto& history = c.history.entries;
    QVERIFY(std::find(history.begin(), history.end(), "notice_shown Falla en tensión de línea") ==
            history.end());
}

void UpsChainTest::testButtonReportsAFailedBattery() {
    Chain c(false);
    c.serial.testDropsMainsAfterMs = 200;
    c.serial.testDropsBatteryAfterMs = 3'000;
    c.boxes.answers = {MbResult::Yes};
    QTest::mouseClick(c.window->button("bbtnIniTest"), Qt::LeftButton);
    c.seconds(4);
    QCOMPARE(c.boxes.shown.size(), size_t(2));
    QCOMPARE(c.boxes.shown[1].text, std::string("Falla en test, controlar batería."));
    QCOMPARE(c.boxes.shown[1].title, std::string("Información"));
    QVERIFY(c.boxes.shown[1].icon == MbIcon::Warning);
    QVERIFY(c.window->Timer().isActive());
}

void UpsChainTest::alarmButtonSendsTheBreakPulseWithoutAQuestion() {
    Chain c(false);
    c.serial.batteryOk = false;
    c.second(0);
    QPushButton* button = c.window->button("bbtnIniTest");
    QCOMPARE(button->text(), QStringLiteral("&Alarma"));
    int plays = c.sound.plays;
    QTest::mouseClick(button, Qt::LeftButton);
    c.seconds(1);
    QVERIFY(c.boxes.shown.empty());
    QCOMPARE(c.sound.plays, plays);
    QCOMPARE(c.serial.breakOnTimes.size(), size_t(1));
    QCOMPARE(c.serial.breakOffTimes[0] - c.serial.breakOnTimes[0], 500.0);
    QVERIFY(button->isEnabled());
}

QTEST_MAIN(UpsChainTest)
#include "upsChain_test.moc"
