// The guard at process entry: a normal end gives the program's own status; an exception that
// escapes is shown in the error box and the process ends with a failure status.
#include "app/rules/entryGuard.h"

#include <QtTest>
#include <stdexcept>

#include "support/scriptedMessageBoxes.h"

using namespace ups;

class EntryGuardTest : public QObject {
    Q_OBJECT
private slots:
    void anEscapedExceptionIsShownAndFails();
};

void EntryGuardTest::anEscapedExceptionIsShownAndFails() {
    test::ScriptedMessageBoxes boxes;
    QCOMPARE(runGuarded(boxes, [] { return 3; }), 3);
    QVERIFY(boxes.shown.empty());
    QCOMPARE_NE(runGuarded(boxes, []() -> int { throw std::runtime_error("Sin ventana: é"); }), 0);
    QCOMPARE_NE(runGuarded(boxes, []() -> int { throw 42; }), 0);
    QVERIFY(boxes.texts() == (std::vector<std::string>{"Sin ventana: é", "Error inesperado."}));
    for (const test::ShownBox& box : boxes.shown) {
        QCOMPARE(box.title, std::string("! ERROR !"));
        QVERIFY(box.icon == MbIcon::Error);
    }
}

QTEST_APPLESS_MAIN(EntryGuardTest)
#include "entryGuard_test.moc"
