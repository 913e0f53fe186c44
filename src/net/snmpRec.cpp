#include "net/snmpRec.h"

#include <array>
#include <cstring>

namespace ups {

namespace {

// Identifiers are the one part of a message whose size costs as much to find as to write: the
// sizing pass encodes them here, and the writing pass copies them. One that no longer fits is
// encoded again where it goes.
class OidScratch {
public:
    struct Oid {
        std::uint32_t offset;  // kNotKept when encoded again in the writing pass
        std::uint32_t size;
    };

    Oid encode(std::string_view dotted) {
        // The content never takes more octets than the text has characters, plus one.
        if (dotted.size() + 1 > sizeof octets_ - used_) {
            return {kNotKept, static_cast<std::uint32_t>(oidSize(dotted))};
        }
        const char* end = writeOid(octets_ + used_, dotted);
        const Oid oid{used_, static_cast<std::uint32_t>(end - (octets_ + used_))};
        used_ += oid.size;
        return oid;
    }

    char* write(char* at, Oid oid, std::string_view dotted) const {
        if (oid.offset == kNotKept) return writeOid(at, dotted);
        std::memcpy(at, octets_ + oid.offset, oid.size);
        return at + oid.size;
    }

private:
    static constexpr std::uint32_t kNotKept = UINT32_MAX;
    char octets_[1024];
    std::uint32_t used_ = 0;
};

// A binding's name and value, as the sizing pass found them: the content sizes, the value's 32
// bits where it is a number, and where the encoded identifiers are kept.
struct BindingSizes {
    OidScratch::Oid name;
    OidScratch::Oid oidValue;
    std::uint32_t value;
    std::uint32_t number;

    std::size_t content() const { return itemSize(name.size) + itemSize(value); }
};

// Counter, Gauge and TimeTicks are never sent by the monitor; the simulator's traps and the tests
// send them as the 32 bits of their value text. Types the encoder does not know carry their text
// unchanged.
BindingSizes sizeBinding(const TSNMPMib& mib, OidScratch& oids) {
    BindingSizes sizes{oids.encode(mib.OID), {}, 0, 0};
    switch (mib.ValueType) {
        case kAsnInteger: {
            const std::int32_t value = decimalOrZero(mib.Value);
            sizes.number = static_cast<std::uint32_t>(value);
            sizes.value = static_cast<std::uint32_t>(signedSize(value));
            break;
        }
        case kAsnNull:
            break;
        case kAsnObjectId:
            sizes.oidValue = oids.encode(mib.Value);
            sizes.value = sizes.oidValue.size;
            break;
        case kAsnIpAddress:
            sizes.value = kIpAddressSize;
            break;
        case kAsnCounter:
        case kAsnGauge:
        case kAsnTimeTicks:
            sizes.number = unsignedOrZero(mib.Value);
            sizes.value = static_cast<std::uint32_t>(unsignedSize(sizes.number));
            break;
        default:
            sizes.value = static_cast<std::uint32_t>(mib.Value.size());
            break;
    }
    return sizes;
}

char* writeBinding(char* at, const TSNMPMib& mib, const BindingSizes& sizes,
                   const OidScratch& oids) {
    at = writeHeader(at, kAsnSequence, sizes.content());
    at = oids.write(writeHeader(at, kAsnObjectId, sizes.name.size), sizes.name, mib.OID);
    at = writeHeader(at, mib.ValueType, sizes.value);
    switch (mib.ValueType) {
        case kAsnInteger:
            return writeSigned(at, static_cast<std::int32_t>(sizes.number));
        case kAsnNull:
            return at;
        case kAsnObjectId:
            return oids.write(at, sizes.oidValue, mib.Value);
        case kAsnIpAddress:
            return writeIpAddress(at, mib.Value);
        case kAsnCounter:
        case kAsnGauge:
        case kAsnTimeTicks:
            return writeUnsigned(at, sizes.number);
        default:
            if (sizes.value) std::memcpy(at, mib.Value.data(), sizes.value);
            return at + sizes.value;
    }
}

std::size_t integerSize(std::int32_t value) {
    return itemSize(signedSize(value));
}

char* writeInteger(char* at, std::int32_t value) {
    return writeSigned(writeHeader(at, kAsnInteger, signedSize(value)), value);
}

char* writeOctets(char* at, int tag, std::string_view octets) {
    at = writeHeader(at, tag, octets.size());
    if (!octets.empty()) std::memcpy(at, octets.data(), octets.size());
    return at + octets.size();
}

// An identifier whose whole content is in the datagram, read as dotted text.
bool isIdentifier(const AsnItemHead& head) {
    return head.complete && head.tag == kAsnObjectId;
}

// A binding's name or value: never constructed in an SNMP v1 message, so a constructed item gives
// an empty text. Its content is read again as the items that follow, and copying it as well
// would let nested items cost memory quadratic in their size.
void primitiveText(std::string& out, const AsnItemHead& head) {
    if (head.complete && !(head.tag & kAsnConstructed)) {
        assignValueText(out, head.tag, head.content);
    } else {
        out.clear();
    }
}

}  // namespace

void TSNMPRec::Clear() {
    Version = 0;
    if (Community != kDefaultCommunity) Community.assign(kDefaultCommunity);
    PDUType = 0;
    ErrorStatus = 0;
    ErrorIndex = 0;
    OldTrapEnterprise.clear();
    OldTrapHost.clear();
    OldTrapGen = 0;
    OldTrapSpec = 0;
    OldTrapTimeTicks = 0;
    // The first entries keep the room of their texts, so that a record that receives message
    // after message decodes the usual ones without allocating.
    for (int i = 0; i < mibCount_ && i < kInlineMibs; ++i) {
        TSNMPMib& mib = mibAt(i);
        mib.OID.clear();
        mib.Value.clear();
        mib.ValueType = kAsnNull;
    }
    moreMibs_.clear();
    mibCount_ = 0;
}

InlineMibs& InlineMibs::operator=(const InlineMibs& other) {
    if (this != &other) {
        dropFrom(0);
        takeFrom(other);
    }
    return *this;
}

InlineMibs& InlineMibs::operator=(InlineMibs&& other) noexcept {
    if (this != &other) {
        dropFrom(0);
        takeFrom(std::move(other));
    }
    return *this;
}

TSNMPMib& InlineMibs::make() {
    std::construct_at(&slots_[made_].mib);
    return slots_[made_++].mib;
}

void InlineMibs::dropFrom(int index) {
    for (; made_ > index; --made_) std::destroy_at(&slots_[made_ - 1].mib);
}

TSNMPMib& TSNMPRec::mibAt(int index) {
    return index < kInlineMibs ? firstMibs_[index]
                               : moreMibs_[static_cast<std::size_t>(index - kInlineMibs)];
}

const TSNMPMib& TSNMPRec::mibAt(int index) const {
    return index < kInlineMibs ? firstMibs_[index]
                               : moreMibs_[static_cast<std::size_t>(index - kInlineMibs)];
}

TSNMPMib& TSNMPRec::appendMib() {
    if (mibCount_ >= kInlineMibs) {
        moreMibs_.emplace_back();
    } else if (mibCount_ == firstMibs_.made()) {
        firstMibs_.make();
    }
    return mibAt(mibCount_++);
}

void TSNMPRec::MIBAdd(std::string oid, std::string value, int valueType) {
    TSNMPMib& mib = appendMib();
    mib.OID = std::move(oid);
    mib.Value = std::move(value);
    mib.ValueType = valueType;
}

const TSNMPMib* TSNMPRec::MIBByIndex(int index) const {
    if (index < 0 || index >= mibCount_) return nullptr;
    return &mibAt(index);
}

void TSNMPRec::MIBDelete(int index) {
    if (index < 0 || index >= mibCount_) return;
    for (int i = index; i + 1 < mibCount_; ++i) mibAt(i) = std::move(mibAt(i + 1));
    --mibCount_;
    if (mibCount_ >= kInlineMibs) {
        moreMibs_.pop_back();
    } else {
        firstMibs_.dropFrom(mibCount_);
    }
}

std::string TSNMPRec::MIBGet(std::string_view oid) const {
    for (int i = 0; i < mibCount_; ++i) {
        if (mibAt(i).OID == oid) return mibAt(i).Value;
    }
    return {};
}

bool TSNMPRec::operator==(const TSNMPRec& other) const {
    if (Version != other.Version || Community != other.Community || PDUType != other.PDUType ||
        ID != other.ID || ErrorStatus != other.ErrorStatus || ErrorIndex != other.ErrorIndex ||
        OldTrapEnterprise != other.OldTrapEnterprise || OldTrapHost != other.OldTrapHost ||
        OldTrapGen != other.OldTrapGen || OldTrapSpec != other.OldTrapSpec ||
        OldTrapTimeTicks != other.OldTrapTimeTicks || mibCount_ != other.mibCount_) {
        return false;
    }
    for (int i = 0; i < mibCount_; ++i) {
        if (!(mibAt(i) == other.mibAt(i))) return false;
    }
    return true;
}

std::string TSNMPRec::EncodeBuf() const {
    // Sizing pass: every item's size, from the bindings out to the message.
    std::array<BindingSizes, 8> fewSizes;
    std::vector<BindingSizes> manySizes;
    BindingSizes* sizes = fewSizes.data();
    if (static_cast<std::size_t>(mibCount_) > fewSizes.size()) {
        manySizes.resize(static_cast<std::size_t>(mibCount_));
        sizes = manySizes.data();
    }
    OidScratch oids;
    std::size_t list = 0;
    for (int i = 0; i < mibCount_; ++i) {
        sizes[i] = sizeBinding(mibAt(i), oids);
        list += itemSize(sizes[i].content());
    }
    const bool trap = PDUType == kPduTrap;
    const auto timeTicks = static_cast<std::uint32_t>(OldTrapTimeTicks);
    const OidScratch::Oid enterprise = trap ? oids.encode(OldTrapEnterprise) : OidScratch::Oid{};
    std::size_t pdu = itemSize(list);
    if (trap) {
        pdu += itemSize(enterprise.size) + itemSize(kIpAddressSize) + integerSize(OldTrapGen) +
               integerSize(OldTrapSpec) + itemSize(unsignedSize(timeTicks));
    } else {
        pdu += integerSize(ID) + integerSize(ErrorStatus) + integerSize(ErrorIndex);
    }
    const std::size_t message = integerSize(Version) + itemSize(Community.size()) + itemSize(pdu);

    // Writing pass: forward, into the message's exact size.
    std::string out(itemSize(message), '\0');
    char* at = writeHeader(out.data(), kAsnSequence, message);
    at = writeInteger(at, Version);
    at = writeOctets(at, kAsnOctetString, Community);
    at = writeHeader(at, PDUType, pdu);
    if (trap) {
        at = oids.write(writeHeader(at, kAsnObjectId, enterprise.size), enterprise,
                        OldTrapEnterprise);
        at = writeIpAddress(writeHeader(at, kAsnIpAddress, kIpAddressSize), OldTrapHost);
        at = writeInteger(at, OldTrapGen);
        at = writeInteger(at, OldTrapSpec);
        at = writeUnsigned(writeHeader(at, kAsnTimeTicks, unsignedSize(timeTicks)), timeTicks);
    } else {
        at = writeInteger(at, ID);
        at = writeInteger(at, ErrorStatus);
        at = writeInteger(at, ErrorIndex);
    }
    at = writeHeader(at, kAsnSequence, list);
    for (int i = 0; i < mibCount_; ++i) at = writeBinding(at, mibAt(i), sizes[i], oids);
    return out;
}

bool TSNMPRec::DecodeBuf(std::string_view buffer) {
    Clear();
    if (buffer.size() < 2 || !(static_cast<std::uint8_t>(buffer[0]) & kAsnConstructed))
        return false;
    int pos = 2;
    const std::int32_t outerLength = ASNDecLen(pos, buffer);
    if (outerLength < 0 || buffer.size() < static_cast<std::uint64_t>(outerLength) + 2)
        return false;
    // Counted from the end of the length octets (1-based and exclusive, like the cursor): BER
    // lets a sender spend more octets on a length than its value needs.
    const std::int64_t contentEnd = static_cast<std::int64_t>(pos) + outerLength;

    ItemCursor items(buffer, pos);
    Version = items.number();
    // An SNMP v3 message has another layout after the version; nothing of it is read.
    if (Version == 3) return true;
    assignItemText(Community, items.next());
    // The enterprise and the bindings' names, which mostly start alike.
    MibTextWriter names;
    PDUType = items.enter();
    if (PDUType == kPduTrap) {
        const AsnItemHead enterprise = items.next();
        if (isIdentifier(enterprise)) {
            names.assign(OldTrapEnterprise, enterprise.content);
        } else {
            assignItemText(OldTrapEnterprise, enterprise);
        }
        assignItemText(OldTrapHost, items.next());
        OldTrapGen = items.number();
        OldTrapSpec = items.number();
        OldTrapTimeTicks = items.number();
    } else {
        ID = items.number();
        ErrorStatus = items.number();
        ErrorIndex = items.number();
    }
    items.enter();
    // Fewer than four octets left cannot hold a binding's header and its name's header.
    while (contentEnd - items.position() >= 4) {
        const int before = items.position();
        items.enter();
        TSNMPMib& mib = appendMib();
        const AsnItemHead name = items.next();
        if (isIdentifier(name)) {
            names.assign(mib.OID, name.content);
        } else {
            primitiveText(mib.OID, name);
        }
        const AsnItemHead value = items.next();
        mib.ValueType = value.tag;
        primitiveText(mib.Value, value);
        // Every read with two or more octets left moves the cursor; this keeps the loop finite
        // should that ever change.
        if (items.position() <= before) break;
    }
    return true;
}

}  // namespace ups
