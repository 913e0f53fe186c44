#include "net/snmpRec.h"

namespace ups {

namespace {

void appendInteger(std::string& out, std::int32_t value) {
    appendObject(out, ASNEncInt(value), kAsnInteger);
}

// Counter, Gauge and TimeTicks are never sent by the monitor; the simulator's traps and the tests
// send them as the 32 bits of their value text.
void appendValue(std::string& out, const TSNMPMib& mib) {
    switch (mib.ValueType) {
        case kAsnInteger:
            appendInteger(out, decimalOrZero(mib.Value));
            break;
        case kAsnNull:
            appendObject(out, {}, kAsnNull);
            break;
        case kAsnObjectId:
            appendObject(out, MibToId(mib.Value), kAsnObjectId);
            break;
        case kAsnIpAddress:
            appendObject(out, ipAddressContent(mib.Value), kAsnIpAddress);
            break;
        case kAsnCounter:
        case kAsnGauge:
        case kAsnTimeTicks:
            appendObject(out, unsignedContent(unsignedOrZero(mib.Value)), mib.ValueType);
            break;
        default:
            appendObject(out, mib.Value, mib.ValueType);
            break;
    }
}

}  // namespace

void TSNMPRec::Clear() {
    Version = 0;
    Community.assign(kDefaultCommunity);
    PDUType = 0;
    ErrorStatus = 0;
    ErrorIndex = 0;
    OldTrapEnterprise.clear();
    OldTrapHost.clear();
    OldTrapGen = 0;
    OldTrapSpec = 0;
    OldTrapTimeTicks = 0;
    for (int i = 0; i < mibCount_ && i < kInlineMibs; ++i)
        firstMibs_[static_cast<std::size_t>(i)] = {};
    moreMibs_.clear();
    mibCount_ = 0;
}

TSNMPMib& TSNMPRec::mibAt(int index) {
    return index < kInlineMibs ? firstMibs_[static_cast<std::size_t>(index)]
                               : moreMibs_[static_cast<std::size_t>(index - kInlineMibs)];
}

const TSNMPMib& TSNMPRec::mibAt(int index) const {
    return index < kInlineMibs ? firstMibs_[static_cast<std::size_t>(index)]
                               : moreMibs_[static_cast<std::size_t>(index - kInlineMibs)];
}

TSNMPMib& TSNMPRec::appendMib() {
    if (mibCount_ >= kInlineMibs) moreMibs_.emplace_back();
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
        firstMibs_[static_cast<std::size_t>(mibCount_)] = {};
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
    std::string binding;
    std::string list;
    for (int i = 0; i < mibCount_; ++i) {
        const TSNMPMib& mib = mibAt(i);
        binding.clear();
        appendObject(binding, MibToId(mib.OID), kAsnObjectId);
        appendValue(binding, mib);
        appendObject(list, binding, kAsnSequence);
    }
    std::string pdu;
    if (PDUType == kPduTrap) {
        appendObject(pdu, MibToId(OldTrapEnterprise), kAsnObjectId);
        appendObject(pdu, ipAddressContent(OldTrapHost), kAsnIpAddress);
        appendInteger(pdu, OldTrapGen);
        appendInteger(pdu, OldTrapSpec);
        appendObject(pdu, unsignedContent(static_cast<std::uint32_t>(OldTrapTimeTicks)),
                     kAsnTimeTicks);
    } else {
        appendInteger(pdu, ID);
        appendInteger(pdu, ErrorStatus);
        appendInteger(pdu, ErrorIndex);
    }
    appendObject(pdu, list, kAsnSequence);
    std::string message;
    appendInteger(message, Version);
    appendObject(message, Community, kAsnOctetString);
    appendObject(message, pdu, PDUType);
    return ASNObject(message, kAsnSequence);
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

    Version = itemNumber(pos, buffer);
    // An SNMP v3 message has another layout after the version; nothing of it is read.
    if (Version == 3) return true;
    int tag = 0;
    Community = ASNItem(pos, buffer, tag);
    PDUType = enterItem(pos, buffer);
    if (PDUType == kPduTrap) {
        OldTrapEnterprise = ASNItem(pos, buffer, tag);
        OldTrapHost = ASNItem(pos, buffer, tag);
        OldTrapGen = itemNumber(pos, buffer);
        OldTrapSpec = itemNumber(pos, buffer);
        OldTrapTimeTicks = itemNumber(pos, buffer);
    } else {
        ID = itemNumber(pos, buffer);
        ErrorStatus = itemNumber(pos, buffer);
        ErrorIndex = itemNumber(pos, buffer);
    }
    enterItem(pos, buffer);
    // Fewer than four octets left cannot hold a binding's header and its name's header.
    while (contentEnd - pos >= 4) {
        const int before = pos;
        enterItem(pos, buffer);
        TSNMPMib& mib = appendMib();
        mib.OID = primitiveItem(pos, buffer, tag);
        mib.Value = primitiveItem(pos, buffer, mib.ValueType);
        // Every read with two or more octets left moves the cursor; this keeps the loop finite
        // should that ever change.
        if (pos <= before) break;
    }
    return true;
}

}  // namespace ups
