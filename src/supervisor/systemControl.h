#pragma once
// The two things the shutdown sequence asks of the operating system. Both are fire-and-forget:
// the monitor neither waits for the other programs nor for the power-off to happen. What was
// asked and what the system answered come back only to be written in the history.
#include <string>
#include <string_view>
#include <vector>

namespace ups {

// The answer of a power-off request that the system accepted.
inline constexpr std::string_view kPowerOffAccepted = "aceptado";

class SystemControl {
public:
    virtual ~SystemControl() = default;
    // Asks the main window of every other user application to close, without waiting. Returns
    // the titles (UTF-8) of the windows asked, in the order asked.
    virtual std::vector<std::string> closeOtherApplications() = 0;
    // The titles closeOtherApplications would ask now, asking none of them.
    virtual std::vector<std::string> listOtherApplications() = 0;
    // Obtains the shutdown right where the system needs one and requests a forced power-off.
    // Returns the system's answer in a few Spanish words: kPowerOffAccepted, or why it was
    // refused.
    virtual std::string requestPowerOff() = 0;
};

}  // namespace ups
