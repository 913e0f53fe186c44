#include "supervisor/scheduledTestService.h"

#include <string>

#include "supervisor/noticeTexts.h"

namespace ups {

using namespace notice;

void showTestOutcome(int outcome, SupervisorView& view) {
    auto failure = [&](std::string_view message, std::string_view title, MbIcon icon) {
        view.runLater(0, [&view, message, title, icon] {
            view.messageBoxes().messageBox(message, title, icon);
        });
    };
    switch (outcome) {
        case trPassed:
            view.defaultBeep();
            view.showNotice(std::nullopt, kPictureBatteryOk, std::string(kTestPassed),
                            kTestPassedNoticeMs);
            view.repaintNotice();
            break;
        case trBatteryFail:
            failure(kTestBatteryFail, kTitleInformation, MbIcon::Warning);
            break;
        case trNoResponse:
            failure(kTestNoResponse, kTitleError, MbIcon::Error);
            break;
        case trNoAnswer:
            failure(kTestNoAnswer, kTitleError, MbIcon::Error);
            break;
        default:
            break;
    }
}

}  // namespace ups
