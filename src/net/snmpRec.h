#pragma once
// One SNMP v1 message (RFC 1157) as a record, with its encoder and decoder over asn1util.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
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

// Room for a few bindings inside the record, each made when first needed and kept, with the room
// of its texts, until the holder goes. A new record then costs little to make and to drop, and a
// kept one decodes the usual messages without allocating.
class InlineMibs {
public:
    static constexpr int kSize = 4;

    InlineMibs() {}
    InlineMibs(const InlineMibs& other) { takeFrom(other); }
    InlineMibs(InlineMibs&& other) noexcept { takeFrom(std::move(other)); }
    InlineMibs& operator=(const InlineMibs& other);
    InlineMibs& operator=(InlineMibs&& other) noexcept;
    ~InlineMibs() { dropFrom(0); }

    int made() const { return made_; }
    TSNMPMib& operator[](int index) { return slots_[index].mib; }
    const TSNMPMib& operator[](int index) const { return slots_[index].mib; }
    // Makes the entry after the last one made.
    TSNMPMib& make();
    // Drops the entries from `index` on.
    void dropFrom(int index);

private:
    // A union leaves the entry unmade until make() makes it.
    union Slot {
        Slot() {}
        ~Slot() {}
        TSNMPMib mib;
    };

    // Makes copies of the other's entries, or takes their texts when it is about to go.
    template <typename Other>
    void takeFrom(Other&& other) {
        for (; made_ < other.made_; ++made_) {
            auto& mib = other.slots_[made_].mib;
            if constexpr (std::is_rvalue_reference_v<Other&&>) {
                std::construct_at(&slots_[made_].mib, std::move(mib));
            } else {
                std::construct_at(&slots_[made_].mib, mib);
            }
        }
    }

    Slot slots_[kSize];
    int made_ = 0;
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
    // then costs no allocation for the list. Entries made past MIBCount() are empty.
    static constexpr int kInlineMibs = InlineMibs::kSize;

    TSNMPMib& appendMib();
    TSNMPMib& mibAt(int index);
    const TSNMPMib& mibAt(int index) const;

    InlineMibs firstMibs_;
    std::vector<TSNMPMib> moreMibs_;
    int mibCount_ = 0;
};

}  // namespace ups
