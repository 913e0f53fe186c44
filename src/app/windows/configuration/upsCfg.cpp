#include "app/windows/configuration/upsCfg.h"

#include <QComboBox>
#include <QKeyEvent>
#include <QPushButton>
#include <QTimer>
#include <exception>

#include "app/rules/addressField.h"
#include "app/rules/delayTexts.h"
#include "app/windows/configuration/networkPage.h"
#include "app/windows/password/upsPsw.h"
#include "app/windows/test/upsTest.h"
#include "base/ipv4Text.h"
#include "config/password.h"
#include "ui_upsCfg.h"

namespace ups {

namespace {

constexpr std::string_view kMsgInvalidAddress = "La dirección ingresada no es válida";
constexpr std::string_view kMsgAgentDetected = "Detectado el agente.";
constexpr std::string_view kMsgAgentNotDetected = "No se detectó el agente.";
constexpr std::size_t kIpAgentLength = 15;

QString labelText(const std::string& text) {
    return QString::fromStdString(text);
}

// Keys that type no character into the field (they produce no character message on the
// system the monitor comes from), so the character filter never sees them.
bool typesNoCharacter(const QKeyEvent& key) {
    switch (key.key()) {
        case Qt::Key_Tab:
        case Qt::Key_Backtab:
        case Qt::Key_Escape:
        case Qt::Key_Delete:
            return true;
        default:
            return key.text().isEmpty();
    }
}

// The character a key types: Enter and Backspace as their control characters, and any key held
// with Ctrl as a control character, which the filter discards (so Ctrl+V cannot paste).
char32_t typedCharacter(const QKeyEvent& key) {
    if (key.key() == Qt::Key_Return || key.key() == Qt::Key_Enter) return U'\r';
    if (key.key() == Qt::Key_Backspace) return U'\b';
    if (key.modifiers() & (Qt::ControlModifier | Qt::MetaModifier)) return U'\x1f';
    return key.text().toUcs4().value(0);
}

}  // namespace

TcfgF::TcfgF(QWidget* owner, CfgSnmp& cfgSnmp, CfgUps& cfgUps, MessageBoxes& boxes,
             AgentDetector detectAgent, std::vector<SerialPortName> otherPorts)
    : QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                         Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      ui_(new Ui::TcfgF),
      cfgSnmp_(cfgSnmp),
      cfgUps_(cfgUps),
      boxes_(boxes),
      detectAgent_(std::move(detectAgent)),
      otherPorts_(std::move(otherPorts)) {
    ui_->setupUi(this);
    setFixedSize(360, 315);
    comButtons_ = {ui_->rbtnCom1, ui_->rbtnCom2, ui_->rbtnCom3, ui_->rbtnCom4};
    ui_->pgCtrl->setCurrentIndex(0);
    ui_->pgCtrl->setTabEnabled(ui_->pgCtrl->indexOf(ui_->tsRed), false);
    connectHandlers();
    fillControls();
    centreOnScreen(*this);
}

TcfgF::~TcfgF() {
    networkPage_.reset();
    delete ui_;
}

void TcfgF::setNetworkSettings(NetworkUpsSettings& settings) {
    networkPage_ = std::make_unique<NetworkPage>(*this, settings);
    ui_->pgCtrl->setTabEnabled(ui_->pgCtrl->indexOf(ui_->tsRed), true);
}

void TcfgF::connectHandlers() {
    connect(ui_->trkBarTmpFail, &QSlider::valueChanged, this, &TcfgF::trkBarTmpFailChange);
    connect(ui_->trkBarTmpBat, &QSlider::valueChanged, this, &TcfgF::trkBarTmpBatChange);
    connect(ui_->trkBarTmpLowB, &QSlider::valueChanged, this, &TcfgF::trkBarTmpLowBChange);
    connect(ui_->ckbxEnhSNMP, &QCheckBox::toggled, this, &TcfgF::ckbxEnhSNMPClick);
    ui_->edIpAgent->installEventFilter(this);
    onFocusExit(ui_->edIpAgent, [this] { edIpAgentExit(); });
    // Changing the page hides the address field without taking its focus away; take it, so
    // that the address is checked as it is when the field is left any other way.
    connect(ui_->pgCtrl, &QTabWidget::currentChanged, this, [this] {
        if (ui_->edIpAgent->hasFocus() && !ui_->edIpAgent->isVisible()) {
            ui_->pgCtrl->setFocus(Qt::TabFocusReason);
        }
    });
    connect(ui_->bbtnTestIp, &QPushButton::clicked, this, &TcfgF::bbtnTestIpClick);
    connect(ui_->bbtnTstCfg, &QPushButton::clicked, this, &TcfgF::bbtnTstCfgClick);
    connect(ui_->bbtnPswChg, &QPushButton::clicked, this, &TcfgF::bbtnPswChgClick);
    connect(ui_->btnAceptCfg, &QPushButton::clicked, this, &TcfgF::btnAceptCfgClick);
    connect(ui_->btnCancelCfg, &QPushButton::clicked, this, &QDialog::reject);
    // Picking one of the other ports chooses it.
    connect(ui_->cbComOtro, &QComboBox::activated, this,
            [this] { ui_->rbtnComOtro->setChecked(true); });
}

void TcfgF::fillControls() {
    for (int i = 0; i < 4; ++i) comButtons_[i]->setEnabled(cfgUps_.portStatus[i] == 0);
    if (cfgUps_.comPort >= 0 && cfgUps_.comPort <= 3) {
        comButtons_[cfgUps_.comPort]->setChecked(true);
    }
    // The other ports by name; a chosen one that is not plugged in now stays on the list, so
    // that accepting the dialog does not drop it.
    for (const SerialPortName& port : otherPorts_) {
        ui_->cbComOtro->addItem(QString::fromStdString(port.name), port.port);
    }
    if (cfgUps_.comPort >= 4) {
        int at = ui_->cbComOtro->findData(cfgUps_.comPort);
        if (at < 0) {
            ui_->cbComOtro->addItem(QStringLiteral("(desconectado)"), cfgUps_.comPort);
            at = ui_->cbComOtro->count() - 1;
        }
        ui_->cbComOtro->setCurrentIndex(at);
        ui_->rbtnComOtro->setChecked(true);
    }
    const bool others = ui_->cbComOtro->count() > 0;
    ui_->rbtnComOtro->setEnabled(others);
    ui_->cbComOtro->setEnabled(others);
    ui_->trkBarTmpFail->setValue(cfgUps_.tmpFail);
    ui_->trkBarTmpBat->setValue(cfgUps_.tmpBat);
    ui_->trkBarTmpLowB->setValue(cfgUps_.tmpLowB);
    // The labels show the stored values even where the track bar had to keep its range.
    ui_->lblTmpFail->setText(labelText(delaySecondsText(cfgUps_.tmpFail)));
    ui_->lblTmpBat->setText(labelText(delaySecondsText(cfgUps_.tmpBat)));
    trkBarTmpLowBChange();
    ui_->ckBoxEnhShutdwn->setChecked(cfgUps_.enhShutdwn != 0);
    ui_->ckbxEnhSNMP->setChecked(cfgSnmp_.enhSnmp != 0);
    ckbxEnhSNMPClick();
    ui_->edIpAgent->setText(fromRecordText(fieldText(cfgSnmp_.ipAgent)));
    // Trap monitoring that is off can only be switched on after an agent check has found the
    // agent in this dialog.
    ui_->ckbxEnhTrap->setEnabled(cfgSnmp_.enhTrap != 0);
    ui_->ckbxEnhTrap->setChecked(cfgSnmp_.enhTrap != 0);
}

void TcfgF::trkBarTmpFailChange() {
    ui_->lblTmpFail->setText(labelText(delaySecondsText(ui_->trkBarTmpFail->value())));
}

void TcfgF::trkBarTmpBatChange() {
    ui_->lblTmpBat->setText(labelText(delaySecondsText(ui_->trkBarTmpBat->value())));
}

void TcfgF::trkBarTmpLowBChange() {
    const int seconds = ui_->trkBarTmpLowB->value();
    ui_->lblTmpLowB->setText(labelText(delayMinutesPartText(seconds)));
    ui_->lblTmLBsec->setText(labelText(delaySecondsPartText(seconds)));
}

void TcfgF::ckbxEnhSNMPClick() {
    const bool enabled = ui_->ckbxEnhSNMP->isChecked();
    ui_->lblIpAdd->setEnabled(enabled);
    ui_->edIpAgent->setEnabled(enabled);
    ui_->bbtnTestIp->setEnabled(enabled);
}

bool TcfgF::edIpAgentKeyPress(char32_t typed) {
    switch (addressKeyAction(typed)) {
        case AddressKey::accept:
            return true;
        case AddressKey::moveToCheck:
            ui_->bbtnTestIp->setFocus(Qt::TabFocusReason);
            return false;
        case AddressKey::discard:
            break;
    }
    return false;
}

bool TcfgF::eventFilter(QObject* watched, QEvent* event) {
    if (watched == ui_->edIpAgent && event->type() == QEvent::KeyPress) {
        const auto& key = *static_cast<QKeyEvent*>(event);
        if (typesNoCharacter(key)) return false;
        return !edIpAgentKeyPress(typedCharacter(key));
    }
    return QDialog::eventFilter(watched, event);
}

void TcfgF::edIpAgentExit() {
    checkIpAgent();
}

bool TcfgF::checkIpAgent() {
    auto canonical = canonicalAddressText(toRecordText(ui_->edIpAgent->text()));
    if (!canonical) {
        boxes_.messageBox(kMsgInvalidAddress, kTitleError, MbIcon::Error);
        if (ui_->edIpAgent->isVisible()) {
            ui_->edIpAgent->setFocus();
        } else {
            // Left by a change of page, which is still under way: bring the field back once
            // that change is over.
            QTimer::singleShot(0, this, [this] {
                ui_->pgCtrl->setCurrentWidget(ui_->tsSnmp);
                ui_->edIpAgent->setFocus();
            });
        }
        return false;
    }
    ui_->edIpAgent->setText(QString::fromStdString(*canonical));
    return true;
}

void TcfgF::bbtnTestIpClick() {
    QPushButton* check = ui_->bbtnTestIp;
    const bool hadFocus = check->hasFocus();
    check->setEnabled(false);
    const std::string address = toRecordText(ui_->edIpAgent->text());
    const AgentDetect found = detectAgent_ ? detectAgent_(address) : agentAbsent;
    QCheckBox* trap = ui_->ckbxEnhTrap;
    switch (found) {
        case agentFound:
            trap->setEnabled(true);
            break;
        case agentForeign:
            trap->setEnabled(false);
            break;
        case agentAbsent:
            trap->setEnabled(false);
            trap->setChecked(false);
            break;
    }
    if (trap->isEnabled()) {
        boxes_.messageBox(kMsgAgentDetected, kTitleInformation, MbIcon::Information);
    } else {
        boxes_.messageBox(kMsgAgentNotDetected, kTitleError, MbIcon::Error);
    }
    check->setEnabled(true);
    if (hadFocus) check->setFocus();
}

void TcfgF::bbtnTstCfgClick() {
    try {
        TtstF testMode(this, cfgSnmp_, cfgUps_, boxes_);
        runDialog_(testMode);
    } catch (const std::exception&) {
        boxes_.messageBox(kMsgAllocating, kTitleError, MbIcon::Error);
    }
}

void TcfgF::bbtnPswChgClick() {
    try {
        TchgPswF change(this, cfgUps_.pswUnset != 0, kPasswordEditLength, boxes_);
        change.cBxPswEnh()->setVisible(true);
        change.cBxPswEnh()->setChecked(cfgUps_.pswEnabled != 0);
        change.setCurrent(storedPassword(cfgUps_));
        if (runDialog_(change) == QDialog::Accepted) {
            cfgUps_.pswUnset = 0;
            cfgUps_.pswEnabled = change.cBxPswEnh()->isChecked() ? 1 : 0;
            storePassword(cfgUps_, change.current());
        }
    } catch (const std::exception&) {
        boxes_.messageBox(kMsgAllocating, kTitleError, MbIcon::Error);
    }
}

void TcfgF::btnAceptCfgClick() {
    // Pressed by its accelerator, the button takes no focus, so the address field is never left
    // and its exit check has not run.
    if (ui_->edIpAgent->hasFocus() && !checkIpAgent()) return;
    for (int i = 0; i < 4; ++i) {
        if (comButtons_[i]->isChecked()) cfgUps_.comPort = i;
    }
    if (ui_->rbtnComOtro->isChecked() && ui_->cbComOtro->currentIndex() >= 0) {
        cfgUps_.comPort = ui_->cbComOtro->currentData().toInt();
    }
    cfgUps_.tmpFail = ui_->trkBarTmpFail->value();
    cfgUps_.tmpBat = ui_->trkBarTmpBat->value();
    cfgUps_.tmpLowB = ui_->trkBarTmpLowB->value();
    cfgUps_.enhShutdwn = ui_->ckBoxEnhShutdwn->isChecked() ? 1 : 0;
    cfgSnmp_.enhSnmp = ui_->ckbxEnhSNMP->isChecked() ? 1 : 0;
    cfgSnmp_.enhTrap = ui_->ckbxEnhTrap->isChecked() ? 1 : 0;
    setFieldText(cfgSnmp_.ipAgent, toRecordText(ui_->edIpAgent->text()), kIpAgentLength);
    if (networkPage_) networkPage_->write();
    done(QDialog::Accepted);
}

void TcfgF::keyPressEvent(QKeyEvent* event) {
    if (!pressFocusedButtonOnEnter(*this, event)) QDialog::keyPressEvent(event);
}

}  // namespace ups
