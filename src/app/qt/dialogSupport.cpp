#include "app/qt/dialogSupport.h"

#include <QApplication>
#include <QEvent>
#include <QFocusEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QValidator>

#include "base/windowsText.h"

namespace ups {

namespace {

// Eats the mouse press whose delivery is under way (the application hands it to the widget
// right after the focus change), and nothing after it.
class PendingClickSwallower : public QObject {
public:
    PendingClickSwallower() : QObject(qApp) {
        qApp->installEventFilter(this);
        QTimer::singleShot(0, this, [this] { finish(); });
    }

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() != QEvent::MouseButtonPress) return false;
        finish();
        return true;
    }

private:
    void finish() {
        qApp->removeEventFilter(this);
        deleteLater();
    }
};

class FocusExitFilter : public QObject {
public:
    FocusExitFilter(QWidget* edit, std::function<void()> onExit)
        : QObject(edit), onExit_(std::move(onExit)) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::FocusOut) return false;
        auto* widget = static_cast<QWidget*>(watched);
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        const bool windowLeft =
            reason == Qt::ActiveWindowFocusReason || reason == Qt::PopupFocusReason;
        if (windowLeft || !widget->window()->isVisible()) return false;
        onExit_();
        // A refused text takes the focus back. When a click took it away, the click itself
        // must not happen as well: pressing "Aceptar" or "Verificar" with a refused address
        // would otherwise act on it.
        if (reason == Qt::MouseFocusReason && widget->hasFocus()) new PendingClickSwallower;
        return false;
    }

private:
    std::function<void()> onExit_;
};

class RecordTextValidator : public QValidator {
public:
    using QValidator::QValidator;
    State validate(QString& input, int&) const override {
        for (char32_t c : input.toUcs4()) {
            if (!isWindows1252(c)) return Invalid;
        }
        return Acceptable;
    }
};

}  // namespace

int execDialog(QDialog& dialog) {
    return dialog.exec();
}

void onFocusExit(QWidget* edit, std::function<void()> onExit) {
    edit->installEventFilter(new FocusExitFilter(edit, std::move(onExit)));
}

std::string toRecordText(const QString& text) {
    const QList<uint> ucs4 = text.toUcs4();
    std::u32string chars(ucs4.begin(), ucs4.end());
    return toWindows1252(chars);
}

QString fromRecordText(const std::string& bytes) {
    const std::u32string chars = fromWindows1252(bytes);
    return QString::fromUcs4(chars.data(), static_cast<qsizetype>(chars.size()));
}

void acceptOnlyRecordText(QLineEdit* edit) {
    edit->setValidator(new RecordTextValidator(edit));
}

void centreOnScreen(QWidget& window) {
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        window.move(screen->availableGeometry().center() - window.rect().center());
    }
}

bool pressFocusedButtonOnEnter(QDialog& dialog, QKeyEvent* event) {
    if (event->key() != Qt::Key_Return && event->key() != Qt::Key_Enter) return false;
    // Check boxes and radio buttons are settings: Enter must never flip them.
    if (auto* button = qobject_cast<QPushButton*>(dialog.focusWidget())) button->click();
    return true;
}

}  // namespace ups
