#include "net/snmpsend.h"

namespace ups {

bool TSNMPSend::SendRequest() {
    Sock.Bind(IPInterface, "0");
    if (Sock.LastError()) return false;
    Sock.Connect(TargetHost, TargetPort);
    if (Sock.LastError()) return false;
    Sock.AttachRemote();
    if (Sock.LastError()) return false;
    Buffer = Query.EncodeBuf();
    Sock.SendString(Buffer);
    if (Sock.LastError()) return false;
    Reply.Clear();
    HostIP = "0.0.0.0";
    Buffer = Sock.RecvPacket(Timeout);
    if (Sock.LastError()) return false;
    HostIP = Sock.GetRemoteSinIP();
    return Reply.DecodeBuf(Buffer);
}

bool TSNMPSend::RecvTrap() {
    if (!Sock.IsBound()) {
        Sock.Bind(IPInterface, TargetPort);
        if (Sock.LastError()) {
            Sock.CloseSocket();
            return false;
        }
    }
    Reply.Clear();
    HostIP = "0.0.0.0";
    Buffer = Sock.RecvPacket(Timeout);
    if (Sock.LastError()) return false;
    HostIP = Sock.GetRemoteSinIP();
    return Reply.DecodeBuf(Buffer);
}

namespace {

void prepareQuery(TSNMPSend& snmp, int pduType, const std::string& community,
                  const std::string& host, const std::string& port, int timeoutMs) {
    snmp.Query.Clear();
    snmp.Query.Community = community;
    snmp.Query.PDUType = pduType;
    snmp.TargetHost = host;
    snmp.TargetPort = port;
    snmp.Timeout = timeoutMs;
}

}  // namespace

bool SNMPGet(const std::string& oid, const std::string& community, const std::string& snmpHost,
             std::string& value, const std::string& port, int timeoutMs) {
    TSNMPSend snmp;
    prepareQuery(snmp, kPduGetRequest, community, snmpHost, port, timeoutMs);
    snmp.Query.MIBAdd(oid, "", kAsnNull);
    const bool answered = snmp.SendRequest();
    value.clear();
    if (answered) value = snmp.Reply.MIBGet(oid);
    return answered;
}

bool SNMPSet(const std::string& oid, const std::string& community, const std::string& snmpHost,
             const std::string& value, int valueType, const std::string& port, int timeoutMs) {
    TSNMPSend snmp;
    prepareQuery(snmp, kPduSetRequest, community, snmpHost, port, timeoutMs);
    snmp.Query.MIBAdd(oid, value, valueType);
    return snmp.SendRequest();
}

bool SNMPGetNext(std::string& oid, const std::string& community, const std::string& snmpHost,
                 std::string& value, const std::string& port, int timeoutMs) {
    TSNMPSend snmp;
    prepareQuery(snmp, kPduGetNextRequest, community, snmpHost, port, timeoutMs);
    ++snmp.Query.ID;
    snmp.Query.MIBAdd(oid, "", kAsnNull);
    const bool answered = snmp.SendRequest();
    value.clear();
    if (answered && snmp.Reply.MIBCount() > 0) {
        oid = snmp.Reply.MIBByIndex(0)->OID;
        value = snmp.Reply.MIBByIndex(0)->Value;
    }
    return answered;
}

void takeTrapContents(const TSNMPSend& snmp, TrapContents& trap) {
    const TSNMPRec& reply = snmp.Reply;
    trap.sender = snmp.HostIP;
    trap.agent = reply.OldTrapHost;
    trap.enterprise = reply.OldTrapEnterprise;
    trap.community = reply.Community;
    trap.generic = reply.OldTrapGen;
    trap.specific = reply.OldTrapSpec;
    trap.timeStamp = reply.OldTrapTimeTicks;
    trap.names.clear();
    trap.values.clear();
    for (int i = 0; i < reply.MIBCount(); ++i) {
        trap.names.push_back(reply.MIBByIndex(i)->OID);
        trap.values.push_back(reply.MIBByIndex(i)->Value);
    }
}

int RecvTrap(std::string& sender, std::string& agent, std::string& enterprise,
             std::string& community, std::int32_t& generic, std::int32_t& specific,
             std::int32_t& timeStamp, std::vector<std::string>& names,
             std::vector<std::string>& values, const std::string& port, int timeoutMs) {
    TSNMPSend snmp;
    snmp.TargetPort = port;
    snmp.Timeout = timeoutMs;
    if (!snmp.RecvTrap()) return 0;
    TrapContents trap;
    takeTrapContents(snmp, trap);
    sender = std::move(trap.sender);
    agent = std::move(trap.agent);
    enterprise = std::move(trap.enterprise);
    community = std::move(trap.community);
    generic = trap.generic;
    specific = trap.specific;
    timeStamp = trap.timeStamp;
    names = std::move(trap.names);
    values = std::move(trap.values);
    return 1;
}

}  // namespace ups
