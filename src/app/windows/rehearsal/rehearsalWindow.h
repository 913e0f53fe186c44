#pragma once
// The outage rehearsal's window: what it simulates step by step, the applications that would be
// asked to close, how it ended, and the button that cancels it. It stays open beside the
// monitor's other windows; closing it while the rehearsal runs cancels the rehearsal.
#include <QStringList>
#include <QWidget>
#include <functional>

class QListWidget;
class QPushButton;

namespace Ui {
class RehearsalWindow;
}

namespace ups {

class RehearsalWindow : public QWidget {
    Q_OBJECT
public:
    // `onCancel` is asked to end the running rehearsal.
    RehearsalWindow(QWidget* owner, std::function<void()> onCancel);
    ~RehearsalWindow() override;

    // A new rehearsal: empty lists, the cancel button.
    void begin();
    void addStep(const QString& text);
    void setApplications(const QStringList& titles);
    // The title says how it ended and the button closes the window.
    void finished(const QString& how);
    bool running() const { return running_; }

    // Handlers.
    void btnCancelarClick();

    QListWidget* lstPasos() const;
    QListWidget* lstAplic() const;
    QPushButton* btnCancelar() const;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    Ui::RehearsalWindow* ui_;
    std::function<void()> onCancel_;
    bool running_ = false;
};

}  // namespace ups
