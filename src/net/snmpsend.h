#pragma once
// SNMP v1 messages (RFC 1157) and their UDP transport: the message record with its encoder and
// decoder, one request/answer exchange or one trap receive per TSNMPSend, and the client calls
// the rest of the program uses.
#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "net/asn1util.h"
#include "net/blcksock.h"

namespace ups {

inline constexpr int kPduGetRequest = 0xA0;
inline constexpr int kPduGetNextRequest = 0xA1;
inline constexpr int kPduGetResponse = 0xA2;
inline constexpr int kPduSetRequest = 0xA3;
inline constexpr int kPduTrap = 0xA4;

inline constexpr char kSnmpAgentPort[] = "161";
inline constexpr char kSnmpTrapPort[] = "162";
inline constexpr int kSnmpTimeoutMs = 5000;

// One variable binding; the value in text form (INTEGER as signed decimal, OCTET STRING as its
// octets, NULL empty) and its BER tag.
struct TSNMPMib {
    std::string OID;
    std::string Value;
    int ValueType = kAsnNull;

    bool operator==(const TSNMPMib&) const = default;
};

class TSNMPRec {
public:
    static constexpr std::string_view kDefaultCommunity = "ambito";

    std::int32_t Version = 0;
    std::string Community{kDefaultCommunity};
    std::int32_t PDUType = 0;
    std::int32_t ID = 1;
    std::int32_t ErrorStatus = 0;
    std::int32_t ErrorIndex = 0;
    std::string OldTrapEnterprise;
    std::string OldTrapHost;
    std::int32_t OldTrapGen = 0;
    std::int32_t OldTrapSpec = 0;
    std::int32_t OldTrapTimeTicks = 0;

    // Back to an empty v1 message with the community "ambito". ID is kept.
    void Clear();
    void MIBAdd(std::string oid, std::string value, int valueType);
    int MIBCount() const { return mibCount_; }
    // The entry at a 0-based index, or nullptr when there is none.
    const TSNMPMib* MIBByIndex(int index) const;
    void MIBDelete(int index);
    // Value of the first entry whose OID text equals `oid` byte for byte; empty when none does.
    std::string MIBGet(std::string_view oid) const;

    std::string EncodeBuf() const;
    // Clears the record and fills it from a datagram. False only when the octets cannot be a
    // message at all (fewer than 2, not constructed, or shorter than the outer length says);
    // items that are missing or cut decode as empty texts and zeros.
    bool DecodeBuf(std::string_view buffer);

    bool operator==(const TSNMPRec& other) const;

private:
    // The first bindings live in the record itself: a message rarely has more, and decoding one
    // then costs no allocation for the list. Entries past MIBCount() are kept empty.
    static constexpr int kInlineMibs = 4;

    TSNMPMib& appendMib();
    TSNMPMib& mibAt(int index);
    const TSNMPMib& mibAt(int index) const;
    void decodeBindings(int& pos, std::string_view buffer, std::int64_t contentEnd);

    std::array<TSNMPMib, kInlineMibs> firstMibs_;
    std::vector<TSNMPMib> moreMibs_;
    int mibCount_ = 0;
};

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
