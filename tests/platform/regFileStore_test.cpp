#include "platform/posix/regFileStore.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QString>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "config/configStore.h"
#include "support/scriptedMessageBoxes.h"
#include "support/tempDir.h"

namespace ups {
namespace {

namespace fs = std::filesystem;
using namespace std::string_view_literals;
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
    // A file with one value line in the configuration key, the way a person would write it.
    void writeConfigValue(const std::string& line) const {
        writeFile("Windows Registry Editor Version 5.00\n\n" + std::string(kConfigSection) + "\n" +
                  line + "\n");
    }

    test::TempDir tempDir{"regstore"};
    const fs::path& dir = tempDir.path;
    std::string path = (dir / "korvan-ups" / "registry.reg").string();
};

std::string crlf(std::string_view lf) {
    std::string out;
    for (char c : lf) {
        if (c == '\n') out.push_back('\r');
        out.push_back(c);
    }
    return out;
}

// regedit's default export form: UTF-16LE behind a byte-order mark (Qt does the encoding here).
std::string utf16le(const std::string& utf8) {
    std::string out = "\xFF\xFE";
    for (const char16_t unit : QString::fromUtf8(utf8).toStdU16String())
        out += {static_cast<char>(unit & 0xFF), static_cast<char>(unit >> 8)};
    return out;
}

// An export of the configuration key beside another key, with text beyond ASCII.
const std::string kExported = crlf(
    "Windows Registry Editor Version 5.00\n\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Other]\n"
    "\"Nombre\"=\"Informaci\xC3\xB3n \xF0\x9F\x94\x8B\"\n\"Count\"=dword:00000010\n\n" +
    std::string(kConfigSection) + "\n\"CfgUps\"=hex:01,02,\\\n  03\n\"CfgSnmp\"=hex:0a\n");

// The UTF-16 export with one raw code unit slipped in before its last line end.
std::string utf16leWithUnit(std::string_view unit) {
    std::string octets = utf16le(kExported);
    return octets.insert(octets.size() - 4, unit);
}

Bytes counting(std::size_t n) {
    Bytes b(n);
    for (std::size_t i = 0; i < n; ++i) b[i] = static_cast<std::uint8_t>(i * 13 + 1);
    return b;
}

// ---- keys and the new file ----

TEST_F(RegFileStoreTest, AbsentFileHasNoKeysAndNoValues) {
    RegFileStore store(path);
    EXPECT_FALSE(store.openKeyRead(kKeySoftware));
    EXPECT_FALSE(store.openKeyFullAccess(kKeySoftware));
    EXPECT_EQ(store.readValue(kKeyConfig, kValueCfgUps).status, RegReadStatus::Missing);
    EXPECT_FALSE(store.writeBinary(kKeyConfig, kValueCfgUps, {1})) << "no key, no value";
    EXPECT_FALSE(fs::exists(path));
}

TEST_F(RegFileStoreTest, CreatingKeysWritesARegeditExportOwnerOnly) {
    RegFileStore store(path);
    ASSERT_TRUE(store.createKey(kKeySoftware));
    ASSERT_TRUE(store.createKey(kKeyUps));
    ASSERT_TRUE(store.createKey(kKeyConfig));
    ASSERT_TRUE(store.writeBinary(kKeyConfig, kValueCfgSnmp, {0x00, 0x1f, 0xa0}));
    EXPECT_EQ(fileContent(), crlf("Windows Registry Editor Version 5.00\n"
                                  "\n"
                                  "[HKEY_LOCAL_MACHINE\\Software\\Korvan]\n"
                                  "\n"
                                  "[HKEY_LOCAL_MACHINE\\Software\\Korvan\\Ups]\n"
                                  "\n"
                                  "[HKEY_LOCAL_MACHINE\\Software\\Korvan\\Ups\\SysCfg_V1.2]\n"
                                  "\"CfgSnmp\"=hex:00,1f,a0\n"
                                  "\n"));
    EXPECT_EQ(fileMode(path), 0600u);
    EXPECT_EQ(fileMode(fs::path(path).parent_path().string()), 0700u);
    EXPECT_TRUE(store.openKeyFullAccess(kKeyConfig));
    EXPECT_TRUE(store.openKeyRead(kKeyUps));
}

TEST_F(RegFileStoreTest, LongBinaryValuesWrapLikeRegeditAndReadBack) {
    RegFileStore store(path);
    ASSERT_TRUE(store.createKey(kKeyConfig));
    const Bytes data = counting(356);
    ASSERT_TRUE(store.writeBinary(kKeyConfig, kValueCfgUps, data));

    const std::string content = fileContent();
    const std::size_t start = content.find("\"CfgUps\"=hex:");
    ASSERT_NE(start, std::string::npos);
    std::istringstream lines(content.substr(start));
    std::string line;
    std::size_t valueLines = 0;
    while (std::getline(lines, line) && !line.empty() && line != "\r") {
        ASSERT_EQ(line.back(), '\r') << "CRLF line ends";
        line.pop_back();
        EXPECT_LE(line.size(), 80u) << line;
        if (valueLines > 0) {
            EXPECT_EQ(line.rfind("  ", 0), 0u) << line;
        }
        ++valueLines;
        if (line.back() != '\\') break;
        EXPECT_EQ(line.substr(line.size() - 2), ",\\");
    }
    EXPECT_GT(valueLines, 10u);

    const RegValue v = RegFileStore(path).readValue(kKeyConfig, kValueCfgUps);
    EXPECT_EQ(v.status, RegReadStatus::Ok);
    EXPECT_EQ(v.type, RegValueType::Binary);
    EXPECT_EQ(v.data, data);
}

TEST_F(RegFileStoreTest, ValueNamesWithQuotesAndBackslashesRoundTrip) {
    RegFileStore store(path);
    ASSERT_TRUE(store.createKey(kKeyConfig));
    ASSERT_TRUE(store.writeBinary(kKeyConfig, "a\"b\\c", {7}));
    EXPECT_NE(fileContent().find("\"a\\\"b\\\\c\"=hex:07"), std::string::npos);
    EXPECT_EQ(store.readValue(kKeyConfig, "a\"b\\c").data, Bytes{7});
}

TEST_F(RegFileStoreTest, AKeyExistsWhenASectionBelowItDoes) {
    writeFile("Windows Registry Editor Version 5.00\n\n" + std::string(kConfigSection) + "\n");
    RegFileStore store(path);
    EXPECT_TRUE(store.openKeyRead(kKeySoftware));
    EXPECT_TRUE(store.openKeyFullAccess(kKeyUps));
    EXPECT_FALSE(store.openKeyRead("\\Software\\Korvan\\U")) << "a name prefix is not a parent";
    const std::string before = fileContent();
    EXPECT_TRUE(store.createKey(kKeyUps));
    EXPECT_EQ(fileContent(), before) << "creating an existing key rewrites nothing";
}

TEST_F(RegFileStoreTest, KeysOfOtherRootsAndDeletionsAreNotOurs) {
    writeFile(
        "Windows Registry Editor Version 5.00\n\n"
        "[HKEY_CURRENT_USER\\Software\\Korvan\\Ups\\SysCfg_V1.2]\n\"CfgUps\"=hex:01\n\n"
        "[-HKEY_LOCAL_MACHINE\\Software\\Korvan]\n");
    RegFileStore store(path);
    EXPECT_FALSE(store.openKeyRead(kKeySoftware));
    EXPECT_EQ(store.readValue(kKeyConfig, kValueCfgUps).status, RegReadStatus::Missing);
}

// ---- reading what people and regedit write ----

struct ParseCase {
    const char* name;
    std::string line;
    RegReadStatus status;
    RegValueType type;
    Bytes data;
};
// Shown by GoogleTest (and in the test list) as its name rather than as bytes.
void PrintTo(const ParseCase& c, std::ostream* os) {
    *os << c.name;
}

class RegFileParseTest : public RegFileStoreTest,
                         public ::testing::WithParamInterface<ParseCase> {};

TEST_P(RegFileParseTest, ValueLineReadsWithItsType) {
    const ParseCase& c = GetParam();
    writeConfigValue(c.line);
    const RegValue v = RegFileStore(path).readValue(kKeyConfig, "v");
    EXPECT_EQ(v.status, c.status);
    if (c.status == RegReadStatus::Ok) {
        EXPECT_EQ(v.type, c.type);
        EXPECT_EQ(v.data, c.data);
    }
}

using S = RegReadStatus;
using T = RegValueType;
INSTANTIATE_TEST_SUITE_P(
    Lines, RegFileParseTest,
    ::testing::Values(
        ParseCase{"hex", "\"v\"=hex:01,ff,7A", S::Ok, T::Binary, {0x01, 0xff, 0x7a}},
        ParseCase{"hexEmpty", "\"v\"=hex:", S::Ok, T::Binary, {}},
        ParseCase{"hexSpaced", "\"v\" = hex: 01 , 02", S::Ok, T::Binary, {1, 2}},
        ParseCase{
            "hexContinued", "\"v\"=hex:01,02,\\\n  03,\\\n  04", S::Ok, T::Binary, {1, 2, 3, 4}},
        ParseCase{"hex3", "\"v\"=hex(3):05", S::Ok, T::Binary, {5}},
        ParseCase{"dword", "\"v\"=dword:0000011f", S::Ok, T::Dword, {0x1f, 0x01, 0, 0}},
        ParseCase{"hex4", "\"v\"=hex(4):01,00,00,00", S::Ok, T::Dword, {1, 0, 0, 0}},
        ParseCase{"string", "\"v\"=\"a\\\"b\\\\c\"", S::Ok, T::String, {'a', '"', 'b', '\\', 'c'}},
        ParseCase{"expandString", "\"v\"=hex(2):41,00,00,00", S::Ok, T::String, {0x41, 0, 0, 0}},
        ParseCase{"multiString", "\"v\"=hex(7):41,00,00,00", S::Ok, T::Other, {0x41, 0, 0, 0}},
        ParseCase{"qword",
                  "\"v\"=hex(b):01,00,00,00,00,00,00,00",
                  S::Ok,
                  T::Other,
                  {1, 0, 0, 0, 0, 0, 0, 0}},
        ParseCase{"nameCase", "\"V\"=hex:09", S::Ok, T::Binary, {9}},
        ParseCase{"deleted", "\"v\"=-", S::Missing, T::Binary, {}},
        ParseCase{"badDigit", "\"v\"=hex:0g", S::Error, T::Binary, {}},
        ParseCase{"longByte", "\"v\"=hex:123", S::Error, T::Binary, {}},
        ParseCase{"emptyByte", "\"v\"=hex:01,,02", S::Error, T::Binary, {}},
        ParseCase{"longDword", "\"v\"=dword:123456789", S::Error, T::Binary, {}},
        ParseCase{"emptyDword", "\"v\"=dword:", S::Error, T::Binary, {}},
        ParseCase{"openString", "\"v\"=\"abc", S::Error, T::Binary, {}},
        ParseCase{"trailingJunk", "\"v\"=\"abc\" x", S::Error, T::Binary, {}},
        ParseCase{"badKind", "\"v\"=hex(z):01", S::Error, T::Binary, {}},
        ParseCase{"unknownForm", "\"v\"=qword:1", S::Error, T::Binary, {}},
        ParseCase{"nothing", "\"v\"=", S::Error, T::Binary, {}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(RegFileStoreTest, HandWrittenCrlfFileKeepsEverythingElseThroughASave) {
    const std::string original = crlf(
        "Windows Registry Editor Version 5.00\n"
        "\n"
        "; exported by hand\n"
        "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Other]\n"
        "\"Path\"=\"C:\\\\Program Files\\\\Other\"\n"
        "\"Count\"=dword:00000010\n"
        "@=\"default\"\n"
        "\n"
        "[HKEY_LOCAL_MACHINE\\software\\korvan\\ups\\syscfg_v1.2]\n"
        "\"Extra\"=hex(7):41,00,00,00\n"
        "\"CFGUPS\"=hex:01,02,\\\n"
        "  03\n"
        "\"Broken\"=hex:zz\n"
        "this line means nothing\n"
        "\n"
        "[HKEY_CURRENT_USER\\Software\\Korvan]\n"
        "\"CfgUps\"=hex:aa\n");
    writeFile(original);
    RegFileStore store(path);
    ASSERT_TRUE(store.openKeyFullAccess(kKeyConfig));
    EXPECT_EQ(store.readValue(kKeyConfig, kValueCfgUps).data, (Bytes{1, 2, 3}));
    EXPECT_EQ(store.readValue(kKeyConfig, "Broken").status, RegReadStatus::Error);
    EXPECT_EQ(store.readValue("\\Software\\Other", "Count").type, RegValueType::Dword);

    ASSERT_TRUE(store.writeBinary(kKeyConfig, kValueCfgUps, {9, 8}));
    ASSERT_TRUE(store.writeBinary(kKeyConfig, kValueCfgSnmp, {7}));

    // The old CfgUps lines give way to the new one in place; CfgSnmp joins the end of the section.
    std::string expected = original;
    const std::string oldValue = "\"CFGUPS\"=hex:01,02,\\\r\n  03\r\n";
    expected.replace(expected.find(oldValue), oldValue.size(), "\"CfgUps\"=hex:09,08\r\n");
    const std::string sectionEnd = "this line means nothing\r\n";
    expected.insert(expected.find(sectionEnd) + sectionEnd.size(), "\"CfgSnmp\"=hex:07\r\n");
    EXPECT_EQ(fileContent(), expected);
    const Bytes otherPath = store.readValue("\\Software\\Other", "Path").data;
    EXPECT_EQ(std::string(otherPath.begin(), otherPath.end()), "C:\\Program Files\\Other");
}

TEST_F(RegFileStoreTest, LfFileWithBomAndCommentsReads) {
    writeFile(
        "\xEF\xBB\xBFWindows Registry Editor Version 5.00\n"
        "; comment ending in a backslash \\\n" +
        std::string(kConfigSection) +
        "\n"
        "  ; indented comment\n"
        "\"CfgUps\"=hex:0a\n");
    RegFileStore store(path);
    EXPECT_TRUE(store.openKeyRead(kKeyConfig));
    EXPECT_EQ(store.readValue(kKeyConfig, kValueCfgUps).data, Bytes{0x0a});
}

// Whatever form the export came in, it reads the same and a save writes the store's own form.
TEST_F(RegFileStoreTest, ExportReadsAlikeInEveryEncodingAndSavesInTheUsualForm) {
    std::string saved = kExported;
    saved.replace(saved.find("hex:0a"), 6, "hex:07");
    const std::pair<const char*, std::string> forms[] = {{"utf8", kExported},
                                                         {"utf8Bom", "\xEF\xBB\xBF" + kExported},
                                                         {"utf16le", utf16le(kExported)}};
    for (const auto& [name, content] : forms) {
        SCOPED_TRACE(name);
        writeFile(content);
        RegFileStore store(path);
        ASSERT_TRUE(store.openKeyFullAccess(kKeyConfig));
        EXPECT_EQ(store.readValue(kKeyConfig, kValueCfgUps).data, (Bytes{1, 2, 3}));
        const Bytes text = store.readValue("\\Software\\Other", "Nombre").data;
        EXPECT_EQ(std::string(text.begin(), text.end()), "Informaci\xC3\xB3n \xF0\x9F\x94\x8B");
        EXPECT_EQ(store.readValue("\\Software\\Other", "Count").data, (Bytes{0x10, 0, 0, 0}));
        ASSERT_TRUE(store.writeBinary(kKeyConfig, kValueCfgSnmp, {7}));
        EXPECT_EQ(fileContent(), saved);
    }
}

TEST_F(RegFileStoreTest, LastOccurrenceOfAValueWinsAndIsTheOneRewritten) {
    writeFile("Windows Registry Editor Version 5.00\n\n" + std::string(kConfigSection) +
              "\n\"CfgUps\"=hex:01\n\n" + std::string(kConfigSection) + "\n\"CfgUps\"=hex:02\n");
    RegFileStore store(path);
    EXPECT_EQ(store.readValue(kKeyConfig, kValueCfgUps).data, Bytes{2});
    ASSERT_TRUE(store.writeBinary(kKeyConfig, kValueCfgUps, {3}));
    const std::string content = fileContent();
    EXPECT_NE(content.find("\"CfgUps\"=hex:01\r\n"), std::string::npos);
    EXPECT_NE(content.find("\"CfgUps\"=hex:03\r\n"), std::string::npos);
    EXPECT_EQ(store.readValue(kKeyConfig, kValueCfgUps).data, Bytes{3});
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

std::function<void(const std::string& path)> fileWith(std::string content) {
    return [content](const std::string& p) { std::ofstream(p, std::ios::binary) << content; };
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
        UnusableCase{"foreignText",
                     [](const std::string& p) {
                         std::ofstream(p)
                             << "[HKEY_LOCAL_MACHINE\\Software\\Korvan]\n\"CfgUps\"=hex:01\n";
                     }},
        UnusableCase{"utf16",
                     [](const std::string& p) {
                         std::ofstream(p, std::ios::binary) << std::string("\xFF\xFEW\0i\0n\0", 8);
                     }},
        // A UTF-16 export cut or damaged is not a clean export: refused whole, never rewritten.
        UnusableCase{"utf16OddLength", fileWith(utf16le(kExported) + "\n")},
        UnusableCase{"utf16LoneLowSurrogate", fileWith(utf16leWithUnit("\x00\xDC"sv))},
        UnusableCase{"utf16HighSurrogateCut", fileWith(utf16le(kExported) + "\x3D\xD8")},
        UnusableCase{"utf16HighSurrogateThenText", fileWith(utf16leWithUnit("\x3D\xD8"))},
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

TEST_F(RegFileStoreTest, EmptyFileIsAnEmptyStore) {
    writeFile("");
    RegFileStore store(path);
    EXPECT_FALSE(store.openKeyRead(kKeySoftware));
    ASSERT_TRUE(store.createKey(kKeySoftware));
    EXPECT_EQ(
        fileContent(),
        crlf("Windows Registry Editor Version 5.00\n\n[HKEY_LOCAL_MACHINE\\Software\\Korvan]\n\n"));
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
