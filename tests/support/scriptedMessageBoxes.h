#pragma once
// Message boxes for tests: records every box shown and answers from a script.
#include <deque>
#include <string>
#include <vector>

#include "base/messageBox.h"

namespace ups::test {

struct ShownBox {
    std::string text;
    std::string title;
    MbIcon icon;
    MbButtons buttons;
};

class ScriptedMessageBoxes : public MessageBoxes {
public:
    // Answers are taken in order; with none left, Ok boxes answer Ok, Yes/No boxes No and
    // Retry/Cancel boxes Cancel (the answers that change nothing).
    std::deque<MbResult> answers;
    std::vector<ShownBox> shown;

    MbResult messageBox(std::string_view text, std::string_view title, MbIcon icon,
                        MbButtons buttons) override {
        shown.push_back({std::string(text), std::string(title), icon, buttons});
        if (!answers.empty()) {
            MbResult r = answers.front();
            answers.pop_front();
            return r;
        }
        switch (buttons) {
            case MbButtons::YesNo:
                return MbResult::No;
            case MbButtons::RetryCancel:
                return MbResult::Cancel;
            default:
                return MbResult::Ok;
        }
    }

    std::vector<std::string> texts() const {
        std::vector<std::string> t;
        for (const auto& b : shown) t.push_back(b.text);
        return t;
    }
};

}  // namespace ups::test
