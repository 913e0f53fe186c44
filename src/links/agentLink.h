#pragma once
// The monitor's side of the conversation with the SNMP v1 agent built into the UPS: detection of
// an agent of the right maker, the line and battery state, the identity texts with the
// write-community probe, and the command SET. Every enterprise object the program uses anywhere
// is named here. All calls block the calling thread until the agent answers or the wait runs out.
#include <optional>
#include <string>

#include "config/cfgRecords.h"
#include "links/agentStatus.h"
#include "net/pingsend.h"

namespace ups {

// The read community every UPS agent of this maker accepts.
inline constexpr char kReadCommunity[] = "ambito";

// The complete table of enterprise objects. The texts carry 27431 literally; the configured
// enterprise number takes part in detection only.
inline constexpr char kOidEnterprises[] = "1.3.6.1.4.1";  // GETNEXT start of detection
inline constexpr char kOidBatteryState[] = "1.3.6.1.4.1.27431.1.1.1.1.0";  // 2 = battery low
inline constexpr char kOidLineState[] = "1.3.6.1.4.1.27431.1.1.1.2.0";     // 1 = mains present
inline constexpr char kOidUpsCommand[] = "1.3.6.1.4.1.27431.1.1.2.1.0";  // SET 1: test or alarm off
inline constexpr char kOidUpsName[] = "1.3.6.1.4.1.27431.1.1.2.4.0";
inline constexpr char kOidAdminMinutes[] = "1.3.6.1.4.1.27431.1.1.2.5.0";  // administrator traps
inline constexpr char kOidWriteProbe[] =
    "1.3.6.1.4.1.27431.1.1.3.2.0";  // GET with the write community
inline constexpr char kOidUpsSerial[] = "1.3.6.1.4.1.27431.1.1.3.3.0";
inline constexpr char kOidUpsModel[] = "1.3.6.1.4.1.27431.1.1.3.4.0";
inline constexpr char kOidTrapEnterprise[] = "1.3.6.1.4.1.27431";  // v1 trap enterprise

inline constexpr std::size_t kUpsModelCapacity = 20;
inline constexpr std::size_t kUpsSerialCapacity = 10;
inline constexpr std::size_t kUpsNameCapacity = 40;

enum AgentDetect { agentFound, agentForeign, agentAbsent };

// The four network calls the agent link makes; a test scripts the agent through this without
// waiting for real time-outs. Each returns what the calls of the SNMP and ICMP units return: true
// (or a round-trip time >= 0) when an answer arrived.
class SnmpAgentTransport {
public:
    virtual ~SnmpAgentTransport() = default;
    virtual bool get(const std::string& oid, const std::string& community, const std::string& host,
                     std::string& value) = 0;
    // On an answer, `oid` becomes the name the agent returned.
    virtual bool getNext(std::string& oid, const std::string& community, const std::string& host,
                         std::string& value) = 0;
    virtual bool set(const std::string& oid, const std::string& community, const std::string& host,
                     const std::string& value, int valueType) = 0;
    // Milliseconds of the echo round trip, -1 when no echo reply came.
    virtual int ping(const std::string& host) = 0;
};

// The transport over SNMPGet/SNMPGetNext/SNMPSet, and PingHost over the system's ICMP echo. The
// monitor uses the defaults (agent port 161, 5000 ms per request and per echo); tools and tests
// point it elsewhere.
class NetAgentTransport : public SnmpAgentTransport {
public:
    explicit NetAgentTransport(IcmpEchoTransport& echo);
    NetAgentTransport(IcmpEchoTransport& echo, std::string agentPort, int timeoutMs,
                      int pingTimeoutMs);

    bool get(const std::string& oid, const std::string& community, const std::string& host,
             std::string& value) override;
    bool getNext(std::string& oid, const std::string& community, const std::string& host,
                 std::string& value) override;
    bool set(const std::string& oid, const std::string& community, const std::string& host,
             const std::string& value, int valueType) override;
    int ping(const std::string& host) override;

private:
    IcmpEchoTransport& echo_;
    std::string agentPort_;
    int timeoutMs_;
    int pingTimeoutMs_;
};

// The three information lines of the main window.
struct AgentInfoLines {
    std::string line1;
    std::string line2;
    std::string line3;
};

class AgentLink : public AgentStatusReader {
public:
    // Reads ipAgent, enterprise, snmpPass and snmpPassSet from the live record at every call.
    AgentLink(const CfgSnmp& cfgSnmp, SnmpAgentTransport& transport);

    // Echo, then GETNEXT of 1.3.6.1.4.1 with the read community at `ip` (the configuration
    // dialog checks an address that is not stored yet, hence the argument).
    AgentDetect detectAgent(const std::string& ip);

    // GET of the line state, then of the battery state, at CfgSnmp.ipAgent. A read counts as
    // answered only when its value is a decimal integer; the battery is not asked when the line
    // was not answered. Apply the result with applyAgentStatus.
    AgentStatusRead readAgentStatus() override;

    // Serial number, model and name (each capped; an unanswered read keeps the previous text),
    // then the write-community probe. True when the serial number was answered.
    bool readAgentIdentity();
    // Whether the agent accepted the write community at the last identity read; the window copies
    // it into SupervisorState::agentCommandsOk.
    bool agentCommandsOk() const { return agentCommandsOk_; }

    // SET of the command object to INTEGER 1 with the write community: a battery test with no
    // power event, the alarm silence during one. The caller sends it only while agentCommandsOk
    // and agentLinkActive are both set. True when the agent answered.
    bool sendTestCommand();

    const std::string& upsModel() const { return upsModel_; }
    const std::string& upsSerial() const { return upsSerial_; }
    const std::string& upsName() const { return upsName_; }

    // upsName, "Nro. Serie : " + upsSerial, "Modelo : " + upsModel.
    AgentInfoLines identityInfoLines() const;
    // What the lines say after the configuration dialog when the identity read failed.
    static AgentInfoLines unknownAgentInfoLines();

private:
    std::string agentIp() const;
    std::string writeCommunity() const;
    bool readText(const char* oid, std::size_t capacity, std::string& text);
    std::optional<int> readStatusValue(const char* oid);

    const CfgSnmp& cfgSnmp_;
    SnmpAgentTransport& transport_;
    std::string upsModel_;
    std::string upsSerial_;
    std::string upsName_;
    bool agentCommandsOk_ = false;
};

// The enterprise number that detection reads from the name a GETNEXT of 1.3.6.1.4.1 returned:
// at most 10 characters after "1.3.6.1.4.1.", cut at the first "."; empty or not decimal gives
// nothing.
std::optional<long long> enterpriseOfAnswer(const std::string& oid);

// A whole text that is an optionally signed decimal integer fitting in 32 bits.
std::optional<int> strictDecimal(const std::string& text);

}  // namespace ups
