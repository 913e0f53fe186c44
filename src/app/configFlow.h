#pragma once
// The "Configuración" button's flow: the password, the dialog, and what an accepted or cancelled
// dialog does to the links, the trap listener, the tick and the stored records. The window only
// shows what the flow asks it to.
#include <cstdint>
#include <string>

#include "app/monitorParts.h"
#include "app/tickTimer.h"
#include "app/upsPsw.h"

class QWidget;

namespace ups {

// What the flow needs from the main window.
class ConfigurationWindow {
public:
    virtual ~ConfigurationWindow() = default;
    virtual QWidget& dialogParent() = 0;
    virtual const DialogRunner& dialogRunner() const = 0;
    virtual TickTimer& tickTimer() = 0;
    virtual void showSerialInfo() = 0;
    virtual void showAgentInfo(const AgentInfoLines& lines) = 0;
    virtual void applyTestButton(TestButtonChange change) = 0;
};

// An agent that did not answer as ours, as the history tells it; the start-up reports it too.
void journalAgentNotDetected(EventJournal& journal, const std::string& address, AgentDetect found);

class ConfigurationFlow {
public:
    ConfigurationFlow(const MainDeps& deps, MonitorParts& parts, ConfigurationWindow& window);

    // May throw where the dialogs do; the button's handler reports it.
    void run();

private:
    void journalChanges(const CfgUps& beforeUps, const CfgSnmp& beforeSnmp);
    void applyAcceptedConfiguration(std::int32_t previousPort);
    void applySnmpConfiguration();
    void applySerialConfiguration(std::int32_t previousPort);
    void resetToNormalState();
    void resumeAfterCancel();

    const MainDeps& deps_;
    MonitorParts& parts_;
    ConfigurationWindow& window_;
};

}  // namespace ups
