#pragma once
// The configuration password: the prompt TsysPswF shown before the configuration dialog opens,
// and the change dialog TchgPswF reached from it.
#include <QDialog>
#include <QString>
#include <functional>

#include "app/qt/dialogSupport.h"
#include "base/messageBox.h"
#include "config/cfgRecords.h"

class QCheckBox;
class QLineEdit;

namespace Ui {
class TsysPswF;
class TchgPswF;
}  // namespace Ui

namespace ups {

inline constexpr int kPasswordEditLength = 8;

class TsysPswF : public QDialog {
    Q_OBJECT
public:
    explicit TsysPswF(QWidget* owner);
    ~TsysPswF() override;

    QLineEdit* edPassw() const;

private:
    Ui::TsysPswF* ui_;
};

// True when the configuration dialog may open: the typed password equals the stored one (exact
// and case-sensitive). One attempt; a wrong entry is reported and refused.
bool askConfigPassword(CfgUps& cfgUps, QWidget* owner, MessageBoxes& boxes,
                       const DialogRunner& run = execDialog);

class TchgPswF : public QDialog {
    Q_OBJECT
public:
    // With `noOldRequired` (no password was ever set) the old-password field is disabled.
    TchgPswF(QWidget* owner, bool noOldRequired, int maxLength, MessageBoxes& boxes);
    ~TchgPswF() override;

    // The password in force on entry; after an accepted change, the new one.
    void setCurrent(std::string password) { current_ = std::move(password); }
    const std::string& current() const { return current_; }

    QCheckBox* cBxPswEnh() const;

    // Handlers.
    void edOldPswExit();
    void edVerPswExit();
    void bBtPswAcepClick();

    bool oldCorrect() const { return oldCorrect_; }
    bool newVerified() const { return newVerified_; }

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    Ui::TchgPswF* ui_;
    MessageBoxes& boxes_;
    std::string oldText_;
    std::string newText_;
    bool oldCorrect_ = false;
    bool newVerified_ = false;
    bool noOldRequired_;
    std::string current_;
};

}  // namespace ups
