#include "support/fakeSerialUps.h"

namespace ups::test {

int FakeSerialUps::openCount() const {
    int n = 0;
    for (bool o : open_) n += o ? 1 : 0;
    return n;
}

std::vector<std::string> FakeSerialUps::callNames() const {
    std::vector<std::string> names;
    for (const auto& c : calls) names.push_back(c.what);
    return names;
}

bool FakeSerialUps::testDropped(const std::optional<double>& after) const {
    return break_ && after && nowMs() - breakSince_ >= *after;
}

int FakeSerialUps::open(int port, int rxQueue, int txQueue) {
    record("open " + std::to_string(port) + " " + std::to_string(rxQueue) + " " +
           std::to_string(txQueue));
    switch (kinds_[port]) {
        case PortKind::SystemError:
            lastError_ = errorCodes_[port];
            return kSioSystemError;
        case PortKind::OtherError:
            return -5;
        case PortKind::Free:
            break;
    }
    open_[port] = true;
    return 0;
}

void FakeSerialUps::close(int port) {
    record("close " + std::to_string(port));
    open_[port] = false;
    std::lock_guard lock(watch_->mutex);
    watch_->closes += 1;
    watch_->changed.notify_all();
}

namespace {

class FakeLineWaiter : public SerialLineWaiter {
public:
    FakeLineWaiter(FakeSerialUps& ups, std::shared_ptr<FakeSerialUps::Watch> watch)
        : ups_(ups), watch_(std::move(watch)), seen_(watch_->changes), closes_(watch_->closes) {}
    LineWaitEnd waitForChange() override {
        std::unique_lock lock(watch_->mutex);
        watch_->changed.wait(lock, [this] {
            return cancelled_ || watch_->closes != closes_ || watch_->changes != seen_;
        });
        if (cancelled_ || watch_->closes != closes_) return LineWaitEnd::Cancelled;
        seen_ = watch_->changes;
        return LineWaitEnd::Changed;
    }
    ModemInputs readInputs() override {
        return {ups_.mainsPresent ? 1 : 0, ups_.batteryOk ? 1 : 0};
    }
    void cancel() override {
        std::lock_guard lock(watch_->mutex);
        cancelled_ = true;
        watch_->changed.notify_all();
    }

private:
    FakeSerialUps& ups_;
    std::shared_ptr<FakeSerialUps::Watch> watch_;
    int seen_;
    int closes_;
    bool cancelled_ = false;
};

}  // namespace

std::shared_ptr<SerialLineWaiter> FakeSerialUps::lineWaiter(int port) {
    if (!open_[port]) return nullptr;
    std::lock_guard lock(watch_->mutex);
    return std::make_shared<FakeLineWaiter>(*this, watch_);
}

void FakeSerialUps::changeLines(bool mains, bool battery) {
    std::lock_guard lock(watch_->mutex);
    mainsPresent = mains;
    batteryOk = battery;
    watch_->changes += 1;
    watch_->changed.notify_all();
}

void FakeSerialUps::setBaud(int port, int baud) {
    record("baud " + std::to_string(port) + " " + std::to_string(baud));
}

void FakeSerialUps::setNoFlowControl(int port) {
    record("flow " + std::to_string(port) + " N");
}

void FakeSerialUps::setRts(int port, bool asserted) {
    record("rts " + std::to_string(port) + (asserted ? " on" : " off"));
    if (open_[port]) rts_ = asserted;
}

void FakeSerialUps::setBreak(int port, bool asserted) {
    record("break " + std::to_string(port) + (asserted ? " on" : " off"));
    if (!open_[port]) return;
    if (asserted && !break_) {
        breakSince_ = nowMs();
        breakOnTimes.push_back(breakSince_);
    }
    if (!asserted && break_) breakOffTimes.push_back(nowMs());
    break_ = asserted;
}

int FakeSerialUps::readRts(int port) {
    record("read rts " + std::to_string(port));
    return open_[port] && rts_ ? 1 : 0;
}

int FakeSerialUps::readCts(int port) {
    record("read cts " + std::to_string(port));
    if (!open_[port]) return -103;
    return mainsPresent && !testDropped(testDropsMainsAfterMs) ? 1 : 0;
}

ModemLines FakeSerialUps::readLines(int port) {
    record("read lines " + std::to_string(port));
    if (!open_[port]) return {-103, -103, -103};
    return {rts_ ? 1 : 0, mainsPresent && !testDropped(testDropsMainsAfterMs) ? 1 : 0,
            batteryOk && !testDropped(testDropsBatteryAfterMs) ? 1 : 0};
}

int FakeSerialUps::readDcd(int port) {
    record("read dcd " + std::to_string(port));
    if (!open_[port]) return -103;
    return batteryOk && !testDropped(testDropsBatteryAfterMs) ? 1 : 0;
}

}  // namespace ups::test
