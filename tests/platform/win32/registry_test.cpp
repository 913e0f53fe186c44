#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "config/cfgRecords.h"
#include "config/configStore.h"
#include "platform/win32/win32EarlierConfig.h"
#include "platform/win32/win32Registry.h"

namespace ups {
namespace {

constexpr char kKey[] = "\\Software\\Korvan\\Ups\\SysCfg_V1.2";
using Bytes = std::vector<std::uint8_t>;

struct RecordedBoxes : MessageBoxes {
    MbResult messageBox(std::string_view text, std::string_view, MbIcon, MbButtons) override {
        shown.emplace_back(text);
        return MbResult::Ok;
    }
    std::vector<std::string> shown;
};

// The value as Wine's own reg.exe prints it, read back into bytes.
Bytes regQuery(const char* name) {
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE readEnd = nullptr, writeEnd = nullptr;
    CreatePipe(&readEnd, &writeEnd, &inherit, 0);
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = writeEnd;
    PROCESS_INFORMATION process{};
    std::string command = std::string("reg.exe query HKLM") + kKey + " /v " + name + " /reg:32";
    if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                        &startup, &process)) {
        return {};
    }
    CloseHandle(writeEnd);
    std::string out;
    char chunk[4096];
    DWORD got = 0;
    while (ReadFile(readEnd, chunk, sizeof chunk, &got, nullptr) && got > 0) out.append(chunk, got);
    WaitForSingleObject(process.hProcess, INFINITE);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    CloseHandle(readEnd);
    Bytes bytes;
    std::size_t at = out.find("REG_BINARY");
    if (at == std::string::npos) return bytes;
    at = out.find_first_not_of(' ', at + 10);
    for (; at + 1 < out.size() && std::isxdigit(static_cast<unsigned char>(out[at])); at += 2) {
        bytes.push_back(static_cast<std::uint8_t>(std::stoi(out.substr(at, 2), nullptr, 16)));
    }
    return bytes;
}

void setRawIn(HKEY root, const std::string& path, REGSAM view, const char* name, DWORD type,
              const Bytes& data) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | view, nullptr,
                              &key, nullptr),
              ERROR_SUCCESS);
    RegSetValueExA(key, name, 0, type, data.data(), static_cast<DWORD>(data.size()));
    RegCloseKey(key);
}

void setRaw(const char* name, DWORD type, const Bytes& data) {
    setRawIn(HKEY_LOCAL_MACHINE, kKey + 1, KEY_WOW64_32KEY, name, type, data);
}

// Where earlier installations left their settings.
const std::string kVirtualStore =
    "Software\\Classes\\VirtualStore\\MACHINE\\SOFTWARE\\WOW6432Node\\Korvan\\Ups\\SysCfg_V1.2";

void deleteTree(HKEY root, const char* parent, const char* child, REGSAM view) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, parent, 0, KEY_ALL_ACCESS | view, &key) != ERROR_SUCCESS) return;
    RegDeleteTreeA(key, child);
    RegCloseKey(key);
}

class Win32RegistryTest : public testing::Test {
protected:
    void SetUp() override {
        for (REGSAM view : {KEY_WOW64_32KEY, KEY_WOW64_64KEY}) {
            deleteTree(HKEY_LOCAL_MACHINE, "Software", "Korvan", view);
        }
        deleteTree(HKEY_CURRENT_USER, "Software\\Classes", "VirtualStore", 0);
    }
    Win32Registry registry;
    RecordedBoxes boxes;
    CfgUps ups{};
    CfgSnmp snmp{};
};

TEST_F(Win32RegistryTest, FirstStartCreatesTheKeysAndStoresTheDefaults) {
    EXPECT_FALSE(registry.openKeyFullAccess(kKey));
    setDefaultConfig(ups, snmp);
    loadConfig(ups, snmp, registry, boxes);
    EXPECT_TRUE(boxes.shown.empty());
    EXPECT_TRUE(registry.openKeyFullAccess(kKey));
    EXPECT_EQ(regQuery("CfgUps"), recordBytes(ups));
    EXPECT_EQ(regQuery("CfgSnmp"), recordBytes(snmp));
    EXPECT_EQ(recordBytes(ups).size(), 356u);
}

TEST_F(Win32RegistryTest, SaveReplacesOurValuesAndKeepsEverythingElse) {
    setDefaultConfig(ups, snmp);
    loadConfig(ups, snmp, registry, boxes);
    setRaw("Nota", REG_SZ, {'h', 'o', 'l', 'a', 0});
    ASSERT_TRUE(registry.createKey(std::string(kKey) + "\\Extra"));
    ups.tmpFail = 9;
    saveConfig(ups, snmp, registry, boxes);
    EXPECT_TRUE(boxes.shown.empty());
    EXPECT_EQ(regQuery("CfgUps"), recordBytes(ups));
    EXPECT_EQ(registry.readValue(kKey, "Nota").data, Bytes({'h', 'o', 'l', 'a'}));
    EXPECT_TRUE(registry.openKeyRead(std::string(kKey) + "\\Extra"));
}

TEST_F(Win32RegistryTest, ValuesAreReadWithTheirTypeWhateverTheCaseOfTheirName) {
    const Bytes big(100000, 0x5a);
    struct Case {
        DWORD stored;
        Bytes data;
        RegValueType type;
        Bytes read;
    } cases[] = {
        {REG_BINARY, big, RegValueType::Binary, big},
        {REG_DWORD, {7, 0, 0, 0}, RegValueType::Dword, {7, 0, 0, 0}},
        {REG_SZ, {'a', 'b', 0}, RegValueType::String, {'a', 'b'}},
        {REG_EXPAND_SZ, {'%', 0}, RegValueType::String, {'%'}},
        {REG_MULTI_SZ, {'a', 0, 0}, RegValueType::Other, {'a', 0, 0}},
    };
    for (const Case& c : cases) {
        setRaw("CfgUps", c.stored, c.data);
        const RegValue value = registry.readValue(kKey, "CFGUPS");
        EXPECT_EQ(value.status, RegReadStatus::Ok) << c.stored;
        EXPECT_EQ(value.type, c.type) << c.stored;
        EXPECT_EQ(value.data, c.read) << c.stored;
    }
    EXPECT_EQ(registry.readValue(kKey, "CfgSnmp").status, RegReadStatus::Missing);
    EXPECT_EQ(registry.readValue("\\Software\\Korvan\\Nada", "CfgUps").status,
              RegReadStatus::Missing);
    ASSERT_TRUE(registry.writeBinary(kKey, "cfgups", {1, 2, 3}));
    EXPECT_EQ(regQuery("CfgUps"), Bytes({1, 2, 3}));
}

// Settings an earlier installation left in the VirtualStore or in the 64-bit view are taken
// once into the 32-bit view and read back as they were; the VirtualStore, a user's own later
// changes, goes first; settings already in the 32-bit view are never replaced.
TEST_F(Win32RegistryTest, SettingsLeftElsewhereAreTakenOverOnce) {
    CfgUps earlier{};
    CfgSnmp earlierSnmp{};
    setDefaultConfig(earlier, earlierSnmp);
    earlier.comPort = 1;
    earlier.enhShutdwn = 1;
    earlier.pswEnabled = 1;
    CfgUps other = earlier;
    other.comPort = 3;
    struct Case {
        bool virtualStore, view64, view32;
        EarlierConfig taken;
        std::int32_t comPort;
    } cases[] = {
        {true, false, false, EarlierConfig::VirtualStore, 1},
        {false, true, false, EarlierConfig::View64, 1},
        {true, true, false, EarlierConfig::VirtualStore, 1},
        {true, true, true, EarlierConfig::None, 3},
        {false, false, false, EarlierConfig::None, -1},
    };
    for (const Case& c : cases) {
        SetUp();
        const Bytes upsBytes = recordBytes(earlier);
        const Bytes snmpBytes = recordBytes(earlierSnmp);
        if (c.virtualStore) {
            setRawIn(HKEY_CURRENT_USER, kVirtualStore, 0, "CfgUps", REG_BINARY, upsBytes);
            setRawIn(HKEY_CURRENT_USER, kVirtualStore, 0, "CfgSnmp", REG_BINARY, snmpBytes);
        }
        if (c.view64) {
            const Bytes otherBytes = c.virtualStore ? recordBytes(other) : upsBytes;
            setRawIn(HKEY_LOCAL_MACHINE, kKey + 1, KEY_WOW64_64KEY, "CfgUps", REG_BINARY,
                     otherBytes);
        }
        if (c.view32) setRaw("CfgUps", REG_BINARY, recordBytes(other));
        EXPECT_EQ(adoptEarlierConfig(), c.taken);
        EXPECT_EQ(adoptEarlierConfig(), EarlierConfig::None) << "taken twice";
        CfgUps read{};
        CfgSnmp readSnmp{};
        setDefaultConfig(read, readSnmp);
        loadConfig(read, readSnmp, registry, boxes);
        EXPECT_EQ(read.comPort, c.comPort);
        if (c.taken != EarlierConfig::None) {
            EXPECT_EQ(regQuery("CfgUps"), upsBytes);
            EXPECT_EQ(recordBytes(read), upsBytes);
            EXPECT_EQ(recordBytes(readSnmp), snmpBytes);
        }
    }
    EXPECT_TRUE(boxes.shown.empty());
}

}  // namespace
}  // namespace ups
