// What an event costs the tick: the real supervisor on the serial fakes, the mains changing at
// every tick, reporting to the HistoryWriter over a history file on this machine's disk (WAL, a
// full sync at every commit). Each record() the tick makes is timed from the tick's side; the
// percentiles are counters in microseconds (p50_us, p99_us, max_us), with the whole tick's beside
// them (tick_p50_us, tick_p99_us).
//   idle:  the writer has committed everything before the tick, as with ticks a second apart;
//   busy:  ticks back to back, so the writer is committing (and syncing) while the tick records.
// Beside it: how long an event takes to reach the system log while another program holds the
// history file locked (log_p50_us, log_p99_us), and how many lines a stream of forged traps
// (three events a second) leaves in the file per day (lines_per_day).
#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <vector>

#include "history/historyWriter.h"
#include "links/serialLib.h"
#include "links/serialLink.h"
#include "platform/null/nullPlatform.h"
#include "supervisor/supervisor.h"
#include "support/fakeSerialUps.h"
#include "support/fakeSystemControl.h"
#include "support/recordingView.h"
#include "support/tempDir.h"
#include "support/virtualTime.h"

namespace {

using namespace ups;
using SteadyClock = std::chrono::steady_clock;

void percentiles(benchmark::State& state, const char* prefix, std::vector<double> micros) {
    if (micros.empty()) return;
    std::sort(micros.begin(), micros.end());
    auto at = [&](double q) {
        return micros[std::min(micros.size() - 1, static_cast<std::size_t>(q * micros.size()))];
    };
    const std::string p(prefix);
    state.counters[p + "p50_us"] = at(0.50);
    state.counters[p + "p99_us"] = at(0.99);
    if (p.empty()) state.counters["max_us"] = micros.back();
}

// Times each record() on its way to the real history.
class TimedHistory : public HistoryRecorder {
public:
    explicit TimedHistory(HistoryWriter& history) : history_(history) {}
    void record(HistoryEventKind kind, std::string details) override {
        const auto start = SteadyClock::now();
        history_.record(kind, std::move(details));
        micros.push_back(
            std::chrono::duration<double, std::micro>(SteadyClock::now() - start).count());
    }
    bool flush(int timeoutMs) override { return history_.flush(timeoutMs); }
    std::vector<double> micros;

private:
    HistoryWriter& history_;
};

void BM_RecordFromTick(benchmark::State& state) {
    const bool busy = state.range(0) != 0;
    test::TempDir dir("ups-history-bench");
    test::VirtualTime time;
    RecordedSystemLog systemLog;
    HistoryWriter writer((dir.path / "historial.db").string(), time, systemLog);
    TimedHistory history(writer);

    CfgUps ups{};
    CfgSnmp snmp{};
    ups.tmpFail = 5;
    ups.tmpBat = 30;
    ups.tmpLowB = 30;
    SupervisorState supervisorState;
    supervisorState.warnCountdown = ups.tmpFail;
    supervisorState.shutdownCountdown = ups.tmpLowB;
    TrapFields trap;
    test::TickLog log;
    test::RecordingView view(log);
    test::FakeSystemControl system(log);
    NoScheduledTests tests;
    test::FakeSerialUps serial(&time);
    SerialLib sio(serial);
    SerialLink link(sio);
    link.openSerialLink(0);
    supervisorState.serialLinkActive = true;
    Supervisor supervisor(ups, snmp, supervisorState, trap, view, system, tests, time, &link,
                          nullptr);
    supervisor.setHistory(history);
    view.startTimer();
    writer.flush(10'000);  // the file is open and the start's retention done

    std::vector<double> tickMicros;
    for (auto _ : state) {
        if (!busy) {
            state.PauseTiming();
            writer.flush(10'000);
            state.ResumeTiming();
        }
        serial.mainsPresent = !serial.mainsPresent;  // one event at every tick
        time.advanceMs(1000);
        const auto start = SteadyClock::now();
        supervisor.TimerTimer();
        const std::chrono::duration<double> elapsed = SteadyClock::now() - start;
        state.SetIterationTime(elapsed.count());
        tickMicros.push_back(elapsed.count() * 1e6);
    }
    writer.flush(60'000);
    percentiles(state, "", history.micros);
    percentiles(state, "tick_", tickMicros);
    state.counters["events"] = static_cast<double>(history.micros.size());
    state.counters["dropped"] = static_cast<double>(writer.dropped());
}
BENCHMARK(BM_RecordFromTick)
    ->ArgName("busy")
    ->Arg(0)
    ->Arg(1)
    ->UseManualTime()
    ->Iterations(1000)
    ->Unit(benchmark::kMicrosecond);

// Counts the lines it is given and lets the bench wait for the next one.
class CountingSystemLog : public SystemLog {
public:
    void write(SystemLogLevel, std::string_view) override {
        std::lock_guard lock(mutex_);
        ++lines_;
        written_.notify_all();
    }
    void waitFor(std::uint64_t lines) {
        std::unique_lock lock(mutex_);
        written_.wait(lock, [&] { return lines_ >= lines; });
    }

private:
    std::mutex mutex_;
    std::condition_variable written_;
    std::uint64_t lines_ = 0;
};

void BM_SystemLogWithLockedFile(benchmark::State& state) {
    test::TempDir dir("ups-history-bench");
    const std::string path = (dir.path / "historial.db").string();
    test::VirtualTime time;
    CountingSystemLog systemLog;
    HistoryWriter writer(path, time, systemLog);
    writer.record(HistoryEventKind::monitorStarted);
    writer.flush(10'000);
    sqlite3* locker = nullptr;
    sqlite3_open(path.c_str(), &locker);
    sqlite3_exec(locker, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);

    std::uint64_t lines = 1;
    std::vector<double> micros;
    for (auto _ : state) {
        const auto start = SteadyClock::now();
        writer.record(HistoryEventKind::noticeShown, std::to_string(lines));
        systemLog.waitFor(++lines);
        micros.push_back(
            std::chrono::duration<double, std::micro>(SteadyClock::now() - start).count());
    }
    sqlite3_close_v2(locker);
    writer.flush(60'000);
    percentiles(state, "log_", micros);
}
BENCHMARK(BM_SystemLogWithLockedFile)->Iterations(200)->Unit(benchmark::kMicrosecond);

void BM_ForgedTrapStream(benchmark::State& state) {
    constexpr int kSeconds = 3600;
    double lines = 0;
    for (auto _ : state) {
        test::TempDir dir("ups-history-bench");
        const std::string path = (dir.path / "historial.db").string();
        test::VirtualTime time;
        RecordedSystemLog systemLog;
        {
            HistoryWriter writer(path, time, systemLog);
            for (int s = 0; s < kSeconds; ++s) {
                writer.record(s % 2 ? HistoryEventKind::mainsReturned
                                    : HistoryEventKind::mainsFailed);
                writer.record(HistoryEventKind::switchOffCancelled);
                writer.record(HistoryEventKind::noticeShown, "Desconexión cancelada");
                time.advanceMs(1000);
            }
            writer.flush(60'000);
        }
        HistoryDb db;
        db.open(path, HistoryDb::Mode::read);
        lines = static_cast<double>(db.count());
    }
    state.counters["lines_per_day"] = lines * 86'400 / kSeconds;
}
BENCHMARK(BM_ForgedTrapStream)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
