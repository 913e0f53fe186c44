#pragma once
// The history window's two tables as models over vectors loaded once per period: the views ask
// only for the rows on screen, so a hundred thousand events cost no more to show than ten.
#include <QAbstractTableModel>
#include <vector>

#include "base/historyRecorder.h"
#include "history/outages.h"

namespace ups {

class HistoryEventsModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { colAt, colEvent, colDetails, columnCount_ };
    using QAbstractTableModel::QAbstractTableModel;

    // Newest first, as the history reads them back.
    void setEvents(std::vector<HistoryEvent> events);
    const std::vector<HistoryEvent>& events() const { return events_; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    std::vector<HistoryEvent> events_;
};

class OutagesModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { colStart, colEnd, colDuration, colPowerOff, columnCount_ };
    using QAbstractTableModel::QAbstractTableModel;

    // periodStart: where the events began, for an outage already running then.
    void setOutages(std::vector<Outage> outages, double periodStart);
    const std::vector<Outage>& outages() const { return outages_; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    std::vector<Outage> outages_;
    double periodStart_ = 0;
};

}  // namespace ups
