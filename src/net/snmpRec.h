#pragma once
// One SNMP v1 message (RFC 1157) as a record, with its encoder and decoder over asn1util.
#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "net/asn1util.h"

namespace ups {

inline constexpr int kPduGetRequest = 0xA0;
inline constexpr int kPduGetNextRequest = 0xA1;
inline constexpr int kPduGetResponse = 0xA2;
inline constexpr int kPduSetRequest = 0xA3;
inline constexpr int kPduTrap = 0xA4;

// One variable binding; the value in text form (INTEGER as signed decimal, OCTET STRING as its
// octets, NULL empty) and its BER tag.
struct TSNMPMib {
    std::string OID;
    std::string Value;
    int ValueType = kAsnNull;

    bool operator==(const TSNMPMib&) const = default;
};

class TSNMPRec {
public:
    static constexpr std::string_view kDefaultCommunity = "ambito";

    std::int32_t Version = 0;
    std::string Community{kDefaultCommunity};
    std::int32_t PDUType = 0;
    std::int32_t ID = 1;
    std::int32_t ErrorStatus = 0;
    std::int32_t ErrorIndex = 0;
    std::string OldTrapEnterprise;
    std::string OldTrapHost;
    std::int32_t OldTrapGen = 0;
    std::int32_t OldTrapSpec = 0;
    std::int32_t OldTrapTimeTicks = 0;

    // Back to an empty v1 message with the community "ambito". ID is kept.
    void Clear();
    void MIBAdd(std::string oid, std::string value, int valueType);
    int MIBCount() const { return mibCount_; }
    // The entry at a 0-based index, or nullptr when there is none.
    const TSNMPMib* MIBByIndex(int index) const;
    void MIBDelete(int index);
    // Value of the first entry whose OID text equals `oid` byte for byte; empty when none does.
    std::string MIBGet(std::string_view oid) const;

    std::string EncodeBuf() const;
    // Clears the record and fills it from a datagram. False only when the octets cannot be a
    // message at all (fewer than 2, not constructed, or shorter than the outer length says);
    // items that are missing or cut decode as empty texts and zeros.
    bool DecodeBuf(std::string_view buffer);

    bool operator==(const TSNMPRec& other) const;

private:
    // The first bindings live in the record itself: a message rarely has more, and decoding one
    // then costs no allocation for the list. Entries past MIBCount() are kept empty.
    static constexpr int kInlineMibs = 4;

    TSNMPMib& appendMib();
    TSNMPMib& mibAt(int index);
    const TSNMPMib& mibAt(int index) const;

    std::array<TSNMPMib, kInlineMibs> firstMibs_;
    std::vector<TSNMPMib> moreMibs_;
    int mibCount_ = 0;
};

}  // namespace ups
