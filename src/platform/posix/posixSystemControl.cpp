#include "platform/posix/posixSystemControl.h"

#include <unistd.h>

#include <utility>

namespace ups {

PosixSystemControl::PosixSystemControl() : closer_(static_cast<long>(getpid())), powerOff_() {}

PosixSystemControl::PosixSystemControl(X11WindowCloser closer, LogindPowerOff powerOff)
    : closer_(std::move(closer)), powerOff_(std::move(powerOff)) {}

namespace {

std::vector<std::string> titlesOf(const std::vector<CloseRequestSent>& requests) {
    std::vector<std::string> titles;
    for (const CloseRequestSent& request : requests) titles.push_back(request.title);
    return titles;
}

}  // namespace

std::vector<std::string> PosixSystemControl::closeOtherApplications() {
    return titlesOf(closer_.closeOtherApplications());
}

std::vector<std::string> PosixSystemControl::listOtherApplications() {
    return titlesOf(closer_.listOtherApplications());
}

std::string PosixSystemControl::requestPowerOff() {
    return powerOff_.requestPowerOff() ? std::string(kPowerOffAccepted) : powerOff_.failure();
}

}  // namespace ups
