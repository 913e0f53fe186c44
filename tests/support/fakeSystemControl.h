#pragma once
// System control for supervisor tests: counts the requests and logs them with their tick.
#include <string>
#include <vector>

#include "supervisor/systemControl.h"
#include "support/recordingView.h"

namespace ups::test {

class FakeSystemControl : public SystemControl {
public:
    explicit FakeSystemControl(TickLog& log) : log_(log) {}

    std::vector<std::string> closeOtherApplications() override {
        ++closeRequests;
        log_.add("closeOtherApplications");
        return applications;
    }
    std::vector<std::string> listOtherApplications() override { return applications; }
    std::string requestPowerOff() override {
        ++powerOffRequests;
        log_.add("requestPowerOff");
        return powerOffAnswer;
    }

    int closeRequests = 0;
    int powerOffRequests = 0;
    std::vector<std::string> applications{"Documento - Editor", "Hoja de cálculo"};
    std::string powerOffAnswer = "aceptado";

private:
    TickLog& log_;
};

}  // namespace ups::test
