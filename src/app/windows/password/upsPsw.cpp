#include "app/windows/password/upsPsw.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <exception>

#include "app/qt/artwork.h"
#include "base/windowsText.h"
#include "config/password.h"
#include "ui_upsChgPsw.h"
#include "ui_upsSysPsw.h"

namespace ups {

namespace {

constexpr std::string_view kMsgWrongPassword = "Clave Incorrecta.";
constexpr std::string_view kMsgWrongOldPassword = "Password Incorrecto";
constexpr std::string_view kMsgPasswordChanged = "Password modificado";
constexpr std::string_view kMsgVerifyFailed = "Error al verificar el password";

constexpr Qt::WindowFlags kDialogFlags = Qt::Dialog | Qt::CustomizeWindowHint |
                                         Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                                         Qt::WindowCloseButtonHint;

}  // namespace

// ---- TsysPswF ---------------------------------------------------------------------------------

TsysPswF::TsysPswF(QWidget* owner) : QDialog(owner, kDialogFlags), ui_(new Ui::TsysPswF) {
    ui_->setupUi(this);
    setFixedSize(319, 184);
    QFont title = ui_->Label1->font();
    title.setPixelSize(16);
    ui_->Label1->setFont(title);
    QFont typed = ui_->edPassw->font();
    typed.setPixelSize(12);
    ui_->edPassw->setFont(typed);
    ui_->Image1->setPixmap(art::logo());
    acceptOnlyRecordText(ui_->edPassw);
    connect(ui_->bBtAcept, &QPushButton::clicked, this, &QDialog::accept);
    connect(ui_->bBtCancel, &QPushButton::clicked, this, &QDialog::reject);
    centreOnScreen(*this);
}

TsysPswF::~TsysPswF() {
    delete ui_;
}

QLineEdit* TsysPswF::edPassw() const {
    return ui_->edPassw;
}

bool askConfigPassword(CfgUps& cfgUps, QWidget* owner, MessageBoxes& boxes,
                       const DialogRunner& run) {
    try {
        TsysPswF prompt(owner);
        prompt.edPassw()->setMaxLength(kPasswordEditLength);
        prompt.edPassw()->setText(QString());
        const std::string expected = storedPassword(cfgUps);
        if (run(prompt) != QDialog::Accepted) return false;
        if (toRecordText(prompt.edPassw()->text()) == expected) return true;
        boxes.messageBox(kMsgWrongPassword, kTitleError, MbIcon::Warning);
        return false;
    } catch (const std::exception&) {
        boxes.messageBox(kMsgAllocating, kTitleError, MbIcon::Error);
        return false;
    }
}

// ---- TchgPswF ---------------------------------------------------------------------------------

TchgPswF::TchgPswF(QWidget* owner, bool noOldRequired, int maxLength, MessageBoxes& boxes)
    : QDialog(owner, kDialogFlags),
      ui_(new Ui::TchgPswF),
      boxes_(boxes),
      noOldRequired_(noOldRequired) {
    ui_->setupUi(this);
    setFixedSize(358, 151);
    for (QLineEdit* edit : {ui_->edOldPsw, ui_->edNewPsw, ui_->edVerPsw}) {
        edit->setMaxLength(maxLength);
        edit->setText(QString());
        acceptOnlyRecordText(edit);
    }
    if (noOldRequired_) {
        ui_->lblOldPsw->setEnabled(false);
        ui_->edOldPsw->setEnabled(false);
    }
    onFocusExit(ui_->edOldPsw, [this] { edOldPswExit(); });
    onFocusExit(ui_->edVerPsw, [this] { edVerPswExit(); });
    connect(ui_->bBtPswAcep, &QPushButton::clicked, this, &TchgPswF::bBtPswAcepClick);
    connect(ui_->bBtPswCancel, &QPushButton::clicked, this, &QDialog::reject);
    centreOnScreen(*this);
}

TchgPswF::~TchgPswF() {
    delete ui_;
}

QCheckBox* TchgPswF::cBxPswEnh() const {
    return ui_->cBxPswEnh;
}

void TchgPswF::edOldPswExit() {
    oldText_ = toRecordText(ui_->edOldPsw->text());
    oldCorrect_ = oldText_ == current_;
}

void TchgPswF::edVerPswExit() {
    const std::string typed = toRecordText(ui_->edNewPsw->text());
    newVerified_ = typed == toRecordText(ui_->edVerPsw->text());
    if (newVerified_) newText_ = typed;
}

void TchgPswF::bBtPswAcepClick() {
    if (!noOldRequired_ && !oldCorrect_) {
        boxes_.messageBox(kMsgWrongOldPassword, kTitleAttention, MbIcon::Warning);
        done(QDialog::Rejected);
    } else if (newVerified_) {
        boxes_.messageBox(kMsgPasswordChanged, kTitleAttention, MbIcon::Information);
        current_ = newText_;
        done(QDialog::Accepted);
    } else {
        boxes_.messageBox(kMsgVerifyFailed, kTitleAttention, MbIcon::Warning);
        ui_->edNewPsw->setFocus();
    }
}

void TchgPswF::keyPressEvent(QKeyEvent* event) {
    if (!pressFocusedButtonOnEnter(*this, event)) QDialog::keyPressEvent(event);
}

}  // namespace ups
