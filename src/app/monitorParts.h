#pragma once
// What the monitor is made of: the services it is given (MainDeps) and the live objects built
// from them (MonitorParts), which the main window and the supervisor work on.
#include <memory>

#include "base/clock.h"
#include "base/eventJournal.h"
#include "base/messageBox.h"
#include "battery/upsCommand.h"
#include "config/cfgRecords.h"
#include "config/registryStore.h"
#include "links/agentLink.h"
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
};

// The agent link as the battery test sees it.
struct AgentLinkCommands : AgentCommands {
    explicit AgentLinkCommands(AgentLink& link) : link(link) {}
    bool sendTestCommand() override { return link.sendTestCommand(); }
    AgentStatusRead readAgentStatus() override { return link.readAgentStatus(); }
    AgentLink& link;
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
    AgentLink agentLink;
    std::unique_ptr<TrapCatch> trapCatch;
    AgentLinkCommands agentCommands;
};

}  // namespace ups
