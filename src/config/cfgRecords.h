#pragma once
// The two configuration records, stored byte for byte as the registry values "CfgUps" (356 bytes)
// and "CfgSnmp" (72 bytes). Their layout is a storage format: integers little-endian, the date a
// little-endian IEEE double, texts NUL-terminated single-byte characters. Reserved bytes are kept
// as read.
#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace ups {

static_assert(std::endian::native == std::endian::little,
              "the records are stored in the host's byte order, which must be little-endian");

inline constexpr std::string_view kKeySoftware = "\\Software\\Korvan";
inline constexpr std::string_view kKeyUps = "\\Software\\Korvan\\Ups";
inline constexpr std::string_view kKeyConfig = "\\Software\\Korvan\\Ups\\SysCfg_V1.2";
inline constexpr std::string_view kValueCfgUps = "CfgUps";
inline constexpr std::string_view kValueCfgSnmp = "CfgSnmp";

inline constexpr std::int32_t kEnterprise = 27431;

// Battery-test modes (CfgUps.testMode). Any other value means no scheduled test.
enum TestMode : std::int32_t {
    tmNever = 0,
    tmWinStart = 1,
    tmCnStart = 2,
    tmDias = 3,
    tmSchedule = 4,
};

// Weekday order of testSched: Sunday first.
struct TestSchedEntry {
    std::uint8_t enabled;
    std::uint8_t hour;
    std::uint8_t minute;
};

#pragma pack(push, 4)
struct CfgUps {
    std::uint8_t pswUnset;
    std::uint8_t reserved1[3];
    std::int32_t portStatus[4];
    std::uint8_t pswCode[8];
    std::uint8_t reserved2[256];
    std::uint8_t pswEnabled;
    std::uint8_t reserved3[3];
    std::int32_t comPort;
    std::int32_t tmpFail;
    std::int32_t tmpBat;
    std::int32_t tmpLowB;
    TestSchedEntry testSched[7];
    std::uint8_t reserved4[3];
    std::int32_t testMode;
    double lastTest;
    std::int32_t testInterval;
    std::uint8_t askStart;
    std::uint8_t reserved5[3];
    std::int32_t startCount;
    std::uint8_t enhShutdwn;
    std::uint8_t reserved6[3];
};

struct CfgSnmp {
    std::uint8_t enhSnmp;
    char ipAgent[23];
    std::int32_t enterprise;
    char snmpPass[40];
    std::uint8_t enhTrap;
    std::uint8_t snmpPassSet;
    std::uint8_t reserved[2];
};
#pragma pack(pop)

static_assert(sizeof(TestSchedEntry) == 3);
static_assert(sizeof(CfgUps) == 356);
static_assert(offsetof(CfgUps, pswUnset) == 0);
static_assert(offsetof(CfgUps, portStatus) == 4);
static_assert(offsetof(CfgUps, pswCode) == 20);
static_assert(offsetof(CfgUps, reserved2) == 28);
static_assert(offsetof(CfgUps, pswEnabled) == 284);
static_assert(offsetof(CfgUps, comPort) == 288);
static_assert(offsetof(CfgUps, tmpFail) == 292);
static_assert(offsetof(CfgUps, tmpBat) == 296);
static_assert(offsetof(CfgUps, tmpLowB) == 300);
static_assert(offsetof(CfgUps, testSched) == 304);
static_assert(offsetof(CfgUps, reserved4) == 325);
static_assert(offsetof(CfgUps, testMode) == 328);
static_assert(offsetof(CfgUps, lastTest) == 332);
static_assert(offsetof(CfgUps, testInterval) == 340);
static_assert(offsetof(CfgUps, askStart) == 344);
static_assert(offsetof(CfgUps, startCount) == 348);
static_assert(offsetof(CfgUps, enhShutdwn) == 352);

static_assert(sizeof(CfgSnmp) == 72);
static_assert(offsetof(CfgSnmp, enhSnmp) == 0);
static_assert(offsetof(CfgSnmp, ipAgent) == 1);
static_assert(offsetof(CfgSnmp, enterprise) == 24);
static_assert(offsetof(CfgSnmp, snmpPass) == 28);
static_assert(offsetof(CfgSnmp, enhTrap) == 68);
static_assert(offsetof(CfgSnmp, snmpPassSet) == 69);
static_assert(offsetof(CfgSnmp, reserved) == 70);

static_assert(std::is_trivially_copyable_v<CfgUps> && std::is_standard_layout_v<CfgUps>);
static_assert(std::is_trivially_copyable_v<CfgSnmp> && std::is_standard_layout_v<CfgSnmp>);

template <typename Record>
std::vector<std::uint8_t> recordBytes(const Record& r) {
    std::vector<std::uint8_t> bytes(sizeof(Record));
    std::memcpy(bytes.data(), &r, sizeof(Record));
    return bytes;
}

// Copies stored data over the leading bytes of a record; the caller has checked the size.
template <typename Record>
void overlayRecord(Record& r, std::span<const std::uint8_t> data) {
    if (data.empty()) return;  // an empty vector may hand out a null pointer, which memcpy forbids
    std::memcpy(&r, data.data(), data.size() < sizeof(Record) ? data.size() : sizeof(Record));
}

// A NUL-terminated text field read as a string (stops at the field's end if no NUL).
template <std::size_t N>
std::string fieldText(const char (&field)[N]) {
    return std::string(field, strnlen(field, N));
}

// Stores text into a fixed field, truncated to leave room for the NUL; the rest is zero-filled.
template <std::size_t N>
void setFieldText(char (&field)[N], std::string_view text, std::size_t maxChars = N - 1) {
    std::size_t n = text.size() < maxChars ? text.size() : maxChars;
    if (n > N - 1) n = N - 1;
    std::memset(field, 0, N);
    std::memcpy(field, text.data(), n);
}

// Records in their zero-filled state, as they are before the defaults are written.
inline void clearRecords(CfgUps& ups, CfgSnmp& snmp) {
    std::memset(&ups, 0, sizeof ups);
    std::memset(&snmp, 0, sizeof snmp);
}

}  // namespace ups
