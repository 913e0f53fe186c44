#pragma once
// The "Ensayo de corte" menu entry's flow: the configuration password, the start of the outage
// rehearsal or why it cannot start, its window, and what the rehearsal shows. While it runs the
// entry reads "Cancelar ensayo" and ends it.
#include <QAction>
#include <QPointer>
#include <QVector>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/qt/dialogSupport.h"
#include "base/messageBox.h"
#include "config/cfgRecords.h"
#include "supervisor/rehearsal.h"

class QMenu;

namespace ups {

class RehearsalWindow;
class TmainF;

class RehearsalFlow : public RehearsalDisplay {
public:
    // The pop-up and the dialogs' owner are the main window's.
    RehearsalFlow(CfgUps& cfgUps, const SupervisorState& state, MessageBoxes& boxes, TmainF& mainF);
    ~RehearsalFlow() override;

    void attach(Rehearsal& rehearsal) { rehearsal_ = &rehearsal; }
    // Puts the entry into `menu`, above its item named `before`.
    void addMenuEntry(QMenu* menu, const char* name, const char* before);
    // How the password prompt is shown; tests drive it through this.
    void setDialogRunner(DialogRunner run) { runDialog_ = std::move(run); }

    // The menu entry: starts a rehearsal, or cancels the one running.
    void openRehearsal();
    void cancel();
    bool running() const { return rehearsal_ != nullptr && rehearsal_->running(); }
    // Made with the first rehearsal.
    RehearsalWindow* window() const { return window_.get(); }

    void showRehearsalNotice(std::string caption, std::optional<int> picture, std::string text,
                             int hideDelayMs) override;
    void repaintNotice() override;
    void rehearsalStep(std::string text) override;
    void rehearsalApplications(const std::vector<std::string>& titles) override;
    void rehearsalEnded(RehearsalEnd how) override;

private:
    void start();
    void showRunning(bool running);

    CfgUps& cfgUps_;
    const SupervisorState& state_;
    MessageBoxes& boxes_;
    TmainF& mainF_;
    DialogRunner runDialog_ = execDialog;
    Rehearsal* rehearsal_ = nullptr;
    std::unique_ptr<RehearsalWindow> window_;
    QVector<QPointer<QAction>> entries_;
};

}  // namespace ups
