// Encoding and decoding of the three messages the monitor deals with most, by our codec and by
// net-snmp's library, side by side in one process. Each side starts from its own message object
// and, when decoding, produces its own message object from the octets (a new one per message, as
// a receiver would); net-snmp's octets are checked to equal ours before anything is timed.
#include <benchmark/benchmark.h>
#include <net-snmp/net-snmp-config.h>
#include <net-snmp/net-snmp-includes.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "net/snmpRec.h"

namespace {

using ups::TSNMPRec;

const char kBatteryOid[] = "1.3.6.1.4.1.27431.1.1.1.1.0";
const char kLineOid[] = "1.3.6.1.4.1.27431.1.1.1.2.0";
const char kNameOid[] = "1.3.6.1.4.1.27431.1.1.2.4.0";
const char kUpsName[] = "UPS Sala de Servidores";

TSNMPRec ourGetRequest() {
    TSNMPRec rec;
    rec.PDUType = ups::kPduGetRequest;
    rec.MIBAdd(kLineOid, "", ups::kAsnNull);
    return rec;
}

TSNMPRec ourGetResponse() {
    TSNMPRec rec;
    rec.PDUType = ups::kPduGetResponse;
    rec.MIBAdd(kBatteryOid, "1", ups::kAsnInteger);
    rec.MIBAdd(kLineOid, "1", ups::kAsnInteger);
    rec.MIBAdd(kNameOid, kUpsName, ups::kAsnOctetString);
    return rec;
}

TSNMPRec ourTrap() {
    TSNMPRec rec;
    rec.Community = "public";
    rec.PDUType = ups::kPduTrap;
    rec.OldTrapEnterprise = "1.3.6.1.4.1.27431";
    rec.OldTrapHost = "127.0.0.1";
    rec.OldTrapGen = 6;
    rec.OldTrapSpec = 1;
    rec.OldTrapTimeTicks = 49570;
    rec.MIBAdd(kBatteryOid, "2", ups::kAsnInteger);
    rec.MIBAdd(kLineOid, "2", ups::kAsnInteger);
    return rec;
}

// net-snmp's side ---------------------------------------------------------------------------

struct Oid {
    oid parts[MAX_OID_LEN];
    size_t length = MAX_OID_LEN;
    explicit Oid(const char* text) {
        if (!read_objid(text, parts, &length)) {
            std::fprintf(stderr, "net-snmp cannot read %s\n", text);
            std::exit(1);
        }
    }
};

netsnmp_session session(const char* community) {
    netsnmp_session s;
    snmp_sess_init(&s);
    s.version = SNMP_VERSION_1;
    s.community = reinterpret_cast<u_char*>(const_cast<char*>(community));
    s.community_len = std::strlen(community);
    return s;
}

// A v1 PDU that carries its community itself, as a sent one does.
netsnmp_pdu* newPdu(int command, const char* community) {
    netsnmp_pdu* pdu = snmp_pdu_create(command);
    pdu->version = SNMP_VERSION_1;
    pdu->community = reinterpret_cast<u_char*>(strdup(community));
    pdu->community_len = std::strlen(community);
    return pdu;
}

netsnmp_pdu* theirGetRequest() {
    netsnmp_pdu* pdu = newPdu(SNMP_MSG_GET, "ambito");
    pdu->reqid = 1;
    const Oid line(kLineOid);
    snmp_add_null_var(pdu, line.parts, line.length);
    return pdu;
}

netsnmp_pdu* theirGetResponse() {
    netsnmp_pdu* pdu = newPdu(SNMP_MSG_RESPONSE, "ambito");
    pdu->reqid = 1;
    const long one = 1;
    const Oid battery(kBatteryOid), line(kLineOid), name(kNameOid);
    snmp_pdu_add_variable(pdu, battery.parts, battery.length, ASN_INTEGER, &one, sizeof one);
    snmp_pdu_add_variable(pdu, line.parts, line.length, ASN_INTEGER, &one, sizeof one);
    snmp_pdu_add_variable(pdu, name.parts, name.length, ASN_OCTET_STR, kUpsName,
                          std::strlen(kUpsName));
    return pdu;
}

netsnmp_pdu* theirTrap() {
    netsnmp_pdu* pdu = newPdu(SNMP_MSG_TRAP, "public");
    const Oid enterprise("1.3.6.1.4.1.27431");
    pdu->enterprise = snmp_duplicate_objid(enterprise.parts, enterprise.length);
    pdu->enterprise_length = enterprise.length;
    const unsigned char loopback[4] = {127, 0, 0, 1};
    std::memcpy(pdu->agent_addr, loopback, 4);
    pdu->trap_type = 6;
    pdu->specific_type = 1;
    pdu->time = 49570;
    const long two = 2;
    const Oid battery(kBatteryOid), line(kLineOid);
    snmp_pdu_add_variable(pdu, battery.parts, battery.length, ASN_INTEGER, &two, sizeof two);
    snmp_pdu_add_variable(pdu, line.parts, line.length, ASN_INTEGER, &two, sizeof two);
    return pdu;
}

std::string theirEncode(netsnmp_session& s, netsnmp_pdu* pdu) {
    size_t packetLength = 2048;
    auto* packet = static_cast<u_char*>(malloc(packetLength));
    size_t offset = 0;
    std::string out;
    const int built = snmp_build(&packet, &packetLength, &offset, &s, pdu);
    if (built != 0)
        std::fprintf(stderr, "snmp_build: %d %s\n", built, snmp_api_errstring(snmp_errno));
    if (built == 0) {
        // Built from the end of the buffer towards its start.
        out.assign(reinterpret_cast<char*>(packet + packetLength - offset), offset);
    }
    free(packet);
    return out;
}

bool theirDecode(netsnmp_session& s, const std::string& octets) {
    netsnmp_pdu* pdu = static_cast<netsnmp_pdu*>(calloc(1, sizeof(netsnmp_pdu)));
    const int result =
        snmp_parse(nullptr, &s, pdu, reinterpret_cast<u_char*>(const_cast<char*>(octets.data())),
                   octets.size());
    const bool ok = result == SNMP_ERR_NOERROR && pdu->variables != nullptr;
    snmp_free_pdu(pdu);
    return ok;
}

// The cases ---------------------------------------------------------------------------------

struct Case {
    const char* name;
    TSNMPRec ours;
    netsnmp_pdu* theirs;
    const char* community;
    std::string octets;
};

// net-snmp wants somewhere to keep state; it gets a folder of its own, removed at the end.
std::string& persistentDir() {
    static std::string dir;
    return dir;
}

std::vector<Case>& cases() {
    static std::vector<Case> all;
    return all;
}

void prepareCases() {
    setenv("MIBS", "", 1);
    char dir[] = "/tmp/korvan-bench.XXXXXX";
    if (mkdtemp(dir)) {
        persistentDir() = dir;
        setenv("SNMP_PERSISTENT_DIR", dir, 1);
    }
    netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_DONT_READ_CONFIGS, 1);
    netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_DISABLE_PERSISTENT_LOAD, 1);
    netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_DISABLE_PERSISTENT_SAVE, 1);
    init_snmp("korvan-bench");
    cases().push_back({"GetRequest", ourGetRequest(), theirGetRequest(), "ambito", {}});
    cases().push_back(
        {"GetResponse (3 bindings)", ourGetResponse(), theirGetResponse(), "ambito", {}});
    cases().push_back({"v1 Trap (2 bindings)", ourTrap(), theirTrap(), "public", {}});
    for (Case& c : cases()) {
        c.octets = c.ours.EncodeBuf();
        netsnmp_session s = session(c.community);
        const std::string theirs = theirEncode(s, c.theirs);
        if (theirs != c.octets) {
            std::fprintf(stderr, "%s: net-snmp encodes other octets than ours\n ours:", c.name);
            for (unsigned char o : c.octets) std::fprintf(stderr, " %02X", o);
            std::fprintf(stderr, "\n   net-snmp:");
            for (unsigned char o : theirs) std::fprintf(stderr, " %02X", o);
            std::fprintf(stderr, "\n");
            std::exit(1);
        }
        if (!theirDecode(s, c.octets)) {
            std::fprintf(stderr, "%s: net-snmp does not decode our octets\n", c.name);
            std::exit(1);
        }
    }
}

void encodeOurs(benchmark::State& state, const Case* c) {
    for (auto _ : state) {
        std::string octets = c->ours.EncodeBuf();
        benchmark::DoNotOptimize(octets);
    }
    state.SetItemsProcessed(state.iterations());
}

void encodeTheirs(benchmark::State& state, const Case* c) {
    netsnmp_session s = session(c->community);
    for (auto _ : state) {
        std::string octets = theirEncode(s, c->theirs);
        benchmark::DoNotOptimize(octets);
    }
    state.SetItemsProcessed(state.iterations());
}

void decodeOurs(benchmark::State& state, const Case* c) {
    for (auto _ : state) {
        TSNMPRec rec;
        benchmark::DoNotOptimize(rec.DecodeBuf(c->octets));
        benchmark::DoNotOptimize(rec);
    }
    state.SetItemsProcessed(state.iterations());
}

void decodeTheirs(benchmark::State& state, const Case* c) {
    netsnmp_session s = session(c->community);
    for (auto _ : state) benchmark::DoNotOptimize(theirDecode(s, c->octets));
    state.SetItemsProcessed(state.iterations());
}

// Collects the rates of every run and prints them side by side at the end.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        // With --benchmark_repetitions the median of the repetitions is taken.
        for (const Run& run : runs) {
            const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
            if (run.run_type == Run::RT_Aggregate && !median) continue;
            const double seconds = run.GetAdjustedCPUTime() / 1e9;
            if (seconds > 0 && (median || !medians_.count(run.run_name.str()))) {
                rates_[run.run_name.str()] = 1.0 / seconds;
            }
            if (median) medians_.insert(run.run_name.str());
        }
    }

    void Finalize() override {
        ConsoleReporter::Finalize();
        std::printf("\n%-8s %-26s %16s %16s %8s\n", "", "message", "ours (msg/s)",
                    "net-snmp (msg/s)", "ratio");
        for (const char* operation : {"Encode", "Decode"}) {
            for (const Case& c : cases()) {
                const std::string key = std::string(operation) + "/" + c.name;
                const double ours = rates_[key + "/ours"];
                const double theirs = rates_[key + "/net-snmp"];
                std::printf("%-8s %-26s %16.0f %16.0f %7.2fx\n", operation, c.name, ours, theirs,
                            theirs > 0 ? ours / theirs : 0.0);
            }
        }
    }

private:
    std::map<std::string, double> rates_;
    std::set<std::string> medians_;
};

}  // namespace

int main(int argc, char** argv) {
    prepareCases();
    for (const Case& c : cases()) {
        const std::string name = c.name;
        benchmark::RegisterBenchmark(("Encode/" + name + "/ours").c_str(), encodeOurs, &c);
        benchmark::RegisterBenchmark(("Encode/" + name + "/net-snmp").c_str(), encodeTheirs, &c);
        benchmark::RegisterBenchmark(("Decode/" + name + "/ours").c_str(), decodeOurs, &c);
        benchmark::RegisterBenchmark(("Decode/" + name + "/net-snmp").c_str(), decodeTheirs, &c);
    }
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    if (!persistentDir().empty()) std::filesystem::remove_all(persistentDir());
    return 0;
}
