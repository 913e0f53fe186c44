// Draws the configuration dialog (both pages), the password prompt, the password change dialog
// and the test-mode dialog with realistic settings, and saves each as a PNG for the
// documentation:  ups-dialog-shots OUTPUT_DIR
// Run it on a real display (Xvfb is enough).
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QLineEdit>
#include <QTabWidget>

#include "app/windows/configuration/upsCfg.h"
#include "app/windows/password/upsPsw.h"
#include "app/windows/test/upsTest.h"
#include "config/configStore.h"
#include "config/password.h"
#include "support/scriptedMessageBoxes.h"

using namespace ups;
using namespace ups::test;

namespace {

void settle() {
    for (int i = 0; i < 20; ++i) QApplication::processEvents();
}

bool shoot(QWidget& window, const QDir& out, const char* file) {
    window.show();
    settle();
    const bool saved = window.grab().save(out.filePath(QString::fromLatin1(file)));
    window.hide();
    return saved;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QDir out(argc > 1 ? argv[1] : ".");
    out.mkpath(".");

    CfgUps ups;
    CfgSnmp snmp;
    clearRecords(ups, snmp);
    setDefaultConfig(ups, snmp);
    ups.portStatus[2] = -1000;  // COM3 did not open at start-up
    ups.comPort = 1;
    ups.tmpFail = 5;
    ups.tmpBat = 30;
    ups.tmpLowB = 90;
    ups.enhShutdwn = 1;
    ups.pswUnset = 0;
    ups.pswEnabled = 1;
    storePassword(ups, "clave");
    ups.testMode = tmSchedule;
    ups.testInterval = 7;
    ups.testSched[1] = {1, 8, 30};
    ups.testSched[3] = {1, 8, 30};
    ups.testSched[5] = {1, 18, 0};
    snmp.enhSnmp = 1;
    snmp.enhTrap = 1;
    setFieldText(snmp.ipAgent, "192.168.1.8");
    setFieldText(snmp.snmpPass, "privada", 20);
    snmp.snmpPassSet = 1;

    ScriptedMessageBoxes boxes;
    TcfgF config(nullptr, snmp, ups, boxes, [](const std::string&) { return agentFound; });
    if (!shoot(config, out, "dlg-cfg-serie.png")) return 1;
    config.findChild<QTabWidget*>("pgCtrl")->setCurrentIndex(1);
    if (!shoot(config, out, "dlg-cfg-snmp.png")) return 1;

    TsysPswF prompt(nullptr);
    prompt.edPassw()->setText(QStringLiteral("clave"));
    if (!shoot(prompt, out, "dlg-sys-psw.png")) return 1;

    TchgPswF change(nullptr, false, kPasswordEditLength, boxes);
    change.cBxPswEnh()->setVisible(true);
    change.cBxPswEnh()->setChecked(true);
    change.findChild<QLineEdit*>("edOldPsw")->setText(QStringLiteral("clave"));
    change.findChild<QLineEdit*>("edNewPsw")->setText(QStringLiteral("nueva"));
    if (!shoot(change, out, "dlg-chg-psw.png")) return 1;

    TtstF testMode(nullptr, snmp, ups, boxes);
    if (!shoot(testMode, out, "dlg-test.png")) return 1;

    CfgUps counting = ups;
    counting.testMode = tmCnStart;
    TtstF testCount(nullptr, snmp, counting, boxes);
    if (!shoot(testCount, out, "dlg-test-count.png")) return 1;
    return 0;
}
