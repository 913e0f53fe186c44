// Process entry of the UPS monitor.
#include <QApplication>
#include <QDir>
#include <QStandardPaths>

#include "app/artwork.h"
#include "app/entryGuard.h"
#include "app/qtMessageBoxes.h"
#include "app/upsInfo.h"
#include "app/upsMain.h"
#include "platform/posix/desktopSound.h"
#include "platform/posix/posixSystemControl.h"
#include "platform/posix/regFileStore.h"
#include "platform/posix/systemClock.h"
#include "platform/posix/termiosSerialDriver.h"
#include "tray/qtTrayShell.h"

namespace {

int runMonitor() {
    QApplication::setWindowIcon(ups::art::applicationIcon());
    const QString storePath =
        QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
        QStringLiteral("/korvan-ups/registry.reg");
    ups::RegFileStore store(storePath.toStdString());
    ups::TermiosSerialDriver serial;
    ups::QtMessageBoxes boxes;
    ups::SystemClock clock;
    ups::SystemSleeper sleeper;
    ups::DesktopSound sound;
    ups::QtTrayShell trayShell;
    ups::PosixSystemControl system;
    ups::NetAgentTransport agent;

    ups::TmainF mainF({store, serial, boxes, clock, sleeper, trayShell, system, agent});
    boxes.setDefaultOwner(&mainF);
    ups::TinfoFrm infoFrm(sound);
    mainF.setInfoForm(&infoFrm);
    mainF.FormCreate();
    // Created minimised: with a notification area the window waits in the tray; without one it
    // stays on the screen, since nothing else would show that the monitor runs.
    if (trayShell.hostAvailable()) {
        mainF.TrayComp().Minimize();
    } else {
        mainF.showNormal();
    }
    return QApplication::exec();
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Servicio de UPS"));
    // Hidden windows (the main window in the tray, the pop-up) do not keep the program alive;
    // the program ends when the main window closes.
    QApplication::setQuitOnLastWindowClosed(false);
    // Made before the monitor and without an owner, so the box can open after the monitor's
    // windows are gone.
    ups::QtMessageBoxes entryBoxes;
    return ups::runGuarded(entryBoxes, runMonitor);
}
