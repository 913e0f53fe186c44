#pragma once
// The battery test's question and start pop-up for tests: answers the question from a flag and
// writes both into a log, which a test may share with other fakes to check their order.
#include <functional>
#include <string>
#include <vector>

#include "battery/upsCommand.h"

namespace ups::test {

class RecordingPrompts : public TestPrompts {
public:
    explicit RecordingPrompts(std::vector<std::string>* sharedLog = nullptr)
        : log_(sharedLog ? *sharedLog : ownLog_) {}

    bool answerYes = true;
    int questions = 0;
    int startNotices = 0;
    // Runs as the pop-up is shown: lets a test see what the links had done by then.
    std::function<void()> onStartNotice;

    bool confirmTest() override {
        ++questions;
        log_.push_back("question");
        return answerYes;
    }
    void showStartNotice() override {
        ++startNotices;
        log_.push_back("start notice");
        if (onStartNotice) onStartNotice();
    }

    const std::vector<std::string>& log() const { return log_; }

private:
    std::vector<std::string> ownLog_;
    std::vector<std::string>& log_;
};

}  // namespace ups::test
