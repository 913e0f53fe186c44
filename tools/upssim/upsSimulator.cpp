#include "upsSimulator.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <sstream>

namespace ups::sim {

namespace {

constexpr char kReadCommunity[] = "ambito";
constexpr int kServeWaitMs = 50;
constexpr std::int32_t kErrNoSuchName = 2;
constexpr std::int32_t kErrBadValue = 3;
constexpr int kGenericColdStart = 0;
constexpr int kGenericEnterpriseSpecific = 6;

std::vector<std::uint32_t> arcsOf(const std::string& oid) {
    std::vector<std::uint32_t> arcs;
    std::size_t start = 0;
    while (start <= oid.size()) {
        const std::size_t dot = std::min(oid.find('.', start), oid.size());
        std::uint32_t arc = 0;
        std::from_chars(oid.data() + start, oid.data() + dot, arc);
        arcs.push_back(arc);
        start = dot + 1;
    }
    return arcs;
}

std::string trimmed(const std::string& text) {
    const auto first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos) return {};
    const auto last = text.find_last_not_of(" \t\r\n");
    return text.substr(first, last - first + 1);
}

std::string lowered(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

bool parseInt(const std::string& text, int& value) {
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size() && !text.empty();
}

// Control characters would garble the one-line log.
std::string printable(const std::string& text) {
    std::string out;
    for (const unsigned char c : text) {
        if (c < 0x20 || c == 0x7f) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02x", c);
            out += hex;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

const char* pduName(int type) {
    switch (type) {
        case kPduGetRequest:
            return "GET";
        case kPduGetNextRequest:
            return "GETNEXT";
        case kPduSetRequest:
            return "SET";
        case kPduGetResponse:
            return "RESPONSE";
        case kPduTrap:
            return "TRAP";
        default:
            return "PDU";
    }
}

}  // namespace

struct UpsSimulator::Object {
    std::string oid;
    std::vector<std::uint32_t> arcs;
    int type;
    std::string value;
};

UpsSimulator::UpsSimulator(SimulatorOptions options, std::ostream& log)
    : options_(std::move(options)), log_(log) {}

UpsSimulator::~UpsSimulator() {
    stop();
}

bool UpsSimulator::start() {
    agentSocket_.Bind(options_.agentAddress, options_.agentPort);
    if (agentSocket_.LastError() || !agentSocket_.IsBound()) {
        say("cannot listen on " + options_.agentAddress + ":" + options_.agentPort + " (error " +
            std::to_string(agentSocket_.LastError()) +
            "); port 161 needs root or cap_net_bind_service, or choose another with --port");
        return false;
    }
    agentPort_ = agentSocket_.GetLocalSinPort();
    // A real agent's traps come from its own address, and the monitor accepts no others.
    trapSocket_.Bind(options_.agentAddress, "0");
    trapSocket_.Connect(options_.trapHost, options_.trapPort);
    started_ = Clock::now();
    say("agent listening on " + options_.agentAddress + ":" + std::to_string(agentPort_) +
        ", traps to " + options_.trapHost + ":" + options_.trapPort + ", write community \"" +
        options_.writeCommunity + "\"");
    server_ = std::thread([this] { serve(); });
    return true;
}

void UpsSimulator::stop() {
    stopping_ = true;
    if (server_.joinable()) server_.join();
}

void UpsSimulator::serve() {
    while (!stopping_) {
        const std::string datagram = agentSocket_.RecvPacket(kServeWaitMs);
        advanceBatteryTest();
        if (agentSocket_.LastError()) continue;
        const std::string from =
            agentSocket_.GetRemoteSinIP() + ":" + std::to_string(agentSocket_.GetRemoteSinPort());
        const std::string reply = answer(datagram, from);
        if (!reply.empty()) agentSocket_.SendString(reply);
    }
}

std::string UpsSimulator::enterpriseOid() const {
    return "1.3.6.1.4.1." + std::to_string(options_.enterprise);
}

std::vector<UpsSimulator::Object> UpsSimulator::objects() const {
    const std::string ent = enterpriseOid();
    std::vector<Object> table{
        {"1.3.6.1.2.1.1.1.0", {}, kAsnOctetString, "Korvan UPS simulator (SNMP v1)"},
        {"1.3.6.1.2.1.1.2.0", {}, kAsnObjectId, ent},
        {"1.3.6.1.2.1.1.3.0", {}, kAsnTimeTicks, std::to_string(uptimeTicks())},
        {"1.3.6.1.2.1.1.5.0", {}, kAsnOctetString, options_.upsName},
        {ent + ".1.1.1.1.0", {}, kAsnInteger, state_.batteryLow ? "2" : "1"},
        {ent + ".1.1.1.2.0", {}, kAsnInteger, state_.lineOk ? "1" : "2"},
        {ent + ".1.1.2.1.0", {}, kAsnInteger, "0"},
        {ent + ".1.1.2.4.0", {}, kAsnOctetString, options_.upsName},
        {ent + ".1.1.2.5.0", {}, kAsnInteger, std::to_string(state_.adminMinutes)},
        {ent + ".1.1.3.2.0", {}, kAsnInteger, "1"},
        {ent + ".1.1.3.3.0", {}, kAsnOctetString, options_.upsSerial},
        {ent + ".1.1.3.4.0", {}, kAsnOctetString, options_.upsModel},
    };
    for (Object& o : table) o.arcs = arcsOf(o.oid);
    std::sort(table.begin(), table.end(),
              [](const Object& a, const Object& b) { return a.arcs < b.arcs; });
    return table;
}

std::string UpsSimulator::answer(const std::string& datagram, const std::string& from) {
    TSNMPRec request;
    if (!request.DecodeBuf(datagram)) {
        say("ignored " + std::to_string(datagram.size()) + " octets from " + from +
            ": not an SNMP message");
        ++requestsIgnored_;
        return {};
    }
    const std::string what = std::string(pduName(request.PDUType)) + " from " + from +
                             " community \"" + printable(request.Community) + "\"";
    if (request.Version != 0) {
        say("ignored " + what + ": SNMP version " + std::to_string(request.Version + 1) +
            ", this agent speaks v1 only");
        ++requestsIgnored_;
        return {};
    }
    const bool readable =
        request.Community == kReadCommunity || request.Community == options_.writeCommunity;
    const bool writable = request.Community == options_.writeCommunity;
    std::lock_guard lock(mutex_);
    if (state_.silent || !readable) {
        say("no answer to " + what +
            (state_.silent ? " (agent silenced)" : " (unknown community)"));
        ++requestsIgnored_;
        return {};
    }
    TSNMPRec reply;
    reply.Version = 0;
    reply.Community = request.Community;
    reply.PDUType = kPduGetResponse;
    reply.ID = request.ID;
    switch (request.PDUType) {
        case kPduGetRequest:
            answerGet(request, reply, false);
            break;
        case kPduGetNextRequest:
            answerGet(request, reply, true);
            break;
        case kPduSetRequest:
            answerSet(request, reply, writable);
            break;
        default:
            say("ignored " + what + ": not a request");
            ++requestsIgnored_;
            return {};
    }
    std::string line = what;
    for (int i = 0; i < request.MIBCount(); ++i) line += " " + request.MIBByIndex(i)->OID;
    line += " ->";
    if (reply.ErrorStatus) {
        line += " error " + std::to_string(reply.ErrorStatus) + " at " +
                std::to_string(reply.ErrorIndex);
    } else {
        for (int i = 0; i < reply.MIBCount(); ++i) {
            const TSNMPMib* m = reply.MIBByIndex(i);
            line += (request.PDUType == kPduGetNextRequest ? " " + m->OID + " = " : " ") +
                    printable(m->Value);
        }
    }
    say(line);
    ++requestsAnswered_;
    return reply.EncodeBuf();
}

void UpsSimulator::answerGet(const TSNMPRec& request, TSNMPRec& reply, bool next) const {
    const std::vector<Object> table = objects();
    for (int i = 0; i < request.MIBCount(); ++i) {
        const std::string& oid = request.MIBByIndex(i)->OID;
        const std::vector<std::uint32_t> arcs = arcsOf(oid);
        auto found = next ? std::find_if(table.begin(), table.end(),
                                         [&](const Object& o) { return o.arcs > arcs; })
                          : std::find_if(table.begin(), table.end(),
                                         [&](const Object& o) { return o.oid == oid; });
        if (found == table.end()) {
            // v1: one missing object fails the whole request, the bindings go back as they came.
            reply.Clear();
            reply.Community = request.Community;
            reply.PDUType = kPduGetResponse;
            reply.ID = request.ID;
            reply.ErrorStatus = kErrNoSuchName;
            reply.ErrorIndex = i + 1;
            for (int j = 0; j < request.MIBCount(); ++j) {
                const TSNMPMib* m = request.MIBByIndex(j);
                reply.MIBAdd(m->OID, m->Value, m->ValueType);
            }
            return;
        }
        reply.MIBAdd(found->oid, found->value, found->type);
    }
}

void UpsSimulator::answerSet(const TSNMPRec& request, TSNMPRec& reply, bool mayWrite) {
    const std::string command = enterpriseOid() + ".1.1.2.1.0";
    for (int i = 0; i < request.MIBCount(); ++i) {
        const TSNMPMib* m = request.MIBByIndex(i);
        reply.MIBAdd(m->OID, m->Value, m->ValueType);
    }
    for (int i = 0; i < request.MIBCount(); ++i) {
        const TSNMPMib* m = request.MIBByIndex(i);
        if (!mayWrite || m->OID != command) {
            reply.ErrorStatus = kErrNoSuchName;
            reply.ErrorIndex = i + 1;
            return;
        }
        if (m->ValueType != kAsnInteger || m->Value != "1") {
            reply.ErrorStatus = kErrBadValue;
            reply.ErrorIndex = i + 1;
            return;
        }
    }
    if (request.MIBCount() > 0) obeyCommand();
}

// The one command of this UPS: a battery test when all is well, the alarm's silence otherwise.
void UpsSimulator::obeyCommand() {
    if (!state_.lineOk || state_.batteryLow) {
        if (state_.testRunning) {
            say("command: a battery test is already running");
        } else if (state_.alarmOn) {
            state_.alarmOn = false;
            say("command: alarm silenced");
        } else {
            say("command: the alarm is already silent");
        }
        return;
    }
    state_.testRunning = true;
    state_.lineOk = false;
    testStarted_ = Clock::now();
    say("command: battery test started, the line is dropped for " +
        std::to_string(options_.testSeconds) + " s; the battery will " +
        (options_.testFails ? "fail" : "hold"));
}

void UpsSimulator::advanceBatteryTest() {
    std::lock_guard lock(mutex_);
    if (!state_.testRunning) return;
    const auto elapsed = Clock::now() - testStarted_;
    if (options_.testFails && !state_.batteryLow &&
        elapsed >= std::chrono::seconds(options_.testFailAfterSeconds)) {
        state_.batteryLow = true;
        say("battery test: the battery reports low");
    }
    if (elapsed >= std::chrono::seconds(options_.testSeconds)) {
        const bool failed = state_.batteryLow;
        state_.testRunning = false;
        state_.lineOk = true;
        state_.batteryLow = false;
        say(std::string("battery test ended: ") + (failed ? "battery failed" : "battery held") +
            ", line restored");
    }
}

// ---- traps ----

std::string UpsSimulator::trapAgent() const {
    if (!options_.trapAgentAddress.empty()) return options_.trapAgentAddress;
    return options_.agentAddress == "0.0.0.0" ? "127.0.0.1" : options_.agentAddress;
}

std::int32_t UpsSimulator::uptimeTicks() const {
    return static_cast<std::int32_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - started_).count() /
        10);
}

void UpsSimulator::sendTrap(TSNMPRec& trap, const std::string& what) {
    trap.Version = 0;
    trap.Community = options_.trapCommunity;
    trap.PDUType = kPduTrap;
    trap.OldTrapEnterprise = enterpriseOid();
    trap.OldTrapHost = trapAgent();
    trap.OldTrapTimeTicks = uptimeTicks();
    trapSocket_.SendString(trap.EncodeBuf());
    ++trapsSent_;
    if (muteTrapLog_) return;
    say("TRAP " + what + " -> " + options_.trapHost + ":" + options_.trapPort +
        (trapSocket_.LastError()
             ? " (send failed, error " + std::to_string(trapSocket_.LastError()) + ")"
             : ""));
}

void UpsSimulator::sendStatusTrap() {
    TSNMPRec trap;
    trap.OldTrapGen = kGenericEnterpriseSpecific;
    trap.OldTrapSpec = 1;
    const std::string ent = enterpriseOid();
    const std::string battery = state_.batteryLow ? "2" : "1";
    const std::string line = state_.lineOk ? "1" : "2";
    trap.MIBAdd(ent + ".1.1.1.1.0", battery, kAsnInteger);
    trap.MIBAdd(ent + ".1.1.1.2.0", line, kAsnInteger);
    sendTrap(trap, "status battery=" + battery + " line=" + line);
}

void UpsSimulator::sendAdminTrap(std::int32_t minutes, bool cancelled) {
    TSNMPRec trap;
    trap.OldTrapGen = kGenericEnterpriseSpecific;
    trap.OldTrapSpec = cancelled ? 3 : 2;
    trap.MIBAdd(enterpriseOid() + ".1.1.2.5.0", std::to_string(minutes), kAsnInteger);
    sendTrap(trap, cancelled ? "switch-off cancelled"
                             : "switch-off in " + std::to_string(minutes) + " min");
}

void UpsSimulator::sendColdStart() {
    TSNMPRec trap;
    trap.OldTrapGen = kGenericColdStart;
    trap.OldTrapSpec = 0;
    sendTrap(trap, "coldStart");
}

void UpsSimulator::setLine(bool ok) {
    state_.testRunning = false;
    state_.lineOk = ok;
    state_.alarmOn = !state_.lineOk || state_.batteryLow;
    sendStatusTrap();
}

void UpsSimulator::setBattery(bool low) {
    state_.testRunning = false;
    state_.batteryLow = low;
    state_.alarmOn = !state_.lineOk || state_.batteryLow;
    sendStatusTrap();
}

// ---- commands ----

const char* UpsSimulator::commandHelp() {
    return "Commands (one per line; blank lines and lines starting with # are ignored):\n"
           "  mains off | mains on      the line fails or returns; sends a status trap\n"
           "  battery low | battery ok  the battery runs low or recovers; sends a status trap\n"
           "  admin MINUTES             the administrator orders a switch-off in MINUTES\n"
           "  admin cancel              the administrator cancels the switch-off\n"
           "  coldstart                 the agent restarts: a coldStart trap\n"
           "  trap                      sends a status trap with the present state\n"
           "  burst N                   sends N status traps as fast as possible\n"
           "  silent on | silent off    the agent stops or resumes answering requests\n"
           "  test pass | test fail     how the next battery tests end\n"
           "  test start                starts a battery test as the monitor's SET would\n"
           "  name|serial|model TEXT    changes an identity text\n"
           "  status                    prints the state\n"
           "  sleep SECONDS             waits (for scenario files; fractions allowed)\n"
           "  help                      prints this list\n"
           "  quit                      ends the simulator\n";
}

SimulatorState UpsSimulator::state() const {
    std::lock_guard lock(mutex_);
    return state_;
}

CommandOutcome UpsSimulator::execute(const std::string& input) {
    const std::string line = trimmed(input);
    if (line.empty() || line[0] == '#') return CommandOutcome::Done;
    const std::size_t space = line.find_first_of(" \t");
    const std::string verb = lowered(line.substr(0, space));
    const std::string rest = space == std::string::npos ? "" : trimmed(line.substr(space));
    const std::string arg = lowered(rest);

    if (verb == "quit" || verb == "exit") return CommandOutcome::Quit;
    if (verb == "help") {
        say(commandHelp());
        return CommandOutcome::Done;
    }
    if (verb == "sleep") {
        double seconds = 0;
        std::istringstream in(rest);
        const bool read = static_cast<bool>(in >> seconds) && (in >> std::ws).eof();
        if (!read || !(seconds >= 0 && seconds <= 86400)) return CommandOutcome::BadArgument;
        std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
        return CommandOutcome::Done;
    }
    if (verb == "name" || verb == "serial" || verb == "model") {
        std::lock_guard lock(mutex_);
        std::string& text = verb == "name"     ? options_.upsName
                            : verb == "serial" ? options_.upsSerial
                                               : options_.upsModel;
        text = rest;
        say(verb + " is now \"" + printable(rest) + "\"");
        return CommandOutcome::Done;
    }

    std::lock_guard lock(mutex_);
    if (verb == "mains" && (arg == "off" || arg == "on")) {
        say(arg == "off" ? "mains failed" : "mains returned");
        setLine(arg == "on");
    } else if (verb == "battery" && (arg == "low" || arg == "ok")) {
        say(arg == "low" ? "battery low" : "battery normal");
        setBattery(arg == "low");
    } else if (verb == "admin" && arg == "cancel") {
        state_.adminMinutes = -1;
        sendAdminTrap(-1, true);
    } else if (verb == "admin") {
        int minutes = 0;
        if (!parseInt(arg, minutes) || minutes < 0) return CommandOutcome::BadArgument;
        state_.adminMinutes = minutes;
        sendAdminTrap(minutes, false);
    } else if (verb == "coldstart") {
        sendColdStart();
    } else if (verb == "trap") {
        sendStatusTrap();
    } else if (verb == "burst") {
        int count = 0;
        if (!parseInt(arg, count) || count < 1 || count > 1000000) {
            return CommandOutcome::BadArgument;
        }
        muteTrapLog_ = true;
        for (int i = 0; i < count; ++i) sendStatusTrap();
        muteTrapLog_ = false;
        say("TRAP burst of " + std::to_string(count) + " status traps -> " + options_.trapHost +
            ":" + options_.trapPort);
    } else if (verb == "silent" && (arg == "on" || arg == "off")) {
        state_.silent = arg == "on";
        say(state_.silent ? "agent silenced" : "agent answering");
    } else if (verb == "test" && (arg == "pass" || arg == "fail")) {
        options_.testFails = arg == "fail";
        say(std::string("battery tests will ") + (options_.testFails ? "fail" : "pass"));
    } else if (verb == "test" && arg == "start") {
        obeyCommand();
    } else if (verb == "status") {
        say(std::string("line ") + (state_.lineOk ? "ok" : "failed") + ", battery " +
            (state_.batteryLow ? "low" : "normal") + ", alarm " + (state_.alarmOn ? "on" : "off") +
            ", test " + (state_.testRunning ? "running" : "idle") + ", admin minutes " +
            std::to_string(state_.adminMinutes) + ", traps sent " +
            std::to_string(trapsSent_.load()) + ", requests answered " +
            std::to_string(requestsAnswered_.load()));
    } else if (verb == "mains" || verb == "battery" || verb == "silent" || verb == "test" ||
               verb == "burst") {
        return CommandOutcome::BadArgument;
    } else {
        return CommandOutcome::Unknown;
    }
    return CommandOutcome::Done;
}

void UpsSimulator::say(const std::string& line) {
    const double seconds = std::chrono::duration<double>(Clock::now() - started_).count();
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "%9.3f ", seconds);
    std::lock_guard lock(logMutex_);
    log_ << stamp << line << '\n' << std::flush;
}

}  // namespace ups::sim
