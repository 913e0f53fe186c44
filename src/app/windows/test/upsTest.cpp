#include "app/windows/test/upsTest.h"

#include <QKeyEvent>
#include <QPushButton>

#include "app/qt/dialogSupport.h"
#include "app/rules/scheduleTime.h"
#include "ui_upsTest.h"

namespace ups {

namespace {

constexpr std::string_view kMsgTimeFormat = "En el formato de la hora.";
constexpr std::size_t kSnmpPassLength = 20;

const QString kCountOfStarts = QStringLiteral("Cantidad de Inicios");
const QString kCountOfDays = QStringLiteral("Cantidad de Días");

// The time a masked edit holds, read as "%2d:%2d"; nothing while it is incomplete.
std::optional<TimeOfDay> editedTime(const QLineEdit* edit) {
    auto text = maskedTimeText(edit->displayText().toStdString());
    if (!text) return std::nullopt;
    return scanTimeText(*text);
}

}  // namespace

TtstF::TtstF(QWidget* owner, CfgSnmp& cfgSnmp, CfgUps& cfgUps, MessageBoxes& boxes)
    : QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                         Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      ui_(new Ui::TtstF),
      cfgSnmp_(cfgSnmp),
      cfgUps_(cfgUps),
      boxes_(boxes) {
    ui_->setupUi(this);
    setFixedSize(381, 303);
    timeEdits_ = {ui_->mskEdDom, ui_->mskEdLun, ui_->mskEdMar, ui_->mskEdMie,
                  ui_->mskEdJue, ui_->mskEdVie, ui_->mskEdSab};
    dayChecks_ = {ui_->ckbxEnDom, ui_->ckbxEnLun, ui_->ckbxEnMar, ui_->ckbxEnMie,
                  ui_->ckbxEnJue, ui_->ckbxEnVie, ui_->ckbxEnSab};
    acceptOnlyRecordText(ui_->edSnmpPass);
    connectHandlers();
    fillControls();
    centreOnScreen(*this);
}

TtstF::~TtstF() {
    delete ui_;
}

void TtstF::connectHandlers() {
    // Checking a radio button from code runs its handler too, which is how the controls are
    // filled for the stored mode.
    auto onChecked = [this](QAbstractButton* radio, void (TtstF::*handler)()) {
        connect(radio, &QAbstractButton::toggled, this, [this, handler](bool checked) {
            if (checked) (this->*handler)();
        });
    };
    onChecked(ui_->rdbtnNever, &TtstF::rdbtnNeverClick);
    onChecked(ui_->rdbtnWinStart, &TtstF::rdbtnWinStartClick);
    onChecked(ui_->rdbtnCnStart, &TtstF::rdbtnCnStartClick);
    onChecked(ui_->rdbtnDias, &TtstF::rdbtnDiasClick);
    onChecked(ui_->rdbtnSchedule, &TtstF::rdbtnScheduleClick);

    const std::array<void (TtstF::*)(), kScheduleDays> exits = {
        &TtstF::mskEdDomExit, &TtstF::mskEdLunExit, &TtstF::mskEdMarExit, &TtstF::mskEdMieExit,
        &TtstF::mskEdJueExit, &TtstF::mskEdVieExit, &TtstF::mskEdSabExit};
    for (int day = 0; day < kScheduleDays; ++day) {
        onFocusExit(timeEdits_[day], [this, exit = exits[day]] { (this->*exit)(); });
    }
    connect(ui_->btnAceptTcfg, &QPushButton::clicked, this, &TtstF::btnAceptTcfgClick);
    connect(ui_->btnCancelTcfg, &QPushButton::clicked, this, &QDialog::reject);
}

void TtstF::fillControls() {
    ui_->ckbxAskStart->setChecked(cfgUps_.askStart != 0);
    ui_->cspEdNroDays->setValue(cfgUps_.testInterval);
    editTestMode_ = cfgUps_.testMode;
    switch (cfgUps_.testMode) {
        case tmWinStart:
            ui_->rdbtnWinStart->setChecked(true);
            break;
        case tmCnStart:
            ui_->rdbtnCnStart->setChecked(true);
            break;
        case tmDias:
            ui_->rdbtnDias->setChecked(true);
            break;
        case tmSchedule:
            ui_->rdbtnSchedule->setChecked(true);
            break;
        default:
            ui_->rdbtnNever->setChecked(true);
            break;
    }
    for (int day = 0; day < kScheduleDays; ++day) {
        const TestSchedEntry& entry = cfgUps_.testSched[day];
        dayChecks_[day]->setChecked(entry.enabled != 0);
        timeEdits_[day]->setText(QString::fromStdString(timeText(entry.hour, entry.minute)));
    }
    ui_->edSnmpPass->setText(fromRecordText(fieldText(cfgSnmp_.snmpPass)));
}

void TtstF::setCountGroupEnabled(bool enabled) {
    ui_->pnlCnt->setEnabled(enabled);
    ui_->cspEdNroDays->setEnabled(enabled);
    ui_->lblcant->setEnabled(enabled);
}

void TtstF::setScheduleGroupEnabled(bool enabled) {
    ui_->gbxSch->setEnabled(enabled);
    for (QLabel* label : {ui_->Label1, ui_->Label2, ui_->Label3, ui_->Label4, ui_->Label5,
                          ui_->Label6, ui_->Label7}) {
        label->setEnabled(enabled);
    }
    for (QCheckBox* check : dayChecks_) check->setEnabled(enabled);
}

void TtstF::rdbtnNeverClick() {
    editTestMode_ = tmNever;
    setCountGroupEnabled(false);
    setScheduleGroupEnabled(false);
}

void TtstF::rdbtnWinStartClick() {
    editTestMode_ = tmWinStart;
    setCountGroupEnabled(false);
    setScheduleGroupEnabled(false);
}

void TtstF::rdbtnCnStartClick() {
    editTestMode_ = tmCnStart;
    setCountGroupEnabled(true);
    setScheduleGroupEnabled(false);
    ui_->lblcant->setText(kCountOfStarts);
}

void TtstF::rdbtnDiasClick() {
    editTestMode_ = tmDias;
    setCountGroupEnabled(true);
    setScheduleGroupEnabled(false);
    ui_->lblcant->setText(kCountOfDays);
}

void TtstF::rdbtnScheduleClick() {
    editTestMode_ = tmSchedule;
    setCountGroupEnabled(false);
    setScheduleGroupEnabled(true);
}

bool TtstF::checkTimeEdit(QLineEdit* edit) {
    auto time = editedTime(edit);
    if (time && isTimeOfDay(*time)) return true;
    const MbResult answer =
        boxes_.messageBox(kMsgTimeFormat, kTitleError, MbIcon::Error, MbButtons::RetryCancel);
    if (answer != MbResult::Retry) edit->setText(QStringLiteral("00:00"));
    edit->setFocus();
    return false;
}

void TtstF::mskEdDomExit() {
    checkTimeEdit(ui_->mskEdDom);
}
void TtstF::mskEdLunExit() {
    checkTimeEdit(ui_->mskEdLun);
}
void TtstF::mskEdMarExit() {
    checkTimeEdit(ui_->mskEdMar);
}
void TtstF::mskEdMieExit() {
    checkTimeEdit(ui_->mskEdMie);
}
void TtstF::mskEdJueExit() {
    checkTimeEdit(ui_->mskEdJue);
}
void TtstF::mskEdVieExit() {
    checkTimeEdit(ui_->mskEdVie);
}
void TtstF::mskEdSabExit() {
    checkTimeEdit(ui_->mskEdSab);
}

void TtstF::btnAceptTcfgClick() {
    // Pressed by its accelerator, the button takes no focus, so the time being edited is never
    // left and its exit check has not run. A refusal keeps the dialog open whatever the answer,
    // as it does when the field is left.
    for (QLineEdit* edit : timeEdits_) {
        if (edit->hasFocus() && !checkTimeEdit(edit)) return;
    }
    for (int day = 0; day < kScheduleDays; ++day) {
        cfgUps_.testSched[day].enabled = dayChecks_[day]->isChecked() ? 1 : 0;
    }
    for (int day = 0; day < kScheduleDays; ++day) {
        // The exit check refuses unreadable times; one that never left its edit keeps the
        // stored entry rather than storing garbage.
        if (auto time = editedTime(timeEdits_[day])) {
            cfgUps_.testSched[day].hour = static_cast<std::uint8_t>(time->hour);
            cfgUps_.testSched[day].minute = static_cast<std::uint8_t>(time->minute);
        }
    }
    cfgUps_.askStart = ui_->ckbxAskStart->isChecked() ? 1 : 0;
    cfgUps_.testInterval = ui_->cspEdNroDays->value();
    cfgUps_.testMode = editTestMode_;
    const std::string password = toRecordText(ui_->edSnmpPass->text());
    setFieldText(cfgSnmp_.snmpPass, password, kSnmpPassLength);
    cfgSnmp_.snmpPassSet = password.empty() ? 0 : 1;
    done(QDialog::Accepted);
}

void TtstF::keyPressEvent(QKeyEvent* event) {
    if (!pressFocusedButtonOnEnter(*this, event)) QDialog::keyPressEvent(event);
}

}  // namespace ups
