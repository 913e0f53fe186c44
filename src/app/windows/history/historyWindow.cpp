#include "app/windows/history/historyWindow.h"

#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QHeaderView>
#include <QLocale>
#include <QSaveFile>
#include <QStandardPaths>
#include <algorithm>
#include <condition_variable>
#include <limits>
#include <mutex>
#include <thread>

#include "app/qt/artwork.h"
#include "app/windows/history/powerTimeline.h"
#include "base/historyRecorder.h"
#include "history/csvExport.h"
#include "history/historyTexts.h"
#include "ui_historyWindow.h"

namespace ups {

namespace {

// Days back from now for each entry of the period list; the last one is everything.
constexpr double kPeriodDays[] = {1, 7, 30};

QString qText(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

void setUpGrid(QTableView* grid) {
    grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid->setWordWrap(false);
    grid->setAlternatingRowColors(true);
    grid->horizontalHeader()->setStretchLastSection(true);
    grid->horizontalHeader()->setHighlightSections(false);
    grid->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    // Rows of one fixed height: the view then never measures the rows it does not show.
    QHeaderView* rows = grid->verticalHeader();
    rows->hide();
    rows->setSectionResizeMode(QHeaderView::Fixed);
    rows->setDefaultSectionSize(grid->fontMetrics().height() + 6);
}

}  // namespace

// What one read of a period gives, made on the reader thread: the events and what the window
// derives from them, so the GUI thread only moves them into place.
struct HistoryWindow::PeriodRead {
    std::uint64_t number = 0;
    double from = 0, now = 0;
    bool everything = false;
    std::vector<HistoryEvent> events;
    std::optional<std::string> error;
    double start = 0;
    std::vector<Outage> outages;
    std::vector<TimelineSegment> segments;
};

// One thread that runs the newest period asked for and posts the result to the window; a period
// asked for while another is read replaces any still waiting. The source is used by this thread
// alone.
class HistoryWindow::Reader {
public:
    Reader(HistoryWindow& window, HistorySource& source)
        : window_(window), source_(source), thread_([this] { run(); }) {}
    ~Reader() {
        {
            std::lock_guard lock(mutex_);
            stopping_ = true;
        }
        wake_.notify_one();
        thread_.join();
    }
    void ask(PeriodRead request) {
        {
            std::lock_guard lock(mutex_);
            asked_ = std::move(request);
        }
        wake_.notify_one();
    }

private:
    void run() {
        std::unique_lock lock(mutex_);
        for (;;) {
            wake_.wait(lock, [&] { return asked_ || stopping_; });
            if (stopping_) return;
            auto read = std::make_shared<PeriodRead>(std::move(*asked_));
            asked_.reset();
            lock.unlock();
            readPeriod(*read);
            // Queued to the window's thread; a window that goes first drops what is posted to it.
            QMetaObject::invokeMethod(
                &window_, [window = &window_, read] { window->showRead(*read); },
                Qt::QueuedConnection);
            lock.lock();
        }
    }
    void readPeriod(PeriodRead& read) {
        std::optional<std::vector<HistoryEvent>> events = source_.eventsSince(read.from);
        if (events) {
            read.events = std::move(*events);
        } else {
            read.error = source_.error();
        }
        // Everything: the timeline runs from the oldest event, or over the last day without one.
        read.start = read.from;
        if (read.everything) {
            read.start =
                read.events.empty() ? read.now - 1 : std::min(read.events.back().at, read.now - 1);
        }
        read.outages = summarizeOutages(read.events, read.now);
        read.segments = powerTimeline(read.events, read.start, read.now);
    }

    HistoryWindow& window_;
    HistorySource& source_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::optional<PeriodRead> asked_;
    bool stopping_ = false;
    std::thread thread_;
};

HistoryWindow::HistoryWindow(HistorySource& source, Clock& clock, MessageBoxes& boxes,
                             QWidget* parent)
    : QWidget(parent, Qt::Window),
      ui_(new Ui::HistoryWindow),
      source_(source),
      clock_(clock),
      boxes_(boxes) {
    ui_->setupUi(this);
    setObjectName("histF");
    setWindowIcon(art::applicationIcon());
    setUpGrid(ui_->grdEvents);
    setUpGrid(ui_->grdOutages);
    ui_->grdEvents->setModel(&events_);
    ui_->grdOutages->setModel(&outages_);
    sizeColumns();
    ui_->splTables->setStretchFactor(0, 2);
    ui_->splTables->setStretchFactor(1, 1);
    QPalette warning = ui_->lblUnavailable->palette();
    warning.setColor(QPalette::WindowText, QColor(176, 0, 0));
    ui_->lblUnavailable->setPalette(warning);

    ui_->cbxPeriod->setCurrentIndex(last7Days);
    connect(ui_->cbxPeriod, &QComboBox::currentIndexChanged, this, &HistoryWindow::cbxPeriodChange);
    connect(ui_->btnExport, &QPushButton::clicked, this, &HistoryWindow::btnExportClick);
    connect(ui_->grdOutages->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current) {
                if (current.isValid()) zoomToOutage(current.row());
            });
    connect(ui_->grdOutages, &QTableView::doubleClicked, this,
            [this](const QModelIndex& index) { zoomToOutage(index.row()); });
    connect(ui_->btnWholePeriod, &QPushButton::clicked, this, &HistoryWindow::showWholePeriod);
    reader_ = std::make_unique<Reader>(*this, source_);
}

HistoryWindow::~HistoryWindow() {
    reader_.reset();
    delete ui_;
}

void HistoryWindow::sizeColumns() {
    // Wide enough for the longest text each column can hold, in the font in use; the details
    // take what is left.
    const QFontMetrics fm = ui_->grdEvents->fontMetrics();
    const int pad = 2 * fm.averageCharWidth() + 8;
    auto width = [&](const QString& text) { return fm.horizontalAdvance(text) + pad; };
    const int date = width(QStringLiteral("00/00/0000 00:00:00"));
    int event = width(QStringLiteral("Evento"));
    for (HistoryEventKind kind : allHistoryEventKinds()) {
        event = std::max(event, width(qText(historyEventTitle(kind))));
    }
    ui_->grdEvents->setColumnWidth(HistoryEventsModel::colAt, date);
    ui_->grdEvents->setColumnWidth(HistoryEventsModel::colEvent, event);
    ui_->grdOutages->setColumnWidth(OutagesModel::colStart,
                                    std::max(date, width(QStringLiteral("Antes del período"))));
    ui_->grdOutages->setColumnWidth(OutagesModel::colEnd, date);
    ui_->grdOutages->setColumnWidth(OutagesModel::colDuration,
                                    width(QStringLiteral("más de 000 d 00:00:00")));
}

QComboBox& HistoryWindow::cbxPeriod() const {
    return *ui_->cbxPeriod;
}

const PowerTimeline& HistoryWindow::timeline() const {
    return *ui_->pbxTimeline;
}

QString HistoryWindow::countText() const {
    return ui_->lblCount->text();
}

QString HistoryWindow::problemText() const {
    return ui_->lblUnavailable->isHidden() ? QString() : ui_->lblUnavailable->text();
}

void HistoryWindow::cbxPeriodChange(int) {
    refresh();
}

void HistoryWindow::refresh() {
    PeriodRead request;
    request.number = ++askedRead_;
    request.now = clock_.now();
    const int period = ui_->cbxPeriod->currentIndex();
    request.everything = period < 0 || period >= static_cast<int>(std::size(kPeriodDays));
    request.from = request.everything ? std::numeric_limits<double>::lowest()
                                      : request.now - kPeriodDays[period];
    reader_->ask(std::move(request));
    ui_->lblCount->setText(QStringLiteral("Leyendo..."));
    ui_->btnExport->setEnabled(false);
}

void HistoryWindow::showRead(PeriodRead& read) {
    // A period chosen since is on its way.
    if (read.number != askedRead_) return;
    shownRead_ = read.number;
    readProblem_.clear();
    if (read.error)
        readProblem_ = QStringLiteral("No se puede leer el historial: ") + qText(*read.error);
    outages_.setOutages(std::move(read.outages), read.start);
    ui_->pbxTimeline->setTimeline(std::move(read.segments), read.start, read.now);
    showZoom();
    const qsizetype count = static_cast<qsizetype>(read.events.size());
    events_.setEvents(std::move(read.events));

    const QLocale spanish(QLocale::Spanish, QLocale::Argentina);
    ui_->lblCount->setText(count == 1 ? QStringLiteral("1 evento")
                                      : spanish.toString(count) + QStringLiteral(" eventos"));
    ui_->gbOutages->setTitle(QStringLiteral("Cortes de energía (%1)").arg(outages_.rowCount()));
    ui_->btnExport->setEnabled(count > 0);
    showProblem();
    emit periodShown();
}

void HistoryWindow::zoomToOutage(int row) {
    const std::vector<Outage>& outages = outages_.outages();
    if (row < 0 || row >= static_cast<int>(outages.size())) return;
    const Outage& o = outages[static_cast<std::size_t>(row)];
    PowerTimeline& timeline = *ui_->pbxTimeline;
    const TimelineView view =
        outageView(o.start, o.end, timeline.periodFrom(), timeline.periodTo());
    timeline.zoomTo(view.from, view.to);
    showZoom();
}

void HistoryWindow::showWholePeriod() {
    ui_->pbxTimeline->showWholePeriod();
    // Choosing the same outage again zooms to it again.
    ui_->grdOutages->selectionModel()->clear();
    showZoom();
}

void HistoryWindow::showZoom() {
    const PowerTimeline& timeline = *ui_->pbxTimeline;
    ui_->btnWholePeriod->setEnabled(timeline.zoomed());
    ui_->lblZoom->setText(timeline.zoomed()
                              ? QStringLiteral("De %1 a %2")
                                    .arg(qText(dateTimeText(timeline.viewFrom())),
                                         qText(dateTimeText(timeline.viewTo())))
                              : QStringLiteral("Elija un corte de la lista para verlo de cerca."));
}

void HistoryWindow::setHistoryProblem(const QString& text) {
    historyProblem_ = text;
    showProblem();
}

void HistoryWindow::showProblem() {
    // The history's own failure first: it also explains why the lists stop growing.
    QStringList lines;
    if (!historyProblem_.isEmpty()) lines << historyProblem_;
    if (!readProblem_.isEmpty()) lines << readProblem_;
    ui_->lblUnavailable->setText(lines.join(QLatin1Char('\n')));
    ui_->lblUnavailable->setVisible(!lines.isEmpty());
}

bool HistoryWindow::exportCsv(const QString& path) {
    const std::string csv = historyCsv(events_.events());
    // Written beside the target and renamed over it, so a failed export leaves no half file.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) ||
        file.write(csv.data(), static_cast<qint64>(csv.size())) !=
            static_cast<qint64>(csv.size()) ||
        !file.commit()) {
        const std::string message =
            "No se pudo guardar el archivo.\r\n" + file.errorString().toStdString();
        boxes_.messageBox(message, kTitleError, MbIcon::Error);
        return false;
    }
    return true;
}

void HistoryWindow::btnExportClick() {
    QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (folder.isEmpty() || !QDir(folder).exists()) folder = QDir::homePath();
    const QString name = QStringLiteral("historial-") +
                         qText(isoDateTimeText(clock_.now()).substr(0, 10)) +
                         QStringLiteral(".csv");
    QFileDialog dialog(this, QStringLiteral("Exportar historial"), QDir(folder).filePath(name),
                       QStringLiteral("Archivos CSV (*.csv);;Todos los archivos (*)"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(QStringLiteral("csv"));
    // The system's own dialog speaks the system's language; Qt's, used where there is none,
    // would speak English.
    dialog.setLabelText(QFileDialog::LookIn, QStringLiteral("Buscar en:"));
    dialog.setLabelText(QFileDialog::FileName, QStringLiteral("Nombre:"));
    dialog.setLabelText(QFileDialog::FileType, QStringLiteral("Tipo:"));
    dialog.setLabelText(QFileDialog::Accept, QStringLiteral("&Guardar"));
    dialog.setLabelText(QFileDialog::Reject, QStringLiteral("Cancelar"));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
    exportCsv(dialog.selectedFiles().constFirst());
}

void HistoryWindowOpener::open() {
    if (!window_) window_ = std::make_unique<HistoryWindow>(source_, clock_, boxes_);
    const bool recording = !historyFileAvailable_ || historyFileAvailable_();
    window_->setHistoryProblem(recording ? QString() : qText(kHistoryUnavailableText));
    window_->refresh();
    window_->showNormal();
    window_->raise();
    window_->activateWindow();
}

}  // namespace ups
