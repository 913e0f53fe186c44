#pragma once
// Random SNMP v1 messages for the codec's property and robustness tests.
#include <random>
#include <string>

#include "net/snmpRec.h"

namespace ups::test {

// Records that survive a trip through the encoder unchanged: canonical texts for each type. Half
// the identifiers start like the one before, as the names of one message mostly do, and one
// message in sixteen has more bindings and identifiers than the encoder keeps at hand.
class MessageGenerator {
public:
    explicit MessageGenerator(unsigned seed) : random_(seed) {}

    TSNMPRec next() {
        TSNMPRec rec;
        rec.Version = static_cast<std::int32_t>(random_() % 2);
        rec.Community = octets(random_() % 4 == 0 ? 200 : 12);
        const int pduTypes[] = {kPduGetRequest, kPduGetNextRequest, kPduGetResponse, kPduSetRequest,
                                kPduTrap};
        rec.PDUType = pduTypes[random_() % 5];
        if (rec.PDUType == kPduTrap) {
            rec.OldTrapEnterprise = oid();
            rec.OldTrapHost = ip();
            rec.OldTrapGen = number();
            rec.OldTrapSpec = number();
            rec.OldTrapTimeTicks = number();
        } else {
            rec.ID = number();
            rec.ErrorStatus = number();
            rec.ErrorIndex = number();
        }
        for (int n = random_() % 16 == 0 ? 40 : random_() % 6; n > 0; --n) addBinding(rec);
        return rec;
    }

private:
    void addBinding(TSNMPRec& rec) {
        switch (random_() % 9) {
            case 0:
                rec.MIBAdd(oid(), std::to_string(number()), kAsnInteger);
                break;
            case 1:
                rec.MIBAdd(oid(), octets(random_() % 3 == 0 ? 400 : 20), kAsnOctetString);
                break;
            case 2:
                rec.MIBAdd(oid(), "", kAsnNull);
                break;
            case 3:
                rec.MIBAdd(oid(), oid(), kAsnObjectId);
                break;
            case 4:
                rec.MIBAdd(oid(), ip(), kAsnIpAddress);
                break;
            case 5:
                rec.MIBAdd(oid(), std::to_string(number()), kAsnCounter);
                break;
            case 6:
                rec.MIBAdd(oid(), std::to_string(number()), kAsnGauge);
                break;
            case 7:
                rec.MIBAdd(oid(), std::to_string(number()), kAsnTimeTicks);
                break;
            default:
                rec.MIBAdd(oid(), octets(8), kAsnOpaque);
                break;
        }
    }

    std::int32_t number() {
        const auto value = static_cast<std::int32_t>(random_());
        return random_() % 2 ? value : value >> (random_() % 31);
    }

    std::string octets(unsigned maxLength) {
        std::string text(random_() % (maxLength + 1), '\0');
        for (char& c : text) c = static_cast<char>(random_());
        return text;
    }

    std::string oid() {
        std::string text;
        if (random_() % 2 && !earlierOid_.empty()) {
            // Up to a random dot of the one before, past its first two numbers.
            const std::size_t end = earlierOid_.find('.', 3 + random_() % earlierOid_.size());
            text = earlierOid_.substr(0, end);
        } else {
            text = std::to_string(random_() % 3) + "." + std::to_string(random_() % 40);
        }
        for (int n = random_() % 14; n > 0; --n) {
            text += "." + std::to_string(random_() >> (random_() % 32));
        }
        earlierOid_ = text;
        return text;
    }

    std::string ip() {
        std::string text;
        for (int i = 0; i < 4; ++i) text += (i ? "." : "") + std::to_string(random_() % 256);
        return text;
    }

    std::mt19937 random_;
    std::string earlierOid_;
};

}  // namespace ups::test
