#include "app/monitor.h"

#include "config/configStore.h"

namespace ups {

MonitorParts::MonitorParts(const MainDeps& deps)
    : sio(deps.serial),
      serialLink(sio),
      agentLink(cfgSnmp, deps.agent),
      trapCatch(std::make_unique<TrapCatch>(cfgSnmp, trapFields, deps.trapOptions)),
      agentWorker(cfgSnmp, deps.agent, deps.agentCallsInPlace),
      agentCommands(agentWorker) {
    // The records start as zero bytes, then take their defaults; the run-time state starts with
    // the values SupervisorState declares.
    clearRecords(cfgUps, cfgSnmp);
    setDefaultConfig(cfgUps, cfgSnmp);
}

Monitor::Monitor(const MainDeps& deps)
    : deps_(deps),
      parts_(deps_),
      window_(deps_, parts_),
      agentCalls_(parts_.agentWorker),
      links_(deps_, parts_, window_, agentCalls_),
      configFlow_(deps_, parts_, window_, links_, agentCalls_),
      scheduledTests_(parts_.cfgUps, parts_.cfgSnmp, parts_.state, window_, deps_.store,
                      deps_.boxes, deps_.sleeper, &parts_.serialLink, &parts_.agentCommands),
      supervisor_(parts_.cfgUps, parts_.cfgSnmp, parts_.state, parts_.trapFields, window_,
                  deps_.system, scheduledTests_, deps_.clock, &parts_.serialLink,
                  &parts_.agentWorker),
      rehearsalFlow_(parts_.cfgUps, parts_.state, deps_.boxes, window_),
      rehearsal_(parts_.cfgUps, deps_.system, rehearsalFlow_, deps_.journal, deps_.clock) {
    window_.attach(supervisor_, scheduledTests_, links_, configFlow_);
    scheduledTests_.setJournal(deps_.journal);
    supervisor_.setJournal(deps_.journal);
    rehearsalFlow_.attach(rehearsal_);
    supervisor_.setCompanion(&rehearsal_);
    rehearsalFlow_.addMenuEntry(window_.pMnTray(), "Ensayo1", "N1");
    rehearsalFlow_.addMenuEntry(window_.pMnFrm(), "MenuItemEnsayo", "MenuItem2");
}

}  // namespace ups
