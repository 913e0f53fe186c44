#pragma once
// What the monitor is made of: the services it is given (MainDeps) and the live objects built
// from them (MonitorParts), which the main window and the supervisor work on.
#include <memory>

#include "base/clock.h"
#include "base/eventJournal.h"
#include "base/messageBox.h"
#include "base/taskRunner.h"
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
#include "supervisor/systemControl.h"
#include "tray/trayShell.h"

namespace ups {

// What the monitor needs from the world; the process entry passes the platform's, tests fakes.
struct MainDeps {
    RegistryStore& store;
    SerialDriver& serial;
    MessageBoxes& boxes;
    Clock& clock;
    Sleeper& sleeper;
    TrayShell& trayShell;
    SystemControl& system;
    SnmpAgentTransport& agent;
    // The event history the monitor reports to.
    EventJournal& journal;
    // Where the trap listener binds: UDP 162 on every interface for the monitor.
    TrapListenerOptions trapOptions = {};
    // The agent's calls on a thread of their own; tests that script the agent from their own
    // thread have them made in place.
    bool agentCallsInPlace = false;
    // Where the window hands work to the event loop; none: its own Qt timers. Tests give one
    // that runs in virtual time.
    TaskRunner* tasks = nullptr;
    // The tick timer's interval: a second; tests that run the real timer make it shorter.
    int tickIntervalMs = 1000;
};

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
    explicit MonitorParts(const MainDeps& deps);
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
    std::unique_ptr<TrapCatch> trapCatch;
    AgentWorker agentWorker;
    AgentWorkerCommands agentCommands;
};

}  // namespace ups
