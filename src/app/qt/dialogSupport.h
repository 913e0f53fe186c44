#pragma once
// What the configuration dialogs share: how a sub-dialog is run, the exit handlers of edits, the
// records' text encoding, where a dialog sits and what Enter does in it.
#include <QDialog>
#include <QString>
#include <functional>
#include <string>

class QKeyEvent;
class QLineEdit;

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

// Enter presses a focused push button and nothing else: in the configuration dialogs a default
// button would accept without the focus leaving the edit, so its exit check would never run.
bool pressFocusedButtonOnEnter(QDialog& dialog, QKeyEvent* event);

}  // namespace ups
