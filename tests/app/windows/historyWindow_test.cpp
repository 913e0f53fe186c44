// The history window over a history file of a hundred thousand events: each period is one read,
// off the GUI thread, and the tables only index it, the export reads back as the events, failures
// are said, and the main window's menus open it.
#include "app/windows/history/historyWindow.h"

#include <QComboBox>
#include <QFile>
#include <QPushButton>
#include <QTableView>
#include <QtTest>
#include <atomic>
#include <future>

#include "app/windows/history/powerTimeline.h"
#include "history/csvExport.h"
#include "history/historyTexts.h"
#include "support/historyFill.h"
#include "support/scriptedMessageBoxes.h"
#include "support/tempDir.h"
#include "support/virtualTime.h"
#include "support/windowRig.h"

using namespace ups;
using namespace ups::test;

namespace {

constexpr double kNow = 46000.5;
constexpr int kEvents = 100'000;

// Counts the reads and where they run; a test can hold them at a gate.
struct CountingSource : HistorySource {
    explicit CountingSource(HistorySource& inner) : inner(inner) {}
    std::optional<std::vector<HistoryEvent>> eventsSince(double from) override {
        ++reads;
        onGuiThread = QThread::currentThread() == qApp->thread();
        if (gate.valid()) gate.wait_for(std::chrono::seconds(2));
        return inner.eventsSince(from);
    }
    std::string error() const override { return inner.error(); }
    HistorySource& inner;
    std::atomic<int> reads = 0;
    std::atomic<bool> onGuiThread = false;
    std::shared_future<void> gate;
};

bool shown(HistoryWindow& window) {
    QSignalSpy spy(&window, &HistoryWindow::periodShown);
    return !window.reading() || spy.wait(20'000);
}

// One history file for the whole suite: filling it is the slow part.
struct History {
    TempDir dir{"ups-hist"};
    std::string path = (dir.path / "historial.db").string();
    std::vector<HistoryEvent> events = sampleHistory(kNow, kEvents, 400);
    bool filled = fillHistory(path, events);
    HistoryFileSource file{path};
    CountingSource source{file};
    VirtualTime time{kNow + 1.0 / 1440};
    ScriptedMessageBoxes boxes;
};

}  // namespace

class HistoryWindowTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void eachPeriodIsOneReadAndTheTablesOnlyIndexIt();
    void theReadRunsOffTheGuiThreadAndTheLastPeriodChosenIsShown();
    void exportReadsBackAsTheEvents();
    void failuresAreSaid();
    void choosingAnOutageZoomsTheTimelineToIt();
    void bothMenusOpenTheWindow();

private:
    std::unique_ptr<History> history_;
};

void HistoryWindowTest::initTestCase() {
    history_ = std::make_unique<History>();
    QVERIFY(history_->filled);
}

void HistoryWindowTest::eachPeriodIsOneReadAndTheTablesOnlyIndexIt() {
    History& j = *history_;
    HistoryWindow window(j.source, j.time, j.boxes);
    window.show();
    QCOMPARE(window.windowTitle(), QStringLiteral("Historial"));
    QTableView* grid = window.findChild<QTableView*>("grdEvents");
    QVERIFY(grid);
    const struct {
        int index;
        double days;
        QString count;
    } periods[] = {{HistoryWindow::everything, 1e9, QStringLiteral("100.000 eventos")},
                   {HistoryWindow::last24Hours, 1, {}},
                   {HistoryWindow::last30Days, 30, {}},
                   {HistoryWindow::last7Days, 7, {}}};
    for (const auto& p : periods) {
        const int readsBefore = j.source.reads;
        window.cbxPeriod().setCurrentIndex(p.index);
        QVERIFY(shown(window));
        QCOMPARE(j.source.reads, readsBefore + 1);
        const double from = j.time.now() - p.days;
        const auto expected = std::count_if(j.events.begin(), j.events.end(),
                                            [&](const HistoryEvent& e) { return e.at >= from; });
        const HistoryEventsModel& model = window.eventsModel();
        QCOMPARE(model.rowCount(), static_cast<int>(expected));
        if (!p.count.isEmpty()) QCOMPARE(window.countText(), p.count);
        // Newest first: the history's last event heads the table.
        QCOMPARE(model.index(0, HistoryEventsModel::colAt).data().toString(),
                 QString::fromStdString(dateTimeText(j.events.back().at)));
        QVERIFY(model.events().back().at >= from);
        // Scrolling through the table asks the history nothing more.
        grid->scrollToBottom();
        QCoreApplication::processEvents();
        QCOMPARE(j.source.reads, readsBefore + 1);
        QVERIFY(window.outagesModel().rowCount() > 0);
        QCOMPARE(window.timeline().segments().back().to, j.time.now());
    }
    // Every failure in the history starts an outage of its own, and some end in a power-off.
    window.cbxPeriod().setCurrentIndex(HistoryWindow::everything);
    QVERIFY(shown(window));
    const auto& outages = window.outagesModel().outages();
    QCOMPARE(outages.size(),
             static_cast<std::size_t>(std::count_if(j.events.begin(), j.events.end(), [](auto& e) {
                 return e.kind == HistoryEventKind::mainsFailed;
             })));
    QVERIFY(
        std::any_of(outages.begin(), outages.end(), [](auto& o) { return o.endedInPowerOff(); }));
}

void HistoryWindowTest::theReadRunsOffTheGuiThreadAndTheLastPeriodChosenIsShown() {
    History& j = *history_;
    HistoryWindow window(j.source, j.time, j.boxes);
    std::promise<void> open;
    j.source.gate = open.get_future().share();
    const int readsBefore = j.source.reads;
    window.refresh();
    QCOMPARE(window.countText(), QStringLiteral("Leyendo..."));
    QTRY_COMPARE(j.source.reads.load(), readsBefore + 1);
    // Chosen while the first read waits at the gate: only the last is read next.
    window.cbxPeriod().setCurrentIndex(HistoryWindow::everything);
    window.cbxPeriod().setCurrentIndex(HistoryWindow::last24Hours);
    open.set_value();
    QVERIFY(shown(window));
    j.source.gate = {};
    QVERIFY(!j.source.onGuiThread);
    QCOMPARE(j.source.reads, readsBefore + 2);
    QCOMPARE(window.timeline().segments().front().from, j.time.now() - 1);
}

void HistoryWindowTest::exportReadsBackAsTheEvents() {
    History& j = *history_;
    HistoryWindow window(j.source, j.time, j.boxes);
    window.cbxPeriod().setCurrentIndex(HistoryWindow::everything);
    QVERIFY(shown(window));
    const QString path = QString::fromStdString((j.dir.path / "historial.csv").string());
    QVERIFY(window.exportCsv(path));
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    // The mark that tells spreadsheets on Windows the file is UTF-8.
    QVERIFY(bytes.startsWith("\xEF\xBB\xBF"));
    const auto records = parseCsv(std::string_view(bytes.constData(), bytes.size()));
    QVERIFY(records.has_value());
    QCOMPARE(records->size(), j.events.size() + 1);
    QCOMPARE(records->front(), (CsvRecord{"Fecha y hora", "Código", "Evento", "Detalle"}));
    for (std::size_t i = 0; i < j.events.size(); ++i) {
        const HistoryEvent& e = j.events[j.events.size() - 1 - i];
        const CsvRecord& r = (*records)[i + 1];
        QCOMPARE(r.size(), std::size_t{4});
        QCOMPARE(r[0], isoDateTimeText(e.at));
        QCOMPARE(historyEventKindFromKey(r[1]), std::optional(e.kind));
        QCOMPARE(r[2], std::string(historyEventTitle(e.kind)));
        QCOMPARE(r[3], e.details);
    }
    QVERIFY(j.boxes.shown.empty());
}

void HistoryWindowTest::failuresAreSaid() {
    History& j = *history_;
    // A file that cannot be written: the window says so and keeps nothing half written.
    HistoryWindow window(j.source, j.time, j.boxes);
    window.refresh();
    QVERIFY(shown(window));
    QVERIFY(!window.exportCsv(QString::fromStdString((j.dir.path / "no" / "x.csv").string())));
    QCOMPARE(j.boxes.shown.size(), std::size_t{1});
    QCOMPARE(j.boxes.shown[0].title, std::string(kTitleError));

    // A history that cannot be read, and a history that has stopped recording.
    HistoryFileSource missing((j.dir.path / "missing.db").string());
    HistoryWindowOpener opener(missing, j.time, j.boxes, [] { return false; });
    opener.open();
    HistoryWindow* window2 = opener.window();
    QVERIFY(window2 && window2->isVisible() && shown(*window2));
    QVERIFY(window2->problemText().startsWith(QString::fromUtf8(kHistoryUnavailableText.data())));
    QVERIFY(window2->problemText().contains(QStringLiteral("No se puede leer el historial")));
    QCOMPARE(window2->eventsModel().rowCount(), 0);
    opener.open();
    QCOMPARE(opener.window(), window2);
}

void HistoryWindowTest::choosingAnOutageZoomsTheTimelineToIt() {
    History& j = *history_;
    HistoryWindow window(j.source, j.time, j.boxes);
    window.resize(900, 660);
    window.show();
    window.refresh();
    QVERIFY(shown(window));
    QTableView* grid = window.findChild<QTableView*>("grdOutages");
    QPushButton* whole = window.findChild<QPushButton*>("btnWholePeriod");
    QVERIFY(grid && whole);
    const PowerTimeline& timeline = window.timeline();
    const double periodFrom = timeline.viewFrom(), periodTo = timeline.viewTo();
    QCOMPARE(periodTo, j.time.now());
    QVERIFY(!whole->isEnabled());
    const auto& outages = window.outagesModel().outages();
    QVERIFY(outages.size() > 2 && outages[1].start && outages[2].start);
    auto showsOutage = [&](const Outage& o) {
        // The outage and a margin on each side, a small part of the week.
        return timeline.zoomed() && timeline.viewFrom() < *o.start && timeline.viewTo() > o.end &&
               timeline.viewTo() - timeline.viewFrom() < (periodTo - periodFrom) / 20;
    };
    // Chosen with a click, then another with a double-click.
    const QModelIndex second = window.outagesModel().index(1, OutagesModel::colStart);
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, grid->visualRect(second).center());
    QVERIFY(showsOutage(outages[1]));
    QVERIFY(whole->isEnabled());
    const QModelIndex third = window.outagesModel().index(2, OutagesModel::colEnd);
    QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, grid->visualRect(third).center());
    QVERIFY(showsOutage(outages[2]));
    // The way back shows the whole period; the same outage can be chosen again.
    whole->click();
    QVERIFY(!timeline.zoomed());
    QCOMPARE(timeline.viewFrom(), periodFrom);
    QCOMPARE(timeline.viewTo(), periodTo);
    QVERIFY(!whole->isEnabled());
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, grid->visualRect(third).center());
    QVERIFY(showsOutage(outages[2]));
    // A new read shows its whole period.
    window.refresh();
    QVERIFY(shown(window));
    QVERIFY(!timeline.zoomed() && !whole->isEnabled());
}

void HistoryWindowTest::bothMenusOpenTheWindow() {
    WindowRig rig;
    TmainF& w = rig.make();
    int opened = 0;
    w.setHistoryOpener([&] { ++opened; });
    const std::pair<QMenu*, const char*> menus[] = {{w.pMnTray(), "N1"}, {w.pMnFrm(), "MenuItem2"}};
    for (const auto& [menu, separator] : menus) {
        const QList<QAction*> items = menu->actions();
        const auto item = std::find_if(items.begin(), items.end(), [](QAction* a) {
            return a->text() == QStringLiteral("&Historial...");
        });
        QVERIFY(item != items.end());
        // Above the separator that keeps "&Finalizar" apart.
        QVERIFY(item - items.begin() < items.indexOf(menu->findChild<QAction*>(separator)));
        (*item)->trigger();
    }
    QCOMPARE(opened, 2);
}

QTEST_MAIN(HistoryWindowTest)
#include "historyWindow_test.moc"
