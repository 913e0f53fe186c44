// Draws the main window in each of the four UPS states and the pop-up with a countdown notice,
// and saves each as a PNG for the documentation:  ups-state-shots OUTPUT_DIR
// Run it on a real display (Xvfb is enough); the window is driven through a fake serial UPS.
#include <QApplication>
#include <QDir>
#include <QTimer>

#include "support/windowRig.h"

using namespace ups;
using namespace ups::test;

namespace {

void settle() {
    for (int i = 0; i < 20; ++i) QApplication::processEvents();
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QDir out(argc > 1 ? argv[1] : ".");
    out.mkpath(".");

    WindowRig rig;
    rig.tray.host = false;
    rig.storeConfig([](CfgUps& cfg, CfgSnmp&) {
        cfg.comPort = 0;
        cfg.enhShutdwn = 1;
    });
    TmainF& window = rig.make();
    TinfoFrm& info = *rig.info;
    FakeSerialUps& serial = rig.serial;
    window.FormCreate();
    window.showNormal();
    settle();

    struct Shot {
        const char* file;
        bool mains, battery;
    } shots[] = {{"state-0-normal.png", true, true},
                 {"state-1-on-battery.png", false, true},
                 {"state-2-battery-low.png", true, false},
                 {"state-3-critical.png", false, false}};
    for (const Shot& s : shots) {
        serial.mainsPresent = s.mains;
        serial.batteryOk = s.battery;
        window.TimerTimer();
        settle();
        if (!window.grab().save(out.filePath(s.file))) return 1;
    }
    info.showNotice(QStringLiteral("Batería Baja"), window.imgLst()[3],
                    QStringLiteral(" 8 seg. para cerrar Sistema"), 60000);
    settle();
    if (!info.grab().save(out.filePath("popup-countdown.png"))) return 1;
    return 0;
}
