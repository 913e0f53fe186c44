#include "app/process/monitor.h"

#include <QMetaObject>

#include "config/configStore.h"

namespace ups {

MonitorParts::MonitorParts(SerialDriver& serial, SnmpAgentTransport& agent,
                           const TrapListenerOptions& trapOptions, bool agentCallsInPlace)
    : sio(serial),
      serialLink(sio),
      agentLink(cfgSnmp, agent),
      trapCatch(cfgSnmp, trapFields, trapOptions),
      agentWorker(cfgSnmp, agent, agentCallsInPlace),
      agentCommands(agentWorker) {
    // The records start as zero bytes, then take their defaults; the run-time state starts with
    // the values SupervisorState declares.
    clearRecords(cfgUps, cfgSnmp);
    setDefaultConfig(cfgUps, cfgSnmp);
}

Monitor::Monitor(const MainDeps& deps)
    : deps_(deps),
      parts_(deps_.serial, deps_.agent, deps_.trapOptions, deps_.agentCallsInPlace),
      window_(deps_, parts_),
      agentCalls_(parts_.agentWorker),
      network_(deps_.store, deps_.clock, this, UPS_PROGRAM_VERSION),
      links_(deps_.store, deps_.boxes, deps_.history, parts_, window_, agentCalls_, network_),
      configFlow_(deps_, parts_, window_, links_, agentCalls_, network_),
      scheduledTests_(parts_.cfgUps, parts_.cfgSnmp, parts_.state, window_, deps_.store,
                      deps_.boxes, deps_.sleeper, &parts_.serialLink, &parts_.agentCommands),
      supervisor_(parts_.cfgUps, parts_.cfgSnmp, parts_.state, parts_.trapFields, window_,
                  deps_.system, scheduledTests_, deps_.clock, &parts_.serialLink,
                  &parts_.agentWorker),
      rehearsalFlow_(parts_.cfgUps, parts_.state, deps_.boxes, window_),
      rehearsal_(parts_.cfgUps, deps_.system, rehearsalFlow_, deps_.history, deps_.clock),
      historySource_(deps_.historyPath),
      history_(historySource_, deps_.clock, deps_.boxes, deps_.historyAvailable) {
    window_.attach(supervisor_, scheduledTests_, links_, configFlow_);
    network_.attach(supervisor_);
    window_.setNetworkLinks(&network_);
    scheduledTests_.setHistory(deps_.history);
    supervisor_.setHistory(deps_.history);
    rehearsalFlow_.attach(rehearsal_);
    supervisor_.setCompanion(&rehearsal_);
    rehearsalFlow_.addMenuEntry(window_.pMnTray(), "TrayItemRehearsal", "N1");
    rehearsalFlow_.addMenuEntry(window_.pMnFrm(), "MenuItemRehearsal", "MenuItem2");
    // The history window reads the history's file through a reader of its own.
    window_.setHistoryOpener([this] { history_.open(); });
}

bool Monitor::requestInstantCommand(InstantCommand command) {
    // The window is the context: an order still queued when it goes is dropped with it.
    return QMetaObject::invokeMethod(
        &window_, [this, command] { runInstantCommand(command); }, Qt::QueuedConnection);
}

void Monitor::runInstantCommand(InstantCommand command) {
    // The state may have moved on since the client asked: only what it offers now is sent.
    if (parts_.state.closingBySystem || command == InstantCommand::None) return;
    if (offeredCommand(network_.served()) != command) return;
    scheduledTests_.orderFromNetwork();
}

}  // namespace ups
