#pragma once
// The agent's calls made on the agent's thread while the GUI thread's event loop goes on: the
// configuration dialog's agent check and the reads before an accepted change wait here, and the
// ticks, close requests and timers run meanwhile. Never used inside a tick.
#include "app/process/linkLifecycle.h"
#include "links/agentWorker.h"

namespace ups {

class AgentCallsInLoop final : public AgentCalls {
public:
    explicit AgentCallsInLoop(AgentWorker& worker) : worker_(worker) {}
    void callAgent(const CfgSnmp& cfg, const std::function<void(AgentLink&)>& call) override;

private:
    AgentWorker& worker_;
};

}  // namespace ups
