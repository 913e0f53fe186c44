#pragma once
// The GUI thread's event loop and the agent's thread for battery-test rigs, both on the test's
// thread. Later tasks wait for their moment of virtual time and run in the order of those moments
// (the order they were queued when two share one); the agent's calls run at once, or when the test
// lets a held call go.
#include <algorithm>
#include <cstdint>
#include <functional>
#include <vector>

#include "base/taskRunner.h"
#include "battery/upsCommand.h"
#include "support/virtualTime.h"

namespace ups::test {

class VirtualTasks : public TaskRunner {
public:
    explicit VirtualTasks(VirtualTime& time) : time_(time) {}

    void runLater(int delayMs, std::function<void()> task) override {
        delays.push_back(delayMs);
        queue_.push_back({time_.elapsedMs + delayMs, order_++, std::move(task)});
    }

    // Runs what falls due up to untilMs (virtual milliseconds since the start), with what those
    // tasks queue in turn, and leaves the time there. A task may run the loop itself, as a modal
    // box does.
    void runUntil(double untilMs) {
        while (!queue_.empty()) {
            auto next = std::min_element(queue_.begin(), queue_.end(), [](auto& a, auto& b) {
                return a.dueMs != b.dueMs ? a.dueMs < b.dueMs : a.order < b.order;
            });
            if (next->dueMs > untilMs) break;
            if (next->dueMs > time_.elapsedMs) time_.advanceMs(next->dueMs - time_.elapsedMs);
            std::function<void()> task = std::move(next->task);
            queue_.erase(next);
            task();
            if (afterEach) afterEach();
        }
        if (untilMs > time_.elapsedMs) time_.advanceMs(untilMs - time_.elapsedMs);
    }
    // Runs until nothing waits; the time stops at the last task's moment.
    void runAll() {
        while (!queue_.empty()) {
            double last = queue_.front().dueMs;
            for (const auto& q : queue_) last = std::max(last, q.dueMs);
            runUntil(last);
        }
    }
    // Every delay asked for, in order.
    std::vector<int> delays;
    // Called after each task: lets a rig take in what another runner collected meanwhile.
    std::function<void()> afterEach;

private:
    struct Queued {
        double dueMs;
        std::uint64_t order;
        std::function<void()> task;
    };
    VirtualTime& time_;
    std::vector<Queued> queue_;
    std::uint64_t order_ = 0;
};

// The agent's thread made in place. While `hold` is set the calls wait, as behind a slow agent,
// until release().
class AgentCallsInPlace : public AgentCommandRuns {
public:
    explicit AgentCallsInPlace(AgentCommands& agent) : agent_(agent) {}

    void run(std::function<void(AgentCommands&)> call) override {
        ++calls;
        if (hold) {
            held_.push_back(std::move(call));
        } else {
            call(agent_);
        }
    }
    void release() {
        hold = false;
        std::vector<std::function<void(AgentCommands&)>> held = std::move(held_);
        held_.clear();
        for (auto& call : held) call(agent_);
    }

    bool hold = false;
    int calls = 0;

private:
    AgentCommands& agent_;
    std::vector<std::function<void(AgentCommands&)>> held_;
};

}  // namespace ups::test
