#include "app/windows/history/powerTimeline.h"

#include <QPainter>
#include <array>

#include "base/oleDate.h"

namespace ups {

namespace {

const QColor kGood(67, 160, 71);
const QColor kFailed(211, 47, 47);
const QColor kLow(245, 166, 35);
const QColor kCritical(136, 14, 79);
const QColor kUnknown(210, 210, 210);

QColor mainsColour(MainsState s) {
    switch (s) {
        case MainsState::on:
            return kGood;
        case MainsState::off:
            return kFailed;
        default:
            return kUnknown;
    }
}

QColor batteryColour(BatteryState s) {
    switch (s) {
        case BatteryState::normal:
            return kGood;
        case BatteryState::low:
            return kLow;
        case BatteryState::critical:
            return kCritical;
        default:
            return kUnknown;
    }
}

QString axisText(double ole, bool withYear, bool withSeconds) {
    LocalDateTime t = localFromOle(ole);
    QString text = QStringLiteral("%1/%2")
                       .arg(t.day, 2, 10, QLatin1Char('0'))
                       .arg(t.month, 2, 10, QLatin1Char('0'));
    if (withYear) text += QStringLiteral("/%1").arg(t.year);
    text += QStringLiteral(" %1:%2")
                .arg(t.hour, 2, 10, QLatin1Char('0'))
                .arg(t.minute, 2, 10, QLatin1Char('0'));
    if (withSeconds) text += QStringLiteral(":%1").arg(t.second, 2, 10, QLatin1Char('0'));
    return text;
}

struct Layout {
    int labelWidth, bandHeight, line, mainsY, batteryY, axisY, legendY, height;
};

Layout layoutFor(const QFontMetrics& fm) {
    Layout l{};
    l.line = fm.height();
    l.labelWidth = std::max(fm.horizontalAdvance(QStringLiteral("Batería")),
                            fm.horizontalAdvance(QStringLiteral("Red"))) +
                   12;
    l.bandHeight = std::max(l.line, 16);
    l.mainsY = 4;
    l.batteryY = l.mainsY + l.bandHeight + 4;
    l.axisY = l.batteryY + l.bandHeight;
    l.legendY = l.axisY + 6 + l.line + 6;
    l.height = l.legendY + l.line + 4;
    return l;
}

}  // namespace

PowerTimeline::PowerTimeline(QWidget* parent) : QWidget(parent) {
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void PowerTimeline::setTimeline(std::vector<TimelineSegment> segments, double from, double to) {
    segments_ = std::move(segments);
    from_ = viewFrom_ = from;
    to_ = viewTo_ = to;
    update();
}

void PowerTimeline::zoomTo(double from, double to) {
    viewFrom_ = std::max(from, from_);
    viewTo_ = std::min(to, to_);
    if (!(viewTo_ > viewFrom_)) {
        viewFrom_ = from_;
        viewTo_ = to_;
    }
    update();
}

void PowerTimeline::showWholePeriod() {
    zoomTo(from_, to_);
}

QSize PowerTimeline::sizeHint() const {
    return {640, layoutFor(fontMetrics()).height};
}

QSize PowerTimeline::minimumSizeHint() const {
    return {320, layoutFor(fontMetrics()).height};
}

void PowerTimeline::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const QFontMetrics fm = fontMetrics();
    const Layout l = layoutFor(fm);
    const int left = l.labelWidth;
    const int bandWidth = std::max(width() - left - 6, 1);
    const QColor text = palette().color(QPalette::WindowText);

    p.setPen(text);
    p.drawText(QRect(0, l.mainsY, left - 6, l.bandHeight), Qt::AlignRight | Qt::AlignVCenter,
               QStringLiteral("Red"));
    p.drawText(QRect(0, l.batteryY, left - 6, l.bandHeight), Qt::AlignRight | Qt::AlignVCenter,
               QStringLiteral("Batería"));

    const std::vector<PowerState> cols = timelineColumns(segments_, viewFrom_, viewTo_, bandWidth);
    auto drawRuns = [&](int y, auto colourOf) {
        p.fillRect(left, y, bandWidth, l.bandHeight, kUnknown);
        for (int c = 0; c < static_cast<int>(cols.size());) {
            const QColor colour = colourOf(cols[static_cast<std::size_t>(c)]);
            int end = c + 1;
            while (end < static_cast<int>(cols.size()) &&
                   colourOf(cols[static_cast<std::size_t>(end)]) == colour) {
                ++end;
            }
            p.fillRect(left + c, y, end - c, l.bandHeight, colour);
            c = end;
        }
        p.setPen(text);
        p.drawRect(left, y, bandWidth - 1, l.bandHeight - 1);
    };
    drawRuns(l.mainsY, [](const PowerState& s) { return mainsColour(s.mains); });
    drawRuns(l.batteryY, [](const PowerState& s) { return batteryColour(s.battery); });

    // Five marks along what is shown; the outer labels keep inside the band's ends.
    if (viewTo_ > viewFrom_) {
        const double span = viewTo_ - viewFrom_;
        const bool withYear = span > 300;
        const bool withSeconds = span < 1.0 / 24;
        for (int i = 0; i <= 4; ++i) {
            const int x = left + (bandWidth - 1) * i / 4;
            p.drawLine(x, l.axisY, x, l.axisY + 4);
            const QString label = axisText(viewFrom_ + span * i / 4, withYear, withSeconds);
            const int w = fm.horizontalAdvance(label);
            const int lx = i == 0 ? x : (i == 4 ? x - w : x - w / 2);
            p.drawText(QRect(lx, l.axisY + 6, w, l.line), Qt::AlignLeft, label);
        }
    }

    struct Key {
        QColor colour;
        const char* text;
    };
    static const std::array<Key, 5> keys{{{kGood, "Red presente / batería normal"},
                                          {kFailed, "Corte de red"},
                                          {kLow, "Batería baja"},
                                          {kCritical, "Crítico"},
                                          {kUnknown, "Sin datos"}}};
    int x = left;
    for (const Key& k : keys) {
        const QString label = QString::fromUtf8(k.text);
        const int box = fm.ascent() - 2;
        p.fillRect(x, l.legendY + (l.line - box) / 2, box, box, k.colour);
        p.drawRect(x, l.legendY + (l.line - box) / 2, box - 1, box - 1);
        x += box + 4;
        p.drawText(QRect(x, l.legendY, fm.horizontalAdvance(label) + 2, l.line),
                   Qt::AlignLeft | Qt::AlignVCenter, label);
        x += fm.horizontalAdvance(label) + 14;
    }
}

}  // namespace ups
