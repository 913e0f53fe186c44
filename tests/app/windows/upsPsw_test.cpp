// The configuration password: the one-attempt prompt, and the change dialog whose verdicts rest
// on what its exit handlers saw.
#include "app/windows/password/upsPsw.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

#include "app/windows/configuration/upsCfg.h"
#include "config/configStore.h"
#include "config/password.h"
#include "support/dialogTestKit.h"
#include "support/scriptedMessageBoxes.h"

using namespace ups;
using namespace ups::test;

namespace {

CfgUps guardedRecord(std::string_view password) {
    CfgUps ups;
    CfgSnmp snmp;
    clearRecords(ups, snmp);
    setDefaultConfig(ups, snmp);
    ups.pswUnset = 0;
    ups.pswEnabled = 1;
    storePassword(ups, password);
    return ups;
}

// Types into the prompt and closes it with the given result.
DialogRunner typeInPrompt(QString typed, int result = QDialog::Accepted) {
    return [typed, result](QDialog& dialog) {
        auto& prompt = static_cast<TsysPswF&>(dialog);
        prompt.edPassw()->setText(typed);
        return result;
    };
}

}  // namespace

class UpsPswTest : public QObject {
    Q_OBJECT
private slots:
    void promptCarriesItsFontsAndLimits();
    void promptVerdicts_data();
    void promptVerdicts();
    void promptEditStopsAtEightCharacters();
    void enterPressesTheFocusedPromptButton_data();
    void enterPressesTheFocusedPromptButton();
    void passwordEditsTakeOnlyCharactersTheRecordHolds();
    void changeDialogStartsEmptyWithActivarHidden();
    void withoutAPasswordTheOldFieldIsDisabled();
    void firstPasswordIsStoredAndThenRequiredAsOld();
    void acceptWithoutVisitingTheVerificationFieldKeepsTheDialogOpen();
    void wrongOldPasswordClosesTheDialog();
    void differingNewPasswordsAreReported();
    void focusLeavingTheEditsRunsTheirExitHandlers();
};

void UpsPswTest::promptCarriesItsFontsAndLimits() {
    TsysPswF prompt(nullptr);
    QCOMPARE(prompt.size(), QSize(319, 184));
    auto* label = child<QLabel>(prompt, "Label1");
    QVERIFY(label->font().bold());
    QCOMPARE(label->font().pixelSize(), 16);
    QCOMPARE(prompt.edPassw()->echoMode(), QLineEdit::Password);
    QCOMPARE(prompt.edPassw()->font().pixelSize(), 12);
    QCOMPARE(prompt.edPassw()->maxLength(), 8);
    QVERIFY(!child<QLabel>(prompt, "Image1")->pixmap().isNull());
}

void UpsPswTest::promptVerdicts_data() {
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("result");
    QTest::addColumn<bool>("granted");
    QTest::addColumn<bool>("warned");
    QTest::newRow("right password") << "Clave8ch"
                                    << "Clave8ch" << int(QDialog::Accepted) << true << false;
    QTest::newRow("wrong password") << "clave"
                                    << "otra" << int(QDialog::Accepted) << false << true;
    QTest::newRow("letter case differs") << "clave"
                                         << "Clave" << int(QDialog::Accepted) << false << true;
    QTest::newRow("prefix of the password") << "clave"
                                            << "clav" << int(QDialog::Accepted) << false << true;
    QTest::newRow("empty password set, empty typed")
        << ""
        << "" << int(QDialog::Accepted) << true << false;
    QTest::newRow("empty password set, something typed")
        << ""
        << "x" << int(QDialog::Accepted) << false << true;
    QTest::newRow("cancelled") << "clave"
                               << "clave" << int(QDialog::Rejected) << false << false;
    QTest::newRow("non-ASCII letters compared as single bytes")
        << QStringLiteral("año") << QStringLiteral("año") << int(QDialog::Accepted) << true
        << false;
}

void UpsPswTest::promptVerdicts() {
    QFETCH(QString, stored);
    QFETCH(QString, typed);
    QFETCH(int, result);
    QFETCH(bool, granted);
    QFETCH(bool, warned);
    CfgUps ups = guardedRecord(toRecordText(stored));
    const auto before = recordBytes(ups);
    ScriptedMessageBoxes boxes;
    QCOMPARE(askConfigPassword(ups, nullptr, boxes, typeInPrompt(typed, result)), granted);
    if (warned) {
        QCOMPARE(boxes.shown.size(), size_t(1));
        QCOMPARE(boxes.shown[0].text, std::string("Clave Incorrecta."));
        QCOMPARE(boxes.shown[0].title, std::string("! ERROR !"));
        QVERIFY(boxes.shown[0].icon == MbIcon::Warning);
    } else {
        QVERIFY(boxes.shown.empty());
    }
    QVERIFY(recordBytes(ups) == before);
}

void UpsPswTest::promptEditStopsAtEightCharacters() {
    CfgUps ups = guardedRecord("12345678");
    ScriptedMessageBoxes boxes;
    QString seen;
    const bool granted = askConfigPassword(ups, nullptr, boxes, [&](QDialog& dialog) {
        auto& prompt = static_cast<TsysPswF&>(dialog);
        QTest::keyClicks(prompt.edPassw(), QStringLiteral("1234567890"));
        seen = prompt.edPassw()->text();
        return int(QDialog::Accepted);
    });
    QCOMPARE(seen, QStringLiteral("12345678"));
    QVERIFY(granted);
}

void UpsPswTest::enterPressesTheFocusedPromptButton_data() {
    QTest::addColumn<QString>("focused");
    QTest::addColumn<bool>("granted");
    QTest::newRow("in the edit, the default \"Aceptar\"") << "edPassw" << true;
    QTest::newRow("on \"Cancelar\"") << "bBtCancel" << false;
}

void UpsPswTest::enterPressesTheFocusedPromptButton() {
    QFETCH(QString, focused);
    QFETCH(bool, granted);
    CfgUps ups = guardedRecord("abc");
    ScriptedMessageBoxes boxes;
    const bool result = askConfigPassword(ups, nullptr, boxes, [&focused](QDialog& dialog) {
        auto& prompt = static_cast<TsysPswF&>(dialog);
        // The program's exec loop, which Enter ends with the result of the button it presses.
        QTimer::singleShot(0, &prompt, [&prompt, &focused] {
            QTest::keyClicks(prompt.edPassw(), QStringLiteral("abc"));
            auto* target = child<QWidget>(prompt, qPrintable(focused));
            target->setFocus();
            QTest::keyClick(target, Qt::Key_Return);
        });
        return prompt.exec();
    });
    QCOMPARE(result, granted);
    QVERIFY(boxes.shown.empty());
}

void UpsPswTest::passwordEditsTakeOnlyCharactersTheRecordHolds() {
    // Two such characters would both be stored as the same byte.
    TsysPswF prompt(nullptr);
    typeText(prompt.edPassw(), QStringLiteral("aжñ€b"));
    QCOMPARE(prompt.edPassw()->text(), QStringLiteral("añ€b"));
    ScriptedMessageBoxes boxes;
    TchgPswF change(nullptr, false, 8, boxes);
    for (const char* name : {"edOldPsw", "edNewPsw", "edVerPsw"}) {
        auto* edit = child<QLineEdit>(change, name);
        typeText(edit, QStringLiteral("жx"));
        QCOMPARE(edit->text(), QStringLiteral("x"));
    }
}

void UpsPswTest::changeDialogStartsEmptyWithActivarHidden() {
    ScriptedMessageBoxes boxes;
    TchgPswF change(nullptr, false, 8, boxes);
    QCOMPARE(change.size(), QSize(358, 151));
    // Only the configuration dialog shows "Activar".
    QVERIFY(change.cBxPswEnh()->isHidden());
    for (const char* name : {"edOldPsw", "edNewPsw", "edVerPsw"}) {
        auto* edit = child<QLineEdit>(change, name);
        QCOMPARE(edit->text(), QString());
        QCOMPARE(edit->maxLength(), 8);
        QCOMPARE(edit->echoMode(), QLineEdit::Password);
    }
    QVERIFY(child<QLineEdit>(change, "edOldPsw")->isEnabled());
    QVERIFY(!change.oldCorrect());
    QVERIFY(!change.newVerified());
}

void UpsPswTest::withoutAPasswordTheOldFieldIsDisabled() {
    ScriptedMessageBoxes boxes;
    TchgPswF change(nullptr, true, 8, boxes);
    QVERIFY(!child<QLineEdit>(change, "edOldPsw")->isEnabled());
    QVERIFY(!child<QLabel>(change, "lblOldPsw")->isEnabled());
    QVERIFY(child<QLineEdit>(change, "edNewPsw")->isEnabled());
}

void UpsPswTest::firstPasswordIsStoredAndThenRequiredAsOld() {
    CfgUps ups;
    CfgSnmp snmp;
    clearRecords(ups, snmp);
    setDefaultConfig(ups, snmp);
    ScriptedMessageBoxes boxes;
    TcfgF dialog(nullptr, snmp, ups, boxes, [](const std::string&) { return agentAbsent; });
    bool oldFieldEnabled = true;
    dialog.setDialogRunner([&](QDialog& d) {
        auto& change = static_cast<TchgPswF&>(d);
        oldFieldEnabled = child<QLineEdit>(change, "edOldPsw")->isEnabled();
        child<QLineEdit>(change, "edNewPsw")->setText(QStringLiteral("Primera"));
        child<QLineEdit>(change, "edVerPsw")->setText(QStringLiteral("Primera"));
        change.edVerPswExit();
        change.cBxPswEnh()->setChecked(true);
        change.bBtPswAcepClick();
        return change.result();
    });
    dialog.bbtnPswChgClick();
    QVERIFY(!oldFieldEnabled);
    QCOMPARE(boxes.texts(), std::vector<std::string>{"Password modificado"});
    QVERIFY(boxes.shown[0].icon == MbIcon::Information);
    QCOMPARE(boxes.shown[0].title, std::string("! ATENCION !"));
    QCOMPARE(int(ups.pswUnset), 0);
    QCOMPARE(int(ups.pswEnabled), 1);
    QCOMPARE(storedPassword(ups), std::string("Primera"));

    // Next time the old password is asked for, and an accepted change with "Activar" unticked
    // switches the guard off while keeping a password.
    dialog.setDialogRunner([&](QDialog& d) {
        auto& change = static_cast<TchgPswF&>(d);
        oldFieldEnabled = child<QLineEdit>(change, "edOldPsw")->isEnabled();
        child<QLineEdit>(change, "edOldPsw")->setText(QStringLiteral("Primera"));
        change.edOldPswExit();
        child<QLineEdit>(change, "edNewPsw")->setText(QStringLiteral("Primera"));
        child<QLineEdit>(change, "edVerPsw")->setText(QStringLiteral("Primera"));
        change.edVerPswExit();
        change.cBxPswEnh()->setChecked(false);
        change.bBtPswAcepClick();
        return change.result();
    });
    dialog.bbtnPswChgClick();
    QVERIFY(oldFieldEnabled);
    QCOMPARE(int(ups.pswUnset), 0);
    QCOMPARE(int(ups.pswEnabled), 0);
    QCOMPARE(storedPassword(ups), std::string("Primera"));
}

void UpsPswTest::acceptWithoutVisitingTheVerificationFieldKeepsTheDialogOpen() {
    ScriptedMessageBoxes boxes;
    TchgPswF change(nullptr, false, 8, boxes);
    change.setCurrent("vieja");
    change.show();
    QVERIFY(QTest::qWaitForWindowActive(&change));
    auto* oldEdit = child<QLineEdit>(change, "edOldPsw");
    oldEdit->setFocus();
    QTest::keyClicks(oldEdit, QStringLiteral("vieja"));
    // The new texts are typed, but the verification field is never left.
    child<QLineEdit>(change, "edNewPsw")->setText(QStringLiteral("nueva"));
    child<QLineEdit>(change, "edVerPsw")->setText(QStringLiteral("nueva"));
    QTest::mouseClick(child<QPushButton>(change, "bBtPswAcep"), Qt::LeftButton);
    QVERIFY(change.oldCorrect());
    QVERIFY(!change.newVerified());
    QCOMPARE(boxes.texts(), std::vector<std::string>{"Error al verificar el password"});
    QVERIFY(boxes.shown[0].icon == MbIcon::Warning);
    QCOMPARE(boxes.shown[0].title, std::string("! ATENCION !"));
    QVERIFY(change.isVisible());
    QCOMPARE(QApplication::focusWidget(), child<QLineEdit>(change, "edNewPsw"));
    QCOMPARE(change.current(), std::string("vieja"));
}

void UpsPswTest::wrongOldPasswordClosesTheDialog() {
    ScriptedMessageBoxes boxes;
    TchgPswF change(nullptr, false, 8, boxes);
    change.setCurrent("vieja");
    change.show();
    child<QLineEdit>(change, "edOldPsw")->setText(QStringLiteral("Vieja"));
    change.edOldPswExit();
    child<QLineEdit>(change, "edNewPsw")->setText(QStringLiteral("nueva"));
    child<QLineEdit>(change, "edVerPsw")->setText(QStringLiteral("nueva"));
    change.edVerPswExit();
    change.bBtPswAcepClick();
    QCOMPARE(boxes.texts(), std::vector<std::string>{"Password Incorrecto"});
    QVERIFY(boxes.shown[0].icon == MbIcon::Warning);
    QVERIFY(!change.isVisible());
    QCOMPARE(change.result(), int(QDialog::Rejected));
    QCOMPARE(change.current(), std::string("vieja"));

    // An old field never left counts as not entered, even with the right text in it.
    ScriptedMessageBoxes boxes2;
    TchgPswF untouched(nullptr, false, 8, boxes2);
    untouched.setCurrent("vieja");
    child<QLineEdit>(untouched, "edOldPsw")->setText(QStringLiteral("vieja"));
    untouched.bBtPswAcepClick();
    QCOMPARE(boxes2.texts(), std::vector<std::string>{"Password Incorrecto"});
    QCOMPARE(untouched.result(), int(QDialog::Rejected));
}

void UpsPswTest::differingNewPasswordsAreReported() {
    ScriptedMessageBoxes boxes;
    TchgPswF change(nullptr, true, 8, boxes);
    child<QLineEdit>(change, "edNewPsw")->setText(QStringLiteral("uno"));
    child<QLineEdit>(change, "edVerPsw")->setText(QStringLiteral("Uno"));
    change.edVerPswExit();
    QVERIFY(!change.newVerified());
    change.bBtPswAcepClick();
    QCOMPARE(boxes.texts(), std::vector<std::string>{"Error al verificar el password"});

    // Correcting the verification and leaving it again lets the change through.
    child<QLineEdit>(change, "edVerPsw")->setText(QStringLiteral("uno"));
    change.edVerPswExit();
    change.bBtPswAcepClick();
    QCOMPARE(change.result(), int(QDialog::Accepted));
    QCOMPARE(change.current(), std::string("uno"));
}

void UpsPswTest::focusLeavingTheEditsRunsTheirExitHandlers() {
    ScriptedMessageBoxes boxes;
    TchgPswF change(nullptr, false, 8, boxes);
    change.setCurrent("abc");
    change.show();
    QVERIFY(QTest::qWaitForWindowActive(&change));
    auto* oldEdit = child<QLineEdit>(change, "edOldPsw");
    oldEdit->setFocus();
    QTest::keyClicks(oldEdit, QStringLiteral("abc"));
    QTest::keyClick(oldEdit, Qt::Key_Tab);
    QVERIFY(change.oldCorrect());
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("xyz"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), child<QLineEdit>(change, "edVerPsw"));
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("xyz"));
    // Enter presses nothing here: the verification field keeps the focus.
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    QVERIFY(change.isVisible());
    QVERIFY(!change.newVerified());
    QTest::mouseClick(child<QPushButton>(change, "bBtPswAcep"), Qt::LeftButton);
    QVERIFY(change.newVerified());
    QCOMPARE(change.result(), int(QDialog::Accepted));
    QCOMPARE(change.current(), std::string("xyz"));
    QCOMPARE(boxes.texts(), std::vector<std::string>{"Password modificado"});
}

QTEST_MAIN(UpsPswTest)
#include "upsPsw_test.moc"
