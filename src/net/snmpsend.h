#pragma once
// The SNMP v1 client over UDP: one request/answer exchange or one trap receive per TSNMPSend, and
// the calls the rest of the program uses.
#include <cstdint>
#include <string>
#include <vector>

#include "net/blcksock.h"
#include "net/snmpRec.h"

namespace ups {

inline constexpr char kSnmpAgentPort[] = "161";
inline constexpr char kSnmpTrapPort[] = "162";
inline constexpr int kSnmpTimeoutMs = 5000;

class TSNMPSend {
public:
    TSNMPSend() = default;

    TSNMPRec Query;
    TSNMPRec Reply;
    TUDPBlockSocket Sock;
    std::string Buffer;
    std::string HostIP;
    std::string TargetHost = "127.0.0.1";
    std::string TargetPort = kSnmpAgentPort;
    std::string IPInterface = "0.0.0.0";
    int Timeout = kSnmpTimeoutMs;

    // Sends Query to TargetHost:TargetPort and waits up to Timeout for one datagram, decoded into
    // Reply. True when an answer arrived and decoded.
    bool SendRequest();
    // Waits up to Timeout for one datagram on IPInterface:TargetPort, decoded into Reply. The
    // socket is bound on the first call and stays bound, so a caller that keeps this object
    // receives every trap on one socket; a failed bind makes the call return false at once and is
    // tried again by the next call.
    bool RecvTrap();
};

// Each call below uses a TSNMPSend of its own for exactly one exchange. They return true when a
// datagram arrived within the wait and decoded; the answer's error status is not looked at.
bool SNMPGet(const std::string& oid, const std::string& community, const std::string& snmpHost,
             std::string& value, const std::string& port = kSnmpAgentPort,
             int timeoutMs = kSnmpTimeoutMs);
bool SNMPSet(const std::string& oid, const std::string& community, const std::string& snmpHost,
             const std::string& value, int valueType, const std::string& port = kSnmpAgentPort,
             int timeoutMs = kSnmpTimeoutMs);
// On an answer with at least one binding, `oid` becomes the first binding's name.
bool SNMPGetNext(std::string& oid, const std::string& community, const std::string& snmpHost,
                 std::string& value, const std::string& port = kSnmpAgentPort,
                 int timeoutMs = kSnmpTimeoutMs);

// What a received v1 trap says.
struct TrapContents {
    std::string sender;  // address the datagram came from
    std::string agent;   // agent address carried inside the trap
    std::string enterprise;
    std::string community;
    std::int32_t generic = 0;
    std::int32_t specific = 0;
    std::int32_t timeStamp = 0;
    std::vector<std::string> names;
    std::vector<std::string> values;
    bool operator==(const TrapContents&) const = default;
};
// Copies a received trap out of snmp.Reply and snmp.HostIP.
void takeTrapContents(const TSNMPSend& snmp, TrapContents& trap);

// Binds its own socket to the trap port, waits for one datagram and returns 1 when it arrived and
// decoded, with the outputs filled; 0 otherwise, the outputs as they were.
int RecvTrap(std::string& sender, std::string& agent, std::string& enterprise,
             std::string& community, std::int32_t& generic, std::int32_t& specific,
             std::int32_t& timeStamp, std::vector<std::string>& names,
             std::vector<std::string>& values, const std::string& port = kSnmpTrapPort,
             int timeoutMs = kSnmpTimeoutMs);

}  // namespace ups
