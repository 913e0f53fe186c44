#include "links/agentLink.h"

#include <charconv>

#include "net/snmpsend.h"

namespace ups {

namespace {

constexpr std::size_t kEnterprisePieceStart = 12;  // right after "1.3.6.1.4.1."
constexpr std::size_t kEnterprisePieceLength = 10;
constexpr char kCommandValue[] = "1";

std::string capped(const std::string& text, std::size_t capacity) {
    return text.size() <= capacity ? text : text.substr(0, capacity);
}

}  // namespace

// ---- transport over the SNMP and ICMP units ----

NetAgentTransport::NetAgentTransport(IcmpEchoTransport& echo)
    : NetAgentTransport(echo, kSnmpAgentPort, kSnmpTimeoutMs, kPingTimeoutMs) {}

NetAgentTransport::NetAgentTransport(IcmpEchoTransport& echo, std::string agentPort, int timeoutMs,
                                     int pingTimeoutMs)
    : echo_(echo),
      agentPort_(std::move(agentPort)),
      timeoutMs_(timeoutMs),
      pingTimeoutMs_(pingTimeoutMs) {}

bool NetAgentTransport::get(const std::string& oid, const std::string& community,
                            const std::string& host, std::string& value) {
    return SNMPGet(oid, community, host, value, agentPort_, timeoutMs_);
}

bool NetAgentTransport::getNext(std::string& oid, const std::string& community,
                                const std::string& host, std::string& value) {
    return SNMPGetNext(oid, community, host, value, agentPort_, timeoutMs_);
}

bool NetAgentTransport::set(const std::string& oid, const std::string& community,
                            const std::string& host, const std::string& value, int valueType) {
    return SNMPSet(oid, community, host, value, valueType, agentPort_, timeoutMs_);
}

int NetAgentTransport::ping(const std::string& host) {
    return PingHost(echo_, host, pingTimeoutMs_);
}

// ---- value rules ----

std::optional<int> strictDecimal(const std::string& text) {
    const char* first = text.data();
    const char* last = first + text.size();
    // from_chars takes a minus sign but not a plus sign; an agent may send either.
    if (first != last && *first == '+' && last - first > 1 && first[1] != '-') ++first;
    int value = 0;
    const auto [end, error] = std::from_chars(first, last, value);
    if (error != std::errc() || end != last || first == last) return std::nullopt;
    return value;
}

std::optional<long long> enterpriseOfAnswer(const std::string& oid) {
    if (oid.size() <= kEnterprisePieceStart) return std::nullopt;
    std::string piece = oid.substr(kEnterprisePieceStart, kEnterprisePieceLength);
    piece = piece.substr(0, piece.find('.'));
    if (piece.empty()) return std::nullopt;
    long long number = 0;
    for (const char c : piece) {
        if (c < '0' || c > '9') return std::nullopt;
        number = number * 10 + (c - '0');  // ten digits at most: cannot overflow
    }
    return number;
}

// ---- the agent link ----

AgentLink::AgentLink(const CfgSnmp& cfgSnmp, SnmpAgentTransport& transport)
    : cfgSnmp_(cfgSnmp), transport_(transport) {}

std::string AgentLink::agentIp() const {
    return fieldText(cfgSnmp_.ipAgent);
}

std::string AgentLink::writeCommunity() const {
    return fieldText(cfgSnmp_.snmpPass);
}

AgentDetect AgentLink::detectAgent(const std::string& ip) {
    if (transport_.ping(ip) < 0) return agentAbsent;
    std::string oid = kOidEnterprises;
    std::string value;
    if (!transport_.getNext(oid, kReadCommunity, ip, value)) return agentAbsent;
    const std::optional<long long> enterprise = enterpriseOfAnswer(oid);
    return enterprise && *enterprise == cfgSnmp_.enterprise ? agentFound : agentForeign;
}

// An error answer carries an empty value, and a value that is not a number says nothing about
// the UPS: both count as no answer, so the state keeps its last known value.
std::optional<int> AgentLink::readStatusValue(const char* oid) {
    std::string value;
    if (!transport_.get(oid, kReadCommunity, agentIp(), value)) return std::nullopt;
    return strictDecimal(value);
}

AgentStatusRead AgentLink::readAgentStatus() {
    AgentStatusRead read;
    const std::optional<int> line = readStatusValue(kOidLineState);
    if (!line) return read;
    read.lineAnswered = true;
    read.lineOk = *line == 1;
    const std::optional<int> battery = readStatusValue(kOidBatteryState);
    if (!battery) return read;
    read.batteryAnswered = true;
    read.batteryLow = *battery == 2;
    return read;
}

bool AgentLink::readText(const char* oid, std::size_t capacity, std::string& text) {
    std::string value;
    if (!transport_.get(oid, kReadCommunity, agentIp(), value)) return false;
    text = capped(value, capacity);
    return true;
}

bool AgentLink::readAgentIdentity() {
    const bool serialAnswered = readText(kOidUpsSerial, kUpsSerialCapacity, upsSerial_);
    readText(kOidUpsModel, kUpsModelCapacity, upsModel_);
    readText(kOidUpsName, kUpsNameCapacity, upsName_);
    agentCommandsOk_ = false;
    if (serialAnswered && cfgSnmp_.snmpPassSet) {
        // Only whether the agent answers matters: a silent agent rejects the community.
        std::string ignored;
        agentCommandsOk_ = transport_.get(kOidWriteProbe, writeCommunity(), agentIp(), ignored);
    }
    return serialAnswered;
}

bool AgentLink::sendTestCommand() {
    return transport_.set(kOidUpsCommand, writeCommunity(), agentIp(), kCommandValue, kAsnInteger);
}

AgentInfoLines AgentLink::identityInfoLines() const {
    return {upsName_, "Nro. Serie : " + upsSerial_, "Modelo : " + upsModel_};
}

AgentInfoLines AgentLink::unknownAgentInfoLines() {
    return {"Agente no detectado", "Nro. Serie :  ????", "Modelo : desconocido"};
}

}  // namespace ups
