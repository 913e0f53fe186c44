// The test-mode dialog: the mode buttons and the two groups they switch, the time check of the
// schedule edits, and what "&Aceptar" writes into the live records.
#include "app/windows/test/upsTest.h"

#include <QCheckBox>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QtTest>

#include "app/qt/dialogSupport.h"
#include "config/configStore.h"
#include "support/dialogTestKit.h"
#include "support/scriptedMessageBoxes.h"

using namespace ups;
using namespace ups::test;

namespace {

const char* const kDayNames[kScheduleDays] = {"Dom", "Lun", "Mar", "Mie", "Jue", "Vie", "Sab"};

struct Rig {
    CfgUps ups;
    CfgSnmp snmp;
    ScriptedMessageBoxes boxes;
    std::unique_ptr<TtstF> dialog;

    Rig() {
        clearRecords(ups, snmp);
        setDefaultConfig(ups, snmp);
    }
    TtstF& make() {
        dialog = std::make_unique<TtstF>(nullptr, snmp, ups, boxes);
        return *dialog;
    }
    template <typename T>
    T* get(const char* name) const {
        return child<T>(*dialog, name);
    }
    bool countGroupOn() const {
        return get<QFrame>("pnlCnt")->isEnabled() && get<QSpinBox>("cspEdNroDays")->isEnabled() &&
               get<QLabel>("lblcant")->isEnabled();
    }
    bool countGroupOff() const {
        return !get<QFrame>("pnlCnt")->isEnabled() && !get<QSpinBox>("cspEdNroDays")->isEnabled() &&
               !get<QLabel>("lblcant")->isEnabled();
    }
    bool scheduleGroupOn() const { return scheduleControls(true); }
    bool scheduleGroupOff() const { return scheduleControls(false); }

private:
    bool scheduleControls(bool enabled) const {
        if (get<QGroupBox>("gbxSch")->isEnabled() != enabled) return false;
        for (int day = 0; day < kScheduleDays; ++day) {
            if (dialog->dayCheck(day)->isEnabled() != enabled) return false;
            const QString label = QStringLiteral("Label%1").arg(day + 1);
            if (get<QLabel>(qPrintable(label))->isEnabled() != enabled) return false;
            // The edits are not switched one by one; the group makes them unreachable.
            if (dialog->timeEdit(day)->isEnabled() != enabled) return false;
        }
        return true;
    }
};

}  // namespace

class UpsTestTest : public QObject {
    Q_OBJECT
private slots:
    void scheduleRowsAndLimitsAreInPlace();
    void storedModeSelectsItsButtonAndGroups_data();
    void storedModeSelectsItsButtonAndGroups();
    void switchingModesKeepsTheCountAndRenamesItsUnit();
    void countIsClampedIntoItsRange();
    void scheduleIsShownFromTheRecord();
    void timeOutsideTheDayIsRefused_data();
    void timeOutsideTheDayIsRefused();
    void incompleteTimeIsRefused();
    void singleDigitHourIsStoredAndShownWithTwoDigits();
    void leavingATimeEditRunsTheCheck_data();
    void leavingATimeEditRunsTheCheck();
    void acceptStoresEverySetting();
    void snmpPasswordSetsItsFlag_data();
    void snmpPasswordSetsItsFlag();
    void cancelLeavesTheRecordsUntouched();
};

void UpsTestTest::scheduleRowsAndLimitsAreInPlace() {
    Rig rig;
    TtstF& d = rig.make();
    QCOMPARE(d.size(), QSize(381, 303));
    auto* count = rig.get<QSpinBox>("cspEdNroDays");
    QCOMPARE(count->minimum(), 1);
    QCOMPARE(count->maximum(), 100);
    QCOMPARE(count->parentWidget()->objectName(), QStringLiteral("pnlCnt"));
    for (int day = 0; day < kScheduleDays; ++day) {
        QCOMPARE(d.dayCheck(day)->objectName(), QStringLiteral("ckbxEn%1").arg(kDayNames[day]));
        QCOMPARE(d.timeEdit(day)->objectName(), QStringLiteral("mskEd%1").arg(kDayNames[day]));
        QCOMPARE(d.timeEdit(day)->parentWidget()->objectName(), QStringLiteral("gbxSch"));
    }
    QCOMPARE(rig.get<QLineEdit>("edSnmpPass")->maxLength(), 20);
    QCOMPARE(rig.get<QLineEdit>("edSnmpPass")->echoMode(), QLineEdit::Password);
}

void UpsTestTest::storedModeSelectsItsButtonAndGroups_data() {
    QTest::addColumn<int>("stored");
    QTest::addColumn<QString>("radio");
    QTest::addColumn<int>("mode");
    QTest::addColumn<bool>("countOn");
    QTest::addColumn<bool>("scheduleOn");
    QTest::addColumn<QString>("unit");
    QTest::newRow("0 never") << 0 << "rdbtnNever" << 0 << false << false << "Cantidad de Días";
    QTest::newRow("1 every start")
        << 1 << "rdbtnWinStart" << 1 << false << false << "Cantidad de Días";
    QTest::newRow("2 every n starts")
        << 2 << "rdbtnCnStart" << 2 << true << false << "Cantidad de Inicios";
    QTest::newRow("3 every n days") << 3 << "rdbtnDias" << 3 << true << false << "Cantidad de Días";
    QTest::newRow("4 schedule") << 4 << "rdbtnSchedule" << 4 << false << true << "Cantidad de Días";
    QTest::newRow("7 unknown") << 7 << "rdbtnNever" << 0 << false << false << "Cantidad de Días";
    QTest::newRow("-1 unknown") << -1 << "rdbtnNever" << 0 << false << false << "Cantidad de Días";
}

void UpsTestTest::storedModeSelectsItsButtonAndGroups() {
    QFETCH(int, stored);
    QFETCH(QString, radio);
    QFETCH(int, mode);
    QFETCH(bool, countOn);
    QFETCH(bool, scheduleOn);
    QFETCH(QString, unit);
    Rig rig;
    rig.ups.testMode = stored;
    rig.make();
    QVERIFY(rig.get<QRadioButton>(qPrintable(radio))->isChecked());
    QCOMPARE(rig.dialog->editTestMode(), mode);
    QVERIFY(countOn ? rig.countGroupOn() : rig.countGroupOff());
    QVERIFY(scheduleOn ? rig.scheduleGroupOn() : rig.scheduleGroupOff());
    QCOMPARE(rig.get<QLabel>("lblcant")->text(), unit);
    rig.dialog->btnAceptTcfgClick();
    QCOMPARE(rig.ups.testMode, mode);
}

void UpsTestTest::switchingModesKeepsTheCountAndRenamesItsUnit() {
    Rig rig;
    rig.ups.testMode = tmCnStart;
    rig.ups.testInterval = 12;
    rig.make();
    QCOMPARE(rig.get<QLabel>("lblcant")->text(), QStringLiteral("Cantidad de Inicios"));
    rig.get<QRadioButton>("rdbtnDias")->click();
    QCOMPARE(rig.get<QLabel>("lblcant")->text(), QStringLiteral("Cantidad de Días"));
    QCOMPARE(rig.get<QSpinBox>("cspEdNroDays")->value(), 12);
    QCOMPARE(rig.dialog->editTestMode(), 3);
    QVERIFY(rig.countGroupOn());

    rig.get<QRadioButton>("rdbtnSchedule")->click();
    QVERIFY(rig.countGroupOff());
    QVERIFY(rig.scheduleGroupOn());
    // The modes without a count leave the unit as it was.
    QCOMPARE(rig.get<QLabel>("lblcant")->text(), QStringLiteral("Cantidad de Días"));
    rig.get<QRadioButton>("rdbtnCnStart")->click();
    rig.get<QRadioButton>("rdbtnWinStart")->click();
    QCOMPARE(rig.get<QLabel>("lblcant")->text(), QStringLiteral("Cantidad de Inicios"));
    QVERIFY(rig.countGroupOff());
    QVERIFY(rig.scheduleGroupOff());
    QCOMPARE(rig.dialog->editTestMode(), 1);
}

void UpsTestTest::countIsClampedIntoItsRange() {
    for (const auto& [stored, shown] : {std::pair{0, 1}, std::pair{150, 100}, std::pair{7, 7}}) {
        Rig rig;
        rig.ups.testInterval = stored;
        rig.make();
        QCOMPARE(rig.get<QSpinBox>("cspEdNroDays")->value(), shown);
        rig.dialog->btnAceptTcfgClick();
        QCOMPARE(rig.ups.testInterval, shown);
    }
}

void UpsTestTest::scheduleIsShownFromTheRecord() {
    Rig rig;
    rig.ups.testSched[0] = {1, 7, 5};
    rig.ups.testSched[3] = {0, 23, 59};
    rig.ups.testSched[6] = {1, 0, 0};
    rig.make();
    QVERIFY(rig.dialog->dayCheck(0)->isChecked());
    QCOMPARE(rig.dialog->timeEdit(0)->text(), QStringLiteral("07:05"));
    QVERIFY(!rig.dialog->dayCheck(3)->isChecked());
    QCOMPARE(rig.dialog->timeEdit(3)->text(), QStringLiteral("23:59"));
    QVERIFY(rig.dialog->dayCheck(6)->isChecked());
    QCOMPARE(rig.dialog->timeEdit(6)->text(), QStringLiteral("00:00"));
    QVERIFY(!rig.dialog->dayCheck(1)->isChecked());
}

void UpsTestTest::timeOutsideTheDayIsRefused_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("answer");
    QTest::addColumn<QString>("after");
    QTest::newRow("24:00, retry") << "24:00" << int(MbResult::Retry) << "24:00";
    QTest::newRow("24:00, cancel") << "24:00" << int(MbResult::Cancel) << "00:00";
    QTest::newRow("7:60, retry") << "07:60" << int(MbResult::Retry) << "07:60";
    QTest::newRow("7:60, cancel") << "07:60" << int(MbResult::Cancel) << "00:00";
    QTest::newRow("99:99, cancel") << "99:99" << int(MbResult::Cancel) << "00:00";
}

void UpsTestTest::timeOutsideTheDayIsRefused() {
    QFETCH(QString, typed);
    QFETCH(int, answer);
    QFETCH(QString, after);
    Rig rig;
    rig.ups.testMode = tmSchedule;
    TtstF& d = rig.make();
    d.show();
    QVERIFY(QTest::qWaitForWindowActive(&d));
    rig.get<QCheckBox>("ckbxAskStart")->setFocus();
    QLineEdit* monday = d.timeEdit(1);
    monday->setText(typed);
    rig.boxes.answers = {static_cast<MbResult>(answer)};
    d.mskEdLunExit();
    QCOMPARE(rig.boxes.texts(), std::vector<std::string>{"En el formato de la hora."});
    QCOMPARE(rig.boxes.shown[0].title, std::string("! ERROR !"));
    QVERIFY(rig.boxes.shown[0].icon == MbIcon::Error);
    QVERIFY(rig.boxes.shown[0].buttons == MbButtons::RetryCancel);
    QCOMPARE(monday->text(), after);
    QCOMPARE(QApplication::focusWidget(), monday);
}

void UpsTestTest::incompleteTimeIsRefused() {
    Rig rig;
    rig.make();
    QLineEdit* friday = rig.dialog->timeEdit(5);
    friday->setText(QStringLiteral("12:"));
    rig.dialog->mskEdVieExit();
    QCOMPARE(rig.boxes.texts(), std::vector<std::string>{"En el formato de la hora."});
    QCOMPARE(friday->text(), QStringLiteral("00:00"));
}

void UpsTestTest::singleDigitHourIsStoredAndShownWithTwoDigits() {
    Rig rig;
    rig.ups.testMode = tmSchedule;
    rig.make();
    QLineEdit* wednesday = rig.dialog->timeEdit(3);
    wednesday->clear();
    wednesday->setCursorPosition(0);
    // Typed as the user types it: the hour's first position stays blank.
    QTest::keyClicks(wednesday, QStringLiteral("7:05"));
    QCOMPARE(wednesday->displayText(), QStringLiteral("7_:05"));
    rig.dialog->mskEdMieExit();
    QVERIFY(rig.boxes.shown.empty());
    rig.dialog->dayCheck(3)->setChecked(true);
    rig.dialog->btnAceptTcfgClick();
    QCOMPARE(int(rig.ups.testSched[3].enabled), 1);
    QCOMPARE(int(rig.ups.testSched[3].hour), 7);
    QCOMPARE(int(rig.ups.testSched[3].minute), 5);

    Rig reopened;
    reopened.ups = rig.ups;
    reopened.make();
    QCOMPARE(reopened.dialog->timeEdit(3)->text(), QStringLiteral("07:05"));
}

void UpsTestTest::leavingATimeEditRunsTheCheck_data() {
    QTest::addColumn<QKeyCombination>("leave");
    QTest::newRow("Tab") << QKeyCombination(Qt::Key_Tab);
    QTest::newRow("\"&Aceptar\" by its accelerator") << (Qt::AltModifier | Qt::Key_A);
}

void UpsTestTest::leavingATimeEditRunsTheCheck() {
    QFETCH(QKeyCombination, leave);
    Rig rig;
    rig.ups.testMode = tmSchedule;
    TtstF& d = rig.make();
    d.show();
    QVERIFY(QTest::qWaitForWindowActive(&d));
    QLineEdit* sunday = d.timeEdit(0);
    sunday->setFocus();
    sunday->setText(QStringLiteral("24:00"));
    // The accelerator presses the button a moment later, after showing it pressed.
    auto* accept = rig.get<QPushButton>("btnAceptTcfg");
    QTest::keyClick(sunday, leave.key(), leave.keyboardModifiers());
    QTRY_VERIFY(!accept->isDown());
    QCOMPARE(rig.boxes.texts(), std::vector<std::string>{"En el formato de la hora."});
    QCOMPARE(sunday->text(), QStringLiteral("00:00"));
    QCOMPARE(QApplication::focusWidget(), sunday);
    QVERIFY(d.isVisible());
    // A valid time lets the focus move on silently.
    sunday->setText(QStringLiteral("23:59"));
    QTest::keyClick(sunday, leave.key(), leave.keyboardModifiers());
    QTRY_VERIFY(!accept->isDown());
    QCOMPARE(rig.boxes.shown.size(), size_t(1));
    QVERIFY(QApplication::focusWidget() != sunday);
}

void UpsTestTest::acceptStoresEverySetting() {
    Rig rig;
    rig.ups.askStart = 1;
    rig.ups.testMode = tmDias;
    TtstF& d = rig.make();
    rig.get<QRadioButton>("rdbtnCnStart")->click();
    rig.get<QSpinBox>("cspEdNroDays")->setValue(42);
    rig.get<QCheckBox>("ckbxAskStart")->setChecked(false);
    for (int day = 0; day < kScheduleDays; ++day) {
        d.dayCheck(day)->setChecked(day % 2 == 0);
        d.timeEdit(day)->setText(
            QStringLiteral("%1:%2").arg(10 + day).arg(day * 7, 2, 10, QChar('0')));
    }
    rig.get<QLineEdit>("edSnmpPass")->setText(QStringLiteral("secreta"));
    d.btnAceptTcfgClick();
    QCOMPARE(d.result(), int(QDialog::Accepted));
    QCOMPARE(rig.ups.testMode, 2);
    QCOMPARE(rig.ups.testInterval, 42);
    QCOMPARE(int(rig.ups.askStart), 0);
    for (int day = 0; day < kScheduleDays; ++day) {
        QCOMPARE(int(rig.ups.testSched[day].enabled), day % 2 == 0 ? 1 : 0);
        QCOMPARE(int(rig.ups.testSched[day].hour), 10 + day);
        QCOMPARE(int(rig.ups.testSched[day].minute), day * 7);
    }
    QCOMPARE(fieldText(rig.snmp.snmpPass), std::string("secreta"));
    QCOMPARE(int(rig.snmp.snmpPassSet), 1);
}

void UpsTestTest::snmpPasswordSetsItsFlag_data() {
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("kept");
    QTest::addColumn<int>("flag");
    QTest::newRow("cleared") << "antigua"
                             << ""
                             << "" << 0;
    QTest::newRow("set") << ""
                         << "x"
                         << "x" << 1;
    QTest::newRow("twenty characters") << ""
                                       << "12345678901234567890"
                                       << "12345678901234567890" << 1;
    QTest::newRow("longer text stops at twenty") << ""
                                                 << "123456789012345678901234"
                                                 << "12345678901234567890" << 1;
    QTest::newRow("characters the record cannot hold are not taken")
        << "" << QStringLiteral("añжo") << QStringLiteral("año") << 1;
}

void UpsTestTest::snmpPasswordSetsItsFlag() {
    QFETCH(QString, stored);
    QFETCH(QString, typed);
    QFETCH(QString, kept);
    QFETCH(int, flag);
    Rig rig;
    setFieldText(rig.snmp.snmpPass, stored.toStdString());
    rig.snmp.snmpPassSet = stored.isEmpty() ? 0 : 1;
    rig.make();
    QCOMPARE(rig.get<QLineEdit>("edSnmpPass")->text(), stored);
    rig.get<QLineEdit>("edSnmpPass")->clear();
    typeText(rig.get<QLineEdit>("edSnmpPass"), typed);
    rig.dialog->btnAceptTcfgClick();
    QCOMPARE(fromRecordText(fieldText(rig.snmp.snmpPass)), kept);
    QCOMPARE(int(rig.snmp.snmpPassSet), flag);
    // The rest of the field is zero, so no old password survives behind the new one.
    for (std::size_t i = std::size_t(kept.size()); i < sizeof rig.snmp.snmpPass; ++i) {
        QCOMPARE(int(rig.snmp.snmpPass[i]), 0);
    }
}

void UpsTestTest::cancelLeavesTheRecordsUntouched() {
    Rig rig;
    rig.ups.testMode = 7;
    rig.ups.testInterval = 500;
    const auto upsBefore = recordBytes(rig.ups);
    const auto snmpBefore = recordBytes(rig.snmp);
    TtstF& d = rig.make();
    rig.get<QRadioButton>("rdbtnSchedule")->click();
    d.dayCheck(2)->setChecked(true);
    rig.get<QLineEdit>("edSnmpPass")->setText(QStringLiteral("nueva"));
    rig.get<QPushButton>("btnCancelTcfg")->click();
    QCOMPARE(d.result(), int(QDialog::Rejected));
    QVERIFY(recordBytes(rig.ups) == upsBefore);
    QVERIFY(recordBytes(rig.snmp) == snmpBefore);
}

QTEST_MAIN(UpsTestTest)
#include "upsTest_test.moc"
