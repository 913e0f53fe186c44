// The history window over a history of 100,000 events: opening it (the last 7 days), switching
// to each period, and exporting everything, each with the painting that follows, until the period
// is shown. The window reads on a thread of its own; gui_max_ms is the longest stretch the GUI
// thread spent in one go meanwhile (asking for the period, taking the result, painting), which is
// what the supervisor's tick may have to wait. Run offscreen:
//   history_bench [--benchmark_...]
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QComboBox>
#include <algorithm>
#include <chrono>
#include <functional>
#include <thread>

#include "app/windows/history/historyWindow.h"
#include "support/historyFill.h"
#include "support/scriptedMessageBoxes.h"
#include "support/tempDir.h"
#include "support/virtualTime.h"

using namespace ups;
using namespace ups::test;

namespace {

constexpr double kNow = 46000.5;

struct History {
    TempDir dir{"ups-hist-bench"};
    std::string path = (dir.path / "historial.db").string();
    bool filled = fillHistory(path, sampleHistory(kNow, 100'000, 400));
    HistoryFileSource source{path};
    VirtualTime time{kNow};
    ScriptedMessageBoxes boxes;
};

History& history() {
    static History j;
    return j;
}

void settle() {
    QCoreApplication::processEvents();
}

double msSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
        .count();
}

// Runs `ask` and the event loop until the window shows the period; the longest stretch the GUI
// thread was busy in one go, in milliseconds.
double untilShown(HistoryWindow& window, const std::function<void()>& ask) {
    auto start = std::chrono::steady_clock::now();
    ask();
    double longest = msSince(start);
    while (window.reading()) {
        std::this_thread::sleep_for(std::chrono::microseconds(200));
        start = std::chrono::steady_clock::now();
        QCoreApplication::processEvents();
        longest = std::max(longest, msSince(start));
    }
    start = std::chrono::steady_clock::now();
    settle();
    return std::max(longest, msSince(start));
}

void BM_HistoryOpen(benchmark::State& state) {
    History& j = history();
    double guiMax = 0;
    for (auto _ : state) {
        HistoryWindow window(j.source, j.time, j.boxes);
        guiMax = std::max(guiMax, untilShown(window, [&] {
                              window.refresh();
                              window.show();
                          }));
        benchmark::DoNotOptimize(window.eventsModel().rowCount());
    }
    state.counters["gui_max_ms"] = guiMax;
}
BENCHMARK(BM_HistoryOpen)->Unit(benchmark::kMillisecond);

void BM_HistoryPeriod(benchmark::State& state) {
    History& j = history();
    HistoryWindow window(j.source, j.time, j.boxes);
    window.show();
    untilShown(window,
               [&] { window.cbxPeriod().setCurrentIndex(static_cast<int>(state.range(0))); });
    double guiMax = 0;
    for (auto _ : state) {
        // What a change of period runs.
        guiMax = std::max(guiMax, untilShown(window, [&] { window.refresh(); }));
    }
    state.counters["rows"] = window.eventsModel().rowCount();
    state.counters["gui_max_ms"] = guiMax;
}
BENCHMARK(BM_HistoryPeriod)
    ->Arg(HistoryWindow::last24Hours)
    ->Arg(HistoryWindow::last7Days)
    ->Arg(HistoryWindow::last30Days)
    ->Arg(HistoryWindow::everything)
    ->Unit(benchmark::kMillisecond);

void BM_HistoryExportAll(benchmark::State& state) {
    History& j = history();
    HistoryWindow window(j.source, j.time, j.boxes);
    untilShown(window, [&] { window.cbxPeriod().setCurrentIndex(HistoryWindow::everything); });
    const QString path = QString::fromStdString((j.dir.path / "historial.csv").string());
    for (auto _ : state) benchmark::DoNotOptimize(window.exportCsv(path));
}
BENCHMARK(BM_HistoryExportAll)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (!history().filled) return 1;
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
