#pragma once
// What the supervisor needs from the main window. The window implements it; tests record every
// call. Texts are UTF-8.
//
// Nothing the tick calls here may run an event loop: a box or dialog opened inside a tick would
// run further ticks, close requests and timers on top of the tick still on the stack. What needs
// a box goes through runLater and opens it after the tick has returned.
#include <optional>
#include <string>
#include <string_view>

#include "base/messageBox.h"
#include "base/taskRunner.h"

namespace ups {

class SupervisorView : public TaskRunner {
public:
    virtual ~SupervisorView() = default;

    // Brings the main window up from the tray.
    virtual void restoreWindow() = 0;
    // The 1000 ms tick timer.
    virtual void startTimer() = 0;
    virtual void stopTimer() = 0;
    // Redraws the state panel, the tray icon and the test button when displayDirty is set.
    virtual void refreshDisplay() = 0;
    // The information pop-up. Caption and picture (an index of the image list) change only when
    // given; showing it beeps and brings it to the front.
    virtual void showNotice(std::optional<std::string> caption, std::optional<int> picture,
                            std::string text, int hideDelayMs) = 0;
    // Sets the pop-up's caption without showing it, for the notices that leave it as it is.
    virtual void setNoticeCaption(std::string caption) = 0;
    // Paints the pop-up now, without running any event loop.
    virtual void repaintNotice() = 0;
    virtual void setTestButtonEnabled(bool enabled) = 0;
    // Closes the main window; closingBySystem is already set, so no question is asked and the
    // program ends.
    virtual void closeMainWindow() = 0;
    // The default system beep.
    virtual void defaultBeep() = 0;
    // Modal boxes owned by the main window. Never opened inside a tick: see runLater.
    virtual MessageBoxes& messageBoxes() = 0;
    // True while a modal box or dialog waits for the user.
    virtual bool dialogOpen() const = 0;
};

}  // namespace ups
