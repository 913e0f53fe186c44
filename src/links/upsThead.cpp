#include "links/upsThead.h"

#include <chrono>
#include <optional>

#include "base/ipv4Text.h"
#include "links/agentLink.h"

namespace ups {

namespace {

constexpr std::int32_t kGenericEnterpriseSpecific = 6;
constexpr std::int32_t kSpecificStatus = 1;
constexpr std::int32_t kSpecificSwitchOff = 2;
constexpr std::int32_t kSpecificSwitchOffCancelled = 3;

bool isStatusTrapName(const std::string& name, const char* oid) {
    return name == oid;
}

bool applyStatusTrap(const TrapContents& trap, TrapFields& fields) {
    if (trap.names.size() != 2 || trap.values.size() != 2) return false;
    const auto& names = trap.names;
    const auto& values = trap.values;
    std::optional<std::int32_t> battery;
    std::optional<std::int32_t> line;
    if (isStatusTrapName(names[0], kOidBatteryState)) {
        battery = trapValue(values[0]);
    } else if (isStatusTrapName(names[1], kOidBatteryState)) {
        battery = trapValue(values[1]);
    }
    if (isStatusTrapName(names[1], kOidLineState)) {
        line = trapValue(values[1]);
    } else if (isStatusTrapName(names[0], kOidLineState)) {
        line = trapValue(values[0]);
    }
    // The tick reads the states after it sees the notice flag clear.
    fields.storeStatus(line, battery);
    return true;
}

bool isAdministratorBinding(const TrapContents& trap) {
    return trap.names.size() == 1 && trap.values.size() == 1 && trap.names[0] == kOidAdminMinutes;
}

bool applySwitchOffTrap(const TrapContents& trap, TrapFields& fields) {
    if (!isAdministratorBinding(trap)) return false;
    const std::optional<std::int32_t> minutes = switchOffMinutes(trap.values[0]);
    if (!minutes) return false;
    fields.publishAdminNotice(*minutes);
    return true;
}

bool applyCancelTrap(const TrapContents& trap, TrapFields& fields) {
    if (!isAdministratorBinding(trap)) return false;
    fields.publishAdminNotice(kNoSwitchOff);
    return true;
}

}  // namespace

// ---- trap rules ----

std::int32_t trapValue(const std::string& text) {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    std::int64_t value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > 0x80000000LL) return 0;  // out of range reads as no number
    }
    if (negative) value = -value;
    if (value > INT32_MAX) return 0;
    return static_cast<std::int32_t>(value);
}

std::optional<std::int32_t> switchOffMinutes(const std::string& text) {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    if (i == text.size()) return std::nullopt;
    std::int64_t value = 0;
    for (; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9') return std::nullopt;
        value = value * 10 + (text[i] - '0');
        if (value > kMaxSwitchOffMinutes) return std::nullopt;
    }
    if (negative && value != 0) return std::nullopt;
    return static_cast<std::int32_t>(value);
}

bool sameIpv4Address(const std::string& a, const std::string& b) {
    const std::optional<std::uint32_t> first = inetAddr(a);
    const std::optional<std::uint32_t> second = inetAddr(b);
    return first && second && *first == *second;
}

bool applyTrap(const TrapContents& trap, const std::string& ipAgent, TrapFields& fields) {
    if (trap.enterprise != kOidTrapEnterprise) return false;
    // The address field is whatever the datagram's writer put there; only the datagram's source
    // shows that it came from the agent (a forged switch-off of 0 minutes would power off).
    if (!sameIpv4Address(trap.sender, ipAgent)) return false;
    if (!sameIpv4Address(trap.agent, ipAgent)) return false;
    if (trap.generic != kGenericEnterpriseSpecific) {
        if (!trap.names.empty()) return false;
        fields.refreshRequested.store(true, std::memory_order_release);
        return true;
    }
    switch (trap.specific) {
        case kSpecificStatus:
            return applyStatusTrap(trap, fields);
        case kSpecificSwitchOff:
            return applySwitchOffTrap(trap, fields);
        case kSpecificSwitchOffCancelled:
            return applyCancelTrap(trap, fields);
        default:
            return false;
    }
}

// ---- the listener thread ----

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

bool TrapCatch::started() const {
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
    }
    trapsReceived_.fetch_add(1, std::memory_order_release);
}

}  // namespace ups
