#pragma once
// The agent status read that trap mode falls back on: a re-poll during a long line failure and the
// re-read after an agent restart. Declared here so the agent link can implement it without knowing
// the supervisor.

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

}  // namespace ups
