// The information pop-up: beeps when it comes up, hides after the notice's delay, and a notice
// while it is up replaces the texts without a new beep.
#include "app/windows/info/upsInfo.h"

#include <QLabel>
#include <QtTest>

#include "app/qt/artwork.h"

using namespace ups;

namespace {

struct CountingSound : WarningSound {
    int plays = 0;
    void play() override { ++plays; }
};

}  // namespace

class UpsInfoTest : public QObject {
    Q_OBJECT
private slots:
    void isAStayOnTopWindowCaptionedInformacion();
    void noticeShowsItsTextsBeepsAndHidesAfterItsDelay();
    void noticeWhileVisibleReplacesTextsWithoutANewBeep();
    void hideTimerRestartsOnlyWhenTheDelayChanges();
    void lastSecondsBeepEveryTimeBecauseThePopupHidBetween();
    void paintingAtOnceRunsNothingElse();
};

void UpsInfoTest::isAStayOnTopWindowCaptionedInformacion() {
    CountingSound sound;
    TinfoFrm info(sound);
    QCOMPARE(info.windowTitle(), QStringLiteral("Información"));
    QVERIFY(info.windowFlags() & Qt::WindowStaysOnTopHint);
    QCOMPARE(info.size(), QSize(367, 115));
    QCOMPARE(info.Timer1().interval(), 3000);
    QVERIFY(!info.Timer1().isActive());
    QLabel* text = info.findChild<QLabel*>("lblinfo");
    QVERIFY(text && text->font().bold());
    QVERIFY(info.findChild<QLabel*>("imgInfo"));
    QVERIFY(!info.isVisible());
}

void UpsInfoTest::noticeShowsItsTextsBeepsAndHidesAfterItsDelay() {
    CountingSound sound;
    TinfoFrm info(sound);
    info.showNotice(QStringLiteral("Batería Baja"), art::statePicture(3),
                    QStringLiteral("30 seg. para cerrar Sistema"), 50);
    QVERIFY(info.isVisible());
    QCOMPARE(info.windowTitle(), QStringLiteral("Batería Baja"));
    QCOMPARE(info.text(), QStringLiteral("30 seg. para cerrar Sistema"));
    QVERIFY(info.picture());
    QCOMPARE(sound.plays, 1);
    QVERIFY(info.Timer1().isActive());
    QCOMPARE(info.Timer1().interval(), 50);
    QTRY_VERIFY_WITH_TIMEOUT(!info.isVisible(), 2000);
    QVERIFY(!info.Timer1().isActive());

    // Caption and picture stay as they were when a notice gives none.
    info.showNotice(std::nullopt, std::nullopt, QStringLiteral("Cerrando aplicaciones"), 3000);
    QCOMPARE(info.windowTitle(), QStringLiteral("Batería Baja"));
    QVERIFY(info.picture());
    QCOMPARE(sound.plays, 2);
}

void UpsInfoTest::noticeWhileVisibleReplacesTextsWithoutANewBeep() {
    CountingSound sound;
    TinfoFrm info(sound);
    info.showNotice(QStringLiteral("Información"), art::statePicture(1),
                    QStringLiteral("Falla en tensión de línea"), 3000);
    info.showNotice(QStringLiteral("Batería Baja"), art::statePicture(3),
                    QStringLiteral("Continúa la condición crítica"), 3000);
    QCOMPARE(sound.plays, 1);
    QCOMPARE(info.text(), QStringLiteral("Continúa la condición crítica"));
    QCOMPARE(info.windowTitle(), QStringLiteral("Batería Baja"));
}

void UpsInfoTest::hideTimerRestartsOnlyWhenTheDelayChanges() {
    CountingSound sound;
    TinfoFrm info(sound);
    info.showNotice(std::nullopt, std::nullopt, QStringLiteral("a"), 400);
    QTest::qWait(60);
    int before = info.Timer1().remainingTime();
    QVERIFY(before < 400);
    // Same delay: the running countdown goes on instead of starting again.
    info.showNotice(std::nullopt, std::nullopt, QStringLiteral("b"), 400);
    QVERIFY(info.Timer1().remainingTime() <= before);
    // Another delay: the timer starts again with it.
    info.showNotice(std::nullopt, std::nullopt, QStringLiteral("c"), 1000);
    QVERIFY(info.Timer1().remainingTime() > 800);
    QCOMPARE(sound.plays, 1);
}

void UpsInfoTest::lastSecondsBeepEveryTimeBecauseThePopupHidBetween() {
    CountingSound sound;
    TinfoFrm info(sound);
    for (int left : {8, 6, 4, 2}) {
        info.showNotice(QStringLiteral("Batería Baja"), art::statePicture(3),
                        QStringLiteral("%1 seg. para cerrar Sistema").arg(left, 2), 20);
        QTRY_VERIFY_WITH_TIMEOUT(!info.isVisible(), 2000);
    }
    QCOMPARE(sound.plays, 4);
    QCOMPARE(info.text(), QStringLiteral(" 2 seg. para cerrar Sistema"));
}

// The tick paints the pop-up before it moves on; a close request or a timer waiting in the queue
// must not run inside it (a close question opened there ran ticks inside the tick).
void UpsInfoTest::paintingAtOnceRunsNothingElse() {
    CountingSound sound;
    TinfoFrm info(sound);
    info.showNotice(QStringLiteral("Información"), std::nullopt, QStringLiteral("Cerrando sistema"),
                    500);
    bool ran = false;
    QTimer::singleShot(0, &info, [&] { ran = true; });
    QCoreApplication::postEvent(&info, new QCloseEvent);
    info.repaintNow();
    QVERIFY(!ran);
    QVERIFY(info.isVisible());
    QCoreApplication::processEvents();
    QVERIFY(ran);
}

QTEST_MAIN(UpsInfoTest)
#include "upsInfo_test.moc"
