#include "app/qt/agentCallsInLoop.h"

#include <QEventLoop>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

namespace ups {

namespace {

constexpr int kAnswerCheckMs = 20;

}  // namespace

void AgentCallsInLoop::callAgent(const CfgSnmp& cfg, const std::function<void(AgentLink&)>& call) {
    auto done = std::make_shared<std::atomic<bool>>(false);
    worker_.post(cfg, [&call, done](AgentLink& agent) {
        call(agent);
        done->store(true, std::memory_order_release);
    });
    if (done->load(std::memory_order_acquire)) return;
    QEventLoop loop;
    QTimer check;
    check.setInterval(kAnswerCheckMs);
    QObject::connect(&check, &QTimer::timeout, &loop, [&loop, done] {
        if (done->load(std::memory_order_acquire)) loop.quit();
    });
    check.start();
    loop.exec();
    // The loop also ends when the program quits; the call still holds this frame's references,
    // and the transport's time-out bounds how long it can take.
    while (!done->load(std::memory_order_acquire)) {
        std::this_thread::sleep_for(std::chrono::milliseconds(kAnswerCheckMs));
    }
}

}  // namespace ups
