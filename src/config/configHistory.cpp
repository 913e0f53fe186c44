#include "config/configHistory.h"

#include <cstddef>
#include <cstring>

namespace ups {

namespace {

struct Field {
    std::string_view name;
    std::size_t offset;
    std::size_t size;
};

#define UPS_FIELD(Record, member)                                             \
    Field {                                                                   \
#Record "." #member, offsetof(Record, member), sizeof(Record::member) \
    }

constexpr Field kUpsFields[] = {
    UPS_FIELD(CfgUps, pswUnset),   UPS_FIELD(CfgUps, portStatus), UPS_FIELD(CfgUps, pswCode),
    UPS_FIELD(CfgUps, pswEnabled), UPS_FIELD(CfgUps, comPort),    UPS_FIELD(CfgUps, tmpFail),
    UPS_FIELD(CfgUps, tmpBat),     UPS_FIELD(CfgUps, tmpLowB),    UPS_FIELD(CfgUps, testSched),
    UPS_FIELD(CfgUps, testMode),   UPS_FIELD(CfgUps, lastTest),   UPS_FIELD(CfgUps, testInterval),
    UPS_FIELD(CfgUps, askStart),   UPS_FIELD(CfgUps, startCount), UPS_FIELD(CfgUps, enhShutdwn),
};
constexpr Field kSnmpFields[] = {
    UPS_FIELD(CfgSnmp, enhSnmp),  UPS_FIELD(CfgSnmp, ipAgent), UPS_FIELD(CfgSnmp, enterprise),
    UPS_FIELD(CfgSnmp, snmpPass), UPS_FIELD(CfgSnmp, enhTrap), UPS_FIELD(CfgSnmp, snmpPassSet),
};

#undef UPS_FIELD

template <typename Record, std::size_t N>
void addChanged(const Field (&fields)[N], const Record& before, const Record& after,
                std::vector<std::string_view>& names) {
    const auto* a = reinterpret_cast<const unsigned char*>(&before);
    const auto* b = reinterpret_cast<const unsigned char*>(&after);
    for (const Field& field : fields) {
        if (std::memcmp(a + field.offset, b + field.offset, field.size) != 0) {
            names.push_back(field.name);
        }
    }
}

}  // namespace

std::string monitorModeText(const CfgUps& ups, const CfgSnmp& snmp) {
    if (snmp.enhSnmp) {
        return "agente " + fieldText(snmp.ipAgent) + (snmp.enhTrap ? "" : ", sin traps");
    }
    if (ups.comPort < 0) return "puerto serie sin elegir";
    return "puerto COM" + std::to_string(ups.comPort + 1);
}

std::vector<std::string_view> changedConfigFields(const CfgUps& beforeUps,
                                                  const CfgSnmp& beforeSnmp, const CfgUps& afterUps,
                                                  const CfgSnmp& afterSnmp) {
    std::vector<std::string_view> names;
    addChanged(kUpsFields, beforeUps, afterUps, names);
    addChanged(kSnmpFields, beforeSnmp, afterSnmp, names);
    return names;
}

}  // namespace ups
