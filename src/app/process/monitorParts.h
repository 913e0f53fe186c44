#pragma once
// What the monitor is made of: the live objects built from the services it is given, which the
// main window, the links' owner and the supervisor work on. Qt-free.
#include <memory>

#include "base/clock.h"
#include "base/historyRecorder.h"
#include "base/messageBox.h"
#include "battery/upsCommand.h"
#include "config/cfgRecords.h"
#include "config/registryStore.h"
#include "links/agentLink.h"
#include "links/agentWorker.h"
#include "links/serialLib.h"
#include "links/serialLink.h"
#include "links/trapFields.h"
#include "links/upsThead.h"
#include "supervisor/supervisorState.h"

namespace ups {

// The agent link as the battery test sees it.
struct AgentLinkCommands : AgentCommands {
    explicit AgentLinkCommands(AgentLink& link) : link(link) {}
    bool sendTestCommand() override { return link.sendTestCommand(); }
    AgentStatusRead readAgentStatus() override { return link.readAgentStatus(); }
    AgentLink& link;
};

// The battery test's agent calls, made on the agent's thread.
struct AgentWorkerCommands : AgentCommandRuns {
    explicit AgentWorkerCommands(AgentWorker& worker) : worker(worker) {}
    void run(std::function<void(AgentCommands&)> call) override {
        worker.post([call = std::move(call)](AgentLink& link) {
            AgentLinkCommands commands(link);
            call(commands);
        });
    }
    AgentWorker& worker;
};

struct MonitorParts {
    // The agent's calls are made in place instead of on their thread when `agentCallsInPlace`.
    MonitorParts(SerialDriver& serial, SnmpAgentTransport& agent,
                 const TrapListenerOptions& trapOptions, bool agentCallsInPlace);
    MonitorParts(const MonitorParts&) = delete;
    MonitorParts& operator=(const MonitorParts&) = delete;

    CfgUps cfgUps;
    CfgSnmp cfgSnmp;
    SupervisorState state;
    TrapFields trapFields;
    SerialLib sio;
    SerialLink serialLink;
    // The start-up's agent calls, made before the event loop runs; later ones go to the worker.
    AgentLink agentLink;
    TrapCatch trapCatch;
    AgentWorker agentWorker;
    AgentWorkerCommands agentCommands;
};

}  // namespace ups
