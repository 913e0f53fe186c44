// The tray icon component against a notification area that counts its calls.
#include "tray/Traycomp.h"

#include <QApplication>
#include <QMenu>
#include <QtTest>

#include "support/fakeTrayShell.h"

using namespace ups;
using namespace ups::test;

namespace {

QVector<QPixmap> fourIcons() {
    QVector<QPixmap> icons;
    for (QColor c : {Qt::red, Qt::green, Qt::blue, Qt::yellow}) {
        QPixmap p(32, 32);
        p.fill(c);
        icons.push_back(p);
    }
    return icons;
}

QRgb centre(const QIcon& icon) {
    return icon.pixmap(32, 32).toImage().pixel(16, 16);
}

}  // namespace

class TraycompTest : public QObject {
    Q_OBJECT
private slots:
    void startsHiddenWithTheDocumentedValues();
    void visibleAddsAndRemovesTheIconAndForcesHide();
    void shellRefusalsAreReportedAndEndTheProgram();
    void sameHintTwiceCallsTheShellOnce();
    void hintOfSixtyFourCharactersIsIgnored();
    void emptyHintClearsTheTooltipButIconChangesStillReachTheShell();
    void iconIndexTakesTheImageFromTheList();
    void animationCyclesThroughTheImagesOnlyWithIcons();
    void mouseOperationsRestoreThenShowTheMenuThenNotify();
    void minimiseHidesTheWindowOnlyWhenHideAndVisible();
    void minimisingTheWindowSendsItToTheTray();
    void endOfSessionRemovesTheIcon();
};

void TraycompTest::startsHiddenWithTheDocumentedValues() {
    QWidget owner;
    FakeTrayShell shell;
    TTrayComp tray(&owner, shell);
    QVERIFY(!tray.Visible());
    QVERIFY(tray.Hint().isEmpty());
    QVERIFY(tray.Hide());
    QCOMPARE(tray.RestoreOn, arLeftDblClick);
    QCOMPARE(tray.PopupMenuOn, arNone);
    QCOMPARE(tray.IconIndex(), 0);
    QCOMPARE(tray.GetInterval(), 1000);
    QVERIFY(!tray.GetAnimate());
    QCOMPARE(tray.iconData().flags, TrayIconData::kNifMessage | TrayIconData::kNifIcon);
    QCOMPARE(shell.adds, 0);
    QCOMPARE(shell.modifies, 1);  // the constructor's update
}

void TraycompTest::visibleAddsAndRemovesTheIconAndForcesHide() {
    QWidget owner;
    FakeTrayShell shell;
    TTrayComp tray(&owner, shell);
    tray.SetHide(false);
    tray.SetVisible(true);
    QCOMPARE(shell.adds, 1);
    QVERIFY(shell.shown);
    QVERIFY(tray.Hide());
    tray.SetVisible(false);
    QCOMPARE(shell.deletes, 1);
    QVERIFY(!shell.shown);
    QVERIFY(!tray.Hide());
}

void TraycompTest::shellRefusalsAreReportedAndEndTheProgram() {
    QWidget owner;
    FakeTrayShell shell;
    shell.refuseAdd = true;
    TTrayComp tray(&owner, shell);
    QStringList reported;
    int terminations = 0;
    tray.reportShellFailure = [&](const QString& t) { reported << t; };
    tray.requestTermination = [&] { ++terminations; };
    tray.SetHide(false);
    tray.SetVisible(true);
    QCOMPARE(reported, QStringList{"Cannot Create System Shell Notification Icon"});
    QCOMPARE(terminations, 1);
    QVERIFY(tray.Hide());  // the setter finishes its steps all the same

    shell.refuseRemove = true;
    tray.SetVisible(false);
    QCOMPARE(reported.last(), QStringLiteral("Cannot Remove System Shell Notification Icon"));
    QCOMPARE(terminations, 2);
    QVERIFY(!tray.Hide());
}

void TraycompTest::sameHintTwiceCallsTheShellOnce() {
    QWidget owner;
    FakeTrayShell shell;
    TTrayComp tray(&owner, shell);
    tray.SetVisible(true);
    int before = shell.modifies;
    tray.SetHint(QStringLiteral("Suministro de Línea"));
    tray.SetHint(QStringLiteral("Suministro de Línea"));
    QCOMPARE(shell.modifies, before + 1);
    QCOMPARE(shell.tip(), QStringLiteral("Suministro de Línea"));
    QVERIFY(shell.last.flags & TrayIconData::kNifTip);
}

void TraycompTest::hintOfSixtyFourCharactersIsIgnored() {
    QWidget owner;
    FakeTrayShell shell;
    TTrayComp tray(&owner, shell);
    tray.SetVisible(true);
    tray.SetHint(QStringLiteral("Batería Baja"));
    int before = shell.modifies;
    tray.SetHint(QString(64, QLatin1Char('x')));
    QCOMPARE(shell.modifies, before);
    QCOMPARE(tray.Hint(), QStringLiteral("Batería Baja"));
    tray.SetHint(QString(63, QLatin1Char('y')));
    QCOMPARE(shell.tip(), QString(63, QLatin1Char('y')));
}

void TraycompTest::emptyHintClearsTheTooltipButIconChangesStillReachTheShell() {
    QWidget owner;
    FakeTrayShell shell;
    QVector<QPixmap> icons = fourIcons();
    TTrayComp tray(&owner, shell);
    tray.setIcons(&icons);
    tray.SetVisible(true);
    tray.SetHint(QStringLiteral("Batería Baja"));
    tray.SetHint(QString());
    QVERIFY(!(shell.last.flags & TrayIconData::kNifTip));
    QVERIFY(shell.tip().isEmpty());
    int before = shell.modifies;
    tray.SetIconIndex(2);
    QCOMPARE(shell.modifies, before + 1);
    QCOMPARE(centre(shell.last.icon), QColor(Qt::blue).rgb());
}

void TraycompTest::iconIndexTakesTheImageFromTheList() {
    QWidget owner;
    FakeTrayShell shell;
    QVector<QPixmap> icons = fourIcons();
    TTrayComp tray(&owner, shell);
    tray.setIcons(&icons);
    tray.SetIconIndex(3);
    tray.Loaded();
    tray.SetVisible(true);
    QCOMPARE(centre(shell.last.icon), QColor(Qt::yellow).rgb());
    tray.SetIconIndex(1);
    QCOMPARE(tray.IconIndex(), 1);
    QCOMPARE(centre(shell.last.icon), QColor(Qt::green).rgb());
}

void TraycompTest::animationCyclesThroughTheImagesOnlyWithIcons() {
    QWidget owner;
    FakeTrayShell shell;
    TTrayComp tray(&owner, shell);
    tray.SetAnimate(true);
    QVERIFY(!tray.GetAnimate());  // no image list: no effect

    QVector<QPixmap> icons = fourIcons();
    tray.setIcons(&icons);
    tray.SetVisible(true);
    tray.SetInterval(10);
    tray.SetAnimate(true);
    QVERIFY(tray.GetAnimate());
    QList<int> seen;
    for (int i = 0; i < 5; ++i) {
        int current = tray.IconIndex();
        QTRY_VERIFY_WITH_TIMEOUT(tray.IconIndex() != current, 2000);
        seen << tray.IconIndex();
    }
    tray.SetAnimate(false);
    QCOMPARE(seen, (QList<int>{1, 2, 3, 0, 1}));
}

void TraycompTest::mouseOperationsRestoreThenShowTheMenuThenNotify() {
    QWidget owner;
    owner.showMinimized();
    FakeTrayShell shell;
    TTrayComp tray(&owner, shell);
    QMenu menu;
    tray.setPopupMenu(&menu);
    tray.SetVisible(true);
    QStringList order;
    tray.OnRestore = [&](TTrayComp&) { order << "restore"; };
    tray.OnRButtonDown = [&](TTrayComp&) { order << "event"; };
    QObject::connect(&menu, &QMenu::aboutToShow, [&] {
        order << "menu";
        QTimer::singleShot(0, &menu, &QMenu::close);
    });
    tray.RestoreOn = arRightClick;
    tray.PopupMenuOn = arRightClick;
    shell.click(TrayMouse::RightDown);
    QCOMPARE(order, (QStringList{"restore", "menu", "event"}));
    QVERIFY(!(owner.windowState() & Qt::WindowMinimized));

    // The monitor's own binding: a left press restores, a double click's press does too.
    order.clear();
    tray.RestoreOn = arLeftClick;
    tray.PopupMenuOn = arNone;
    shell.click(TrayMouse::LeftUp);
    shell.click(TrayMouse::LeftDouble);
    QVERIFY(order.isEmpty());
    shell.click(TrayMouse::LeftDown);
    QCOMPARE(order, QStringList{"restore"});
}

void TraycompTest::minimiseHidesTheWindowOnlyWhenHideAndVisible() {
    QWidget owner;
    owner.show();
    FakeTrayShell shell;
    TTrayComp tray(&owner, shell);
    int minimised = 0;
    tray.OnMinimize = [&](TTrayComp&) { ++minimised; };

    tray.Minimize();  // icon not visible: the window stays in the taskbar
    QVERIFY(owner.isVisible());
    tray.SetVisible(true);
    tray.SetHide(false);
    tray.Minimize();
    QVERIFY(owner.isVisible());
    tray.SetHide(true);
    tray.Minimize();
    QVERIFY(!owner.isVisible());
    QCOMPARE(minimised, 3);

    tray.Restore();
    QVERIFY(owner.isVisible());
    QVERIFY(!(owner.windowState() & Qt::WindowMinimized));

    // No notification area at all: the window never leaves the screen.
    shell.host = false;
    tray.Minimize();
    QVERIFY(owner.isVisible());
}

void TraycompTest::minimisingTheWindowSendsItToTheTray() {
    QWidget owner;
    owner.show();
    FakeTrayShell shell;
    TTrayComp tray(&owner, shell);
    tray.SetVisible(true);
    int minimised = 0, restored = 0;
    tray.OnMinimize = [&](TTrayComp&) { ++minimised; };
    tray.OnRestore = [&](TTrayComp&) { ++restored; };
    owner.setWindowState(Qt::WindowMinimized);  // as the title bar's button would
    QTRY_COMPARE(minimised, 1);
    QVERIFY(!owner.isVisible());
    QCOMPARE(restored, 0);
}

void TraycompTest::endOfSessionRemovesTheIcon() {
    QWidget owner;
    FakeTrayShell shell;
    TTrayComp tray(&owner, shell);
    tray.SetVisible(true);
    tray.EndSession();
    QCOMPARE(shell.deletes, 1);
    QVERIFY(!shell.shown);
    // Later updates are harmless.
    tray.SetHint(QStringLiteral("x"));
    QVERIFY(!shell.shown);
}

QTEST_MAIN(TraycompTest)
#include "Traycomp_test.moc"
