#pragma once
// Small tools the dialog tests share: finding a control by its name and typing into it.
#include <QApplication>
#include <QKeyEvent>
#include <QString>
#include <QWidget>

namespace ups::test {

// The control with this object name; a missing one ends the test run at once.
template <typename T>
T* child(const QWidget& parent, const char* name) {
    T* found = parent.findChild<T*>(QString::fromLatin1(name));
    if (!found) qFatal("no control %s", name);
    return found;
}

// Types text key by key, any character (QTest's own key clicks take ASCII only).
inline void typeText(QWidget* widget, const QString& text) {
    for (QChar c : text) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(c));
        QApplication::sendEvent(widget, &press);
        QKeyEvent release(QEvent::KeyRelease, Qt::Key_unknown, Qt::NoModifier, QString(c));
        QApplication::sendEvent(widget, &release);
    }
}

}  // namespace ups::test
