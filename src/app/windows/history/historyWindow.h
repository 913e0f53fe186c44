#pragma once
// The history window: the history's events of a period, newest first, the outages among them, a
// timeline of the mains and the battery, and the export of the period to a CSV file. Each change
// of period reads the history once, on a reader thread of the window's own, so a long history
// never holds the GUI thread (and the supervisor's tick) up: the window says "Leyendo..." until
// the read is shown. The tables then only index what was read.
#include <QWidget>
#include <cstdint>
#include <functional>
#include <memory>

#include "app/qt/historyModels.h"
#include "base/clock.h"
#include "base/messageBox.h"
#include "history/historySource.h"

class QComboBox;

namespace Ui {
class HistoryWindow;
}

namespace ups {

class PowerTimeline;

class HistoryWindow : public QWidget {
    Q_OBJECT
public:
    // In the order of the period list.
    enum Period { last24Hours, last7Days, last30Days, everything };

    HistoryWindow(HistorySource& source, Clock& clock, MessageBoxes& boxes,
                  QWidget* parent = nullptr);
    ~HistoryWindow() override;

    // Reads the chosen period again; returns at once, and periodShown() follows.
    void refresh();
    // A read is under way (or waiting to be shown).
    bool reading() const { return shownRead_ != askedRead_; }
    // Says above the lists that the history is not recording (empty: it records again).
    void setHistoryProblem(const QString& text);
    // Zooms the timeline to the outage in that row of the outages table, with a margin; the
    // table's selection or a double-click on a row does it too.
    void zoomToOutage(int row);
    // The timeline shows the whole period again.
    void showWholePeriod();
    // Writes the period's events to path; a failure is told in a message box.
    bool exportCsv(const QString& path);

    QComboBox& cbxPeriod() const;
    const HistoryEventsModel& eventsModel() const { return events_; }
    const OutagesModel& outagesModel() const { return outages_; }
    const PowerTimeline& timeline() const;
    QString countText() const;
    QString problemText() const;

signals:
    void periodShown();

private:
    struct PeriodRead;
    class Reader;
    void showRead(PeriodRead& read);
    void cbxPeriodChange(int index);
    void btnExportClick();
    void showProblem();
    void sizeColumns();
    void showZoom();

    Ui::HistoryWindow* ui_;
    HistorySource& source_;
    Clock& clock_;
    MessageBoxes& boxes_;
    HistoryEventsModel events_;
    OutagesModel outages_;
    QString historyProblem_;
    QString readProblem_;
    std::uint64_t askedRead_ = 0;
    std::uint64_t shownRead_ = 0;
    // Made last and ended first: its thread posts to this window.
    std::unique_ptr<Reader> reader_;
};

// The one history window of the program, made at its first opening and brought to the front at
// the next ones; each opening reads the period again and says whether the history records.
class HistoryWindowOpener {
public:
    using HistoryFileAvailable = std::function<bool()>;
    HistoryWindowOpener(HistorySource& source, Clock& clock, MessageBoxes& boxes,
                        HistoryFileAvailable historyFileAvailable)
        : source_(source),
          clock_(clock),
          boxes_(boxes),
          historyFileAvailable_(std::move(historyFileAvailable)) {}
    void open();
    HistoryWindow* window() const { return window_.get(); }

private:
    HistorySource& source_;
    Clock& clock_;
    MessageBoxes& boxes_;
    HistoryFileAvailable historyFileAvailable_;
    std::unique_ptr<HistoryWindow> window_;
};

}  // namespace ups
