#include "app/upsEnsayo.h"

#include <QCloseEvent>

#include "app/upsPsw.h"
#include "ui_upsEnsayo.h"

namespace ups {

namespace {
const QString kTitle = QStringLiteral("Ensayo de corte");
}

TensayoF::TensayoF(QWidget* owner, std::function<void()> onCancel)
    : QWidget(owner, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                         Qt::WindowCloseButtonHint),
      ui_(new Ui::TensayoF),
      onCancel_(std::move(onCancel)) {
    ui_->setupUi(this);
    setObjectName("ensayoF");
    setFixedSize(420, 330);
    connect(ui_->btnCancelar, &QPushButton::clicked, this, &TensayoF::btnCancelarClick);
    centreOnScreen(*this);
}

TensayoF::~TensayoF() {
    delete ui_;
}

QListWidget* TensayoF::lstPasos() const {
    return ui_->lstPasos;
}
QListWidget* TensayoF::lstAplic() const {
    return ui_->lstAplic;
}
QPushButton* TensayoF::btnCancelar() const {
    return ui_->btnCancelar;
}

void TensayoF::begin() {
    running_ = true;
    setWindowTitle(kTitle);
    ui_->lstPasos->clear();
    ui_->lstAplic->clear();
    ui_->btnCancelar->setText(QStringLiteral("&Cancelar ensayo"));
}

void TensayoF::addStep(const QString& text) {
    ui_->lstPasos->addItem(text);
    ui_->lstPasos->scrollToBottom();
}

void TensayoF::setApplications(const QStringList& titles) {
    ui_->lstAplic->clear();
    if (titles.isEmpty()) {
        ui_->lstAplic->addItem(QStringLiteral("(ninguna)"));
    } else {
        ui_->lstAplic->addItems(titles);
    }
}

void TensayoF::finished(const QString& how) {
    running_ = false;
    setWindowTitle(kTitle + QStringLiteral(" - ") + how);
    addStep(QStringLiteral("Ensayo ") + how + QStringLiteral("."));
    ui_->btnCancelar->setText(QStringLiteral("&Cerrar"));
}

void TensayoF::btnCancelarClick() {
    if (running_) {
        onCancel_();
    } else {
        hide();
    }
}

void TensayoF::closeEvent(QCloseEvent* event) {
    // A rehearsal nobody can see any more is not left running.
    if (running_) onCancel_();
    event->accept();
}

}  // namespace ups
