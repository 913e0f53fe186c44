#include "app/windows/rehearsal/rehearsalWindow.h"

#include <QCloseEvent>

#include "app/qt/dialogSupport.h"
#include "ui_rehearsalWindow.h"

namespace ups {

namespace {
const QString kTitle = QStringLiteral("Ensayo de corte");
}

RehearsalWindow::RehearsalWindow(QWidget* owner, std::function<void()> onCancel)
    : QWidget(owner, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                         Qt::WindowCloseButtonHint),
      ui_(new Ui::RehearsalWindow),
      onCancel_(std::move(onCancel)) {
    ui_->setupUi(this);
    setObjectName("ensayoF");
    setFixedSize(420, 330);
    connect(ui_->btnCancelar, &QPushButton::clicked, this, &RehearsalWindow::btnCancelarClick);
    centreOnScreen(*this);
}

RehearsalWindow::~RehearsalWindow() {
    delete ui_;
}

QListWidget* RehearsalWindow::lstPasos() const {
    return ui_->lstPasos;
}
QListWidget* RehearsalWindow::lstAplic() const {
    return ui_->lstAplic;
}
QPushButton* RehearsalWindow::btnCancelar() const {
    return ui_->btnCancelar;
}

void RehearsalWindow::begin() {
    running_ = true;
    setWindowTitle(kTitle);
    ui_->lstPasos->clear();
    ui_->lstAplic->clear();
    ui_->btnCancelar->setText(QStringLiteral("&Cancelar ensayo"));
}

void RehearsalWindow::addStep(const QString& text) {
    ui_->lstPasos->addItem(text);
    ui_->lstPasos->scrollToBottom();
}

void RehearsalWindow::setApplications(const QStringList& titles) {
    ui_->lstAplic->clear();
    if (titles.isEmpty()) {
        ui_->lstAplic->addItem(QStringLiteral("(ninguna)"));
    } else {
        ui_->lstAplic->addItems(titles);
    }
}

void RehearsalWindow::finished(const QString& how) {
    running_ = false;
    setWindowTitle(kTitle + QStringLiteral(" - ") + how);
    addStep(QStringLiteral("Ensayo ") + how + QStringLiteral("."));
    ui_->btnCancelar->setText(QStringLiteral("&Cerrar"));
}

void RehearsalWindow::btnCancelarClick() {
    if (running_) {
        onCancel_();
    } else {
        hide();
    }
}

void RehearsalWindow::closeEvent(QCloseEvent* event) {
    // A rehearsal nobody can see any more is not left running.
    if (running_) onCancel_();
    event->accept();
}

}  // namespace ups
