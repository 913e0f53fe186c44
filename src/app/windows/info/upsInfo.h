#pragma once
// The information pop-up: a small stay-on-top window that beeps when it comes up and hides itself
// after the delay each notice asks for.
#include <QPixmap>
#include <QTimer>
#include <QWidget>
#include <optional>

#include "platform/sound.h"

namespace Ui {
class TinfoFrm;
}

namespace ups {

class TinfoFrm : public QWidget {
    Q_OBJECT
public:
    explicit TinfoFrm(WarningSound& sound, QWidget* parent = nullptr);
    ~TinfoFrm() override;

    // The one way notices are shown: caption and picture only when given.
    void showNotice(const std::optional<QString>& caption, const std::optional<QPixmap>& picture,
                    const QString& text, int hideDelayMs);
    // Marks the notices that follow as those of an outage rehearsal, or as real ones again.
    void markRehearsal(bool rehearsal);
    bool rehearsalMarked() const;
    // Paints the pop-up now, without running the event loop.
    void repaintNow();

    QTimer& Timer1() { return timer1_; }
    QString text() const;
    const QPixmap* picture() const;

protected:
    void showEvent(QShowEvent* event) override;

private slots:
    void Timer1Timer();

private:
    void FormShow();
    void centreOnDesktop();

    Ui::TinfoFrm* ui_;
    WarningSound& sound_;
    QTimer timer1_;
    QPixmap picture_;
};

}  // namespace ups
