#pragma once
// Work for the GUI thread's event loop. What must not run inside the handler that asks for it (a
// box, the next step of a watch, the power-off request after its notice) is handed over here.
#include <functional>

namespace ups {

class TaskRunner {
public:
    virtual ~TaskRunner() = default;
    // Runs task on the GUI thread from its event loop, delayMs from now at the earliest (0: as
    // soon as the handler running now has returned). Only the GUI thread asks. Tasks still
    // waiting when their owner goes are dropped.
    virtual void runLater(int delayMs, std::function<void()> task) = 0;
};

}  // namespace ups
