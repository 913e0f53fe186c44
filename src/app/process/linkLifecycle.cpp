#include "app/process/linkLifecycle.h"

#include "config/configStore.h"
#include "supervisor/supervisor.h"

namespace ups {

namespace {

constexpr std::string_view kMsgNoAgent = "No se detectó el agente.";
constexpr std::string_view kMsgNoSerialPort = "No hay puerto serie disponible.";
constexpr std::string_view kMsgNoValidPort =
    "No hay un puerto válido seleccionado.\r\nSeleccione uno válido.";

}  // namespace

void recordAgentNotDetected(HistoryRecorder& history, const std::string& address,
                            AgentDetect found) {
    history.record(HistoryEventKind::agentNotDetected,
                   "agente " + address + (found == agentForeign ? ": de otro fabricante" : ""));
}

LinkLifecycle::LinkLifecycle(RegistryStore& store, MessageBoxes& boxes, HistoryRecorder& history,
                             MonitorParts& parts, LinkDisplay& display, AgentCalls& agentCalls,
                             NetworkLinks& network)
    : store_(store),
      boxes_(boxes),
      history_(history),
      parts_(parts),
      display_(display),
      agentCalls_(agentCalls),
      network_(network) {
    // A status trap is on the screen as soon as the listener has stored it.
    parts_.trapCatch.setOnStored([this] {
        const TrapFields& fields = parts_.trapFields;
        display_.showLinkStateSoon(fields.lineState.load(std::memory_order_relaxed) == 1,
                                   fields.batteryState.load(std::memory_order_relaxed) == 2);
    });
}

void LinkLifecycle::start() {
    SupervisorState& state = parts_.state;
    state.warnCountdown = parts_.cfgUps.tmpFail;
    state.shutdownCountdown = parts_.cfgUps.tmpLowB;
    network_.load();
    network_.start();
    if (!network_.serverProblem().empty()) {
        boxes_.messageBox(network_.serverProblem(), kTitleCaution, MbIcon::Warning);
    }
    if (network_.following()) {
        // The UPS belongs to the machine that serves it: nothing here gives it orders.
        display_.applyTestButton(TestButtonChange::Disable);
        display_.startSupervision();
    } else if (parts_.cfgSnmp.enhSnmp) {
        startAgent();
    } else {
        startSerial();
    }
    state.displayDirty = true;
}

void LinkLifecycle::startSerial() {
    CfgUps& cfgUps = parts_.cfgUps;
    if (!parts_.serialLink.probePorts(cfgUps)) {
        // A computer without COM1..COM4 still needs a way to the configuration, where the agent
        // can be chosen: the window stays up with nothing supervised, as with no port chosen.
        boxes_.messageBox(kMsgNoSerialPort, kTitleError, MbIcon::Error);
        display_.applyTestButton(TestButtonChange::Disable);
        display_.startSupervision();
        return;
    }
    display_.showSerialInfo();
    saveConfig(cfgUps, parts_.cfgSnmp, store_, boxes_);
    const SerialOpenResult opened = parts_.serialLink.openSerialLink(cfgUps.comPort);
    display_.applyTestButton(opened.button);
    if (opened.opened) {
        parts_.state.serialLinkActive = true;
        display_.startSupervision();
        parts_.serialLink.assertRts();
        watchSerialLines();
    } else {
        boxes_.messageBox(kMsgNoValidPort, kTitleCaution, MbIcon::Warning);
        display_.startSupervision();
    }
}

void LinkLifecycle::startAgent() {
    SupervisorState& state = parts_.state;
    state.serialLinkActive = false;
    state.agentLinkActive = false;
    const std::string address = fieldText(parts_.cfgSnmp.ipAgent);
    const AgentDetect found = parts_.agentLink.detectAgent(address);
    if (found != agentFound) recordAgentNotDetected(history_, address, found);
    if (found == agentAbsent) boxes_.messageBox(kMsgNoAgent, kTitleError, MbIcon::Error);
    if (found == agentFound) {
        AgentAnswers answers;
        answers.status = parts_.agentLink.readAgentStatus();
        answers.identityRead = parts_.agentLink.readAgentIdentity();
        answers.lines = parts_.agentLink.identityInfoLines();
        answers.commandsOk = parts_.agentLink.agentCommandsOk();
        if (answers.identityRead) {
            display_.showAgentInfo(answers.lines);
            network_.setAgentIdentity({parts_.agentLink.upsName(), parts_.agentLink.upsModel(),
                                       parts_.agentLink.upsSerial()});
        }
        state.agentCommandsOk = answers.commandsOk;
        state.agentLinkActive = applyAgentStatus(answers.status, state);
        runListener();
    } else if (found == agentAbsent && parts_.cfgSnmp.enhTrap) {
        // An agent that is down now (restarting after the same power cut, say) is still the one
        // configured: its traps are awaited and its state is asked for again on every tick.
        runListener();
    }
    display_.startSupervision();
}

void LinkLifecycle::runListener() {
    SupervisorState& state = parts_.state;
    const bool wasRunning = parts_.trapCatch.started() && !parts_.trapCatch.paused();
    if (!wasRunning) parts_.trapCatch.Resume(state.lineOk, state.batteryLow);
    parts_.trapFields.seedState(state.lineOk, state.batteryLow);
    if (!parts_.cfgSnmp.enhTrap) return;
    if (!state.agentLinkActive) parts_.trapFields.refreshRequested.store(true);
    state.agentLinkActive = true;
}

void LinkLifecycle::apply(const CfgUps& newUps, const CfgSnmp& newSnmp,
                          const NetworkUpsSettings& newNetwork) {
    AgentAnswers answers;
    const bool follow = newNetwork.client.follow;
    if (newSnmp.enhSnmp && !follow) {
        agentCalls_.callAgent(newSnmp, [&answers](AgentLink& agent) {
            answers.status = agent.readAgentStatus();
            answers.identityRead = agent.readAgentIdentity();
            answers.lines = answers.identityRead ? agent.identityInfoLines()
                                                 : AgentLink::unknownAgentInfoLines();
            if (answers.identityRead) {
                answers.identity = {agent.upsName(), agent.upsModel(), agent.upsSerial()};
            }
            answers.commandsOk = agent.agentCommandsOk();
        });
        // The program ended while the agent was asked (the power-off, say): nothing to change.
        if (parts_.state.closingBySystem) return;
    }
    // From here on nothing waits: the change is whole before the next tick.
    const std::int32_t previousPort = parts_.serialLink.port();
    const bool wasSerial = parts_.state.serialLinkActive;
    // The listener reads the agent's address, which the copy rewrites.
    const bool listenerRan = parts_.trapCatch.started() && !parts_.trapCatch.paused();
    if (listenerRan) parts_.trapCatch.Pause();
    parts_.cfgUps = newUps;
    parts_.cfgSnmp = newSnmp;
    SupervisorState& state = parts_.state;
    state.warnCountdown = newUps.tmpFail;
    if (!state.batteryLow) state.shutdownCountdown = newUps.tmpLowB;
    if (follow) {
        commitFollowing();
        network_.apply(newNetwork);
    } else if (newSnmp.enhSnmp) {
        network_.apply(newNetwork);
        if (state.serialLinkActive) {
            parts_.serialLink.closeForChange();
            state.serialLinkActive = false;
        }
        commitAgent(answers);
    } else {
        network_.apply(newNetwork);
        applySerial(previousPort, wasSerial);
    }
    if (state.linkActive()) display_.startSupervision();
}

void LinkLifecycle::commitAgent(const AgentAnswers& answers) {
    SupervisorState& state = parts_.state;
    const bool answered = answers.status.lineAnswered && answers.status.batteryAnswered;
    if (parts_.cfgSnmp.enhTrap) {
        if (answered) applyAgentStatus(answers.status, state);
        state.agentLinkActive = answered;
        runListener();
    } else {
        state.agentLinkActive = applyAgentStatus(answers.status, state);
        resetToNormalState();
    }
    display_.showAgentInfo(answers.lines);
    network_.setAgentIdentity(answers.identity);
    state.agentCommandsOk = answers.commandsOk;
}

void LinkLifecycle::commitFollowing() {
    SupervisorState& state = parts_.state;
    if (state.serialLinkActive) {
        parts_.serialLink.closeForChange();
        state.serialLinkActive = false;
    }
    // A listener that ran was paused for the change, and stays so.
    state.agentLinkActive = false;
    state.agentCommandsOk = false;
    resetToNormalState();
    display_.applyTestButton(TestButtonChange::Disable);
}

void LinkLifecycle::applySerial(std::int32_t previousPort, bool wasSerial) {
    SupervisorState& state = parts_.state;
    // Back from the agent to the serial port: the agent no longer counts as a link, or the tick
    // would go on reading a port that may not be open.
    state.agentLinkActive = false;
    const bool portChanged = !wasSerial || parts_.cfgUps.comPort != previousPort;
    if (parts_.cfgUps.comPort == -1 || !portChanged) return;
    display_.showSerialInfo();
    if (state.serialLinkActive) parts_.serialLink.closeForChange();
    const SerialOpenResult opened = parts_.serialLink.openSerialLink(parts_.cfgUps.comPort);
    display_.applyTestButton(opened.button);
    state.serialLinkActive = opened.opened;
    resetToNormalState();
    if (opened.opened) watchSerialLines();
}

void LinkLifecycle::watchSerialLines() {
    parts_.serialLink.watchLines(
        [this](SerialLines lines) { display_.showLinkStateSoon(lines.lineOk, lines.batteryLow); });
}

void LinkLifecycle::resetToNormalState() {
    parts_.state.lineOk = true;
    parts_.state.batteryLow = false;
    parts_.state.displayDirty = false;
}

void LinkLifecycle::stop() {
    network_.stop();
    SupervisorState& state = parts_.state;
    if (state.serialLinkActive) {
        parts_.serialLink.closeAtEnd();
        state.serialLinkActive = false;
    }
    parts_.trapCatch.Terminate();
}

}  // namespace ups
