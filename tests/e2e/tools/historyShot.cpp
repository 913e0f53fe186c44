// Draws the history window's last seven days over a day of plausible events (outages of 47
// seconds and of minutes, one that ended in a power-off with the monitor down until the next
// start, one still running, a battery test) on top of a month of older ones, and saves it for
// the documentation:  ups-history-shot OUTPUT.png [ROW]
// With ROW, the timeline is zoomed to that row of the outages list. Run it on a real display
// (Xvfb is enough).
#include <QApplication>

#include "app/windows/history/historyWindow.h"
#include "base/oleDate.h"
#include "support/historyFill.h"
#include "support/scriptedMessageBoxes.h"
#include "support/tempDir.h"
#include "support/virtualTime.h"

using namespace ups;
using namespace ups::test;

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const QString out =
        argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("historial.png");
    const double now = oleFromLocal(2026, 12, 8, 22, 0);
    auto at = [](int h, int m, int s = 0) { return oleFromLocal(2026, 12, 8, h, m, s); };
    using K = HistoryEventKind;
    std::vector<HistoryEvent> events = sampleHistory(oleFromLocal(2026, 12, 7, 20, 0), 400, 30);
    const std::vector<HistoryEvent> day{
        {at(6, 12), K::mainsFailed, ""},
        {at(6, 12, 5), K::noticeShown, "Falla en tensión de línea"},
        {at(6, 12, 36), K::noticeShown, "Continúa la falla en tensión de línea"},
        {at(6, 40, 12), K::mainsReturned, ""},
        {at(9, 0), K::batteryTestStarted, "por cronograma"},
        {at(9, 0, 21), K::batteryTestOutcome, "Test de batería correcto."},
        {at(13, 5), K::mainsFailed, ""},
        {at(13, 5, 5), K::noticeShown, "Falla en tensión de línea"},
        {at(13, 49, 40), K::batteryLow, ""},
        {at(13, 49, 40), K::criticalEntered, ""},
        {at(13, 49, 41), K::noticeShown, "30 seg. para cerrar Sistema"},
        {at(13, 49, 56), K::applicationsClosed, "Presupuesto.odt - Writer, Costos.ods - Calc"},
        {at(13, 50, 11), K::powerOffRequested, "Apagado aceptado"},
        {at(13, 50, 12), K::monitorEnded, ""},
        {at(15, 21, 3), K::monitorStarted, "puerto COM2"},
        {at(15, 21, 4), K::batteryLow, ""},
        {at(16, 47, 30), K::batteryNormal, ""},
        {at(18, 5, 10), K::mainsFailed, ""},
        {at(18, 5, 15), K::noticeShown, "Falla en tensión de línea"},
        {at(18, 5, 57), K::mainsReturned, ""},
        {at(18, 30, 2), K::configChanged, "tmpFail, tmpLowB"},
        {at(21, 10, 45), K::mainsFailed, ""},
        {at(21, 10, 50), K::noticeShown, "Falla en tensión de línea"},
        {at(21, 14, 2), K::mainsReturned, ""},
        {at(21, 48, 30), K::mainsFailed, ""},
        {at(21, 48, 35), K::noticeShown, "Falla en tensión de línea"},
        {at(21, 49, 6), K::noticeShown, "Continúa la falla en tensión de línea"},
    };
    events.insert(events.end(), day.begin(), day.end());

    TempDir dir("ups-history-shot");
    const std::string path = (dir.path / "historial.db").string();
    if (!fillHistory(path, events)) return 1;
    HistoryFileSource source(path);
    VirtualTime time(now);
    ScriptedMessageBoxes boxes;
    HistoryWindowOpener opener(source, time, boxes, [] { return true; });
    opener.open();
    HistoryWindow& window = *opener.window();
    window.resize(900, 660);
    // The period (seven days, the window's first) is read on the window's reader thread.
    while (window.reading()) QApplication::processEvents(QEventLoop::WaitForMoreEvents);
    for (int i = 0; i < 20; ++i) QApplication::processEvents();
    if (argc > 2) {
        window.zoomToOutage(QString::fromLocal8Bit(argv[2]).toInt());
        for (int i = 0; i < 20; ++i) QApplication::processEvents();
    }
    return window.grab().save(out) ? 0 : 1;
}
