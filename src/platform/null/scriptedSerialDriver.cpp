#include "platform/null/scriptedSerialDriver.h"

namespace ups {

namespace {

class ScriptedLineWaiter : public SerialLineWaiter {
public:
    ScriptedLineWaiter(std::shared_ptr<ScriptedSerialDriver::Shared> shared, int port)
        : shared_(std::move(shared)), port_(static_cast<std::size_t>(port)) {
        std::lock_guard lock(shared_->mutex);
        seen_ = shared_->changes[port_];
    }

    LineWaitEnd waitForChange() override {
        std::unique_lock lock(shared_->mutex);
        shared_->changed.wait(lock,
                              [this] { return cancelled_ || shared_->changes[port_] != seen_; });
        seen_ = shared_->changes[port_];
        const ScriptedSerialDriver::Lines& lines = shared_->ports[port_];
        if (cancelled_ || !lines.open) return LineWaitEnd::Cancelled;
        return lines.unplugged ? LineWaitEnd::Failed : LineWaitEnd::Changed;
    }

    // Like a system's waiter, it holds the port of its own: reads go on after a close.
    ModemInputs readInputs() override {
        std::lock_guard lock(shared_->mutex);
        const ScriptedSerialDriver::Lines& lines = shared_->ports[port_];
        if (lines.unplugged) return {kSioSystemError, kSioSystemError};
        return {lines.cts ? 1 : 0, lines.dcd ? 1 : 0};
    }

    void cancel() override {
        std::lock_guard lock(shared_->mutex);
        cancelled_ = true;
        shared_->changed.notify_all();
    }

private:
    std::shared_ptr<ScriptedSerialDriver::Shared> shared_;
    std::size_t port_;
    std::uint64_t seen_ = 0;
    bool cancelled_ = false;
};

}  // namespace

ScriptedSerialDriver::ScriptedSerialDriver()
    : shared_(std::make_shared<Shared>()), ports(shared_->ports) {}

ScriptedSerialDriver::Lines* ScriptedSerialDriver::find(int port) {
    if (port < 0 || port >= static_cast<int>(ports.size())) return nullptr;
    return &ports[static_cast<std::size_t>(port)];
}

template <typename Change>
void ScriptedSerialDriver::change(int port, Change apply) {
    std::lock_guard lock(shared_->mutex);
    Lines* lines = find(port);
    if (lines == nullptr) return;
    apply(*lines);
    ++shared_->changes[static_cast<std::size_t>(port)];
    shared_->changed.notify_all();
}

int ScriptedSerialDriver::open(int port, int, int) {
    if (find(port) == nullptr) return kSioBadPort;
    change(port, [](Lines& lines) {
        lines.open = true;
        lines.unplugged = false;
    });
    return 0;
}

void ScriptedSerialDriver::close(int port) {
    change(port, [](Lines& lines) { lines.open = false; });
}

void ScriptedSerialDriver::setInputs(int port, bool cts, bool dcd) {
    change(port, [cts, dcd](Lines& lines) {
        lines.cts = cts;
        lines.dcd = dcd;
    });
}

void ScriptedSerialDriver::unplug(int port) {
    change(port, [](Lines& lines) { lines.unplugged = true; });
}

void ScriptedSerialDriver::setRts(int port, bool asserted) {
    std::lock_guard lock(shared_->mutex);
    if (Lines* lines = find(port)) lines->rts = asserted;
}

void ScriptedSerialDriver::setBreak(int port, bool asserted) {
    std::lock_guard lock(shared_->mutex);
    if (Lines* lines = find(port)) lines->breakOn = asserted;
}

int ScriptedSerialDriver::read(int port, bool Lines::*line) {
    std::lock_guard lock(shared_->mutex);
    const Lines* lines = find(port);
    if (lines == nullptr || !lines->open) return kSioBadPort;
    return lines->unplugged ? kSioSystemError : ((*lines).*line ? 1 : 0);
}

int ScriptedSerialDriver::readRts(int port) {
    return read(port, &Lines::rts);
}

int ScriptedSerialDriver::readCts(int port) {
    return read(port, &Lines::cts);
}

int ScriptedSerialDriver::readDcd(int port) {
    return read(port, &Lines::dcd);
}

std::shared_ptr<SerialLineWaiter> ScriptedSerialDriver::lineWaiter(int port) {
    {
        std::lock_guard lock(shared_->mutex);
        const Lines* lines = find(port);
        if (lines == nullptr || !lines->open) return nullptr;
    }
    return std::make_shared<ScriptedLineWaiter>(shared_, port);
}

}  // namespace ups
