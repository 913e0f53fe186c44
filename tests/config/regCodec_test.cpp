#include "config/regCodec.h"

#include <gtest/gtest.h>

#include <sstream>

#include "config/cfgRecords.h"

namespace ups {
namespace {

using namespace std::string_view_literals;
using Bytes = std::vector<std::uint8_t>;

constexpr std::string_view kConfigSection =
    "[HKEY_LOCAL_MACHINE\\Software\\Korvan\\Ups\\SysCfg_V1.2]";

std::string crlf(std::string_view lf) {
    std::string out;
    for (char c : lf) {
        if (c == '\n') out.push_back('\r');
        out.push_back(c);
    }
    return out;
}

// regedit's default export form: UTF-16LE behind a byte-order mark.
std::string utf16le(std::string_view utf8) {
    std::string out = "\xFF\xFE";
    const auto unit = [&](std::uint32_t u) {
        out += {static_cast<char>(u & 0xFF), static_cast<char>(u >> 8)};
    };
    for (std::size_t i = 0; i < utf8.size();) {
        const auto lead = static_cast<std::uint8_t>(utf8[i]);
        const std::size_t n = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
        std::uint32_t code = n == 1 ? lead : lead & (0xFF >> (n + 1));
        for (std::size_t k = 1; k < n; ++k) code = code << 6 | (utf8[i + k] & 0x3F);
        i += n;
        if (code < 0x10000) {
            unit(code);
        } else {
            unit(0xD800 + ((code - 0x10000) >> 10));
            unit(0xDC00 + (code & 0x3FF));
        }
    }
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

RegDocument parsed(std::string_view text) {
    std::optional<RegDocument> doc = RegDocument::parse(text);
    EXPECT_TRUE(doc) << text;
    return doc.value_or(RegDocument{});
}

std::string text(const Bytes& data) {
    return std::string(data.begin(), data.end());
}

// ---- keys and new documents ----

TEST(RegCodec, KeysAddedToAnEmptyFileMakeARegeditExport) {
    RegDocument doc = parsed("");
    EXPECT_FALSE(doc.keyExists(kKeySoftware));
    ASSERT_TRUE(doc.addKey(kKeySoftware));
    ASSERT_TRUE(doc.addKey(kKeyUps));
    ASSERT_TRUE(doc.addKey(kKeyConfig));
    doc.setBinaryValue(kKeyConfig, kValueCfgSnmp, {0x00, 0x1f, 0xa0});
    EXPECT_EQ(doc.serialize(), crlf("Windows Registry Editor Version 5.00\n"
                                    "\n"
                                    "[HKEY_LOCAL_MACHINE\\Software\\Korvan]\n"
                                    "\n"
                                    "[HKEY_LOCAL_MACHINE\\Software\\Korvan\\Ups]\n"
                                    "\n"
                                    "[HKEY_LOCAL_MACHINE\\Software\\Korvan\\Ups\\SysCfg_V1.2]\n"
                                    "\"CfgSnmp\"=hex:00,1f,a0\n"
                                    "\n"));
}

TEST(RegCodec, AKeyExistsWhenASectionBelowItDoes) {
    RegDocument doc =
        parsed("Windows Registry Editor Version 5.00\n\n" + std::string(kConfigSection) + "\n");
    EXPECT_TRUE(doc.keyExists(kKeySoftware));
    EXPECT_TRUE(doc.keyExists(kKeyUps));
    EXPECT_FALSE(doc.keyExists("\\Software\\Korvan\\U")) << "a name prefix is not a parent";
    const RegDocument before = doc;
    EXPECT_FALSE(doc.addKey(kKeyUps));
    EXPECT_EQ(doc, before) << "adding an existing key changes nothing";
}

TEST(RegCodec, KeysOfOtherRootsAndDeletionsAreNotOurs) {
    const RegDocument doc = parsed(
        "Windows Registry Editor Version 5.00\n\n"
        "[HKEY_CURRENT_USER\\Software\\Korvan\\Ups\\SysCfg_V1.2]\n\"CfgUps\"=hex:01\n\n"
        "[-HKEY_LOCAL_MACHINE\\Software\\Korvan]\n");
    EXPECT_FALSE(doc.keyExists(kKeySoftware));
    EXPECT_EQ(doc.readValue(kKeyConfig, kValueCfgUps).status, RegReadStatus::Missing);
}

TEST(RegCodec, LongBinaryValuesWrapLikeRegeditAndReadBack) {
    RegDocument doc = parsed("");
    doc.addKey(kKeyConfig);
    Bytes data(356);
    for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<std::uint8_t>(i * 13 + 1);
    doc.setBinaryValue(kKeyConfig, kValueCfgUps, data);

    const std::string content = doc.serialize();
    std::istringstream lines(content.substr(content.find("\"CfgUps\"=hex:")));
    std::string line;
    std::size_t valueLines = 0;
    while (std::getline(lines, line) && line != "\r") {
        ASSERT_EQ(line.back(), '\r') << "CRLF line ends";
        line.pop_back();
        EXPECT_LE(line.size(), 80u) << line;
        if (valueLines++ > 0) {
            EXPECT_EQ(line.rfind("  ", 0), 0u) << line;
        }
        if (line.back() != '\\') break;
        EXPECT_EQ(line.substr(line.size() - 2), ",\\");
    }
    EXPECT_GT(valueLines, 10u);
    const RegValue v = parsed(content).readValue(kKeyConfig, kValueCfgUps);
    EXPECT_EQ(v.status, RegReadStatus::Ok);
    EXPECT_EQ(v.type, RegValueType::Binary);
    EXPECT_EQ(v.data, data);
}

TEST(RegCodec, ValueNamesWithQuotesAndBackslashesRoundTrip) {
    RegDocument doc = parsed("");
    doc.addKey(kKeyConfig);
    doc.setBinaryValue(kKeyConfig, "a\"b\\c", {7});
    const std::string content = doc.serialize();
    EXPECT_NE(content.find("\"a\\\"b\\\\c\"=hex:07"), std::string::npos);
    EXPECT_EQ(parsed(content).readValue(kKeyConfig, "a\"b\\c").data, Bytes{7});
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

class RegCodecParse : public ::testing::TestWithParam<ParseCase> {};

TEST_P(RegCodecParse, ValueLineReadsWithItsType) {
    const ParseCase& c = GetParam();
    const RegValue v = parsed("Windows Registry Editor Version 5.00\n\n" +
                              std::string(kConfigSection) + "\n" + c.line + "\n")
                           .readValue(kKeyConfig, "v");
    EXPECT_EQ(v.status, c.status);
    if (c.status == RegReadStatus::Ok) {
        EXPECT_EQ(v.type, c.type);
        EXPECT_EQ(v.data, c.data);
    }
}

using S = RegReadStatus;
using T = RegValueType;
INSTANTIATE_TEST_SUITE_P(
    Lines, RegCodecParse,
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

TEST(RegCodec, HandWrittenCrlfFileKeepsEverythingElseThroughASave) {
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
    RegDocument doc = parsed(original);
    EXPECT_EQ(doc.readValue(kKeyConfig, kValueCfgUps).data, (Bytes{1, 2, 3}));
    EXPECT_EQ(doc.readValue(kKeyConfig, "Broken").status, RegReadStatus::Error);
    EXPECT_EQ(doc.readValue("\\Software\\Other", "Count").type, RegValueType::Dword);
    EXPECT_EQ(text(doc.readValue("\\Software\\Other", "Path").data), "C:\\Program Files\\Other");

    doc.setBinaryValue(kKeyConfig, kValueCfgUps, {9, 8});
    doc.setBinaryValue(kKeyConfig, kValueCfgSnmp, {7});

    // The old CfgUps lines give way to the new one in place; CfgSnmp joins the end of the section.
    std::string expected = original;
    const std::string oldValue = "\"CFGUPS\"=hex:01,02,\\\r\n  03\r\n";
    expected.replace(expected.find(oldValue), oldValue.size(), "\"CfgUps\"=hex:09,08\r\n");
    const std::string sectionEnd = "this line means nothing\r\n";
    expected.insert(expected.find(sectionEnd) + sectionEnd.size(), "\"CfgSnmp\"=hex:07\r\n");
    EXPECT_EQ(doc.serialize(), expected);
}

TEST(RegCodec, LfFileWithBomAndCommentsReads) {
    const RegDocument doc = parsed(
        "\xEF\xBB\xBFWindows Registry Editor Version 5.00\n"
        "; comment ending in a backslash \\\n" +
        std::string(kConfigSection) +
        "\n"
        "  ; indented comment\n"
        "\"CfgUps\"=hex:0a\n");
    EXPECT_TRUE(doc.keyExists(kKeyConfig));
    EXPECT_EQ(doc.readValue(kKeyConfig, kValueCfgUps).data, Bytes{0x0a});
}

// Whatever form the export came in, it reads the same and a save writes the usual 8-bit form.
TEST(RegCodec, ExportReadsAlikeInEveryEncodingAndSavesInTheUsualForm) {
    std::string saved = kExported;
    saved.replace(saved.find("hex:0a"), 6, "hex:07");
    const std::pair<const char*, std::string> forms[] = {{"utf8", kExported},
                                                         {"utf8Bom", "\xEF\xBB\xBF" + kExported},
                                                         {"utf16le", utf16le(kExported)}};
    for (const auto& [name, content] : forms) {
        SCOPED_TRACE(name);
        RegDocument doc = parsed(content);
        EXPECT_EQ(doc.readValue(kKeyConfig, kValueCfgUps).data, (Bytes{1, 2, 3}));
        EXPECT_EQ(text(doc.readValue("\\Software\\Other", "Nombre").data),
                  "Informaci\xC3\xB3n \xF0\x9F\x94\x8B");
        EXPECT_EQ(doc.readValue("\\Software\\Other", "Count").data, (Bytes{0x10, 0, 0, 0}));
        doc.setBinaryValue(kKeyConfig, kValueCfgSnmp, {7});
        EXPECT_EQ(doc.serialize(), saved);
    }
}

TEST(RegCodec, LastOccurrenceOfAValueWinsAndIsTheOneRewritten) {
    RegDocument doc =
        parsed("Windows Registry Editor Version 5.00\n\n" + std::string(kConfigSection) +
               "\n\"CfgUps\"=hex:01\n\n" + std::string(kConfigSection) + "\n\"CfgUps\"=hex:02\n");
    EXPECT_EQ(doc.readValue(kKeyConfig, kValueCfgUps).data, Bytes{2});
    doc.setBinaryValue(kKeyConfig, kValueCfgUps, {3});
    const std::string content = doc.serialize();
    EXPECT_NE(content.find("\"CfgUps\"=hex:01\r\n"), std::string::npos);
    EXPECT_NE(content.find("\"CfgUps\"=hex:03\r\n"), std::string::npos);
    EXPECT_EQ(parsed(content).readValue(kKeyConfig, kValueCfgUps).data, Bytes{3});
}

// ---- texts that are not ours ----

TEST(RegCodec, TextsThatAreNotARegeditExportAreRefused) {
    const std::pair<const char*, std::string> refused[] = {
        {"noHeader", "[HKEY_LOCAL_MACHINE\\Software\\Korvan]\n\"CfgUps\"=hex:01\n"},
        {"utf16NoHeader", std::string("\xFF\xFEW\0i\0n\0", 8)},
        // A UTF-16 export cut or damaged is not a clean export: refused whole.
        {"utf16OddLength", utf16le(kExported) + "\n"},
        {"utf16LoneLowSurrogate", utf16leWithUnit("\x00\xDC"sv)},
        {"utf16HighSurrogateCut", utf16le(kExported) + "\x3D\xD8"},
        {"utf16HighSurrogateThenText", utf16leWithUnit("\x3D\xD8")}};
    for (const auto& [name, content] : refused) {
        EXPECT_FALSE(RegDocument::parse(content)) << name;
    }
}

}  // namespace
}  // namespace ups
