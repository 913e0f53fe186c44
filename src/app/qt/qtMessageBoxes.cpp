#include "app/qt/qtMessageBoxes.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>

namespace ups {

namespace {

QString fromUtf8(std::string_view s) {
    return QString::fromUtf8(s.data(), static_cast<int>(s.size()));
}

QMessageBox::Icon qtIcon(MbIcon icon) {
    switch (icon) {
        case MbIcon::Error:
            return QMessageBox::Critical;
        case MbIcon::Warning:
            return QMessageBox::Warning;
        case MbIcon::Information:
            return QMessageBox::Information;
        case MbIcon::Question:
            return QMessageBox::Question;
        case MbIcon::None:
            break;
    }
    return QMessageBox::NoIcon;
}

QMessageBox::StandardButtons qtButtons(MbButtons buttons) {
    switch (buttons) {
        case MbButtons::YesNo:
            return QMessageBox::Yes | QMessageBox::No;
        case MbButtons::RetryCancel:
            return QMessageBox::Retry | QMessageBox::Cancel;
        case MbButtons::Ok:
            break;
    }
    return QMessageBox::Ok;
}

MbResult fromQt(int button) {
    switch (button) {
        case QMessageBox::Yes:
            return MbResult::Yes;
        case QMessageBox::No:
            return MbResult::No;
        case QMessageBox::Retry:
            return MbResult::Retry;
        case QMessageBox::Cancel:
            return MbResult::Cancel;
        default:
            return MbResult::Ok;
    }
}

// The boxes speak Spanish whatever the desktop's language is.
void labelButtons(QMessageBox& box) {
    const std::pair<QMessageBox::StandardButton, const char*> labels[] = {
        {QMessageBox::Ok, "Aceptar"},      {QMessageBox::Yes, "&Sí"},
        {QMessageBox::No, "&No"},          {QMessageBox::Retry, "&Reintentar"},
        {QMessageBox::Cancel, "Cancelar"},
    };
    for (const auto& [which, text] : labels) {
        if (QAbstractButton* b = box.button(which)) b->setText(QString::fromUtf8(text));
    }
}

}  // namespace

MbResult QtMessageBoxes::messageBox(std::string_view text, std::string_view title, MbIcon icon,
                                    MbButtons buttons) {
    QWidget* owner = QApplication::activeModalWidget();
    if (!owner) owner = defaultOwner_;
    // Texts use CR LF line breaks; a label only needs the LF.
    QString body = fromUtf8(text);
    body.replace("\r\n", "\n");
    QMessageBox box(qtIcon(icon), fromUtf8(title), body, qtButtons(buttons), owner);
    // A hidden owner (the window minimised to the tray) must not hide its box.
    if (owner && !owner->isVisible()) box.setParent(nullptr, box.windowFlags());
    box.setWindowFlag(Qt::WindowStaysOnTopHint, true);
    labelButtons(box);
    return fromQt(box.exec());
}

}  // namespace ups
