#include "app/flows/configFlow.h"

#include "app/windows/configuration/upsCfg.h"
#include "app/windows/password/upsPsw.h"
#include "battery/testScheduler.h"
#include "config/configHistory.h"
#include "config/configStore.h"

namespace ups {

ConfigurationFlow::ConfigurationFlow(const MainDeps& deps, MonitorParts& parts,
                                     ConfigurationWindow& window, LinkLifecycle& links,
                                     AgentCalls& agentCalls, NetworkLinks& network)
    : deps_(deps),
      parts_(parts),
      window_(window),
      links_(links),
      agentCalls_(agentCalls),
      network_(network) {}

void ConfigurationFlow::run() {
    if (open_) return;
    open_ = true;
    try {
        runDialog();
    } catch (...) {
        open_ = false;
        throw;
    }
    open_ = false;
}

void ConfigurationFlow::runDialog() {
    if (parts_.cfgUps.pswEnabled && !askConfigPassword(parts_.cfgUps, &window_.dialogParent(),
                                                       deps_.boxes, window_.dialogRunner()))
        return;
    // The dialog edits a copy: the live records go on serving the tick, the listener and the
    // agent's thread until the change is accepted.
    const CfgUps openedUps = parts_.cfgUps;
    const CfgSnmp openedSnmp = parts_.cfgSnmp;
    CfgUps editUps = openedUps;
    CfgSnmp editSnmp = openedSnmp;
    NetworkUpsSettings editNetwork = network_.settings();
    TcfgF dialog(
        &window_.dialogParent(), editSnmp, editUps, deps_.boxes,
        [this, &editSnmp](const std::string& address) {
            AgentDetect found = agentAbsent;
            agentCalls_.callAgent(editSnmp,
                                  [&](AgentLink& agent) { found = agent.detectAgent(address); });
            if (found != agentFound) recordAgentNotDetected(deps_.history, address, found);
            return found;
        },
        deps_.serial.otherPorts());
    dialog.setDialogRunner(window_.dialogRunner());
    dialog.setNetworkSettings(editNetwork);
    if (window_.dialogRunner()(dialog) != QDialog::Accepted) return;
    // The program may have ended while the dialog was open.
    if (parts_.state.closingBySystem) return;
    recordChanges(openedUps, openedSnmp, editUps, editSnmp);
    // The schedule's counters moved on with the ticks while the dialog was open; the dialog does
    // not edit them.
    editUps.startCount = parts_.cfgUps.startCount;
    editUps.lastTest = parts_.cfgUps.lastTest;
    if (editUps.testMode == tmDias) stampLastTestOnAccept(editUps, deps_.clock.now());
    saveConfig(editUps, editSnmp, deps_.store, deps_.boxes);
    // The network's settings have a value of their own: the two records stay as they are.
    if (editNetwork != network_.settings() && !saveNetworkUps(editNetwork, deps_.store)) {
        deps_.boxes.messageBox("No se pudo guardar la configuración de red.", kTitleError,
                               MbIcon::Error);
    }
    links_.apply(editUps, editSnmp, editNetwork);
}

void ConfigurationFlow::recordChanges(const CfgUps& beforeUps, const CfgSnmp& beforeSnmp,
                                      const CfgUps& afterUps, const CfgSnmp& afterSnmp) {
    // Only the accepted dialog's own edits, before the acceptance stamps the test date.
    std::string names;
    for (std::string_view name : changedConfigFields(beforeUps, beforeSnmp, afterUps, afterSnmp)) {
        names += (names.empty() ? "" : ", ") + std::string(name);
    }
    if (!names.empty()) deps_.history.record(HistoryEventKind::configChanged, names);
}

}  // namespace ups
