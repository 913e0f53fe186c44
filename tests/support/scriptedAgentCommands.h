#pragma once
// The UPS agent as the battery test sees it: the command SET and the status reads, answered from
// a small model of the UPS that runs in virtual time. After an answered SET the line drops and
// the battery may fail at scripted moments; single reads can be made silent. Every call is
// recorded with the virtual time at which it came.
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "battery/upsCommand.h"
#include "support/virtualTime.h"

namespace ups::test {

struct AgentCommandCall {
    double atMs;
    std::string what;  // "set", "status"
};

class ScriptedAgentCommands : public AgentCommands {
public:
    explicit ScriptedAgentCommands(const VirtualTime* time = nullptr) : time_(time) {}

    bool setAnswered = true;
    bool lineOk = true;
    bool batteryLow = false;
    // Measured from the answered SET.
    std::optional<double> testDropsMainsAfterMs;
    std::optional<double> testDropsBatteryAfterMs;
    // Status reads (counted from 1) that get no answer at all, or an answer to the line GET only.
    std::set<int> silentReads;
    std::set<int> lineOnlyReads;

    std::vector<AgentCommandCall> calls;
    int sets() const { return count("set"); }
    int statusReads() const { return count("status"); }
    std::vector<double> statusReadTimes() const {
        std::vector<double> t;
        for (const auto& c : calls)
            if (c.what == "status") t.push_back(c.atMs);
        return t;
    }

    bool sendTestCommand() override {
        record("set");
        if (setAnswered) testStartedMs_ = nowMs();
        return setAnswered;
    }

    AgentStatusRead readAgentStatus() override {
        record("status");
        const int n = statusReads();
        AgentStatusRead read;
        if (silentReads.count(n) != 0) return read;
        read.lineAnswered = true;
        read.lineOk = lineOk && !dropped(testDropsMainsAfterMs);
        if (lineOnlyReads.count(n) != 0) return read;
        read.batteryAnswered = true;
        read.batteryLow = batteryLow || dropped(testDropsBatteryAfterMs);
        return read;
    }

private:
    double nowMs() const { return time_ ? time_->elapsedMs : 0.0; }
    void record(const char* what) { calls.push_back({nowMs(), what}); }
    int count(const std::string& what) const {
        int n = 0;
        for (const auto& c : calls) n += c.what == what ? 1 : 0;
        return n;
    }
    bool dropped(const std::optional<double>& after) const {
        return testStartedMs_ && after && nowMs() - *testStartedMs_ >= *after;
    }

    const VirtualTime* time_;
    std::optional<double> testStartedMs_;
};

}  // namespace ups::test
