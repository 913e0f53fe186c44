#include "platform/common/portNameStore.h"

#include <gtest/gtest.h>

#include "config/configStore.h"
#include "platform/null/memoryRegistryStore.h"
#include "support/scriptedMessageBoxes.h"

using namespace ups;

namespace {

// Ports as Windows names them: number n is COMn+1.
struct ComPorts : SerialDriver {
    int open(int, int, int) override { return 0; }
    void close(int) override {}
    void setBaud(int, int) override {}
    void setNoFlowControl(int) override {}
    void setRts(int, bool) override {}
    void setBreak(int, bool) override {}
    int readRts(int) override { return 0; }
    int readCts(int) override { return 0; }
    int readDcd(int) override { return 0; }
    int lastError() const override { return 0; }
    std::string portName(int port) const override { return "COM" + std::to_string(port + 1); }
    int portNumber(std::string_view name) const override {
        return name.starts_with("COM") ? std::stoi(std::string(name.substr(3))) - 1 : -1;
    }
};

std::int32_t storedComPort(MemoryRegistryStore& store) {
    CfgUps stored{};
    overlayRecord(stored, store.readValue(kKeyConfig, kValueCfgUps).data);
    return stored.comPort;
}

std::string storedName(MemoryRegistryStore& store) {
    const auto data = store.readValue(kKeyConfig, kValuePortName).data;
    return std::string(data.begin(), data.end());
}

// What earlier versions read never holds a number they do not know, and the monitor reads back
// the port it saved, through the real load and save.
TEST(PortNameStore, StoresAPortBeyondComFourByNameAndReadsItBack) {
    struct Case {
        std::int32_t chosen;
        std::int32_t inRecord;
        std::string name;
    } cases[] = {{6, -1, "COM7"}, {1, 1, ""}, {-1, -1, ""}, {255, -1, "COM256"}};
    for (const Case& c : cases) {
        MemoryRegistryStore memory;
        ComPorts ports;
        PortNameStore store(memory, ports);
        test::ScriptedMessageBoxes boxes;
        CfgUps ups{};
        CfgSnmp snmp{};
        setDefaultConfig(ups, snmp);
        loadConfig(ups, snmp, store, boxes);
        ups.comPort = c.chosen;
        saveConfig(ups, snmp, store, boxes);
        EXPECT_EQ(storedComPort(memory), c.inRecord) << c.chosen;
        EXPECT_EQ(storedName(memory), c.name) << c.chosen;
        CfgUps again{};
        CfgSnmp snmpAgain{};
        loadConfig(again, snmpAgain, store, boxes);
        EXPECT_EQ(again.comPort, c.chosen);
        EXPECT_EQ(recordBytes(again), recordBytes(ups)) << c.chosen;
        EXPECT_TRUE(boxes.shown.empty());
    }
}

// A record that names COM1..COM4 itself wins over a name left behind, and a name this system has
// no port for leaves "none".
TEST(PortNameStore, TheRecordsOwnNumberWinsAndAnUnknownNameChoosesNothing) {
    MemoryRegistryStore memory;
    ComPorts ports;
    PortNameStore store(memory, ports);
    CfgUps ups{};
    ups.comPort = 2;
    for (std::string_view key : {kKeySoftware, kKeyUps, kKeyConfig}) {
        ASSERT_TRUE(memory.createKey(key));
    }
    memory.writeBinary(kKeyConfig, kValueCfgUps, recordBytes(ups));
    memory.writeBinary(kKeyConfig, kValuePortName, {'C', 'O', 'M', '9'});
    CfgUps read{};
    overlayRecord(read, store.readValue(kKeyConfig, kValueCfgUps).data);
    EXPECT_EQ(read.comPort, 2);
    ups.comPort = -1;
    memory.writeBinary(kKeyConfig, kValueCfgUps, recordBytes(ups));
    memory.writeBinary(kKeyConfig, kValuePortName, {'t', 't', 'y'});
    overlayRecord(read, store.readValue(kKeyConfig, kValueCfgUps).data);
    EXPECT_EQ(read.comPort, -1);
}

}  // namespace
