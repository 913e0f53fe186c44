#pragma once
// The agent status read that trap mode falls back on: a re-poll during a long line failure and the
// re-read after an agent restart. Declared here so the agent link can implement it without knowing
// the supervisor.
#include <optional>

namespace ups {

struct AgentStatusRead {
    bool lineAnswered = false;
    bool lineOk = true;
    bool batteryAnswered = false;
    bool batteryLow = false;
};

class AgentStatusReader {
public:
    virtual ~AgentStatusReader() = default;
    // Two GETs to the agent, each bounded by the transport time-out.
    virtual AgentStatusRead readAgentStatus() = 0;
};

// The same read made off the caller's thread: asked for on one tick and taken on a later one, so
// no tick waits for an agent that is slow or silent.
class AgentStatusRequests {
public:
    virtual ~AgentStatusRequests() = default;
    // Starts a read; false, and nothing started, while the previous one is still on its way.
    virtual bool requestStatus() = 0;
    // The answer to the last request, once, when it has come; nothing before.
    virtual std::optional<AgentStatusRead> takeStatus() = 0;
};

}  // namespace ups
