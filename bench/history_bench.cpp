// The history window over a journal of 100,000 events: opening it (the last 7 days), switching
// to each period, and exporting everything, each with the painting that follows. Run offscreen:
//   history_bench [--benchmark_...]
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QComboBox>

#include "app/upsHist.h"
#include "support/historyFill.h"
#include "support/scriptedMessageBoxes.h"
#include "support/tempDir.h"
#include "support/virtualTime.h"

using namespace ups;
using namespace ups::test;

namespace {

constexpr double kNow = 46000.5;

struct Journal {
    TempDir dir{"ups-hist-bench"};
    std::string path = (dir.path / "historial.db").string();
    bool filled = fillHistory(path, sampleHistory(kNow, 100'000, 400));
    HistoryFileSource source{path};
    VirtualTime time{kNow};
    ScriptedMessageBoxes boxes;
};

Journal& journal() {
    static Journal j;
    return j;
}

void settle() {
    QCoreApplication::processEvents();
}

void BM_HistoryOpen(benchmark::State& state) {
    Journal& j = journal();
    for (auto _ : state) {
        ThistF window(j.source, j.time, j.boxes);
        window.refresh();
        window.show();
        settle();
        benchmark::DoNotOptimize(window.eventsModel().rowCount());
    }
}
BENCHMARK(BM_HistoryOpen)->Unit(benchmark::kMillisecond);

void BM_HistoryPeriod(benchmark::State& state) {
    Journal& j = journal();
    ThistF window(j.source, j.time, j.boxes);
    window.show();
    window.cbxPeriod().setCurrentIndex(static_cast<int>(state.range(0)));
    settle();
    for (auto _ : state) {
        // What a change of period runs.
        window.refresh();
        settle();
    }
    state.counters["rows"] = window.eventsModel().rowCount();
}
BENCHMARK(BM_HistoryPeriod)
    ->Arg(ThistF::last24Hours)
    ->Arg(ThistF::last7Days)
    ->Arg(ThistF::last30Days)
    ->Arg(ThistF::everything)
    ->Unit(benchmark::kMillisecond);

void BM_HistoryExportAll(benchmark::State& state) {
    Journal& j = journal();
    ThistF window(j.source, j.time, j.boxes);
    window.cbxPeriod().setCurrentIndex(ThistF::everything);
    const QString path = QString::fromStdString((j.dir.path / "historial.csv").string());
    for (auto _ : state) benchmark::DoNotOptimize(window.exportCsv(path));
}
BENCHMARK(BM_HistoryExportAll)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (!journal().filled) return 1;
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
