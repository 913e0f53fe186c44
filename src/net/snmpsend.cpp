#include "net/snmpsend.h"

#include <algorithm>
#include <climits>
#include <cstring>

namespace ups {

namespace {

// Builds a message from its last octet towards its first, so that every length is known when
// its header is written and no content is copied into an enclosing item.
class BackWriter {
public:
    explicit BackWriter(std::size_t capacity) : buffer_(capacity, '\0'), head_(capacity) {}

    std::size_t written() const { return buffer_.size() - head_; }

    void prepend(std::string_view octets) {
        makeRoom(octets.size());
        head_ -= octets.size();
        if (!octets.empty()) std::memcpy(&buffer_[head_], octets.data(), octets.size());
    }

    void prependOctet(std::uint8_t octet) {
        makeRoom(1);
        buffer_[--head_] = static_cast<char>(octet);
    }

    // Closes the item whose content began when `written()` was `contentStart`.
    void prependHeader(int tag, std::size_t contentStart) {
        std::size_t length = written() - contentStart;
        if (length < 0x80) {
            prependOctet(static_cast<std::uint8_t>(length));
        } else {
            int count = 0;
            for (; length; length >>= 8, ++count) prependOctet(length & 0xFF);
            prependOctet(static_cast<std::uint8_t>(0x80 | count));
        }
        prependOctet(static_cast<std::uint8_t>(tag));
    }

    std::string take() && {
        buffer_.erase(0, head_);
        return std::move(buffer_);
    }

private:
    void makeRoom(std::size_t n) {
        if (n <= head_) return;
        const std::size_t used = written();
        std::string grown(std::max(buffer_.size() * 2, used + n + 64), '\0');
        std::memcpy(&grown[grown.size() - used], &buffer_[head_], used);
        head_ = grown.size() - used;
        buffer_.swap(grown);
    }

    std::string buffer_;
    std::size_t head_;
};

void prependTlv(BackWriter& w, int tag, std::string_view content) {
    const std::size_t start = w.written();
    w.prepend(content);
    w.prependHeader(tag, start);
}

// Fewest octets holding `bits` as an unsigned number with the sign bit clear.
void prependMinimalUnsigned(BackWriter& w, std::uint32_t bits) {
    std::uint8_t top;
    do {
        top = bits & 0xFF;
        w.prependOctet(top);
        bits >>= 8;
    } while (bits);
    if (top & 0x80) w.prependOctet(0);
}

// INTEGER content as ASNEncInt writes it: negative values take all four octets.
void prependInteger(BackWriter& w, int tag, std::int32_t value) {
    const std::size_t start = w.written();
    auto bits = static_cast<std::uint32_t>(value);
    if (value < 0) {
        for (int i = 0; i < 4; ++i, bits >>= 8) w.prependOctet(bits & 0xFF);
    } else {
        prependMinimalUnsigned(w, bits);
    }
    w.prependHeader(tag, start);
}

// Counter, Gauge and TimeTicks: the 32 bits as an unsigned number.
void prependUnsigned(BackWriter& w, int tag, std::uint32_t value) {
    const std::size_t start = w.written();
    prependMinimalUnsigned(w, value);
    w.prependHeader(tag, start);
}

// Value text of an unsigned type: decimal, either as the signed number that the decoder writes
// for 2^31 and more, or as the unsigned number itself; anything else is 0.
std::uint32_t unsignedValue(std::string_view text) {
    std::size_t i = 0;
    const bool negative = !text.empty() && text[0] == '-';
    if (negative || (!text.empty() && text[0] == '+')) ++i;
    if (i == text.size()) return 0;
    std::int64_t value = 0;
    for (; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9') return 0;
        value = value * 10 + (text[i] - '0');
        if (value > UINT32_MAX) return 0;
    }
    if (negative) {
        if (value > static_cast<std::int64_t>(INT32_MAX) + 1) return 0;
        value = -value;
    }
    return static_cast<std::uint32_t>(value);
}

std::string ipAddressOctets(std::string_view dotted) {
    std::string octets(4, '\0');
    std::size_t from = 0;
    for (int i = 0; i < 4 && from <= dotted.size(); ++i) {
        const std::size_t dot = dotted.find('.', from);
        const std::string_view piece =
            dotted.substr(from, dot == std::string_view::npos ? dotted.npos : dot - from);
        octets[static_cast<std::size_t>(i)] = static_cast<char>(decimalOrZero(piece) & 0xFF);
        if (dot == std::string_view::npos) break;
        from = dot + 1;
    }
    return octets;
}

void prependValue(BackWriter& w, const TSNMPMib& mib) {
    switch (mib.ValueType) {
        case kAsnInteger:
            prependInteger(w, kAsnInteger, decimalOrZero(mib.Value));
            break;
        case kAsnNull:
            prependTlv(w, kAsnNull, {});
            break;
        case kAsnObjectId:
            prependTlv(w, kAsnObjectId, MibToId(mib.Value));
            break;
        case kAsnIpAddress:
            prependTlv(w, kAsnIpAddress, ipAddressOctets(mib.Value));
            break;
        case kAsnCounter:
        case kAsnGauge:
        case kAsnTimeTicks:
            prependUnsigned(w, mib.ValueType, unsignedValue(mib.Value));
            break;
        default:
            prependTlv(w, mib.ValueType, mib.Value);
            break;
    }
}

// Value text of an item, with the cursor rules of ASNItem. Constructed items give their content.
std::string readText(int& pos, std::string_view buffer) {
    const AsnItemHead head = readItemHead(pos, buffer);
    std::string text;
    if (!head.complete) return text;
    if (head.tag & kAsnConstructed) {
        text.assign(head.content);
    } else {
        appendValueText(text, head.tag, head.content);
    }
    return text;
}

// The decimal value of an item's text, 0 when the text is not a number; integer types are read
// straight from their octets, which gives the same number without building the text.
std::int32_t readNumber(int& pos, std::string_view buffer) {
    const AsnItemHead head = readItemHead(pos, buffer);
    if (!head.complete) return 0;
    switch (head.tag) {
        case kAsnBoolean:
        case kAsnInteger:
        case kAsnEnumerated:
            return contentAsSigned(head.content);
        case kAsnCounter:
        case kAsnGauge:
        case kAsnTimeTicks:
            return contentAsUnsigned(head.content);
        default: {
            std::string text;
            if (head.tag & kAsnConstructed) {
                text.assign(head.content);
            } else {
                appendValueText(text, head.tag, head.content);
            }
            return decimalOrZero(text);
        }
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
    std::size_t estimate = 64 + Community.size() + OldTrapEnterprise.size();
    for (int i = 0; i < mibCount_; ++i)
        estimate += 16 + mibAt(i).OID.size() + mibAt(i).Value.size();
    BackWriter w(estimate);

    const std::size_t listStart = w.written();
    for (int i = mibCount_ - 1; i >= 0; --i) {
        const TSNMPMib& mib = mibAt(i);
        const std::size_t bindingStart = w.written();
        prependValue(w, mib);
        prependTlv(w, kAsnObjectId, MibToId(mib.OID));
        w.prependHeader(kAsnSequence, bindingStart);
    }
    w.prependHeader(kAsnSequence, listStart);

    if (PDUType == kPduTrap) {
        prependUnsigned(w, kAsnTimeTicks, static_cast<std::uint32_t>(OldTrapTimeTicks));
        prependInteger(w, kAsnInteger, OldTrapSpec);
        prependInteger(w, kAsnInteger, OldTrapGen);
        prependTlv(w, kAsnIpAddress, ipAddressOctets(OldTrapHost));
        prependTlv(w, kAsnObjectId, MibToId(OldTrapEnterprise));
    } else {
        prependInteger(w, kAsnInteger, ErrorIndex);
        prependInteger(w, kAsnInteger, ErrorStatus);
        prependInteger(w, kAsnInteger, ID);
    }
    w.prependHeader(PDUType, 0);

    prependTlv(w, kAsnOctetString, Community);
    prependInteger(w, kAsnInteger, Version);
    w.prependHeader(kAsnSequence, 0);
    return std::move(w).take();
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

    Version = readNumber(pos, buffer);
    // An SNMP v3 message has another layout after the version; nothing of it is read.
    if (Version == 3) return true;
    Community = readText(pos, buffer);
    PDUType = readItemHead(pos, buffer).tag;
    if (PDUType == kPduTrap) {
        OldTrapEnterprise = readText(pos, buffer);
        OldTrapHost = readText(pos, buffer);
        OldTrapGen = readNumber(pos, buffer);
        OldTrapSpec = readNumber(pos, buffer);
        OldTrapTimeTicks = readNumber(pos, buffer);
    } else {
        ID = readNumber(pos, buffer);
        ErrorStatus = readNumber(pos, buffer);
        ErrorIndex = readNumber(pos, buffer);
    }
    readItemHead(pos, buffer);
    decodeBindings(pos, buffer, contentEnd);
    return true;
}

void TSNMPRec::decodeBindings(int& pos, std::string_view buffer, std::int64_t contentEnd) {
    // A binding never holds a constructed name or value in SNMP v1. Such an item decodes with an
    // empty text: its content is read again as the following bindings, and copying it as well
    // would let nested items cost memory quadratic in the datagram's size.
    auto readBindingText = [&](std::string& text) {
        const AsnItemHead head = readItemHead(pos, buffer);
        if (head.complete && !(head.tag & kAsnConstructed)) {
            appendValueText(text, head.tag, head.content);
        }
        return head.tag;
    };
    // Fewer than four octets left cannot hold a binding's header and its name's header.
    while (contentEnd - pos >= 4) {
        const int before = pos;
        readItemHead(pos, buffer);
        TSNMPMib& mib = appendMib();
        readBindingText(mib.OID);
        mib.ValueType = readBindingText(mib.Value);
        // Every read with two or more octets left moves the cursor; this keeps the loop finite
        // should that ever change.
        if (pos <= before) break;
    }
}

bool TSNMPSend::SendRequest() {
    Sock.Bind(IPInterface, "0");
    if (Sock.LastError()) return false;
    Sock.Connect(TargetHost, TargetPort);
    if (Sock.LastError()) return false;
    Sock.AttachRemote();
    if (Sock.LastError()) return false;
    Buffer = Query.EncodeBuf();
    Sock.SendString(Buffer);
    if (Sock.LastError()) return false;
    Reply.Clear();
    HostIP = "0.0.0.0";
    Buffer = Sock.RecvPacket(Timeout);
    if (Sock.LastError()) return false;
    HostIP = Sock.GetRemoteSinIP();
    return Reply.DecodeBuf(Buffer);
}

bool TSNMPSend::RecvTrap() {
    if (!Sock.IsBound()) {
        Sock.Bind(IPInterface, TargetPort);
        if (Sock.LastError()) {
            Sock.CloseSocket();
            return false;
        }
    }
    Reply.Clear();
    HostIP = "0.0.0.0";
    Buffer = Sock.RecvPacket(Timeout);
    if (Sock.LastError()) return false;
    HostIP = Sock.GetRemoteSinIP();
    return Reply.DecodeBuf(Buffer);
}

namespace {

void prepareQuery(TSNMPSend& snmp, int pduType, const std::string& community,
                  const std::string& host, const std::string& port, int timeoutMs) {
    snmp.Query.Clear();
    snmp.Query.Community = community;
    snmp.Query.PDUType = pduType;
    snmp.TargetHost = host;
    snmp.TargetPort = port;
    snmp.Timeout = timeoutMs;
}

}  // namespace

bool SNMPGet(const std::string& oid, const std::string& community, const std::string& snmpHost,
             std::string& value, const std::string& port, int timeoutMs) {
    TSNMPSend snmp;
    prepareQuery(snmp, kPduGetRequest, community, snmpHost, port, timeoutMs);
    snmp.Query.MIBAdd(oid, "", kAsnNull);
    const bool answered = snmp.SendRequest();
    value.clear();
    if (answered) value = snmp.Reply.MIBGet(oid);
    return answered;
}

bool SNMPSet(const std::string& oid, const std::string& community, const std::string& snmpHost,
             const std::string& value, int valueType, const std::string& port, int timeoutMs) {
    TSNMPSend snmp;
    prepareQuery(snmp, kPduSetRequest, community, snmpHost, port, timeoutMs);
    snmp.Query.MIBAdd(oid, value, valueType);
    return snmp.SendRequest();
}

bool SNMPGetNext(std::string& oid, const std::string& community, const std::string& snmpHost,
                 std::string& value, const std::string& port, int timeoutMs) {
    TSNMPSend snmp;
    prepareQuery(snmp, kPduGetNextRequest, community, snmpHost, port, timeoutMs);
    ++snmp.Query.ID;
    snmp.Query.MIBAdd(oid, "", kAsnNull);
    const bool answered = snmp.SendRequest();
    value.clear();
    if (answered && snmp.Reply.MIBCount() > 0) {
        oid = snmp.Reply.MIBByIndex(0)->OID;
        value = snmp.Reply.MIBByIndex(0)->Value;
    }
    return answered;
}

void takeTrapContents(const TSNMPSend& snmp, TrapContents& trap) {
    const TSNMPRec& reply = snmp.Reply;
    trap.sender = snmp.HostIP;
    trap.agent = reply.OldTrapHost;
    trap.enterprise = reply.OldTrapEnterprise;
    trap.community = reply.Community;
    trap.generic = reply.OldTrapGen;
    trap.specific = reply.OldTrapSpec;
    trap.timeStamp = reply.OldTrapTimeTicks;
    trap.names.clear();
    trap.values.clear();
    for (int i = 0; i < reply.MIBCount(); ++i) {
        trap.names.push_back(reply.MIBByIndex(i)->OID);
        trap.values.push_back(reply.MIBByIndex(i)->Value);
    }
}

int RecvTrap(std::string& sender, std::string& agent, std::string& enterprise,
             std::string& community, std::int32_t& generic, std::int32_t& specific,
             std::int32_t& timeStamp, std::vector<std::string>& names,
             std::vector<std::string>& values, const std::string& port, int timeoutMs) {
    TSNMPSend snmp;
    snmp.TargetPort = port;
    snmp.Timeout = timeoutMs;
    if (!snmp.RecvTrap()) return 0;
    TrapContents trap;
    takeTrapContents(snmp, trap);
    sender = std::move(trap.sender);
    agent = std::move(trap.agent);
    enterprise = std::move(trap.enterprise);
    community = std::move(trap.community);
    generic = trap.generic;
    specific = trap.specific;
    timeStamp = trap.timeStamp;
    names = std::move(trap.names);
    values = std::move(trap.values);
    return 1;
}

}  // namespace ups
