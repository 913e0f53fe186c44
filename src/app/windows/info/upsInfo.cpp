#include "app/windows/info/upsInfo.h"

#include <QGuiApplication>
#include <QScreen>
#include <QShowEvent>

#include "ui_upsInfo.h"

namespace ups {

TinfoFrm::TinfoFrm(WarningSound& sound, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowStaysOnTopHint),
      ui_(new Ui::TinfoFrm),
      sound_(sound) {
    ui_->setupUi(this);
    setAttribute(Qt::WA_ShowWithoutActivating);
    setFixedSize(367, 115);
    setObjectName("infoFrm");
    ui_->imgInfo->setScaledContents(false);
    timer1_.setObjectName("Timer1");
    timer1_.setInterval(3000);
    connect(&timer1_, &QTimer::timeout, this, &TinfoFrm::Timer1Timer);
    setWindowTitle(QStringLiteral("Información"));
    centreOnDesktop();
}

TinfoFrm::~TinfoFrm() {
    delete ui_;
}

void TinfoFrm::centreOnDesktop() {
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect area = screen->availableGeometry();
        move(area.center() - QPoint(width() / 2, height() / 2));
    }
}

void TinfoFrm::showNotice(const std::optional<QString>& caption,
                          const std::optional<QPixmap>& picture, const QString& text,
                          int hideDelayMs) {
    if (caption) setWindowTitle(*caption);
    if (picture) {
        picture_ = *picture;
        ui_->imgInfo->setPixmap(picture_);
    }
    ui_->lblinfo->setText(text);
    // A running hide timer restarts only when the delay changes, as a timer does when its
    // interval is set to another value.
    if (timer1_.interval() != hideDelayMs) {
        bool running = timer1_.isActive();
        timer1_.setInterval(hideDelayMs);
        if (running) timer1_.start();
    }
    if (isVisible()) {
        raise();
    } else {
        show();
    }
}

void TinfoFrm::markRehearsal(bool rehearsal) {
    ui_->lblRehearsal->setVisible(rehearsal);
}

bool TinfoFrm::rehearsalMarked() const {
    return !ui_->lblRehearsal->isHidden();
}

void TinfoFrm::repaintNow() {
    // Painted here and now, without running the event loop: a close request or a timer waiting
    // in the queue must not run inside the caller (a tick).
    repaint();
}

QString TinfoFrm::text() const {
    return ui_->lblinfo->text();
}

const QPixmap* TinfoFrm::picture() const {
    return picture_.isNull() ? nullptr : &picture_;
}

void TinfoFrm::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!event->spontaneous()) FormShow();
}

void TinfoFrm::FormShow() {
    // Brought to the front without taking the keyboard from whatever the user is typing into.
    raise();
    timer1_.start();
    sound_.play();
}

void TinfoFrm::Timer1Timer() {
    timer1_.stop();
    hide();
}

}  // namespace ups
