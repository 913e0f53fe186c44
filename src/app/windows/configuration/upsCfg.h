#pragma once
// The configuration dialog: serial port, warning and shutdown delays, shutdown of the system,
// the SNMP agent with its presence check, and the way to the test-mode and password dialogs. It
// works on the records it is given (the caller's copies): it fills its controls from them and
// "&Aceptar" writes them back. Saving and applying the settings is the caller's work.
#include <QDialog>
#include <array>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/qt/dialogSupport.h"
#include "base/messageBox.h"
#include "config/cfgRecords.h"
#include "config/networkUps.h"
#include "links/agentLink.h"
#include "links/serialDriver.h"

class QRadioButton;

namespace Ui {
class TcfgF;
}

namespace ups {

class NetworkPage;

// The agent detection the "Verificar" button runs on the typed address (AgentLink::detectAgent
// in the program). It blocks until the agent answers or the waits run out.
using AgentDetector = std::function<AgentDetect(const std::string& address)>;

class TcfgF : public QDialog {
    Q_OBJECT
public:
    // `otherPorts`: the system's serial ports beyond COM1..COM4 (SerialDriver::otherPorts), offered
    // beside the four.
    TcfgF(QWidget* owner, CfgSnmp& cfgSnmp, CfgUps& cfgUps, MessageBoxes& boxes,
          AgentDetector detectAgent, std::vector<SerialPortName> otherPorts = {});
    ~TcfgF() override;

    // How the test-mode and password dialogs are shown; tests drive them through this.
    void setDialogRunner(DialogRunner run) { runDialog_ = std::move(run); }

    // The "Red" page over the given settings (the flow's copy), written back on "Aceptar";
    // the page stays disabled without them.
    void setNetworkSettings(NetworkUpsSettings& settings);
    NetworkPage* networkPage() { return networkPage_.get(); }

    // Handlers.
    void trkBarTmpFailChange();
    void trkBarTmpBatChange();
    void trkBarTmpLowBChange();
    void ckbxEnhSNMPClick();
    // True when the typed character reaches the field.
    bool edIpAgentKeyPress(char32_t typed);
    void edIpAgentExit();
    void bbtnTestIpClick();
    void bbtnTstCfgClick();
    void bbtnPswChgClick();
    void btnAceptCfgClick();

    // The records the dialog edits: the configuration flow's copies of the live ones.
    CfgUps& editedUps() { return cfgUps_; }
    CfgSnmp& editedSnmp() { return cfgSnmp_; }

protected:
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void fillControls();
    void connectHandlers();
    // The exit check of the address: false when it refused the text.
    bool checkIpAgent();

    Ui::TcfgF* ui_;
    CfgSnmp& cfgSnmp_;
    CfgUps& cfgUps_;
    MessageBoxes& boxes_;
    AgentDetector detectAgent_;
    DialogRunner runDialog_ = execDialog;
    std::array<QRadioButton*, 4> comButtons_{};
    std::vector<SerialPortName> otherPorts_;
    std::unique_ptr<NetworkPage> networkPage_;
};

}  // namespace ups
