#include "app/monitor.h"

#include "config/configStore.h"

namespace ups {

MonitorParts::MonitorParts(const MainDeps& deps)
    : sio(deps.serial),
      serialLink(sio, deps.sleeper),
      agentLink(cfgSnmp, deps.agent),
      trapCatch(std::make_unique<TrapCatch>(cfgSnmp, trapFields, deps.trapOptions)),
      agentCommands(agentLink) {
    // The records start as zero bytes, then take their defaults; the run-time state starts with
    // the values SupervisorState declares.
    clearRecords(cfgUps, cfgSnmp);
    setDefaultConfig(cfgUps, cfgSnmp);
}

Monitor::Monitor(MainDeps deps)
    : parts_(deps),
      window_(deps, parts_),
      scheduledTests_(parts_.cfgUps, parts_.cfgSnmp, parts_.state, window_, deps.store, deps.boxes,
                      deps.sleeper, &parts_.serialLink, &parts_.agentCommands),
      supervisor_(parts_.cfgUps, parts_.cfgSnmp, parts_.state, parts_.trapFields, window_,
                  deps.system, scheduledTests_, deps.clock, deps.sleeper, &parts_.serialLink,
                  &parts_.agentLink),
      rehearsalFlow_(parts_.cfgUps, parts_.state, deps.boxes, window_),
      rehearsal_(parts_.cfgUps, deps.system, rehearsalFlow_, deps.journal, deps.clock) {
    window_.attach(supervisor_, scheduledTests_);
    scheduledTests_.setJournal(deps.journal);
    supervisor_.setJournal(deps.journal);
    rehearsalFlow_.attach(rehearsal_);
    supervisor_.setCompanion(&rehearsal_);
    rehearsalFlow_.addMenuEntry(window_.pMnTray(), "Ensayo1", "N1");
    rehearsalFlow_.addMenuEntry(window_.pMnFrm(), "MenuItemEnsayo", "MenuItem2");
}

}  // namespace ups
