#pragma once
// The one owner of the links' lifecycle: the start-up's road (the agent or the serial port), the
// change to what an accepted configuration names, and the end. Qt-free: what it shows goes
// through LinkDisplay, and the agent's calls after the start go through AgentCalls, whose
// window version keeps the event loop, and so supervision, running while the agent answers.
//
// In SNMP trap mode a running listener is a live link: a status read that fails (an agent
// restarting, a network that drops the answer) is asked for again by the tick, and never stops
// supervision.
#include <functional>
#include <string>

#include "app/process/monitorParts.h"
#include "app/process/networkLinks.h"
#include "base/historyRecorder.h"
#include "base/messageBox.h"
#include "config/registryStore.h"

namespace ups {

// What the lifecycle asks of the main window.
class LinkDisplay {
public:
    virtual ~LinkDisplay() = default;
    virtual void showSerialInfo() = 0;
    virtual void showAgentInfo(const AgentInfoLines& lines) = 0;
    virtual void applyTestButton(TestButtonChange change) = 0;
    // Starts the tick timer; a tick that finds no link brings the window up and stops it.
    virtual void startSupervision() = 0;
    // Called on a link's own thread (the trap listener, the serial line watcher) with the
    // newest line and battery: the window and the tray show them at once, from the event loop.
    // The supervision's state is left to the tick, which reads it for the notices, the history
    // and the countdowns.
    virtual void showLinkStateSoon(bool lineOk, bool batteryLow) = 0;
};

// Runs a call of the agent link over the given configuration and returns once it has run.
class AgentCalls {
public:
    virtual ~AgentCalls() = default;
    virtual void callAgent(const CfgSnmp& cfg, const std::function<void(AgentLink&)>& call) = 0;
};

// An agent that did not answer as ours, as the history tells it.
void recordAgentNotDetected(HistoryRecorder& history, const std::string& address,
                            AgentDetect found);

class LinkLifecycle {
public:
    LinkLifecycle(RegistryStore& store, MessageBoxes& boxes, HistoryRecorder& history,
                  MonitorParts& parts, LinkDisplay& display, AgentCalls& agentCalls,
                  NetworkLinks& network);

    // At start-up, with the records loaded: the road the configuration names. The network
    // settings are read here too; following a served UPS, neither the port nor the agent opens.
    void start();
    // An accepted configuration: the agent is asked first, over the new records, while the old
    // link goes on being supervised; then the records and the links change together, between
    // two ticks.
    void apply(const CfgUps& newUps, const CfgSnmp& newSnmp, const NetworkUpsSettings& newNetwork);
    // At the end: the follower and the server stopped, RTS cleared and the port closed, the
    // listener stopped.
    void stop();

private:
    // What the agent said before the change is committed.
    struct AgentAnswers {
        AgentStatusRead status;
        bool identityRead = false;
        AgentInfoLines lines;
        bool commandsOk = false;
        FollowedIdentity identity;
    };

    void startSerial();
    // Following a served UPS: the port and the agent's listener close, the test button goes.
    void commitFollowing();
    void startAgent();
    void commitAgent(const AgentAnswers& answers);
    void applySerial(std::int32_t previousPort, bool wasSerial);
    void resetToNormalState();
    void runListener();
    // Follows the open port's lines on the watcher's thread, for the display.
    void watchSerialLines();

    RegistryStore& store_;
    MessageBoxes& boxes_;
    HistoryRecorder& history_;
    MonitorParts& parts_;
    LinkDisplay& display_;
    AgentCalls& agentCalls_;
    NetworkLinks& network_;
};

}  // namespace ups
