// Trap-to-state latency on loopback: from the moment a status trap leaves the sender to
//   1. the TrapCatch field changing (the listener thread woken by the system and decoding), and
//   2. the supervisor's state changing, which happens at the next 1000 ms tick: the figure the
//      user sees on the display.
// Each iteration's time is measured by hand; the percentiles are reported as counters in
// microseconds (p50_us, p99_us, max_us).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <random>
#include <thread>
#include <vector>

#include "config/configStore.h"
#include "links/agentLink.h"
#include "links/upsThead.h"
#include "net/snmpsend.h"
#include "percentiles.h"
#include "statusTrap.h"
#include "supervisor/supervisor.h"
#include "support/fakeSystemControl.h"
#include "support/recordingView.h"
#include "support/virtualTime.h"

namespace {

using namespace ups;
using SteadyClock = std::chrono::steady_clock;

using bench::statusTrap;

using bench::reportPercentiles;

using Listener = bench::LoopbackListener;

void BM_TrapToField(benchmark::State& state) {
    Listener l;
    const std::string traps[2] = {statusTrap(2), statusTrap(1)};
    std::vector<double> micros;
    int next = 0;
    for (auto _ : state) {
        const int expected = next == 0 ? 2 : 1;
        const auto start = SteadyClock::now();
        l.sender.SendString(traps[next]);
        // Yielding leaves the core to the listener on a busy machine.
        while (l.fields.lineState.load(std::memory_order_acquire) != expected) {
            std::this_thread::yield();
        }
        const std::chrono::duration<double> elapsed = SteadyClock::now() - start;
        state.SetIterationTime(elapsed.count());
        micros.push_back(elapsed.count() * 1e6);
        next = 1 - next;
    }
    reportPercentiles(state, micros);
}
BENCHMARK(BM_TrapToField)->UseManualTime()->Iterations(20000)->Unit(benchmark::kMicrosecond);

class NoAgentReads : public AgentStatusRequests {
public:
    bool requestStatus() override { return true; }
    std::optional<AgentStatusRead> takeStatus() override { return AgentStatusRead{}; }
};

// The real supervisor ticking every 1000 ms on this thread, as the window's timer would, while
// another thread sends a trap at a random moment of each tick period.
void BM_TrapToDisplay(benchmark::State& state) {
    Listener l;
    CfgUps cfgUps;
    CfgSnmp cfgSnmp;
    clearRecords(cfgUps, cfgSnmp);
    setDefaultConfig(cfgUps, cfgSnmp);
    cfgSnmp.enhSnmp = 1;
    cfgSnmp.enhTrap = 1;
    SupervisorState supervisorState;
    supervisorState.agentLinkActive = true;
    supervisorState.warnCountdown = cfgUps.tmpFail;
    supervisorState.shutdownCountdown = cfgUps.tmpLowB;
    test::TickLog log;
    test::RecordingView view(log);
    test::FakeSystemControl system(log);
    NoScheduledTests tests;
    test::VirtualTime time;
    NoAgentReads reader;
    Supervisor supervisor(cfgUps, cfgSnmp, supervisorState, l.fields, view, system, tests, time,
                          nullptr, &reader);
    view.startTimer();

    std::mt19937 random(7);
    std::uniform_int_distribution<int> delayMs(0, 999);
    std::vector<double> micros;
    const std::string traps[2] = {statusTrap(2), statusTrap(1)};
    int next = 0;
    auto tickAt = SteadyClock::now() + std::chrono::seconds(1);
    for (auto _ : state) {
        const bool expectedLineOk = next == 1;
        std::atomic<SteadyClock::rep> sentAt{0};
        std::thread sender([&, delay = delayMs(random)] {
            std::this_thread::sleep_until(tickAt - std::chrono::seconds(1) +
                                          std::chrono::milliseconds(delay));
            sentAt = SteadyClock::now().time_since_epoch().count();
            l.sender.SendString(traps[next]);
        });
        // Tick until the state shows the trap; a trap sent just before a tick may need the next.
        while (true) {
            std::this_thread::sleep_until(tickAt);
            tickAt += std::chrono::seconds(1);
            time.advanceMs(1000);
            supervisor.TimerTimer();
            if (sentAt.load() != 0 && supervisorState.lineOk == expectedLineOk) break;
        }
        const auto shown = SteadyClock::now();
        sender.join();
        const std::chrono::duration<double> elapsed =
            shown - SteadyClock::time_point(SteadyClock::duration(sentAt.load()));
        state.SetIterationTime(elapsed.count());
        micros.push_back(elapsed.count() * 1e6);
        next = 1 - next;
    }
    reportPercentiles(state, micros);
}
BENCHMARK(BM_TrapToDisplay)->UseManualTime()->Iterations(30)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
