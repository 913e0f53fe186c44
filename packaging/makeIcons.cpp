// Build-time tool: writes the application icon (the mains picture the monitor uses as its window
// icon) as PNG files for the hicolor theme, one per size.
//   korvan-ups-icons OUTDIR SIZE...   writes OUTDIR/SIZExSIZE/apps/korvan-ups.png
// Runs on the offscreen platform, so it needs no display.
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "app/qt/artwork.h"

namespace {

// The picture is drawn at 32 x 32. Smaller sizes shrink it. Larger ones are enlarged in steps of
// at most two and their edges then sharpened: the strokes are solid colours on a transparent
// ground, so steepening the alpha around one half gives back the edge that the enlargement blurred
// over about one source pixel.
QImage iconAt(const QImage& picture, int size) {
    QImage image = picture.convertToFormat(QImage::Format_ARGB32);
    while (image.width() * 2 < size)
        image = image.scaled(image.width() * 2, image.height() * 2, Qt::IgnoreAspectRatio,
                             Qt::SmoothTransformation);
    if (image.width() != size)
        image = image.scaled(size, size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    image = image.convertToFormat(QImage::Format_ARGB32);
    const double steepness = static_cast<double>(size) / picture.width();
    if (steepness <= 1.0) return image;
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const double a = (qAlpha(line[x]) / 255.0 - 0.5) * steepness + 0.5;
            const int alpha = static_cast<int>(std::lround(std::clamp(a, 0.0, 1.0) * 255));
            line[x] = qRgba(qRed(line[x]), qGreen(line[x]), qBlue(line[x]), alpha);
        }
    }
    return image;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s OUTDIR SIZE...\n", argv[0]);
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QImage picture = ups::art::statePicture(ups::art::picMains).toImage();
    if (picture.isNull()) {
        std::fprintf(stderr, "the mains picture is empty\n");
        return 1;
    }
    const QString outDir = QString::fromLocal8Bit(argv[1]);
    for (int i = 2; i < argc; ++i) {
        const int size = std::atoi(argv[i]);
        if (size < 8 || size > 1024) {
            std::fprintf(stderr, "bad size: %s\n", argv[i]);
            return 2;
        }
        const QString dir = QStringLiteral("%1/%2x%2/apps").arg(outDir).arg(size);
        const QString file = dir + QStringLiteral("/korvan-ups.png");
        if (!QDir().mkpath(dir) || !iconAt(picture, size).save(file, "PNG")) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(file));
            return 1;
        }
    }
    return 0;
}
