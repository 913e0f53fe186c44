#pragma once
// The test-mode dialog: the battery-test mode, the n of the counting modes, the weekly schedule,
// the question before a test and the SNMP test password. "&Aceptar" writes them into the live
// records at once; saving them is left to the configuration flow.
#include <QDialog>
#include <array>
#include <cstdint>

#include "base/messageBox.h"
#include "config/cfgRecords.h"

class QCheckBox;
class QLineEdit;

namespace Ui {
class TtstF;
}

namespace ups {

inline constexpr int kScheduleDays = 7;

class TtstF : public QDialog {
    Q_OBJECT
public:
    TtstF(QWidget* owner, CfgSnmp& cfgSnmp, CfgUps& cfgUps, MessageBoxes& boxes);
    ~TtstF() override;

    // The mode chosen with the radio buttons, written to CfgUps.testMode on "&Aceptar".
    std::int32_t editTestMode() const { return editTestMode_; }

    // Handlers.
    void rdbtnNeverClick();
    void rdbtnWinStartClick();
    void rdbtnCnStartClick();
    void rdbtnDiasClick();
    void rdbtnScheduleClick();
    void mskEdDomExit();
    void mskEdLunExit();
    void mskEdMarExit();
    void mskEdMieExit();
    void mskEdJueExit();
    void mskEdVieExit();
    void mskEdSabExit();
    void btnAceptTcfgClick();

    // Row k of the schedule, Sunday first.
    QLineEdit* timeEdit(int day) const { return timeEdits_[day]; }
    QCheckBox* dayCheck(int day) const { return dayChecks_[day]; }

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void fillControls();
    void connectHandlers();
    void setCountGroupEnabled(bool enabled);
    void setScheduleGroupEnabled(bool enabled);
    // The exit check of a time edit: false when it refused the text.
    bool checkTimeEdit(QLineEdit* edit);

    Ui::TtstF* ui_;
    CfgSnmp& cfgSnmp_;
    CfgUps& cfgUps_;
    MessageBoxes& boxes_;
    std::int32_t editTestMode_ = 0;
    std::array<QLineEdit*, kScheduleDays> timeEdits_{};
    std::array<QCheckBox*, kScheduleDays> dayChecks_{};
};

}  // namespace ups
