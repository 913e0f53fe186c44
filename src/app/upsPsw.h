#pragma once
// The configuration password: the prompt TsysPswF shown before the configuration dialog opens,
// and the change dialog TchgPswF reached from it. Also the few pieces the configuration dialogs
// share: how a sub-dialog is run, the exit handlers of edits, and the records' text encoding.
#include <QDialog>
#include <QString>
#include <functional>
#include <string>

#include "base/messageBox.h"
#include "config/cfgRecords.h"

class QCheckBox;
class QLineEdit;

namespace Ui {
class TsysPswF;
class TchgPswF;
}  // namespace Ui

namespace ups {

// Shows a dialog modally and returns its result. The program runs QDialog::exec; tests drive
// the dialog themselves and return the result it reached.
using DialogRunner = std::function<int(QDialog&)>;
int execDialog(QDialog& dialog);

// Calls `onExit` whenever `edit` loses the focus to another control of its window (not when the
// whole window loses it to a message box or another application), the moment at which an edit
// with a validation rule checks its text.
void onFocusExit(QWidget* edit, std::function<void()> onExit);

// The records keep single-byte Windows-1252 text.
std::string toRecordText(const QString& text);
QString fromRecordText(const std::string& bytes);
// Lets only characters the records can hold be typed, so that two different passwords can
// never become the same bytes.
void acceptOnlyRecordText(QLineEdit* edit);

// A dialog placed in the middle of the screen, as all the configuration dialogs are.
void centreOnScreen(QWidget& window);

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

// Enter presses a focused push button and nothing else: in the configuration dialogs a default
// button would accept without the focus leaving the edit, so its exit check would never run.
bool pressFocusedButtonOnEnter(QDialog& dialog, QKeyEvent* event);

}  // namespace ups
