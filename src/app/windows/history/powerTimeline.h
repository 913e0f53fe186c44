#pragma once
// The history window's timeline: a band for the mains and one for the battery over the period,
// with the dates at its ends and a legend. It draws one run of colour per stretch of equal
// columns, so its cost follows its width, not the number of events. It shows the whole period,
// or a stretch of it (a zoom) until told to show the whole again.
#include <QWidget>
#include <vector>

#include "history/timeline.h"

namespace ups {

class PowerTimeline : public QWidget {
    Q_OBJECT
public:
    explicit PowerTimeline(QWidget* parent = nullptr);

    // A new period, shown whole.
    void setTimeline(std::vector<TimelineSegment> segments, double from, double to);
    const std::vector<TimelineSegment>& segments() const { return segments_; }
    // Shows [from, to), kept within the period.
    void zoomTo(double from, double to);
    void showWholePeriod();
    double periodFrom() const { return from_; }
    double periodTo() const { return to_; }
    bool zoomed() const { return viewFrom_ != from_ || viewTo_ != to_; }
    double viewFrom() const { return viewFrom_; }
    double viewTo() const { return viewTo_; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    std::vector<TimelineSegment> segments_;
    double from_ = 0, to_ = 0;
    double viewFrom_ = 0, viewTo_ = 0;
};

}  // namespace ups
