// The window's tick timer: a tick that stops and restarts it keeps one system timer, timeouts
// while a tick holds it never nest a second tick, a tick that ends stopped stops it for real, and
// a long tick is followed by a whole interval.
#include "app/qt/tickTimer.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QThread>
#include <QtTest>
#include <algorithm>
#include <vector>

using namespace ups;

class TickTimerTest : public QObject {
    Q_OBJECT
private slots:
    void stopAndStartInsideATickKeepOneSystemTimer();
    void aTickThatEndsStoppedLeavesNoSystemTimer();
    void timeoutsWhileATickHoldsTheTimerAreDropped();
    void startAndStopOutsideATickActAtOnce();
    void aLongTickIsFollowedByAWholeInterval();
    void aTickThatWantsTicksGetsThemInsideItsBoxes();
};

void TickTimerTest::stopAndStartInsideATickKeepOneSystemTimer() {
    std::vector<int> ids;
    std::vector<bool> activeDuringTick;
    TickTimer* self = nullptr;
    TickTimer timer(1, [&] {
        self->stop();
        activeDuringTick.push_back(self->isActive());
        ids.push_back(self->timerId());
        self->start();
    });
    self = &timer;
    timer.start();
    const int first = timer.timerId();
    QVERIFY(first > 0);
    QTRY_VERIFY_WITH_TIMEOUT(ids.size() >= 3, 2000);
    for (int id : ids) QCOMPARE(id, first);
    for (bool active : activeDuringTick) QVERIFY(!active);
    QVERIFY(timer.isActive());
    QCOMPARE(timer.timerId(), first);
}

void TickTimerTest::aTickThatEndsStoppedLeavesNoSystemTimer() {
    int ticks = 0;
    TickTimer* self = nullptr;
    TickTimer timer(1, [&] {
        ++ticks;
        self->stop();
    });
    self = &timer;
    timer.start();
    QTRY_COMPARE_WITH_TIMEOUT(ticks, 1, 2000);
    QVERIFY(!timer.isActive());
    QCOMPARE(timer.timerId(), -1);
    // A later start brings ticks back.
    timer.start();
    QTRY_COMPARE_WITH_TIMEOUT(ticks, 2, 2000);
}

void TickTimerTest::timeoutsWhileATickHoldsTheTimerAreDropped() {
    int ticks = 0;
    int depth = 0;
    int deepest = 0;
    TickTimer* self = nullptr;
    TickTimer timer(1, [&] {
        ++ticks;
        ++depth;
        deepest = std::max(deepest, depth);
        self->stop();
        if (ticks == 1) {
            // What a message box does: an event loop of its own inside the tick, long enough
            // for the held timer to come due many times.
            QEventLoop box;
            QTimer::singleShot(30, &box, &QEventLoop::quit);
            box.exec();
            QCOMPARE(ticks, 1);
        }
        --depth;
        self->start();
    });
    self = &timer;
    timer.start();
    QTRY_VERIFY_WITH_TIMEOUT(ticks >= 3, 2000);
    QCOMPARE(deepest, 1);
}

void TickTimerTest::startAndStopOutsideATickActAtOnce() {
    int ticks = 0;
    TickTimer timer(1000, [&] { ++ticks; });
    QCOMPARE(timer.interval(), 1000);
    QVERIFY(!timer.isActive());
    QCOMPARE(timer.timerId(), -1);
    timer.start();
    QVERIFY(timer.isActive());
    QVERIFY(timer.timerId() > 0);
    timer.stop();
    QVERIFY(!timer.isActive());
    QCOMPARE(timer.timerId(), -1);
    QCOMPARE(ticks, 0);
}

void TickTimerTest::aLongTickIsFollowedByAWholeInterval() {
    QElapsedTimer clock;
    clock.start();
    std::vector<qint64> began;
    std::vector<qint64> ended;
    TickTimer* self = nullptr;
    // 40 ms ticks; a tick of 5 ms or more is long.
    TickTimer timer(
        40,
        [&] {
            began.push_back(clock.elapsed());
            self->stop();
            // A read that blocks the thread for longer than an interval, as a silent agent's does.
            if (began.size() == 1) QThread::msleep(60);
            self->start();
            ended.push_back(clock.elapsed());
        },
        5);
    self = &timer;
    timer.start();
    QTRY_VERIFY_WITH_TIMEOUT(began.size() >= 2, 2000);
    // Kept to its rhythm, the timer would have been overdue and ticked again at once.
    QVERIFY2(
        began[1] - ended[0] >= 35,
        qPrintable(QStringLiteral("next tick %1 ms after the long one").arg(began[1] - ended[0])));
}

void TickTimerTest::aTickThatWantsTicksGetsThemInsideItsBoxes() {
    // A tick restarts the timer and opens a box; a tick inside that box opens one of its own.
    // Ticks must go on inside both, and none may start while another at the same depth runs.
    std::vector<int> depths;
    int depth = 0;
    TickTimer* self = nullptr;
    TickTimer timer(5, [&] {
        ++depth;
        depths.push_back(depth);
        self->stop();
        self->start();
        if (depths.size() == 1 || depths.size() == 2) {
            // The inner box closes well before the outer one.
            QEventLoop box;
            QTimer::singleShot(depths.size() == 1 ? 400 : 100, &box, &QEventLoop::quit);
            box.exec();
        }
        --depth;
    });
    self = &timer;
    timer.start();
    QTRY_VERIFY_WITH_TIMEOUT(depth == 0 && depths.size() > 6, 3000);
    QCOMPARE(depths[0], 1);
    QCOMPARE(depths[1], 2);
    QVERIFY2(std::count(depths.begin(), depths.end(), 3) >= 3, "ticks inside the inner box");
    QVERIFY(std::count(depths.begin(), depths.end(), 2) >= 2);  // the outer box, once inner closed
    QVERIFY(*std::max_element(depths.begin(), depths.end()) == 3);
}

QTEST_MAIN(TickTimerTest)
#include "tickTimer_test.moc"
