#include "app/qt/artwork.h"

#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QResource>

// The pixels are a resource of this library's: a static library's resources are brought in by
// name.
static void initArtPixels() {
    Q_INIT_RESOURCE(artPixels);
}

namespace ups::art {

namespace {

const QColor kBlue(0, 0, 255);
const QColor kRed(255, 0, 0);
const QColor kGreen(0, 160, 0);

QPixmap blank(int w, int h) {
    QPixmap p(w, h);
    p.fill(Qt::transparent);
    return p;
}

void drawBattery(QPainter& g) {
    g.setPen(QPen(Qt::black, 2));
    g.setBrush(Qt::white);
    g.drawRoundedRect(QRectF(3, 8, 23, 16), 2, 2);
    g.setPen(Qt::NoPen);
    g.setBrush(Qt::black);
    g.drawRect(QRectF(26, 12, 3, 8));
}

QPainterPath sine(double x0, double x1, double midY, double amp, int waves) {
    QPainterPath path;
    const int steps = 48;
    for (int i = 0; i <= steps; ++i) {
        double t = static_cast<double>(i) / steps;
        double x = x0 + (x1 - x0) * t;
        double y = midY - amp * std::sin(t * waves * 2 * M_PI);
        if (i == 0)
            path.moveTo(x, y);
        else
            path.lineTo(x, y);
    }
    return path;
}

}  // namespace

QPixmap drawStatePicture(int index) {
    QPixmap pm = blank(32, 32);
    QPainter g(&pm);
    g.setRenderHint(QPainter::Antialiasing);
    switch (index) {
        case picMains:
            g.setPen(QPen(QColor(128, 128, 128), 2));
            g.drawLine(QPointF(1, 16), QPointF(31, 16));
            g.setPen(QPen(kBlue, 3));
            g.drawPath(sine(2, 30, 16, 10, 2));
            break;
        case picOnBattery:
            drawBattery(g);
            g.setPen(QPen(kBlue, 2));
            g.drawPath(sine(6, 23, 16, 4.5, 2));
            break;
        case picBatteryOk: {
            drawBattery(g);
            g.setPen(QPen(kGreen, 3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
            QPainterPath check;
            check.moveTo(8, 16);
            check.lineTo(12.5, 20.5);
            check.lineTo(21, 11);
            g.drawPath(check);
            break;
        }
        case picBatteryLow: {
            drawBattery(g);
            g.setPen(QPen(QColor(160, 0, 0), 1));
            g.setBrush(kRed);
            QPolygonF down({QPointF(8.5, 11), QPointF(20.5, 11), QPointF(14.5, 21.5)});
            g.drawPolygon(down);
            break;
        }
        default:
            break;
    }
    return pm;
}

QPixmap drawGlyph(const QString& name) {
    QPixmap pm = blank(16, 16);
    QPainter g(&pm);
    g.setRenderHint(QPainter::Antialiasing);
    if (name == "START") {
        g.setPen(QPen(QColor(64, 64, 64), 1));
        g.setBrush(QColor(224, 224, 224));
        g.drawRoundedRect(QRectF(1.5, 1.5, 13, 13), 2, 2);
        g.setPen(Qt::NoPen);
        g.setBrush(Qt::black);
        g.drawPolygon(QPolygonF({QPointF(5, 4), QPointF(12, 8), QPointF(5, 12)}));
    } else if (name == "BEEPER") {
        QPainterPath bell;
        bell.moveTo(8, 2);
        bell.cubicTo(5, 2, 4, 5, 4, 8);
        bell.lineTo(4, 11);
        bell.lineTo(2, 13);
        bell.lineTo(14, 13);
        bell.lineTo(12, 11);
        bell.lineTo(12, 8);
        bell.cubicTo(12, 5, 11, 2, 8, 2);
        g.setPen(QPen(QColor(96, 64, 0), 1));
        g.setBrush(QColor(240, 192, 0));
        g.drawPath(bell);
        g.drawEllipse(QPointF(8, 14.3), 1.3, 1.3);
        g.setPen(QPen(kRed, 2));
        g.drawLine(QPointF(2, 2), QPointF(14, 14));
    } else if (name == "SETUP") {
        g.setPen(QPen(QColor(64, 64, 64), 1));
        g.setBrush(QColor(160, 160, 160));
        for (int i = 0; i < 8; ++i) {
            g.save();
            g.translate(8, 8);
            g.rotate(i * 45.0);
            g.drawRect(QRectF(-1.5, -7.5, 3, 3));
            g.restore();
        }
        g.drawEllipse(QPointF(8, 8), 5, 5);
        g.setBrush(Qt::white);
        g.drawEllipse(QPointF(8, 8), 2, 2);
    }
    return pm;
}

QPixmap logo() {
    QPixmap pm = blank(64, 80);
    QPainter g(&pm);
    g.setRenderHint(QPainter::Antialiasing);
    const QColor navy(0, 60, 140);
    g.setPen(Qt::NoPen);
    g.setBrush(navy);
    g.drawRoundedRect(QRectF(4, 4, 56, 56), 8, 8);
    g.setPen(QPen(Qt::white, 7, Qt::SolidLine, Qt::RoundCap));
    g.drawLine(QPointF(20, 15), QPointF(20, 49));
    g.drawLine(QPointF(20, 32), QPointF(44, 15));
    g.drawLine(QPointF(27, 28), QPointF(45, 49));
    QFont f("Sans", 8, QFont::Bold);
    g.setFont(f);
    g.setPen(navy);
    g.drawText(QRectF(0, 62, 64, 16), Qt::AlignCenter, "KORVAN");
    return pm;
}

QString pixelsName(int index) {
    static const char* const kNames[kStatePictures] = {"mains", "onBattery", "batteryOk",
                                                       "batteryLow"};
    return index >= 0 && index < kStatePictures ? QString::fromLatin1(kNames[index]) : QString();
}

QString glyphPixelsName(const QString& name) {
    return QStringLiteral("glyph") + name.left(1) + name.mid(1).toLower();
}

QPixmap fromPixels(const QString& name, int size) {
    static const bool loaded = (initArtPixels(), true);
    (void)loaded;
    if (name.isEmpty()) return {};
    const QByteArray bytes =
        QResource(QStringLiteral(":/art/") + name + ".argb").uncompressedData();
    if (bytes.size() != size * size * 4) return {};
    QImage image(reinterpret_cast<const uchar*>(bytes.constData()), size, size, size * 4,
                 QImage::Format_ARGB32_Premultiplied);
    return QPixmap::fromImage(image.copy());
}

QPixmap statePicture(int index) {
    const QPixmap kept = fromPixels(pixelsName(index), 32);
    return kept.isNull() ? drawStatePicture(index) : kept;
}

QPixmap glyph(const QString& name) {
    const QPixmap kept = fromPixels(glyphPixelsName(name), 16);
    return kept.isNull() ? drawGlyph(name) : kept;
}

QIcon applicationIcon() {
    QIcon icon;
    icon.addPixmap(statePicture(picMains));
    return icon;
}

}  // namespace ups::art
