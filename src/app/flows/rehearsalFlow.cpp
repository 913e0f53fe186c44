#include "app/flows/rehearsalFlow.h"

#include <QMenu>

#include "app/qt/menuEntries.h"
#include "app/windows/main/upsMain.h"
#include "app/windows/password/upsPsw.h"
#include "app/windows/rehearsal/rehearsalWindow.h"

namespace ups {

namespace {

constexpr std::string_view kMsgPowerEvent =
    "Hay un evento de energía en curso.\r\nEl ensayo no puede comenzar.";
constexpr std::string_view kMsgNoSupervision =
    "No hay enlace con la UPS.\r\nEl ensayo necesita la supervisión en marcha.";

const QString kEntryStart = QStringLiteral("&Ensayo de corte");
const QString kEntryCancel = QStringLiteral("&Cancelar ensayo");

QString fromUtf8(const std::string& text) {
    return QString::fromUtf8(text.data(), static_cast<int>(text.size()));
}

}  // namespace

RehearsalFlow::RehearsalFlow(CfgUps& cfgUps, const SupervisorState& state, MessageBoxes& boxes,
                             TmainF& mainF)
    : cfgUps_(cfgUps), state_(state), boxes_(boxes), mainF_(mainF) {}

RehearsalFlow::~RehearsalFlow() = default;

void RehearsalFlow::addMenuEntry(QMenu* menu, const char* name, const char* before) {
    QAction* entry =
        insertMenuEntry(menu, name, running() ? kEntryCancel : kEntryStart,
                        QStringLiteral("Ensaya un corte sin cerrar ni apagar nada"), before);
    QObject::connect(entry, &QAction::triggered, [this] { openRehearsal(); });
    entries_.push_back(entry);
}

void RehearsalFlow::openRehearsal() {
    if (running()) {
        cancel();
        return;
    }
    // The same guard as the configuration's: a rehearsal shows what the monitor would do to the
    // machine and what runs on it.
    if (cfgUps_.pswEnabled && !askConfigPassword(cfgUps_, &mainF_, boxes_, runDialog_)) return;
    try {
        start();
    } catch (const std::exception&) {
        boxes_.messageBox(kMsgAllocating, kTitleError, MbIcon::Error);
    }
}

void RehearsalFlow::start() {
    if (rehearsal_ == nullptr) return;
    if (!window_) window_ = std::make_unique<RehearsalWindow>(&mainF_, [this] { cancel(); });
    window_->begin();
    // Read now: the password prompt's loop let ticks through, and a power event may have come.
    switch (rehearsal_->start(state_)) {
        case RehearsalStart::started:
        case RehearsalStart::alreadyRunning:
            showRunning(true);
            window_->show();
            window_->raise();
            return;
        case RehearsalStart::powerEvent:
            window_->hide();
            boxes_.messageBox(kMsgPowerEvent, kTitleCaution, MbIcon::Warning);
            return;
        case RehearsalStart::noSupervision:
            window_->hide();
            boxes_.messageBox(kMsgNoSupervision, kTitleCaution, MbIcon::Warning);
            return;
    }
}

void RehearsalFlow::cancel() {
    if (rehearsal_ != nullptr) rehearsal_->cancel();
}

void RehearsalFlow::showRunning(bool running) {
    for (const QPointer<QAction>& entry : entries_) {
        if (entry) entry->setText(running ? kEntryCancel : kEntryStart);
    }
}

void RehearsalFlow::showRehearsalNotice(std::string caption, std::optional<int> picture,
                                        std::string text, int hideDelayMs) {
    mainF_.showRehearsalNotice(caption, picture, text, hideDelayMs);
}

void RehearsalFlow::repaintNotice() {
    mainF_.repaintNotice();
}

void RehearsalFlow::rehearsalStep(std::string text) {
    if (window_) window_->addStep(fromUtf8(text));
}

void RehearsalFlow::rehearsalApplications(const std::vector<std::string>& titles) {
    QStringList list;
    for (const std::string& title : titles) list << fromUtf8(title);
    if (window_) window_->setApplications(list);
}

void RehearsalFlow::rehearsalEnded(RehearsalEnd how) {
    showRunning(false);
    if (window_) window_->finished(fromUtf8(std::string(rehearsalEndText(how))));
}

}  // namespace ups
