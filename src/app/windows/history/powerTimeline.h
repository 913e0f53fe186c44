#pragma once
// The history window's timeline: a band for the mains and one for the battery over the period,
// with the dates at its ends and a legend. It draws one run of colour per stretch of equal
// columns, so its cost follows its width, not the number of events.
#include <QWidget>
#include <vector>

#include "history/timeline.h"

namespace ups {

class PowerTimeline : public QWidget {
    Q_OBJECT
public:
    explicit PowerTimeline(QWidget* parent = nullptr);

    void setTimeline(std::vector<TimelineSegment> segments, double from, double to);
    const std::vector<TimelineSegment>& segments() const { return segments_; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    std::vector<TimelineSegment> segments_;
    double from_ = 0, to_ = 0;
};

}  // namespace ups
