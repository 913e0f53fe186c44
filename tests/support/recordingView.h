#pragma once
// A main window for supervisor tests: records every call with the tick it happened on, keeps the
// pop-up's caption and picture as the user would see them, and keeps the tick timer's state so
// a driver only ticks while the timer runs.
#include <algorithm>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "supervisor/supervisorView.h"
#include "support/scriptedMessageBoxes.h"

namespace ups::test {

// One log shared by the view and the system control, so their relative order can be checked.
struct TickLog {
    int tick = 0;
    std::vector<std::string> entries;  // "12 notice  8 seg. para cerrar Sistema"

    void add(const std::string& what) { entries.push_back(std::to_string(tick) + " " + what); }
};

struct ShownNotice {
    int tick;
    std::string caption;  // the caption the pop-up shows, given or kept
    int picture;          // the picture the pop-up shows, given or kept (-1: none yet)
    std::string text;
    int hideDelayMs;
    bool captionGiven;
    bool pictureGiven;
};

class RecordingView : public SupervisorView {
public:
    explicit RecordingView(TickLog& log) : log_(log) {}

    void restoreWindow() override {
        ++restores;
        log_.add("restoreWindow");
    }
    void startTimer() override {
        timerRunning = true;
        ++timerStarts;
    }
    void stopTimer() override { timerRunning = false; }
    void refreshDisplay() override { ++refreshes; }
    void showNotice(std::optional<std::string> caption, std::optional<int> picture,
                    std::string text, int hideDelayMs) override {
        if (caption) this->caption = *caption;
        if (picture) this->picture = *picture;
        notices.push_back({log_.tick, this->caption, this->picture, text, hideDelayMs,
                           caption.has_value(), picture.has_value()});
        log_.add("notice " + text);
    }
    void setNoticeCaption(std::string caption) override { this->caption = std::move(caption); }
    void repaintNotice() override { log_.add("repaintNotice"); }
    void setTestButtonEnabled(bool enabled) override {
        testButtonEnabled = enabled;
        log_.add(enabled ? "enableTestButton" : "disableTestButton");
    }
    void closeMainWindow() override {
        windowClosed = true;
        log_.add("closeMainWindow");
    }
    void defaultBeep() override { log_.add("defaultBeep"); }
    MessageBoxes& messageBoxes() override {
        log_.add(timerRunning ? "messageBox, timer running" : "messageBox, timer stopped");
        return modal_;
    }
    void runLater(int delayMs, std::function<void()> task) override {
        later.push_back({delayMs, std::move(task)});
    }
    bool dialogOpen() const override { return dialogIsOpen; }

    // Runs what was handed to the event loop, in the order of its delays, including what those
    // tasks hand over in turn.
    void runLaterTasks() {
        while (!later.empty()) {
            auto next = std::min_element(later.begin(), later.end(),
                                         [](auto& a, auto& b) { return a.delayMs < b.delayMs; });
            std::function<void()> task = std::move(next->task);
            later.erase(next);
            task();
        }
    }

    std::vector<std::string> noticeTexts() const {
        std::vector<std::string> texts;
        for (const auto& n : notices) texts.push_back(n.text);
        return texts;
    }
    std::vector<int> noticeTicks() const {
        std::vector<int> ticks;
        for (const auto& n : notices) ticks.push_back(n.tick);
        return ticks;
    }

    bool timerRunning = false;
    int timerStarts = 0;
    int restores = 0;
    int refreshes = 0;
    bool testButtonEnabled = true;
    bool windowClosed = false;
    std::string caption = "Información";
    int picture = -1;
    std::vector<ShownNotice> notices;
    ScriptedMessageBoxes boxes;
    // Runs while a box is open, as the message loop of a modal box would run timer ticks.
    std::function<void()> whileBoxOpen;
    struct LaterTask {
        int delayMs;
        std::function<void()> task;
    };
    std::vector<LaterTask> later;
    bool dialogIsOpen = false;

private:
    class ModalBoxes : public MessageBoxes {
    public:
        explicit ModalBoxes(RecordingView& view) : view_(view) {}
        MbResult messageBox(std::string_view text, std::string_view title, MbIcon icon,
                            MbButtons buttons) override {
            MbResult answer = view_.boxes.messageBox(text, title, icon, buttons);
            if (view_.whileBoxOpen) view_.whileBoxOpen();
            return answer;
        }

    private:
        RecordingView& view_;
    };

    TickLog& log_;
    ModalBoxes modal_{*this};
};

}  // namespace ups::test
