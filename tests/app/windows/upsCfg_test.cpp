// The configuration dialog: filling from the records, the delays, the address field, the agent
// check, storing on "&Aceptar", and the sub-dialogs whose changes outlive a Cancel.
#include "app/windows/configuration/upsCfg.h"

#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTabWidget>
#include <QtTest>
#include <cstring>

#include "app/windows/password/upsPsw.h"
#include "app/windows/test/upsTest.h"
#include "config/configStore.h"
#include "config/password.h"
#include "support/dialogTestKit.h"
#include "support/scriptedAgentTransport.h"
#include "support/scriptedMessageBoxes.h"

using namespace ups;
using namespace ups::test;

Q_DECLARE_METATYPE(AgentDetect)

namespace {

// An agent whose detection answers from a script and notes what it was asked.
struct ScriptedAgent {
    AgentDetect answer = agentFound;
    std::vector<std::string> asked;
    bool buttonEnabledDuringCheck = true;
    QWidget* dialog = nullptr;

    AgentDetector detector() {
        return [this](const std::string& address) {
            asked.push_back(address);
            if (dialog)
                buttonEnabledDuringCheck = child<QPushButton>(*dialog, "bbtnTestIp")->isEnabled();
            return answer;
        };
    }
};

struct Rig {
    CfgUps ups;
    CfgSnmp snmp;
    ScriptedMessageBoxes boxes;
    ScriptedAgent agent;
    std::unique_ptr<TcfgF> dialog;
    std::vector<SerialPortName> otherPorts;

    Rig() {
        clearRecords(ups, snmp);
        setDefaultConfig(ups, snmp);
    }
    TcfgF& make() {
        dialog = std::make_unique<TcfgF>(nullptr, snmp, ups, boxes, agent.detector(), otherPorts);
        agent.dialog = dialog.get();
        return *dialog;
    }
    template <typename T>
    T* get(const char* name) const {
        return child<T>(*dialog, name);
    }
    QString text(const char* label) const { return get<QLabel>(label)->text(); }
    // The dialog with SNMP ticked, shown and active on the agent's page, the address focused.
    QLineEdit* openOnTheAgentPage() {
        snmp.enhSnmp = 1;
        make().show();
        if (!QTest::qWaitForWindowActive(dialog.get())) return nullptr;
        get<QTabWidget>("pgCtrl")->setCurrentIndex(1);
        auto* edit = get<QLineEdit>("edIpAgent");
        edit->setFocus();
        return edit;
    }
};

std::vector<std::uint8_t> bytesOf(const CfgUps& ups) {
    return recordBytes(ups);
}

}  // namespace

class UpsCfgTest : public QObject {
    Q_OBJECT
private slots:
    void windowOpensOnTheSeriePageWithItsRanges();
    void portsThatFailedTheProbeCannotBeChosen();
    void noPortChosenKeepsComPortAtMinusOne();
    void theSystemsOtherPortsAreOfferedBesideTheFour();
    void lowBatteryDelayShowsMinutesAndSecondsAndStepsByTen();
    void firstWarningDelayOutsideItsRangeIsShownAsStoredAndStoredClamped();
    void acceptStoresEveryControl();
    void invalidAddressIsRefusedAndKeepsTheFocus_data();
    void invalidAddressIsRefusedAndKeepsTheFocus();
    void clickThatLeavesAnInvalidAddressIsLost();
    void closingWithAnInvalidAddressAsksNothing();
    void switchingPagesWithAnInvalidAddressStaysOnTheAddress();
    void lettersAndControlCharactersCannotBeTyped();
    void enterInTheAddressMovesToTheCheckButton();
    void untickingSnmpDisablesTheAgentFieldsButNotMonitoring();
    void agentCheckOutcomes_data();
    void agentCheckOutcomes();
    void monitoringOffCanOnlyBeSwitchedOnAfterAFoundAgent();
    void agentCheckOverTheAgentLink_data();
    void agentCheckOverTheAgentLink();
    void passwordChangedInTheSubDialogSurvivesACancel();
    void wrongOldPasswordChangesNothing();
    void testModeChangedInTheSubDialogSurvivesACancel();
    void enterPressesOnlyAFocusedPushButton();
};

void UpsCfgTest::windowOpensOnTheSeriePageWithItsRanges() {
    Rig rig;
    TcfgF& d = rig.make();
    QCOMPARE(d.size(), QSize(360, 315));
    QCOMPARE(rig.get<QTabWidget>("pgCtrl")->currentIndex(), 0);
    struct Bar {
        const char* name;
        int min, max, tick, arrow;
    };
    for (const Bar& b : {Bar{"trkBarTmpFail", 1, 15, 1, 1}, Bar{"trkBarTmpBat", 10, 60, 5, 1},
                         Bar{"trkBarTmpLowB", 10, 300, 10, 10}}) {
        auto* bar = rig.get<QSlider>(b.name);
        QCOMPARE(bar->minimum(), b.min);
        QCOMPARE(bar->maximum(), b.max);
        QCOMPARE(bar->tickInterval(), b.tick);
        QCOMPARE(bar->singleStep(), b.arrow);
    }
    QCOMPARE(rig.get<QLineEdit>("edIpAgent")->maxLength(), 15);

    // Defaults: serial monitoring, so the agent fields are off and monitoring cannot be ticked.
    QVERIFY(!rig.get<QLineEdit>("edIpAgent")->isEnabled());
    QVERIFY(!rig.get<QLabel>("lblIpAdd")->isEnabled());
    QVERIFY(!rig.get<QPushButton>("bbtnTestIp")->isEnabled());
    QVERIFY(!rig.get<QCheckBox>("ckbxEnhTrap")->isEnabled());
    QCOMPARE(rig.get<QLineEdit>("edIpAgent")->text(), QString());
    QCOMPARE(rig.text("lblTmpFail"), QStringLiteral("  5 seg."));
    QCOMPARE(rig.text("lblTmpBat"), QStringLiteral(" 30 seg."));
}

void UpsCfgTest::portsThatFailedTheProbeCannotBeChosen() {
    Rig rig;
    const std::int32_t status[4] = {0, -1000, 0, 5};
    std::memcpy(rig.ups.portStatus, status, sizeof status);
    rig.ups.comPort = 1;
    rig.make();
    const bool enabled[4] = {true, false, true, false};
    for (int i = 0; i < 4; ++i) {
        auto* radio = rig.get<QRadioButton>(qPrintable(QStringLiteral("rbtnCom%1").arg(i + 1)));
        QCOMPARE(radio->isEnabled(), enabled[i]);
        QCOMPARE(radio->isChecked(), i == 1);
    }
    // The checked port stays the choice even though it cannot be chosen again.
    rig.dialog->btnAceptCfgClick();
    QCOMPARE(rig.ups.comPort, 1);

    Rig other;
    std::memcpy(other.ups.portStatus, status, sizeof status);
    other.ups.comPort = 0;
    other.make();
    other.get<QRadioButton>("rbtnCom3")->click();
    other.dialog->btnAceptCfgClick();
    QCOMPARE(other.ups.comPort, 2);
}

void UpsCfgTest::noPortChosenKeepsComPortAtMinusOne() {
    Rig rig;
    rig.ups.comPort = -1;
    rig.make();
    for (const char* name : {"rbtnCom1", "rbtnCom2", "rbtnCom3", "rbtnCom4"}) {
        QVERIFY(!rig.get<QRadioButton>(name)->isChecked());
    }
    rig.dialog->btnAceptCfgClick();
    QCOMPARE(rig.ups.comPort, -1);
    QCOMPARE(rig.dialog->result(), int(QDialog::Accepted));
}

// USB adapters and the like, in a list beside COM1..COM4: the stored choice is shown (one not
// plugged in now as such, and kept), picking from the list chooses it, and without other ports
// the list cannot be used.
void UpsCfgTest::theSystemsOtherPortsAreOfferedBesideTheFour() {
    const std::vector<SerialPortName> ports = {{4, "COM5"}, {9, "COM10"}};
    struct Case {
        std::vector<SerialPortName> offered;
        std::int32_t stored;
        const char* shown;  // the list's current text, nullptr when it is not in use
        int pick;           // -1 none, 0..: the list's item, 100 + n: COM n+1
        std::int32_t accepted;
    } cases[] = {
        {ports, 9, "COM10", -1, 9},
        {ports, 9, "COM10", 100, 0},
        {ports, 6, "(desconectado)", -1, 6},
        {ports, 1, nullptr, 0, 4},
        {{}, 2, nullptr, -1, 2},
    };
    for (const Case& c : cases) {
        Rig rig;
        rig.otherPorts = c.offered;
        rig.ups.comPort = c.stored;
        rig.make();
        auto* radio = rig.get<QRadioButton>("rbtnComOtro");
        auto* list = rig.get<QComboBox>("cbComOtro");
        QCOMPARE(radio->isEnabled(), !c.offered.empty());
        QCOMPARE(list->isEnabled(), !c.offered.empty());
        QCOMPARE(radio->isChecked(), c.shown != nullptr);
        if (c.shown != nullptr) QCOMPARE(list->currentText(), QString::fromUtf8(c.shown));
        if (c.pick >= 100) {
            rig.get<QRadioButton>(qPrintable(QStringLiteral("rbtnCom%1").arg(c.pick - 99)))
                ->click();
        } else if (c.pick >= 0) {
            list->setCurrentIndex(c.pick);
            emit list->activated(c.pick);
        }
        rig.dialog->btnAceptCfgClick();
        QCOMPARE(rig.ups.comPort, c.accepted);
    }
}

void UpsCfgTest::lowBatteryDelayShowsMinutesAndSecondsAndStepsByTen() {
    Rig rig;
    rig.ups.tmpLowB = 90;
    rig.make();
    auto* bar = rig.get<QSlider>("trkBarTmpLowB");
    QCOMPARE(bar->value(), 90);
    QCOMPARE(rig.text("lblTmpLowB"), QStringLiteral("01 min."));
    QCOMPARE(rig.text("lblTmLBsec"), QStringLiteral("30 seg."));
    QTest::keyClick(bar, Qt::Key_Right);
    QCOMPARE(bar->value(), 100);
    QCOMPARE(rig.text("lblTmpLowB"), QStringLiteral("01 min."));
    QCOMPARE(rig.text("lblTmLBsec"), QStringLiteral("40 seg."));
    rig.dialog->btnAceptCfgClick();
    QCOMPARE(rig.ups.tmpLowB, 100);
}

void UpsCfgTest::firstWarningDelayOutsideItsRangeIsShownAsStoredAndStoredClamped() {
    Rig rig;
    rig.ups.tmpFail = 0;
    rig.ups.tmpBat = 75;
    rig.make();
    QCOMPARE(rig.get<QSlider>("trkBarTmpFail")->value(), 1);
    QCOMPARE(rig.text("lblTmpFail"), QStringLiteral("  0 seg."));
    QCOMPARE(rig.get<QSlider>("trkBarTmpBat")->value(), 60);
    QCOMPARE(rig.text("lblTmpBat"), QStringLiteral(" 75 seg."));
    rig.dialog->btnAceptCfgClick();
    QCOMPARE(rig.ups.tmpFail, 1);
    QCOMPARE(rig.ups.tmpBat, 60);

    // Moving the bar shows the position from then on.
    Rig moved;
    moved.ups.tmpFail = 0;
    moved.make();
    moved.get<QSlider>("trkBarTmpFail")->setValue(12);
    QCOMPARE(moved.text("lblTmpFail"), QStringLiteral(" 12 seg."));
}

void UpsCfgTest::acceptStoresEveryControl() {
    Rig rig;
    rig.ups.comPort = 0;
    rig.snmp.enhTrap = 1;
    rig.make();
    rig.get<QRadioButton>("rbtnCom4")->setChecked(true);
    rig.get<QSlider>("trkBarTmpFail")->setValue(9);
    rig.get<QSlider>("trkBarTmpBat")->setValue(45);
    rig.get<QSlider>("trkBarTmpLowB")->setValue(250);
    rig.get<QCheckBox>("ckBoxEnhShutdwn")->setChecked(true);
    rig.get<QCheckBox>("ckbxEnhSNMP")->setChecked(true);
    rig.get<QLineEdit>("edIpAgent")->setText(QStringLiteral("10.0.0.7"));
    CfgUps before = rig.ups;
    rig.dialog->btnAceptCfgClick();
    QCOMPARE(rig.ups.comPort, 3);
    QCOMPARE(rig.ups.tmpFail, 9);
    QCOMPARE(rig.ups.tmpBat, 45);
    QCOMPARE(rig.ups.tmpLowB, 250);
    QCOMPARE(int(rig.ups.enhShutdwn), 1);
    QCOMPARE(int(rig.snmp.enhSnmp), 1);
    QCOMPARE(int(rig.snmp.enhTrap), 1);
    QCOMPARE(fieldText(rig.snmp.ipAgent), std::string("10.0.0.7"));
    QCOMPARE(rig.dialog->result(), int(QDialog::Accepted));
    // Nothing else of the record moves.
    before.comPort = 3;
    before.tmpFail = 9;
    before.tmpBat = 45;
    before.tmpLowB = 250;
    before.enhShutdwn = 1;
    QVERIFY(bytesOf(before) == bytesOf(rig.ups));
}

void UpsCfgTest::invalidAddressIsRefusedAndKeepsTheFocus_data() {
    QTest::addColumn<QKeyCombination>("leave");
    QTest::newRow("Tab") << QKeyCombination(Qt::Key_Tab);
    QTest::newRow("\"&Aceptar\" by its accelerator") << (Qt::AltModifier | Qt::Key_A);
}

void UpsCfgTest::invalidAddressIsRefusedAndKeepsTheFocus() {
    QFETCH(QKeyCombination, leave);
    Rig rig;
    QLineEdit* edit = rig.openOnTheAgentPage();
    QVERIFY(edit);
    TcfgF& d = *rig.dialog;
    edit->setText(QStringLiteral("255.255.255.255"));
    // The accelerator presses the button a moment later, after showing it pressed.
    auto* accept = rig.get<QPushButton>("btnAceptCfg");
    QTest::keyClick(edit, leave.key(), leave.keyboardModifiers());
    QTRY_VERIFY(!accept->isDown());
    QCOMPARE(rig.boxes.texts(), std::vector<std::string>{"La dirección ingresada no es válida"});
    QCOMPARE(rig.boxes.shown[0].title, std::string("! ERROR !"));
    QVERIFY(rig.boxes.shown[0].icon == MbIcon::Error);
    QCOMPARE(edit->text(), QStringLiteral("255.255.255.255"));
    QCOMPARE(QApplication::focusWidget(), edit);
    QVERIFY(d.isVisible());

    // A valid address lets the focus go and is shown in its canonical form.
    edit->setText(QStringLiteral("192.168.001.010"));
    QTest::keyClick(edit, leave.key(), leave.keyboardModifiers());
    QTRY_VERIFY(!accept->isDown());
    QCOMPARE(rig.boxes.shown.size(), size_t(1));
    QCOMPARE(edit->text(), QStringLiteral("192.168.1.8"));
    QVERIFY(QApplication::focusWidget() != edit);
}

void UpsCfgTest::clickThatLeavesAnInvalidAddressIsLost() {
    Rig rig;
    setFieldText(rig.snmp.ipAgent, "10.0.0.1");
    QLineEdit* edit = rig.openOnTheAgentPage();
    QVERIFY(edit);
    TcfgF& d = *rig.dialog;
    edit->setText(QStringLiteral("300.1.1.1"));
    // The refusal takes the focus back, and the click that took it away does not happen.
    QTest::mouseClick(rig.get<QPushButton>("btnAceptCfg"), Qt::LeftButton);
    QCOMPARE(rig.boxes.texts(), std::vector<std::string>{"La dirección ingresada no es válida"});
    QVERIFY(d.isVisible());
    QCOMPARE(QApplication::focusWidget(), edit);
    QCOMPARE(fieldText(rig.snmp.ipAgent), std::string("10.0.0.1"));
    QTest::mouseClick(rig.get<QPushButton>("bbtnTestIp"), Qt::LeftButton);
    QVERIFY(rig.agent.asked.empty());

    // Once the address is valid, the same click goes through.
    edit->setText(QStringLiteral("10.0.0.2"));
    QTest::mouseClick(rig.get<QPushButton>("btnAceptCfg"), Qt::LeftButton);
    QVERIFY(!d.isVisible());
    QCOMPARE(fieldText(rig.snmp.ipAgent), std::string("10.0.0.2"));
}

void UpsCfgTest::closingWithAnInvalidAddressAsksNothing() {
    Rig rig;
    QLineEdit* edit = rig.openOnTheAgentPage();
    QVERIFY(edit);
    TcfgF& d = *rig.dialog;
    edit->setText(QStringLiteral("1.2.3.4.5"));
    QTest::keyClick(edit, Qt::Key_Escape);
    QVERIFY(!d.isVisible());
    QCOMPARE(d.result(), int(QDialog::Rejected));
    QVERIFY(rig.boxes.shown.empty());
}

void UpsCfgTest::switchingPagesWithAnInvalidAddressStaysOnTheAddress() {
    Rig rig;
    rig.snmp.enhSnmp = 1;
    TcfgF& d = rig.make();
    d.show();
    QVERIFY(QTest::qWaitForWindowActive(&d));
    auto* pages = rig.get<QTabWidget>("pgCtrl");
    pages->setCurrentIndex(1);
    auto* edit = rig.get<QLineEdit>("edIpAgent");
    edit->setFocus();
    edit->setText(QStringLiteral("1.2.3.4.5"));
    pages->setCurrentIndex(0);
    QCoreApplication::processEvents();
    QCOMPARE(rig.boxes.texts(), std::vector<std::string>{"La dirección ingresada no es válida"});
    QCOMPARE(pages->currentIndex(), 1);
    QVERIFY(edit->isVisible());
    QCOMPARE(QApplication::focusWidget(), edit);

    // With a valid address the page changes and the address is normalised.
    edit->setText(QStringLiteral("010.1"));
    pages->setCurrentIndex(0);
    QCOMPARE(rig.boxes.shown.size(), size_t(1));
    QCOMPARE(pages->currentIndex(), 0);
    QCOMPARE(edit->text(), QStringLiteral("8.0.0.1"));
    QVERIFY(QApplication::focusWidget() != edit);
}

void UpsCfgTest::lettersAndControlCharactersCannotBeTyped() {
    Rig rig;
    rig.snmp.enhSnmp = 1;
    rig.make();
    auto* edit = rig.get<QLineEdit>("edIpAgent");
    edit->clear();
    QTest::keyClicks(edit, QStringLiteral("1a9 2.,x3-4"));
    QCOMPARE(edit->text(), QStringLiteral("192.34"));
    QTest::keyClick(edit, Qt::Key_Backspace);
    QCOMPARE(edit->text(), QStringLiteral("192.3"));
    // Ctrl+V is a control character too: nothing is pasted.
    QApplication::clipboard()->setText(QStringLiteral("abc"));
    QTest::keyClick(edit, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(edit->text(), QStringLiteral("192.3"));
    // Keys that type nothing still move the cursor.
    QTest::keyClick(edit, Qt::Key_Home);
    QCOMPARE(edit->cursorPosition(), 0);
    QTest::keyClick(edit, Qt::Key_Delete);
    QCOMPARE(edit->text(), QStringLiteral("92.3"));

    QVERIFY(rig.dialog->edIpAgentKeyPress(U'7'));
    QVERIFY(!rig.dialog->edIpAgentKeyPress(U'\x03'));
    QVERIFY(!rig.dialog->edIpAgentKeyPress(U'ñ'));
}

void UpsCfgTest::enterInTheAddressMovesToTheCheckButton() {
    Rig rig;
    QLineEdit* edit = rig.openOnTheAgentPage();
    QVERIFY(edit);
    TcfgF& d = *rig.dialog;
    edit->setText(QStringLiteral("010.0.0.1"));
    QTest::keyClick(edit, Qt::Key_Return);
    QCOMPARE(QApplication::focusWidget(), rig.get<QPushButton>("bbtnTestIp"));
    // The button got the focus, it was not pressed; leaving the field normalised it.
    QVERIFY(rig.agent.asked.empty());
    QCOMPARE(edit->text(), QStringLiteral("8.0.0.1"));
    QVERIFY(d.isVisible());
}

void UpsCfgTest::untickingSnmpDisablesTheAgentFieldsButNotMonitoring() {
    Rig rig;
    rig.snmp.enhSnmp = 1;
    rig.snmp.enhTrap = 1;
    setFieldText(rig.snmp.ipAgent, "10.0.0.9");
    rig.make();
    QVERIFY(rig.get<QLineEdit>("edIpAgent")->isEnabled());
    QVERIFY(rig.get<QLabel>("lblIpAdd")->isEnabled());
    QVERIFY(rig.get<QPushButton>("bbtnTestIp")->isEnabled());
    QCOMPARE(rig.get<QLineEdit>("edIpAgent")->text(), QStringLiteral("10.0.0.9"));

    rig.get<QCheckBox>("ckbxEnhSNMP")->click();
    QVERIFY(!rig.get<QLineEdit>("edIpAgent")->isEnabled());
    QVERIFY(!rig.get<QLabel>("lblIpAdd")->isEnabled());
    QVERIFY(!rig.get<QPushButton>("bbtnTestIp")->isEnabled());
    QVERIFY(rig.get<QCheckBox>("ckbxEnhTrap")->isEnabled());
    QVERIFY(rig.get<QCheckBox>("ckbxEnhTrap")->isChecked());
    rig.dialog->btnAceptCfgClick();
    QCOMPARE(int(rig.snmp.enhSnmp), 0);
    QCOMPARE(int(rig.snmp.enhTrap), 1);
}

void UpsCfgTest::agentCheckOutcomes_data() {
    QTest::addColumn<AgentDetect>("outcome");
    QTest::addColumn<bool>("trapEnabled");
    QTest::addColumn<bool>("trapChecked");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("title");
    QTest::newRow("agent of this maker") << agentFound << true << true << "Detectado el agente."
                                         << "Información";
    QTest::newRow("agent of another enterprise")
        << agentForeign << false << true << "No se detectó el agente."
        << "! ERROR !";
    QTest::newRow("no echo or no SNMP answer")
        << agentAbsent << false << false << "No se detectó el agente."
        << "! ERROR !";
}

void UpsCfgTest::agentCheckOutcomes() {
    QFETCH(AgentDetect, outcome);
    QFETCH(bool, trapEnabled);
    QFETCH(bool, trapChecked);
    QFETCH(QString, message);
    QFETCH(QString, title);
    Rig rig;
    rig.snmp.enhSnmp = 1;
    rig.snmp.enhTrap = 1;
    setFieldText(rig.snmp.ipAgent, "10.0.0.1");
    rig.make();
    rig.agent.answer = outcome;
    rig.get<QLineEdit>("edIpAgent")->setText(QStringLiteral("10.0.0.2"));
    rig.get<QPushButton>("bbtnTestIp")->click();

    QCOMPARE(rig.agent.asked, std::vector<std::string>{"10.0.0.2"});
    QVERIFY(!rig.agent.buttonEnabledDuringCheck);
    QVERIFY(rig.get<QPushButton>("bbtnTestIp")->isEnabled());
    auto* trap = rig.get<QCheckBox>("ckbxEnhTrap");
    QCOMPARE(trap->isEnabled(), trapEnabled);
    QCOMPARE(trap->isChecked(), trapChecked);
    QCOMPARE(rig.boxes.shown.size(), size_t(1));
    QCOMPARE(QString::fromStdString(rig.boxes.shown[0].text), message);
    QCOMPARE(QString::fromStdString(rig.boxes.shown[0].title), title);
    QVERIFY(rig.boxes.shown[0].icon == (trapEnabled ? MbIcon::Information : MbIcon::Error));
    // The check itself writes nothing; "&Aceptar" stores the mark, enabled or not.
    QCOMPARE(fieldText(rig.snmp.ipAgent), std::string("10.0.0.1"));
    rig.dialog->btnAceptCfgClick();
    QCOMPARE(int(rig.snmp.enhTrap), trapChecked ? 1 : 0);
}

void UpsCfgTest::monitoringOffCanOnlyBeSwitchedOnAfterAFoundAgent() {
    Rig rig;
    rig.snmp.enhSnmp = 1;
    rig.snmp.enhTrap = 0;
    rig.make();
    auto* trap = rig.get<QCheckBox>("ckbxEnhTrap");
    QVERIFY(!trap->isEnabled());
    QVERIFY(!trap->isChecked());
    rig.agent.answer = agentFound;
    rig.dialog->bbtnTestIpClick();
    QVERIFY(trap->isEnabled());
    trap->click();
    rig.dialog->btnAceptCfgClick();
    QCOMPARE(int(rig.snmp.enhTrap), 1);
}

void UpsCfgTest::agentCheckOverTheAgentLink_data() {
    QTest::addColumn<int>("echo");
    QTest::addColumn<QString>("firstObject");  // empty: no answer to the GETNEXT
    QTest::addColumn<bool>("trapEnabled");
    QTest::addColumn<bool>("trapChecked");
    QTest::newRow("this maker's agent") << 3 << "1.3.6.1.4.1.27431.1.1.1.1.0" << true << true;
    QTest::newRow("another enterprise") << 3 << "1.3.6.1.4.1.311.1.1.0" << false << true;
    QTest::newRow("nothing below the start") << 3 << "1.3.6.1.4.1" << false << true;
    QTest::newRow("echo but no SNMP answer") << 3 << "" << false << false;
    QTest::newRow("no echo") << -1 << "1.3.6.1.4.1.27431.1.1.1.1.0" << false << false;
}

void UpsCfgTest::agentCheckOverTheAgentLink() {
    QFETCH(int, echo);
    QFETCH(QString, firstObject);
    QFETCH(bool, trapEnabled);
    QFETCH(bool, trapChecked);
    CfgUps ups;
    CfgSnmp snmp;
    clearRecords(ups, snmp);
    setDefaultConfig(ups, snmp);
    snmp.enhSnmp = 1;
    snmp.enhTrap = 1;
    ScriptedAgentTransport agent;
    agent.pingResult = echo;
    if (!firstObject.isEmpty()) agent.nextName = firstObject.toStdString();
    AgentLink link(snmp, agent);
    ScriptedMessageBoxes boxes;
    TcfgF d(nullptr, snmp, ups, boxes,
            [&link](const std::string& a) { return link.detectAgent(a); });
    d.findChild<QLineEdit*>("edIpAgent")->setText(QStringLiteral("10.1.2.3"));
    d.bbtnTestIpClick();
    QVERIFY(!agent.calls.empty());
    QCOMPARE(agent.calls[0].kind, std::string("ping"));
    QCOMPARE(agent.calls[0].host, std::string("10.1.2.3"));
    auto* trap = d.findChild<QCheckBox*>("ckbxEnhTrap");
    QCOMPARE(trap->isEnabled(), trapEnabled);
    QCOMPARE(trap->isChecked(), trapChecked);
    QCOMPARE(boxes.texts(), std::vector<std::string>{trapEnabled ? "Detectado el agente."
                                                                 : "No se detectó el agente."});
}

void UpsCfgTest::passwordChangedInTheSubDialogSurvivesACancel() {
    Rig rig;
    rig.ups.pswUnset = 0;
    rig.ups.pswEnabled = 0;
    storePassword(rig.ups, "viejo");
    TcfgF& d = rig.make();
    bool sawChangeDialog = false;
    std::string handedOver;
    bool activarShown = false, activarTicked = true, oldAsked = false;
    d.setDialogRunner([&](QDialog& dialog) {
        auto* change = qobject_cast<TchgPswF*>(&dialog);
        if (!change) return int(QDialog::Rejected);
        sawChangeDialog = true;
        handedOver = change->current();
        activarShown = !change->cBxPswEnh()->isHidden();
        activarTicked = change->cBxPswEnh()->isChecked();
        oldAsked = child<QLineEdit>(*change, "edOldPsw")->isEnabled();
        child<QLineEdit>(*change, "edOldPsw")->setText(QStringLiteral("viejo"));
        change->edOldPswExit();
        child<QLineEdit>(*change, "edNewPsw")->setText(QStringLiteral("Nueva1"));
        child<QLineEdit>(*change, "edVerPsw")->setText(QStringLiteral("Nueva1"));
        change->edVerPswExit();
        change->cBxPswEnh()->setChecked(true);
        change->bBtPswAcepClick();
        return change->result();
    });
    rig.get<QPushButton>("bbtnPswChg")->click();
    QVERIFY(sawChangeDialog);
    // The current password was handed over and "Activar" showed the guard's state.
    QCOMPARE(handedOver, std::string("viejo"));
    QVERIFY(activarShown);
    QVERIFY(!activarTicked);
    QVERIFY(oldAsked);
    QCOMPARE(rig.boxes.texts(), std::vector<std::string>{"Password modificado"});
    d.reject();
    QCOMPARE(storedPassword(rig.ups), std::string("Nueva1"));
    QCOMPARE(int(rig.ups.pswUnset), 0);
    QCOMPARE(int(rig.ups.pswEnabled), 1);

    // With the guard on, the next prompt already wants the new password.
    ScriptedMessageBoxes boxes;
    auto typeAndAccept = [](const QString& typed) {
        return [typed](QDialog& dialog) {
            static_cast<TsysPswF&>(dialog).edPassw()->setText(typed);
            return int(QDialog::Accepted);
        };
    };
    QVERIFY(!askConfigPassword(rig.ups, nullptr, boxes, typeAndAccept(QStringLiteral("viejo"))));
    QVERIFY(askConfigPassword(rig.ups, nullptr, boxes, typeAndAccept(QStringLiteral("Nueva1"))));
}

void UpsCfgTest::wrongOldPasswordChangesNothing() {
    Rig rig;
    rig.ups.pswUnset = 0;
    rig.ups.pswEnabled = 1;
    storePassword(rig.ups, "clave");
    const auto before = bytesOf(rig.ups);
    TcfgF& d = rig.make();
    d.setDialogRunner([&](QDialog& dialog) {
        auto& change = static_cast<TchgPswF&>(dialog);
        child<QLineEdit>(change, "edOldPsw")->setText(QStringLiteral("CLAVE"));
        change.edOldPswExit();
        child<QLineEdit>(change, "edNewPsw")->setText(QStringLiteral("otra"));
        child<QLineEdit>(change, "edVerPsw")->setText(QStringLiteral("otra"));
        change.edVerPswExit();
        change.bBtPswAcepClick();
        return change.result();
    });
    d.bbtnPswChgClick();
    QCOMPARE(rig.boxes.texts(), std::vector<std::string>{"Password Incorrecto"});
    QVERIFY(bytesOf(rig.ups) == before);
}

void UpsCfgTest::testModeChangedInTheSubDialogSurvivesACancel() {
    Rig rig;
    rig.ups.testMode = tmDias;
    TcfgF& d = rig.make();
    d.setDialogRunner([&](QDialog& dialog) {
        auto* testMode = qobject_cast<TtstF*>(&dialog);
        if (!testMode) return int(QDialog::Rejected);
        child<QRadioButton>(*testMode, "rdbtnSchedule")->click();
        child<QLineEdit>(*testMode, "edSnmpPass")->setText(QStringLiteral("privada"));
        testMode->btnAceptTcfgClick();
        return testMode->result();
    });
    rig.get<QPushButton>("bbtnTstCfg")->click();
    d.reject();
    QCOMPARE(rig.ups.testMode, std::int32_t(tmSchedule));
    QCOMPARE(fieldText(rig.snmp.snmpPass), std::string("privada"));
    QCOMPARE(int(rig.snmp.snmpPassSet), 1);
}

void UpsCfgTest::enterPressesOnlyAFocusedPushButton() {
    Rig rig;
    TcfgF& d = rig.make();
    d.show();
    QVERIFY(QTest::qWaitForWindowActive(&d));
    auto* bar = rig.get<QSlider>("trkBarTmpFail");
    bar->setFocus();
    QTest::keyClick(bar, Qt::Key_Return);
    QVERIFY(d.isVisible());
    // Nor does it change a setting: a focused check box or radio button stays as it was.
    for (const char* name : {"ckBoxEnhShutdwn", "rbtnCom3"}) {
        auto* mark = rig.get<QAbstractButton>(name);
        const bool was = mark->isChecked();
        mark->setFocus();
        QTest::keyClick(mark, Qt::Key_Return);
        QCOMPARE(mark->isChecked(), was);
    }
    // On a focused button Enter presses it.
    auto* accept = rig.get<QPushButton>("btnAceptCfg");
    accept->setFocus();
    QTest::keyClick(accept, Qt::Key_Return);
    QVERIFY(!d.isVisible());
    QCOMPARE(d.result(), int(QDialog::Accepted));
}

QTEST_MAIN(UpsCfgTest)
#include "upsCfg_test.moc"
