#pragma once
// The "Configuración" button's flow: the password, the dialog over a copy of the records, and
// what an accepted dialog changes. Supervision goes on all the while: the dialog never stops the
// tick, and the accepted records replace the live ones, with the links they name, between two
// ticks.
#include <cstdint>
#include <string>

#include "app/process/linkLifecycle.h"
#include "app/process/mainDeps.h"
#include "app/process/monitorParts.h"
#include "app/process/networkLinks.h"
#include "app/qt/dialogSupport.h"

class QWidget;

namespace ups {

// What the flow needs from the main window.
class ConfigurationWindow {
public:
    virtual ~ConfigurationWindow() = default;
    virtual QWidget& dialogParent() = 0;
    virtual const DialogRunner& dialogRunner() const = 0;
};

class ConfigurationFlow {
public:
    ConfigurationFlow(const MainDeps& deps, MonitorParts& parts, ConfigurationWindow& window,
                      LinkLifecycle& links, AgentCalls& agentCalls, NetworkLinks& network);

    // May throw where the dialogs do; the button's handler reports it.
    void run();
    // The password prompt or the dialog is open.
    bool open() const { return open_; }

private:
    void runDialog();
    void recordChanges(const CfgUps& beforeUps, const CfgSnmp& beforeSnmp, const CfgUps& afterUps,
                       const CfgSnmp& afterSnmp);

    const MainDeps& deps_;
    MonitorParts& parts_;
    ConfigurationWindow& window_;
    LinkLifecycle& links_;
    AgentCalls& agentCalls_;
    NetworkLinks& network_;
    bool open_ = false;
};

}  // namespace ups
