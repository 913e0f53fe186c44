// Random sequences through the real window: the monitor built as the program builds it, its real
// tick timer (shortened: a virtual second is kTickMs here) and Qt's own event loop, with real
// modal boxes and dialogs that hold their loops open, close requests, the test button and refused
// power-offs, over a fake serial UPS. Nested loops, close events and timers follow Qt's rules
// here, not a model of them. After each step: the monitor never ends by itself without an
// accepted power-off, the ticks go on while anything is open, and lines that stay critical end
// in a power-off request within the countdown and a little more.
// UPS_WINDOW_SEQUENCES sets how many run (a handful in CI, more in the soak).
#include <QDialog>
#include <QElapsedTimer>
#include <QPushButton>
#include <QTimer>
#include <QtTest>
#include <cstdlib>
#include <random>
#include <sstream>

#include "app/process/monitor.h"
#include "app/windows/info/upsInfo.h"
#include "support/windowRig.h"

using namespace ups;
using namespace ups::test;

namespace {

constexpr int kTickMs = 20;

// Real modal dialogs that the user answers after a while: their own event loops run meanwhile.
struct HeldBoxes : MessageBoxes {
    int holdMs = 3 * kTickMs;
    int shown = 0;
    MbResult messageBox(std::string_view, std::string_view, MbIcon, MbButtons buttons) override {
        ++shown;
        QDialog box;
        box.setModal(true);
        QTimer::singleShot(holdMs, &box, &QDialog::reject);
        box.exec();
        // "No" to the close question and to the test's: the monitor goes on.
        return buttons == MbButtons::YesNo ? MbResult::No : MbResult::Ok;
    }
};

// The window's event-loop tasks on Qt's timers, their delays scaled like the tick.
struct ScaledTasks : TaskRunner {
    QObject context;
    void runLater(int delayMs, std::function<void()> task) override {
        QTimer::singleShot(delayMs * kTickMs / 1000, &context, std::move(task));
    }
};

struct Sequence {
    MemoryRegistryStore store;
    VirtualTime time;
    FakeSerialUps serial{&time};
    HeldBoxes boxes;
    FakeTrayShell tray;
    TickLog log;
    FakeSystemControl system{log};
    ScriptedAgentTransport agent;
    CountingSound sound;
    RecordingHistory history;
    ScaledTasks tasks;
    // Made before the monitor and ended after it, as in the program.
    std::unique_ptr<TinfoFrm> info;
    std::unique_ptr<Monitor> monitor;
    int ticks = 0;
    int tmpLowB = 10;
    std::string failure;
    std::optional<int> criticalSinceTick;

    explicit Sequence(std::uint64_t seed) {
        std::mt19937_64 rng(seed);
        tmpLowB = std::uniform_int_distribution<int>(10, 20)(rng);
        CfgUps cfg;
        CfgSnmp snmp;
        clearRecords(cfg, snmp);
        setDefaultConfig(cfg, snmp);
        cfg.comPort = 0;
        cfg.testMode = tmNever;
        cfg.askStart = 1;
        cfg.enhShutdwn = 1;
        cfg.tmpLowB = tmpLowB;
        store.addKeyChain(kKeyConfig);
        store.setBinary(kKeyConfig, kValueCfgUps, recordBytes(cfg));
        store.setBinary(kKeyConfig, kValueCfgSnmp, recordBytes(snmp));
        MainDeps deps{store, serial, boxes, time, time, tray, system, agent, history};
        deps.trapOptions.address = "127.0.0.1";
        deps.trapOptions.port = "0";
        deps.agentCallsInPlace = true;
        deps.tasks = &tasks;
        deps.tickIntervalMs = kTickMs;
        monitor = std::make_unique<Monitor>(deps);
        TmainF& w = monitor->window();
        // The pop-up is made by the first notice, as the program makes it.
        w.setInfoFormMaker([this] {
            info = std::make_unique<TinfoFrm>(sound);
            return info.get();
        });
        // A virtual second per tick, counted after the tick has run.
        QObject::connect(&w.Timer().signalSource(), &QTimer::timeout, &tasks.context, [this] {
            ++ticks;
            time.advanceMs(1000);
        });
        w.FormCreate();
    }

    TmainF& window() { return monitor->window(); }
    bool ended() const {
        return !history.entries.empty() && history.entries.back().rfind("monitor_ended", 0) == 0;
    }

    void fail(const std::string& what) {
        if (!failure.empty()) return;
        failure = what + " at tick " + std::to_string(ticks) + "; the history's last words:";
        const std::size_t from = history.entries.size() > 6 ? history.entries.size() - 6 : 0;
        for (std::size_t i = from; i < history.entries.size(); ++i) {
            failure += "\n    " + history.entries[i];
        }
    }

    void hold(int ms) {
        const int before = ticks;
        QElapsedTimer took;
        took.start();
        QTest::qWait(ms);
        afterStep(took.elapsed(), before);
    }

    // Checks after a step that took `ms` of real time, `ticksBefore` ticks having run before it.
    void afterStep(qint64 ms, int ticksBefore) {
        const bool accepted = system.powerOffAnswer == "aceptado" && system.powerOffRequests > 0;
        // Every close request here is answered No: only an accepted power-off ends the monitor.
        if (ended() && !accepted) fail("the monitor ended without a power-off");
        const bool closing = ended() || monitor->supervisor().shutdownPending();
        // Fifteen tick intervals without a tick: a box or dialog held supervision.
        if (!closing && ms >= 15 * kTickMs && ticks == ticksBefore) fail("no tick for a while");
        const bool critical = !serial.mainsPresent && !serial.batteryOk;
        if (!critical) {
            criticalSinceTick.reset();
        } else if (!criticalSinceTick) {
            criticalSinceTick = ticks;
        } else if (system.powerOffRequests == 0 && ticks - *criticalSinceTick > tmpLowB + 3) {
            fail("critical for " + std::to_string(ticks - *criticalSinceTick) +
                 " ticks and no power-off");
        }
    }

    // One random step, from outside any handler, as the user or the UPS would bring it.
    void step(std::mt19937_64& rng, std::ostream& trace) {
        auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
        TmainF& w = window();
        const int before = ticks;
        QElapsedTimer took;
        took.start();
        switch (pick(0, 6)) {
            case 0:
                serial.mainsPresent = pick(0, 2) == 0;
                trace << "mains " << serial.mainsPresent << "; ";
                break;
            case 1:
                serial.batteryOk = pick(0, 2) == 0;
                trace << "battery " << serial.batteryOk << "; ";
                break;
            case 2: {
                const int n = pick(1, 12);
                trace << "wait " << n << "; ";
                hold(n * kTickMs);
                return;
            }
            case 3:
                boxes.holdMs = pick(1, 30) * kTickMs;
                trace << "close request held " << boxes.holdMs << "; ";
                w.close();
                break;
            case 4: {
                const int held = pick(1, 30) * kTickMs;
                trace << "configuration held " << held << "; ";
                w.setDialogRunner([held](QDialog& dialog) {
                    QTimer::singleShot(held, &dialog, &QDialog::reject);
                    return dialog.exec();
                });
                w.bbtnSetupClick();
                break;
            }
            case 5:
                boxes.holdMs = pick(1, 30) * kTickMs;
                trace << "test button, question held " << boxes.holdMs << "; ";
                if (w.button("bbtnIniTest")->isEnabled()) w.bbtnIniTestClick();
                break;
            default:
                system.powerOffAnswer = pick(0, 3) == 0 ? "sin privilegio" : "aceptado";
                trace << "power-off answer " << system.powerOffAnswer << "; ";
                break;
        }
        afterStep(took.elapsed(), before);
    }
};

}  // namespace

class UpsSupervisionTest : public QObject {
    Q_OBJECT
private slots:
    void randomSequencesThroughTheRealWindow();
};

void UpsSupervisionTest::randomSequencesThroughTheRealWindow() {
    const char* count = std::getenv("UPS_WINDOW_SEQUENCES");
    const std::uint64_t sequences = count ? std::strtoull(count, nullptr, 10) : 8;
    for (std::uint64_t seed = 1; seed <= sequences; ++seed) {
        Sequence sequence(seed);
        std::mt19937_64 rng(seed * 7919);
        std::ostringstream trace;
        for (int i = 0; i < 30 && sequence.failure.empty() && !sequence.ended(); ++i) {
            sequence.step(rng, trace);
        }
        // Whatever the steps left: the lines go critical and stay so.
        if (sequence.failure.empty() && !sequence.ended()) {
            const int before = sequence.system.powerOffRequests;
            sequence.system.powerOffAnswer = "aceptado";
            // A new episode: a refused power-off is not asked again in the same one.
            sequence.serial.mainsPresent = true;
            sequence.serial.batteryOk = true;
            sequence.hold(3 * kTickMs);
            sequence.serial.mainsPresent = false;
            sequence.serial.batteryOk = false;
            trace << "critical to the end";
            // Counted in ticks, not in the real time they take: a loaded machine runs fewer of
            // them per real second, and the countdown counts ticks' seconds.
            const int from = sequence.ticks;
            QElapsedTimer waited;
            waited.start();
            while (sequence.ticks - from < sequence.tmpLowB + 6 && sequence.failure.empty() &&
                   sequence.system.powerOffRequests == before && waited.elapsed() < 60'000) {
                sequence.hold(kTickMs);
            }
            if (sequence.system.powerOffRequests == before)
                sequence.fail("no power-off at the end");
        }
        QVERIFY2(sequence.failure.empty(),
                 ("seed " + std::to_string(seed) + ": " + sequence.failure + "\n  " + trace.str())
                     .c_str());
    }
}

QTEST_MAIN(UpsSupervisionTest)
#include "upsSupervision_test.moc"
