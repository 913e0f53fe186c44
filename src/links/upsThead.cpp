#include "links/upsThead.h"

#include <chrono>

#include "base/tickPath.h"

namespace ups {

TrapCatch::TrapCatch(const CfgSnmp& agentConfig, TrapFields& fields, TrapListenerOptions options)
    : agentConfig_(agentConfig), fields_(fields), options_(std::move(options)) {}

TrapCatch::~TrapCatch() {
    Terminate();
}

void TrapCatch::Resume(bool lineOk, bool batteryLow) {
    std::lock_guard lock(mutex_);
    if (terminated_) return;
    if (!started_) {
        fields_.seedState(lineOk, batteryLow);
        fields_.refreshRequested.store(false, std::memory_order_relaxed);
        fields_.clearAdminNotice();
        fields_.statusNoticeDone.store(true, std::memory_order_relaxed);
        started_ = true;
        paused_ = false;
        thread_ = std::thread([this] { run(); });
        return;
    }
    paused_ = false;
    wake_.notify_all();
}

void TrapCatch::Pause() {
    std::lock_guard lock(mutex_);
    if (started_) paused_ = true;
}

UPS_TICK_PATH bool TrapCatch::started() const {
    std::lock_guard lock(mutex_);
    return started_;
}

bool TrapCatch::paused() const {
    std::lock_guard lock(mutex_);
    return !started_ || paused_;
}

void TrapCatch::Terminate() {
    {
        std::lock_guard lock(mutex_);
        terminated_ = true;
        wake_.notify_all();
    }
    if (!thread_.joinable() || thread_.get_id() == std::this_thread::get_id()) return;
    knockUntilEnded();
    thread_.join();
}

// A receive that has just begun (the port bound a moment after the request was made) or a lost
// datagram would leave one knock unanswered, so the knock is repeated until the thread has ended.
void TrapCatch::knockUntilEnded() {
    std::unique_lock lock(mutex_);
    while (!ended_) {
        lock.unlock();
        wakeReceiver();
        lock.lock();
        wake_.wait_for(lock, std::chrono::milliseconds(kKnockIntervalMs),
                       [this] { return ended_; });
    }
}

// An empty datagram ends the receive wait at once.
void TrapCatch::wakeReceiver() {
    if (!listening()) return;
    const std::string target = options_.address == "0.0.0.0" ? "127.0.0.1" : options_.address;
    TUDPBlockSocket socket;
    socket.Connect(target, std::to_string(boundPort()));
    socket.SendString("");
}

bool TrapCatch::waitUntilRunning(std::unique_lock<std::mutex>& lock) {
    wake_.wait(lock, [this] { return terminated_ || !paused_; });
    return !terminated_;
}

bool TrapCatch::sleepUnlessTerminated(int ms) {
    std::unique_lock lock(mutex_);
    return !wake_.wait_for(lock, std::chrono::milliseconds(ms), [this] { return terminated_; });
}

bool TrapCatch::bindTrapPort(TSNMPSend& snmp) {
    snmp.Sock.Bind(options_.address, options_.port);
    if (snmp.Sock.LastError() || !snmp.Sock.IsBound()) {
        snmp.Sock.CloseSocket();
        bindFailures_.fetch_add(1, std::memory_order_release);
        return false;
    }
    snmp.Sock.SetSizeRecvBuffer(options_.receiveBufferBytes);  // a refusal only costs headroom
    boundPort_.store(snmp.Sock.GetLocalSinPort(), std::memory_order_release);
    listening_.store(true, std::memory_order_release);
    return true;
}

// One socket stays bound for the listener's whole life, so traps that arrive while a trap is
// being handled, or while the listener is paused, wait in the system's queue instead of being
// lost.
void TrapCatch::run() {
    listen();
    std::lock_guard lock(mutex_);
    ended_ = true;
    wake_.notify_all();
}

void TrapCatch::listen() {
    TSNMPSend snmp;
    snmp.IPInterface = options_.address;
    snmp.TargetPort = options_.port;
    snmp.Timeout = options_.receiveWaitMs;
    while (true) {
        {
            std::unique_lock lock(mutex_);
            if (!waitUntilRunning(lock)) return;
        }
        if (!snmp.Sock.IsBound() && !bindTrapPort(snmp)) {
            if (!sleepUnlessTerminated(options_.bindRetryMs)) return;
            continue;
        }
        if (!snmp.RecvTrap()) {
            const int error = snmp.Sock.LastError();
            // A socket that fails at once would otherwise spin; a time-out or a datagram that did
            // not decode goes straight back to waiting.
            if (error != 0 && error != sys::kErrTimedOut &&
                !sleepUnlessTerminated(options_.bindRetryMs)) {
                return;
            }
            continue;
        }
        std::unique_lock lock(mutex_);
        // The agent's address may be rewritten while paused: the trap waits for the resume.
        if (!waitUntilRunning(lock)) return;
        handleTrap(snmp);
    }
}

void TrapCatch::handleTrap(const TSNMPSend& snmp) {
    TrapContents trap;
    takeTrapContents(snmp, trap);
    if (applyTrap(trap, fieldText(agentConfig_.ipAgent), fields_)) {
        trapsActedOn_.fetch_add(1, std::memory_order_release);
        if (onStored_) onStored_();
    }
    trapsReceived_.fetch_add(1, std::memory_order_release);
}

}  // namespace ups
