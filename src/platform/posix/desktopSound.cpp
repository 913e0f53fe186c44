#include "platform/posix/desktopSound.h"

#include <QApplication>
#include <QProcess>
#include <QStandardPaths>

namespace ups {

DesktopSound::DesktopSound()
    : haveCanberra_(!QStandardPaths::findExecutable("canberra-gtk-play").isEmpty()) {}

void DesktopSound::play() {
    // Detached: the notice must not wait for the sound to finish.
    if (haveCanberra_ && QProcess::startDetached("canberra-gtk-play",
                                                 {"--id=dialog-warning", "--description=UPS"})) {
        return;
    }
    QApplication::beep();
}

}  // namespace ups
