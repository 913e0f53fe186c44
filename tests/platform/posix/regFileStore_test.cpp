#include "platform/posix/regFileStore.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>

#include "config/configStore.h"
#include "support/scriptedMessageBoxes.h"
#include "support/tempDir.h"

namespace ups {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

constexpr std::string_view kConfigSection =
    "[HKEY_LOCAL_MACHINE\\Software\\Korvan\\Ups\\SysCfg_V1.2]";

class RegFileStoreTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_FALSE(dir.empty()); }

    void writeFile(const std::string& content) const {
        fs::create_directories(fs::path(path).parent_path());
        std::ofstream(path, std::ios::binary) << content;
    }
    std::string fileContent() const {
        std::ifstream in(path, std::ios::binary);
        std::stringstream ss;
        ss << in.rdbuf();
        return ss.str();
    }
    unsigned fileMode(const std::string& p) const {
        struct stat st {};
        EXPECT_EQ(::stat(p.c_str(), &st), 0) << p;
        return st.st_mode & 07777;
    }
    std::vector<fs::path> filesInStoreDir() const {
        std::vector<fs::path> files;
        for (const auto& e : fs::directory_iterator(fs::path(path).parent_path()))
            files.push_back(e.path());
        return files;
    }
    test::TempDir tempDir{"regstore"};
    const fs::path& dir = tempDir.path;
    std::string path = (dir / "korvan-ups" / "registry.reg").string();
};

// ---- keys and the new file ----

TEST_F(RegFileStoreTest, AbsentFileHasNoKeysAndNoValues) {
    RegFileStore store(path);
    EXPECT_FALSE(store.openKeyRead(kKeySoftware));
    EXPECT_FALSE(store.openKeyFullAccess(kKeySoftware));
    EXPECT_EQ(store.readValue(kKeyConfig, kValueCfgUps).status, RegReadStatus::Missing);
    EXPECT_FALSE(store.writeBinary(kKeyConfig, kValueCfgUps, {1})) << "no key, no value";
    EXPECT_FALSE(fs::exists(path));
}

TEST_F(RegFileStoreTest, CreatingKeysWritesTheFileOwnerOnly) {
    RegFileStore store(path);
    ASSERT_TRUE(store.createKey(kKeySoftware));
    ASSERT_TRUE(store.createKey(kKeyUps));
    ASSERT_TRUE(store.createKey(kKeyConfig));
    ASSERT_TRUE(store.writeBinary(kKeyConfig, kValueCfgSnmp, {0x00, 0x1f, 0xa0}));
    EXPECT_EQ(fileMode(path), 0600u);
    EXPECT_EQ(fileMode(fs::path(path).parent_path().string()), 0700u);
    EXPECT_TRUE(store.openKeyFullAccess(kKeyConfig));
    EXPECT_TRUE(store.openKeyRead(kKeyUps));
    EXPECT_EQ(RegFileStore(path).readValue(kKeyConfig, kValueCfgSnmp).data,
              (Bytes{0x00, 0x1f, 0xa0}));
    const std::string before = fileContent();
    EXPECT_TRUE(store.createKey(kKeyUps));
    EXPECT_EQ(fileContent(), before) << "creating an existing key rewrites nothing";
}

// ---- files that cannot be used ----

struct UnusableCase {
    const char* name;
    std::function<void(const std::string& path)> make;
};
// Shown by GoogleTest (and in the test list) as its name rather than as bytes.
void PrintTo(const UnusableCase& c, std::ostream* os) {
    *os << c.name;
}

class RegFileUnusableTest : public RegFileStoreTest,
                            public ::testing::WithParamInterface<UnusableCase> {};

// Such a file is never parsed as ours and never replaced: every value is unreadable, every key
// missing and every write refused.
TEST_P(RegFileUnusableTest, IsNeitherReadNorReplaced) {
    fs::create_directories(fs::path(path).parent_path());
    GetParam().make(path);
    const bool isFile = fs::is_regular_file(path);
    const std::string before = isFile ? fileContent() : "";
    RegFileStore store(path);
    EXPECT_FALSE(store.openKeyRead(kKeyConfig));
    EXPECT_FALSE(store.openKeyFullAccess(kKeySoftware));
    EXPECT_EQ(store.readValue(kKeyConfig, kValueCfgUps).status, RegReadStatus::Error);
    EXPECT_FALSE(store.createKey(kKeySoftware));
    EXPECT_FALSE(store.writeBinary(kKeyConfig, kValueCfgUps, {1}));
    if (isFile) {
        EXPECT_EQ(fileContent(), before);
    }
    EXPECT_EQ(filesInStoreDir().size(), 1u) << "no temporary file left behind";
}

INSTANTIATE_TEST_SUITE_P(
    Files, RegFileUnusableTest,
    ::testing::Values(
        UnusableCase{"directory", [](const std::string& p) { fs::create_directory(p); }},
        // The text is not a regedit export (the codec's tests have the other kinds).
        UnusableCase{"foreignText",
                     [](const std::string& p) {
                         std::ofstream(p)
                             << "[HKEY_LOCAL_MACHINE\\Software\\Korvan]\n\"CfgUps\"=hex:01\n";
                     }},
        UnusableCase{"huge",
                     [](const std::string& p) {
                         std::ofstream out(p, std::ios::binary);
                         out << "Windows Registry Editor Version 5.00\n";
                         out << std::string(5 * 1024 * 1024, ';');
                     }}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(RegFileStoreTest, PathBelowARegularFileIsRefusedWithoutCrashing) {
    const std::string blocker = (dir / "plain").string();
    std::ofstream(blocker) << "x";
    RegFileStore store(blocker + "/korvan-ups/registry.reg");
    EXPECT_FALSE(store.openKeyFullAccess(kKeySoftware));
    EXPECT_FALSE(store.createKey(kKeySoftware));
    EXPECT_FALSE(store.writeBinary(kKeyConfig, kValueCfgUps, {1}));
    EXPECT_EQ(store.readValue(kKeyConfig, kValueCfgUps).status, RegReadStatus::Missing);
}

// ---- atomic replacement ----

TEST_F(RegFileStoreTest, CrashBeforeTheRenameLeavesTheOldStoreIntact) {
    RegFileStore store(path);
    ASSERT_TRUE(store.createKey(kKeyConfig));
    ASSERT_TRUE(store.writeBinary(kKeyConfig, kValueCfgUps, {1, 1}));
    const std::string before = fileContent();

    std::string tempSeen;
    store.beforeRename = [&](const std::string& temp) {
        tempSeen = temp;
        return false;
    };
    EXPECT_FALSE(store.writeBinary(kKeyConfig, kValueCfgUps, {2, 2}));

    EXPECT_EQ(fileContent(), before);
    ASSERT_TRUE(fs::exists(tempSeen)) << "the stray temporary file stays, as after a crash";
    EXPECT_EQ(fs::path(tempSeen).parent_path(), fs::path(path).parent_path());
    EXPECT_EQ(fileMode(tempSeen), 0600u);
    std::ifstream temp(tempSeen, std::ios::binary);
    const std::string tempContent((std::istreambuf_iterator<char>(temp)), {});
    EXPECT_NE(tempContent.find("\"CfgUps\"=hex:02,02"), std::string::npos)
        << "fully written before the rename";

    RegFileStore restarted(path);
    EXPECT_EQ(restarted.readValue(kKeyConfig, kValueCfgUps).data, (Bytes{1, 1}));
    ASSERT_TRUE(restarted.writeBinary(kKeyConfig, kValueCfgUps, {3}));
    EXPECT_EQ(restarted.readValue(kKeyConfig, kValueCfgUps).data, Bytes{3});
}

TEST_F(RegFileStoreTest, LeftoversOfInterruptedSavesAreSweptOnceTheyAreOld) {
    RegFileStore store(path);
    ASSERT_TRUE(store.createKey(kKeyConfig));
    std::vector<fs::path> interrupted;
    store.beforeRename = [&](const std::string& temp) {
        interrupted.emplace_back(temp);
        return false;
    };
    for (int i = 0; i < 2; ++i) EXPECT_FALSE(store.writeBinary(kKeyConfig, kValueCfgUps, {4}));
    store.beforeRename = nullptr;
    ASSERT_EQ(interrupted.size(), 2u);
    const fs::path& stale = interrupted[0];
    const fs::path& fresh = interrupted[1];
    // Copies a person or another program keeps beside the store, named much like a temporary.
    const std::vector<fs::path> theirs = {path + ".backup", path + ".a1B2c3", path + ".bak",
                                          stale.string() + "~"};
    for (const auto& p : theirs) std::ofstream(p) << "x";
    for (const auto& p : theirs)
        fs::last_write_time(p, fs::file_time_type::clock::now() - std::chrono::minutes(5));
    fs::last_write_time(stale, fs::file_time_type::clock::now() - std::chrono::minutes(5));

    ASSERT_TRUE(store.writeBinary(kKeyConfig, kValueCfgUps, {4}));
    EXPECT_FALSE(fs::exists(stale));
    EXPECT_TRUE(fs::exists(fresh)) << "it may belong to another instance saving right now";
    for (const auto& p : theirs) EXPECT_TRUE(fs::exists(p)) << p;
}

TEST_F(RegFileStoreTest, BothRecordsAreSavedInOneReplacement) {
    test::ScriptedMessageBoxes boxes;
    CfgUps ups;
    CfgSnmp snmp;
    clearRecords(ups, snmp);
    setDefaultConfig(ups, snmp);
    RegFileStore store(path);
    loadConfig(ups, snmp, store, boxes);
    const std::string before = fileContent();

    // A crash at the one moment the new configuration is complete but not yet in place leaves
    // the old configuration whole: never a new CfgUps beside an old CfgSnmp.
    int replacements = 0;
    store.beforeRename = [&](const std::string&) {
        ++replacements;
        return false;
    };
    ups.comPort = 2;
    snmp.enhSnmp = 1;
    saveConfig(ups, snmp, store, boxes);
    EXPECT_EQ(replacements, 1);
    EXPECT_EQ(fileContent(), before);
    EXPECT_EQ(boxes.texts(), std::vector<std::string>{"Asignando memoria."});

    store.beforeRename = nullptr;
    boxes.shown.clear();
    saveConfig(ups, snmp, store, boxes);
    EXPECT_TRUE(boxes.shown.empty());
    EXPECT_EQ(store.readValue(kKeyConfig, kValueCfgUps).data, recordBytes(ups));
    EXPECT_EQ(store.readValue(kKeyConfig, kValueCfgSnmp).data, recordBytes(snmp));
}

TEST_F(RegFileStoreTest, SaveMakesAnOpenFileOwnerOnly) {
    writeFile("Windows Registry Editor Version 5.00\n\n" + std::string(kConfigSection) + "\n");
    ASSERT_EQ(::chmod(path.c_str(), 0644), 0);
    RegFileStore store(path);
    ASSERT_TRUE(store.writeBinary(kKeyConfig, kValueCfgSnmp, {1}));
    EXPECT_EQ(fileMode(path), 0600u);
    EXPECT_EQ(filesInStoreDir().size(), 1u);
}

// ---- the configuration over the file ----

TEST_F(RegFileStoreTest, ConfigurationRoundTripsThroughTheFile) {
    test::ScriptedMessageBoxes boxes;
    CfgUps ups;
    CfgSnmp snmp;
    clearRecords(ups, snmp);
    setDefaultConfig(ups, snmp);
    RegFileStore store(path);
    loadConfig(ups, snmp, store, boxes);  // first start: keys created, defaults stored
    ASSERT_TRUE(boxes.shown.empty());
    EXPECT_EQ(store.readValue(kKeyConfig, kValueCfgUps).data.size(), 356u);
    EXPECT_EQ(store.readValue(kKeyConfig, kValueCfgSnmp).data.size(), 72u);

    ups.tmpFail = 9;
    ups.testSched[3] = {1, 22, 15};
    snmp.enhSnmp = 1;
    setFieldText(snmp.ipAgent, "10.1.2.3");
    saveConfig(ups, snmp, store, boxes);
    ASSERT_TRUE(boxes.shown.empty());

    CfgUps ups2;
    CfgSnmp snmp2;
    clearRecords(ups2, snmp2);
    setDefaultConfig(ups2, snmp2);
    RegFileStore restarted(path);
    loadConfig(ups2, snmp2, restarted, boxes);
    EXPECT_TRUE(boxes.shown.empty());
    EXPECT_EQ(recordBytes(ups2), recordBytes(ups));
    EXPECT_EQ(recordBytes(snmp2), recordBytes(snmp));
    EXPECT_EQ(fileMode(path), 0600u);
}

TEST_F(RegFileStoreTest, ConfigurationStoredAsANumberIsReported) {
    writeFile("Windows Registry Editor Version 5.00\n\n" + std::string(kConfigSection) +
              "\n\"CfgUps\"=dword:00000001\n");
    test::ScriptedMessageBoxes boxes;
    CfgUps ups;
    CfgSnmp snmp;
    clearRecords(ups, snmp);
    setDefaultConfig(ups, snmp);
    RegFileStore store(path);
    loadConfig(ups, snmp, store, boxes);
    EXPECT_EQ(boxes.texts(), std::vector<std::string>{std::string(kMsgAllocating)});
    EXPECT_EQ(ups.tmpFail, 5);
}

TEST_F(RegFileStoreTest, UnreadableStoreGivesTheMessagesNotACrash) {
    fs::create_directories(path);  // the store's path is a directory: it cannot be read
    test::ScriptedMessageBoxes boxes;
    CfgUps ups;
    CfgSnmp snmp;
    clearRecords(ups, snmp);
    setDefaultConfig(ups, snmp);
    RegFileStore store(path);
    loadConfig(ups, snmp, store, boxes);
    saveConfig(ups, snmp, store, boxes);
    EXPECT_EQ(boxes.texts(), (std::vector<std::string>{std::string(kMsgAllocating),
                                                       std::string(kMsgRegistryAccess)}));
}

}  // namespace
}  // namespace ups
