// Detection latency of the real main window: from a change at the UPS to the panel's "Suministro"
// label showing it. The window runs in a real Qt event loop with its own 1000 ms QTimer; the world
// around it comes from the test rig (fake serial driver, scripted agent), except for the traps,
// which are real datagrams on loopback to the window's own listener.
//   detect_bench [--events N] [--mode serial|trap|both]
// Each event happens at a random moment of the tick period. One line per mode:
//   detect <mode> n=<events> p50_ms=.. p99_ms=.. max_ms=.. tick_ms=..
// (tick_ms: the mean period the window's timer actually ran at.)
#include <QApplication>
#include <QLabel>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "links/agentLink.h"
#include "net/blcksock.h"
#include "net/snmpsend.h"
#include "statusTrap.h"
#include "support/windowRig.h"

namespace {

using namespace ups;
using Clock = std::chrono::steady_clock;

const QString kMains = QStringLiteral("Suministro de Línea");
const QString kBattery = QStringLiteral("Suministro de Batería");

using bench::statusTrap;

double percentile(std::vector<double> v, double q) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, static_cast<std::size_t>(q * v.size()))];
}

struct Result {
    std::vector<double> latencyMs;
    double tickMs = 0;
    bool ok = true;
};

// Runs `events` changes against one window; `change(mainsPresent)` makes the UPS report it.
Result run(test::WindowRig& rig, int events, const std::function<void(bool)>& change) {
    Result result;
    TmainF& window = *rig.window;
    QLabel* sum = window.label("lblSum");
    std::mt19937 random(12345);
    std::uniform_int_distribution<int> delayMs(0, 999);

    bool mainsPresent = true;
    bool waiting = false;
    Clock::time_point changedAt;
    Clock::time_point firstTick, lastTick;
    int ticks = 0;

    QEventLoop loop;
    std::function<void()> scheduleNext = [&] {
        QTimer::singleShot(delayMs(random), &window, [&] {
            mainsPresent = !mainsPresent;
            changedAt = Clock::now();
            waiting = true;
            change(mainsPresent);
        });
    };
    // Connected after the window's own slot: runs right after each tick has drawn its state.
    QObject::connect(&window.Timer().signalSource(), &QTimer::timeout, &window, [&] {
        const auto now = Clock::now();
        if (ticks++ == 0) firstTick = now;
        lastTick = now;
        if (!waiting) return;
        if (sum->text() != (mainsPresent ? kMains : kBattery)) return;
        waiting = false;
        result.latencyMs.push_back(
            std::chrono::duration<double, std::milli>(now - changedAt).count());
        if (static_cast<int>(result.latencyMs.size()) >= events) {
            loop.quit();
        } else {
            scheduleNext();
        }
    });
    // Bounded: a change that is never shown ends the run after 5 s of waiting per event.
    QTimer guard;
    QObject::connect(&guard, &QTimer::timeout, &loop, [&] {
        if (waiting && Clock::now() - changedAt > std::chrono::seconds(5)) {
            std::fprintf(stderr, "a change was not shown within 5 s\n");
            result.ok = false;
            loop.quit();
        }
    });
    guard.start(500);
    scheduleNext();
    loop.exec();
    if (ticks > 1) {
        result.tickMs =
            std::chrono::duration<double, std::milli>(lastTick - firstTick).count() / (ticks - 1);
    }
    return result;
}

void print(const char* mode, const Result& r) {
    std::printf(
        "detect %s n=%zu p50_ms=%.1f p99_ms=%.1f max_ms=%.1f tick_ms=%.1f%s\n", mode,
        r.latencyMs.size(), percentile(r.latencyMs, 0.50), percentile(r.latencyMs, 0.99),
        r.latencyMs.empty() ? 0.0 : *std::max_element(r.latencyMs.begin(), r.latencyMs.end()),
        r.tickMs, r.ok ? "" : " FAILED");
    std::fflush(stdout);
}

bool serialRun(int events) {
    test::WindowRig rig;
    rig.storeConfigWithPort(1);
    TmainF& window = rig.make();
    window.FormCreate();
    if (!window.state().serialLinkActive) {
        std::fprintf(stderr, "serial link did not start\n");
        return false;
    }
    // CTS is the mains line; the fake driver reports it at the next read.
    const Result r = run(rig, events, [&](bool mains) { rig.serial.mainsPresent = mains; });
    print("serial", r);
    return r.ok;
}

bool trapRun(int events) {
    test::WindowRig rig;
    rig.storeConfig([](CfgUps&, CfgSnmp& snmp) {
        snmp.enhSnmp = 1;
        snmp.enhTrap = 1;
        setFieldText(snmp.ipAgent, "127.0.0.1");
    });
    rig.agent.nextName = kOidBatteryState;
    rig.agent.answer(kOidLineState, "1");
    rig.agent.answer(kOidBatteryState, "1");
    rig.agent.answer(kOidUpsSerial, "BENCH-0001");
    rig.agent.answer(kOidUpsModel, "Banco de pruebas");
    rig.agent.answer(kOidUpsName, "UPS de medición");
    TmainF& window = rig.make();
    window.FormCreate();
    TrapCatch* listener = &window.trapCatch();
    for (int i = 0; i < 500 && listener && !listener->listening(); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    if (!window.state().agentLinkActive || !listener || !listener->listening()) {
        std::fprintf(stderr, "the agent link or the trap listener did not start\n");
        return false;
    }
    TUDPBlockSocket sender;
    sender.Connect("127.0.0.1", std::to_string(listener->boundPort()));
    const std::string traps[2] = {statusTrap(2), statusTrap(1)};
    const Result r = run(rig, events, [&](bool mains) {
        // The agent answers a re-poll the way its traps say.
        rig.agent.answer(kOidLineState, mains ? "1" : "2");
        sender.SendString(traps[mains ? 1 : 0]);
    });
    print("trap", r);
    return r.ok;
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    int events = 100;
    std::string mode = "both";
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--events") && i + 1 < argc)
            events = std::atoi(argv[++i]);
        else if (!std::strcmp(argv[i], "--mode") && i + 1 < argc)
            mode = argv[++i];
        else {
            std::fprintf(stderr, "usage: %s [--events N] [--mode serial|trap|both]\n", argv[0]);
            return 2;
        }
    }
    QApplication app(argc, argv);
    bool ok = true;
    if (mode == "serial" || mode == "both") ok = serialRun(events) && ok;
    if (mode == "trap" || mode == "both") ok = trapRun(events) && ok;
    return ok ? 0 : 1;
}
