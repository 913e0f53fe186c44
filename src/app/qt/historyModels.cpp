#include "app/qt/historyModels.h"

#include <QBrush>
#include <QColor>

#include "history/historyTexts.h"

namespace ups {

namespace {

QString qText(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// The events that call for attention stand out in the list.
bool isAlarm(HistoryEventKind kind) {
    switch (kind) {
        case HistoryEventKind::mainsFailed:
        case HistoryEventKind::batteryLow:
        case HistoryEventKind::criticalEntered:
        case HistoryEventKind::powerOffRequested:
        case HistoryEventKind::switchOffAnnounced:
        case HistoryEventKind::agentNotAnswering:
        case HistoryEventKind::trapPortUnavailable:
            return true;
        default:
            return false;
    }
}

QVariant header(const char* const* titles, int count, int section, Qt::Orientation orientation,
                int role) {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
    if (section < 0 || section >= count) return {};
    return QString::fromUtf8(titles[section]);
}

}  // namespace

void HistoryEventsModel::setEvents(std::vector<HistoryEvent> events) {
    beginResetModel();
    events_ = std::move(events);
    endResetModel();
}

int HistoryEventsModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(events_.size());
}

int HistoryEventsModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : columnCount_;
}

QVariant HistoryEventsModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount()) return {};
    const HistoryEvent& e = events_[static_cast<std::size_t>(index.row())];
    if (role == Qt::ForegroundRole) {
        return isAlarm(e.kind) ? QVariant(QBrush(QColor(176, 0, 0))) : QVariant();
    }
    if (role != Qt::DisplayRole && role != Qt::ToolTipRole) return {};
    switch (index.column()) {
        case colAt:
            return qText(dateTimeText(e.at));
        case colEvent:
            return qText(historyEventTitle(e.kind));
        case colDetails: {
            QString details = qText(e.details);
            // One line per row in the table; the tooltip keeps the lines.
            if (role == Qt::DisplayRole) details.replace(QLatin1Char('\n'), QLatin1Char(' '));
            return details;
        }
        default:
            return {};
    }
}

QVariant HistoryEventsModel::headerData(int section, Qt::Orientation orientation, int role) const {
    static const char* const titles[] = {"Fecha y hora", "Evento", "Detalle"};
    return header(titles, columnCount_, section, orientation, role);
}

void OutagesModel::setOutages(std::vector<Outage> outages, double periodStart) {
    beginResetModel();
    outages_ = std::move(outages);
    periodStart_ = periodStart;
    endResetModel();
}

int OutagesModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(outages_.size());
}

int OutagesModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : columnCount_;
}

QVariant OutagesModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount()) return {};
    const Outage& o = outages_[static_cast<std::size_t>(index.row())];
    const bool running = o.how == OutageEnd::running;
    if (role == Qt::ForegroundRole) {
        return running || o.endedInPowerOff() ? QVariant(QBrush(QColor(176, 0, 0))) : QVariant();
    }
    if (role != Qt::DisplayRole) return {};
    switch (index.column()) {
        case colStart:
            return o.start ? qText(dateTimeText(*o.start)) : QStringLiteral("Antes del período");
        case colEnd:
            return running ? QStringLiteral("En curso") : qText(dateTimeText(o.end));
        case colDuration:
            // Begun before the period: at least as long as the part that is seen.
            return o.start ? qText(durationText(o.end - *o.start))
                           : QStringLiteral("más de ") + qText(durationText(o.end - periodStart_));
        case colPowerOff:
            if (running) return QString();
            return o.endedInPowerOff() ? QStringLiteral("Sí") : QStringLiteral("No");
        default:
            return {};
    }
}

QVariant OutagesModel::headerData(int section, Qt::Orientation orientation, int role) const {
    static const char* const titles[] = {"Inicio", "Fin", "Duración", "Terminó en apagado"};
    return header(titles, columnCount_, section, orientation, role);
}

}  // namespace ups
