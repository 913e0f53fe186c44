#pragma once
// A supervisor wired to recording fakes, and a driver that ticks it second by second the way the
// 1000 ms timer would: only while the timer runs.
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "links/serialLib.h"
#include "links/serialLink.h"
#include "supervisor/supervisor.h"
#include "support/fakeSerialUps.h"
#include "support/fakeSystemControl.h"
#include "support/recordingView.h"
#include "support/virtualTime.h"

namespace ups::test {

class ScriptedTests : public ScheduledTestService {
public:
    explicit ScriptedTests(TickLog& log) : log_(log) {}
    bool isTestDue() override {
        ++asked;
        return due;
    }
    void startDueTest() override {
        log_.add("startDueTest");
        ++started;
    }
    bool commandRunning() const override { return running; }
    bool due = false;
    bool running = false;
    int asked = 0;
    int started = 0;

private:
    TickLog& log_;
};

// Answers from a script, each `ticksToAnswer` ticks after it was asked for (0: by the next tick);
// with none left the agent is silent.
class ScriptedAgent : public AgentStatusRequests {
public:
    explicit ScriptedAgent(TickLog& log) : log_(log) {}
    bool requestStatus() override {
        if (asked_) return false;
        log_.add("readAgentStatus");
        ++reads;
        asked_ = true;
        wait_ = ticksToAnswer;
        return true;
    }
    std::optional<AgentStatusRead> takeStatus() override {
        if (!asked_) return std::nullopt;
        if (wait_ > 0) {
            --wait_;
            return std::nullopt;
        }
        asked_ = false;
        // The answer left the agent now: a trap the listener stores meanwhile is newer.
        if (duringRead) duringRead();
        if (answers.empty()) return AgentStatusRead{};
        AgentStatusRead r = answers.front();
        answers.pop_front();
        return r;
    }
    std::deque<AgentStatusRead> answers;
    int reads = 0;
    int ticksToAnswer = 0;
    // Runs while the read is on the wire, as the trap listener might.
    std::function<void()> duringRead;

private:
    TickLog& log_;
    bool asked_ = false;
    int wait_ = 0;
};

inline AgentStatusRead agentAnswers(bool lineOk, bool batteryLow) {
    return {true, lineOk, true, batteryLow};
}

enum class Link { Serial, Traps };

struct SupervisorRig {
    explicit SupervisorRig(Link link = Link::Serial, int tmpFail = 5, int tmpBat = 30,
                           int tmpLowB = 30, bool shutdownEnabled = true) {
        ups.tmpFail = tmpFail;
        ups.tmpBat = tmpBat;
        ups.tmpLowB = tmpLowB;
        ups.enhShutdwn = shutdownEnabled ? 1 : 0;
        // What the start-up leaves behind.
        state.warnCountdown = tmpFail;
        state.shutdownCountdown = tmpLowB;
        if (link == Link::Serial) {
            serialLink.openSerialLink(0);
            serialLink.assertRts();
            state.serialLinkActive = true;
        } else {
            snmp.enhSnmp = 1;
            snmp.enhTrap = 1;
            state.agentLinkActive = true;
        }
        view.startTimer();
    }

    // One timer tick, then what it handed to the event loop; false when the timer was not
    // running.
    bool tick() {
        if (!view.timerRunning) return false;
        ++log.tick;
        time.advanceMs(1000);
        supervisor.TimerTimer();
        view.runLaterTasks();
        return true;
    }
    void ticks(int n) {
        for (int i = 0; i < n; ++i) tick();
    }

    // The UPS's lines in serial mode.
    void mains(bool present) { serial.mainsPresent = present; }
    void battery(bool ok) { serial.batteryOk = ok; }

    // What the trap listener stores when a trap arrives.
    void statusTrap(int lineState, int batteryState) { trap.storeStatus(lineState, batteryState); }
    void adminTrap(int minutes) { trap.publishAdminNotice(minutes); }

    CfgUps ups{};
    CfgSnmp snmp{};
    SupervisorState state;
    TrapFields trap;
    TickLog log;
    RecordingView view{log};
    FakeSystemControl system{log};
    ScriptedTests tests{log};
    ScriptedAgent agent{log};
    VirtualTime time;
    FakeSerialUps serial{&time};
    SerialLib sio{serial};
    SerialLink serialLink{sio};
    Supervisor supervisor{ups, snmp, state, trap, view, system, tests, time, &serialLink, &agent};
};

// The log with every notice as the pop-up showed it, "<tick> notice <caption>/<picture>/<ms up>
// <text>", and every other entry as it was logged.
inline std::vector<std::string> timeline(const SupervisorRig& rig) {
    std::vector<std::string> rows;
    auto notice = rig.view.notices.begin();
    for (const std::string& entry : rig.log.entries) {
        if (entry.find(" notice ") == std::string::npos) {
            rows.push_back(entry);
            continue;
        }
        rows.push_back(std::to_string(notice->tick) + " notice " + notice->caption + "/" +
                       std::to_string(notice->picture) + "/" + std::to_string(notice->hideDelayMs) +
                       " " + notice->text);
        ++notice;
    }
    return rows;
}

}  // namespace ups::test
