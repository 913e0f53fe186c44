#pragma once
// Message boxes shown with QMessageBox, owned by the window that is active when they open.
#include <QWidget>

#include "base/messageBox.h"

namespace ups {

class QtMessageBoxes : public MessageBoxes {
public:
    explicit QtMessageBoxes(QWidget* defaultOwner = nullptr) : defaultOwner_(defaultOwner) {}
    void setDefaultOwner(QWidget* owner) { defaultOwner_ = owner; }
    MbResult messageBox(std::string_view text, std::string_view title, MbIcon icon,
                        MbButtons buttons) override;

private:
    QWidget* defaultOwner_;
};

}  // namespace ups
