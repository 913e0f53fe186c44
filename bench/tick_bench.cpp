// What one supervisor tick costs while the agent is slow to answer or silent: the real supervisor
// in SNMP trap mode over the real agent worker and transport (SNMP v1 on loopback, the monitor's
// 5 s time-out) against the UPS simulator, timed call by call. Three loads:
//   silent   the agent answers nothing; the mains have failed, so the tick asks for a re-poll
//            every eighth tick and a restart re-read on every tick until one answers;
//   repoll   the agent answers, during a long line failure: a re-poll every eighth tick;
//   test     a battery test's watch (the SET and twenty status reads, half a second apart) runs
//            on the agent's thread while the ticks go on.
// p50_us, p99_us and max_us are counters; scripts/bench holds p99 to 5 ms.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <sstream>
#include <vector>

#include "battery/upsCommand.h"
#include "links/agentWorker.h"
#include "percentiles.h"
#include "platform/null/nullPlatform.h"
#include "supervisor/supervisor.h"
#include "support/fakeSystemControl.h"
#include "support/recordingView.h"
#include "support/virtualTime.h"
#include "upsSimulator.h"

namespace {

using namespace ups;
using SteadyClock = std::chrono::steady_clock;

constexpr int kTicks = 240;

using bench::reportPercentiles;

struct RealSleeper : Sleeper {
    void sleepMs(int ms) override { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }
};

enum class Load { silent, repoll, test };

void runTicks(benchmark::State& state, Load load) {
    std::ostringstream simulatorLog;
    sim::SimulatorOptions options;
    options.agentPort = "0";
    options.trapPort = "9";  // the traps go nowhere: the state here comes from the reads
    sim::UpsSimulator simulator(options, simulatorLog);
    if (!simulator.start()) {
        state.SkipWithError("the simulator cannot bind loopback");
        return;
    }
    simulator.execute("mains off");
    if (load == Load::silent) simulator.execute("silent on");

    CfgUps cfgUps{};
    CfgSnmp cfgSnmp{};
    cfgUps.tmpFail = 5;
    cfgUps.tmpBat = 30;
    cfgUps.tmpLowB = 300;
    cfgSnmp.enhSnmp = 1;
    cfgSnmp.enhTrap = 1;
    setFieldText(cfgSnmp.ipAgent, "127.0.0.1");
    setFieldText(cfgSnmp.snmpPass, "privada");
    cfgSnmp.snmpPassSet = 1;
    SupervisorState supervisorState;
    supervisorState.agentLinkActive = true;
    supervisorState.warnCountdown = cfgUps.tmpFail;
    supervisorState.shutdownCountdown = cfgUps.tmpLowB;

    UnansweredIcmpEcho echo;
    NetAgentTransport transport(echo, std::to_string(simulator.agentPort()), 5000, 5000);
    AgentWorker worker(cfgSnmp, transport);
    TrapFields fields;
    fields.seedState(false, false);
    fields.refreshRequested.store(load == Load::silent);
    test::TickLog log;
    test::RecordingView view(log);
    test::FakeSystemControl system(log);
    NoScheduledTests tests;
    test::VirtualTime time;
    Supervisor supervisor(cfgUps, cfgSnmp, supervisorState, fields, view, system, tests, time,
                          nullptr, &worker);
    RealSleeper sleeper;
    if (load == Load::test) {
        worker.post([&sleeper](AgentLink& link) {
            struct Commands : AgentCommands {
                explicit Commands(AgentLink& l) : link(l) {}
                bool sendTestCommand() override { return link.sendTestCommand(); }
                AgentStatusRead readAgentStatus() override { return link.readAgentStatus(); }
                AgentLink& link;
            } commands(link);
            AgentStatusRead last;
            watchAgentTest(commands, sleeper, last);
        });
    }

    std::vector<double> micros;
    for (auto _ : state) {
        for (int i = 0; i < kTicks; ++i) {
            time.advanceMs(1000);
            const auto began = SteadyClock::now();
            supervisor.TimerTimer();
            const std::chrono::duration<double, std::micro> took = SteadyClock::now() - began;
            micros.push_back(took.count());
            // The ticks come faster than a second here; the agent's answers take their time.
            std::this_thread::sleep_for(std::chrono::milliseconds(40));
        }
    }
    state.counters["agent_requests"] =
        static_cast<double>(simulator.requestsAnswered() + simulator.requestsIgnored());
    reportPercentiles(state, micros);
}

void BM_TickSilentAgent(benchmark::State& state) {
    runTicks(state, Load::silent);
}
void BM_TickDuringRepoll(benchmark::State& state) {
    runTicks(state, Load::repoll);
}
void BM_TickDuringBatteryTest(benchmark::State& state) {
    runTicks(state, Load::test);
}
BENCHMARK(BM_TickSilentAgent)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TickDuringRepoll)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TickDuringBatteryTest)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
