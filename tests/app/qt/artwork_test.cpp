// The pictures the monitor shows from kept pixels are exactly what their drawings draw. With
// UPS_ART_WRITE=<folder> the test writes the drawings' pixels there instead (src/app/qt/art after a
// change to a drawing), and fails so that the run is not taken for a check.
#include "app/qt/artwork.h"

#include <QFile>
#include <QImage>
#include <QResource>
#include <QtTest>
#include <functional>

using namespace ups;

namespace {

struct Picture {
    QString file;
    int size;
    std::function<QPixmap()> kept;
    std::function<QPixmap()> drawn;
};

QList<Picture> allPictures() {
    QList<Picture> pictures;
    for (int i = 0; i < art::kStatePictures; ++i)
        pictures.append({art::pixelsName(i), 32, [i] { return art::statePicture(i); },
                         [i] { return art::drawStatePicture(i); }});
    for (const QString glyph : {"START", "BEEPER", "SETUP"})
        pictures.append({art::glyphPixelsName(glyph), 16, [glyph] { return art::glyph(glyph); },
                         [glyph] { return art::drawGlyph(glyph); }});
    return pictures;
}

QByteArray pixels(const QPixmap& picture) {
    const QImage image = picture.toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied);
    return QByteArray(reinterpret_cast<const char*>(image.constBits()), image.sizeInBytes());
}

}  // namespace

class ArtworkTest : public QObject {
    Q_OBJECT
private slots:
    void keptPixelsAreTheDrawings();
};

void ArtworkTest::keptPixelsAreTheDrawings() {
    const QString writeTo = qEnvironmentVariable("UPS_ART_WRITE");
    for (const Picture& p : allPictures()) {
        const QByteArray drawn = pixels(p.drawn());
        QCOMPARE(drawn.size(), p.size * p.size * 4);
        if (!writeTo.isEmpty()) {
            QFile file(writeTo + "/" + p.file + ".argb");
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write(drawn) == drawn.size());
            continue;
        }
        // Nothing blank passes for a picture, and the kept pixels (not a drawing made for want of
        // them) are the drawing's to the bit.
        QVERIFY2(drawn.count('\0') < drawn.size(), qPrintable(p.file));
        const QByteArray shown = pixels(p.kept());
        const QByteArray kept = QResource(":/art/" + p.file + ".argb").uncompressedData();
        QVERIFY2(kept == drawn, qPrintable(p.file + ".argb differs from its drawing"));
        QVERIFY2(shown == drawn, qPrintable(p.file + " is not shown as drawn"));
    }
    QVERIFY2(writeTo.isEmpty(),
             "pixels written: build again and run the test without UPS_ART_WRITE");
}

QTEST_MAIN(ArtworkTest)
#include "artwork_test.moc"
