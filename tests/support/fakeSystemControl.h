#pragma once
// System control for supervisor tests: counts the requests and logs them with their tick.
#include "supervisor/systemControl.h"
#include "support/recordingView.h"

namespace ups::test {

class FakeSystemControl : public SystemControl {
public:
    explicit FakeSystemControl(TickLog& log) : log_(log) {}

    void closeOtherApplications() override {
        ++closeRequests;
        log_.add("closeOtherApplications");
    }
    void requestPowerOff() override {
        ++powerOffRequests;
        log_.add("requestPowerOff");
    }

    int closeRequests = 0;
    int powerOffRequests = 0;

private:
    TickLog& log_;
};

}  // namespace ups::test
