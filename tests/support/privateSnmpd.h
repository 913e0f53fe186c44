#pragma once
// A private net-snmp agent on 127.0.0.1, an independent peer for the SNMP tests: its own
// configuration, port and state folder, the UPS's objects served by a pass_persist backend that
// reads their values from a file at every request. Started and stopped by the test, by PID.
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <string>
#include <thread>

#include "net/blcksock.h"
#include "net/snmpsend.h"
#include "support/childProcess.h"
#include "support/tempDir.h"

namespace ups::test {

class PrivateSnmpd {
public:
    // Keys of the values file: battery, line, name, serial, model, probe, command. A missing key
    // leaves its object out (a GET of it gets an error answer).
    using Values = std::map<std::string, std::string>;

    explicit PrivateSnmpd(std::string writeCommunity)
        : writeCommunity_(std::move(writeCommunity)) {}
    ~PrivateSnmpd() { stop(); }
    PrivateSnmpd(const PrivateSnmpd&) = delete;
    PrivateSnmpd& operator=(const PrivateSnmpd&) = delete;

    bool start(const Values& values) {
        TempDir made("korvan-snmpd");
        if (made.path.empty()) return false;
        dir_ = made.path;
        made.path.clear();  // stop() removes it
        setValues(values);
        for (int attempt = 0; attempt < 3; ++attempt) {
            port_ = freeUdpPort();
            writeConfig();
            process_ = std::make_unique<ChildProcess>(
                std::vector<std::string>{"snmpd", "-f", "-Lf", (dir_ / "snmpd.log").string(), "-C",
                                         "-c", (dir_ / "snmpd.conf").string(), "-p",
                                         (dir_ / "snmpd.pid").string()},
                std::vector<std::string>{"MIBS=", "MIBDIRS=/nonexistent",
                                         "SNMP_PERSISTENT_DIR=" + dir_.string(),
                                         "SNMPCONFPATH=" + dir_.string()});
            if (waitUntilAnswering()) return true;
            process_.reset();
        }
        return false;
    }

    void stop() {
        process_.reset();
        if (!dir_.empty()) std::filesystem::remove_all(dir_);
        dir_.clear();
    }

    // Replaces the UPS's values; the backend never sees a half-written file.
    void setValues(const Values& values) {
        const auto tmp = dir_ / "values.tmp";
        {
            std::ofstream out(tmp);
            for (const auto& [key, value] : values) out << key << "=" << value << "\n";
        }
        std::filesystem::rename(tmp, dir_ / "values");
        values_ = values;
    }

    const std::string& port() const { return port_; }
    // "OID value" for every SET the backend accepted.
    std::string setLog() const { return read(dir_ / "sets.log"); }
    std::string log() const { return read(dir_ / "snmpd.log"); }

private:
    static std::string freeUdpPort() {
        TUDPBlockSocket probe;
        probe.Bind("127.0.0.1", "0");
        return std::to_string(probe.GetLocalSinPort());
    }
    static std::string read(const std::filesystem::path& path) {
        std::ifstream in(path);
        return {std::istreambuf_iterator<char>(in), {}};
    }

    void writeConfig() {
        const auto backend =
            std::filesystem::path(UPS_TEST_SOURCE_DIR) / "tests/support/peers/upsAgentBackend.sh";
        std::ofstream conf(dir_ / "snmpd.conf");
        // The views put the UPS's subtree first for a GETNEXT of 1.3.6.1.4.1.
        conf << "agentAddress udp:127.0.0.1:" << port_ << "\n"
             << "master no\n"
             << "view upsview included .1.3.6.1.4.1.27431\n"
             << "view upsview included .1.3.6.1.2.1.1\n"
             << "rocommunity ambito 127.0.0.1 -V upsview\n"
             << "rwcommunity " << writeCommunity_ << " 127.0.0.1 -V upsview\n"
             << "pass_persist .1.3.6.1.4.1.27431 " << backend.string() << " "
             << (dir_ / "values").string() << " " << (dir_ / "sets.log").string() << "\n";
    }

    // Until snmpd has bound its port a request fails at once (port unreachable).
    bool waitUntilAnswering() {
        const std::string probeOid =
            values_.count("line") ? "1.3.6.1.4.1.27431.1.1.1.2.0" : "1.3.6.1.4.1.27431.1.1.1.1.0";
        for (int i = 0; i < 100; ++i) {
            std::string value;
            if (SNMPGet(probeOid, "ambito", "127.0.0.1", value, port_, 100)) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return false;
    }

    std::string writeCommunity_;
    std::filesystem::path dir_;
    std::string port_;
    Values values_;
    std::unique_ptr<ChildProcess> process_;
};

}  // namespace ups::test
