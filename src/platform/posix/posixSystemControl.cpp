#include "platform/posix/posixSystemControl.h"

#include <unistd.h>

#include <utility>

namespace ups {

PosixSystemControl::PosixSystemControl() : closer_(static_cast<long>(getpid())), powerOff_() {}

PosixSystemControl::PosixSystemControl(X11WindowCloser closer, LogindPowerOff powerOff)
    : closer_(std::move(closer)), powerOff_(std::move(powerOff)) {}

void PosixSystemControl::closeOtherApplications() {
    closer_.closeOtherApplications();
}

void PosixSystemControl::requestPowerOff() {
    powerOff_.requestPowerOff();
}

}  // namespace ups
