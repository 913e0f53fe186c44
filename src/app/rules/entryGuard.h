#pragma once
// The last stop of an exception at process entry. Without it an exception that escapes start-up
// (or the event loop) ends the process by std::terminate, with no word to the user, who only sees
// that the monitor never appeared.
#include <exception>
#include <string_view>

#include "base/messageBox.h"

namespace ups {

inline constexpr int kExitFailure = 1;
// An exception that is not a std::exception carries no text of its own.
inline constexpr std::string_view kMsgUnknownException = "Error inesperado.";

// The box must not let a second exception out: the process is ending with its failure status
// either way.
inline void showEntryFailure(MessageBoxes& boxes, std::string_view text) noexcept {
    try {
        boxes.messageBox(text, kTitleError, MbIcon::Error);
    } catch (...) {
    }
}

// Runs the program and gives its exit status; an exception that escapes it is shown in the
// error box and gives kExitFailure. `boxes` must outlive whatever the program built, so that the
// box still opens once the program's windows have been unwound.
template <typename Program>
int runGuarded(MessageBoxes& boxes, Program&& program) {
    try {
        return program();
    } catch (const std::exception& e) {
        const char* what = e.what();
        showEntryFailure(boxes, what != nullptr && *what != '\0' ? what : kMsgUnknownException);
    } catch (...) {
        showEntryFailure(boxes, kMsgUnknownException);
    }
    return kExitFailure;
}

}  // namespace ups
