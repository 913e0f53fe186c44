#pragma once
// The services the monitor is given: the process entry passes the platform's, tests fakes.
#include <functional>
#include <string>

#include "base/clock.h"
#include "base/historyRecorder.h"
#include "base/messageBox.h"
#include "base/taskRunner.h"
#include "config/registryStore.h"
#include "links/agentLink.h"
#include "links/serialDriver.h"
#include "links/upsThead.h"
#include "supervisor/systemControl.h"
#include "tray/trayShell.h"

namespace ups {

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
    HistoryRecorder& history;
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
    // The history file the "Historial..." window reads, and whether the history keeps it.
    std::string historyPath = {};
    std::function<bool()> historyAvailable = [] { return true; };
    // Why the trap port cannot be had, in a sentence for the user; empty when it can.
    std::function<std::string()> trapPortProblem = [] { return std::string(); };
};

}  // namespace ups
