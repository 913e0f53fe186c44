#include "app/configFlow.h"

#include "app/upsCfg.h"
#include "app/upsPsw.h"
#include "battery/testScheduler.h"
#include "config/configJournal.h"
#include "config/configStore.h"
#include "supervisor/supervisor.h"

namespace ups {

ConfigurationFlow::ConfigurationFlow(const MainDeps& deps, MonitorParts& parts,
                                     ConfigurationWindow& window)
    : deps_(deps), parts_(parts), window_(window) {}

void ConfigurationFlow::run() {
    if (parts_.cfgUps.pswEnabled && !askConfigPassword(parts_.cfgUps, &window_.dialogParent(),
                                                       deps_.boxes, window_.dialogRunner()))
        return;
    TcfgF dialog(&window_.dialogParent(), parts_.cfgSnmp, parts_.cfgUps, deps_.boxes,
                 [this](const std::string& address) {
                     const AgentDetect found = parts_.agentLink.detectAgent(address);
                     if (found != agentFound)
                         journalAgentNotDetected(deps_.journal, address, found);
                     return found;
                 });
    dialog.setDialogRunner(window_.dialogRunner());
    window_.tickTimer().stop();
    const std::int32_t previousPort = parts_.serialLink.port();
    // The listener reads the agent's address, which the dialog may rewrite.
    if (parts_.trapCatch && parts_.trapCatch->started() && !parts_.trapCatch->paused())
        parts_.trapCatch->Pause();

    // The dialog edits the live records: what they were tells what it changed.
    const CfgUps beforeUps = parts_.cfgUps;
    const CfgSnmp beforeSnmp = parts_.cfgSnmp;
    if (window_.dialogRunner()(dialog) == QDialog::Accepted) {
        journalChanges(beforeUps, beforeSnmp);
        applyAcceptedConfiguration(previousPort);
    } else {
        resumeAfterCancel();
    }
}

void journalAgentNotDetected(EventJournal& journal, const std::string& address, AgentDetect found) {
    journal.record(HistoryEventKind::agentNotDetected,
                   "agente " + address + (found == agentForeign ? ": de otro fabricante" : ""));
}

void ConfigurationFlow::journalChanges(const CfgUps& beforeUps, const CfgSnmp& beforeSnmp) {
    // Only the accepted dialog's own edits, before the acceptance stamps the test date.
    std::string names;
    for (std::string_view name :
         changedConfigFields(beforeUps, beforeSnmp, parts_.cfgUps, parts_.cfgSnmp)) {
        names += (names.empty() ? "" : ", ") + std::string(name);
    }
    if (!names.empty()) deps_.journal.record(HistoryEventKind::configChanged, names);
}

void ConfigurationFlow::applyAcceptedConfiguration(std::int32_t previousPort) {
    if (parts_.cfgUps.testMode == tmDias) stampLastTestOnAccept(parts_.cfgUps, deps_.clock.now());
    saveConfig(parts_.cfgUps, parts_.cfgSnmp, deps_.store, deps_.boxes);
    parts_.state.warnCountdown = parts_.cfgUps.tmpFail;
    if (!parts_.state.batteryLow) parts_.state.shutdownCountdown = parts_.cfgUps.tmpLowB;
    if (parts_.cfgSnmp.enhSnmp) {
        applySnmpConfiguration();
    } else {
        applySerialConfiguration(previousPort);
    }
    if (parts_.state.serialLinkActive || parts_.state.agentLinkActive) window_.tickTimer().start();
}

void ConfigurationFlow::applySnmpConfiguration() {
    if (parts_.state.serialLinkActive) {
        parts_.serialLink.closeForChange();
        parts_.state.serialLinkActive = false;
    }
    if (parts_.cfgSnmp.enhTrap) {
        parts_.state.agentLinkActive =
            applyAgentStatus(parts_.agentLink.readAgentStatus(), parts_.state);
        if (parts_.state.agentLinkActive)
            parts_.trapFields.seedState(parts_.state.lineOk, parts_.state.batteryLow);
        parts_.trapCatch->Resume(parts_.state.lineOk, parts_.state.batteryLow);
    } else {
        resetToNormalState();
    }
    if (parts_.agentLink.readAgentIdentity()) {
        window_.showAgentInfo(parts_.agentLink.identityInfoLines());
    } else {
        window_.showAgentInfo(AgentLink::unknownAgentInfoLines());
    }
    parts_.state.agentCommandsOk = parts_.agentLink.agentCommandsOk();
}

void ConfigurationFlow::applySerialConfiguration(std::int32_t previousPort) {
    // Back from the agent to the serial port: the agent no longer counts as a link, or the tick
    // would go on reading a port that may not be open.
    parts_.state.agentLinkActive = false;
    const bool portChanged =
        !parts_.state.serialLinkActive || parts_.cfgUps.comPort != previousPort;
    if (parts_.cfgUps.comPort == -1 || !portChanged) return;
    window_.showSerialInfo();
    if (parts_.state.serialLinkActive) parts_.serialLink.closeForChange();
    SerialOpenResult opened = parts_.serialLink.openSerialLink(parts_.cfgUps.comPort);
    window_.applyTestButton(opened.button);
    parts_.state.serialLinkActive = opened.opened;
    resetToNormalState();
}

void ConfigurationFlow::resetToNormalState() {
    parts_.state.lineOk = true;
    parts_.state.batteryLow = false;
    parts_.state.eventCode = 0;
    parts_.state.displayDirty = false;
}

void ConfigurationFlow::resumeAfterCancel() {
    if (!parts_.state.serialLinkActive && !parts_.state.agentLinkActive) return;
    if (parts_.cfgSnmp.enhTrap && parts_.state.agentLinkActive) {
        parts_.state.agentLinkActive =
            applyAgentStatus(parts_.agentLink.readAgentStatus(), parts_.state);
        parts_.trapCatch->Resume(parts_.state.lineOk, parts_.state.batteryLow);
    }
    window_.tickTimer().start();
}

}  // namespace ups
