#pragma once
// The agent's blocking calls, made on a thread of their own, one after the other, each over a
// copy of the configuration taken on the GUI thread when the call was asked for. So no tick
// waits for an agent that is slow or silent, and the thread never reads the live record that the
// configuration dialog's acceptance rewrites.
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>

#include "config/cfgRecords.h"
#include "links/agentLink.h"
#include "links/agentStatus.h"

namespace ups {

class AgentWorker final : public AgentStatusRequests {
public:
    using Call = std::function<void(AgentLink&)>;

    // `live` is read on the GUI thread only, when a call is queued. `inPlace` runs every call at
    // once on the caller's thread instead: for tests that script the agent from their own.
    AgentWorker(const CfgSnmp& live, SnmpAgentTransport& transport, bool inPlace = false);
    // Drops what is still queued and waits for the call under way, which the transport's
    // time-out bounds.
    ~AgentWorker() override;
    AgentWorker(const AgentWorker&) = delete;
    AgentWorker& operator=(const AgentWorker&) = delete;

    // Queues call; it runs after those queued before it, with a link over the record as it is now
    // (or over the one given).
    void post(Call call) { post(live_, std::move(call)); }
    void post(const CfgSnmp& cfg, Call call);

    bool requestStatus() override;
    std::optional<AgentStatusRead> takeStatus() override;

private:
    struct Job {
        CfgSnmp cfg;
        Call call;
    };
    void run();

    const CfgSnmp& live_;
    SnmpAgentTransport& transport_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<Job> jobs_;
    const bool inPlace_;
    bool stopping_ = false;
    // The status read: asked on the GUI thread, answered on the worker's.
    bool statusAsked_ = false;
    std::optional<AgentStatusRead> status_;
    std::thread thread_;
};

}  // namespace ups
