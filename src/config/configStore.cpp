#include "config/configStore.h"

#include <algorithm>

namespace ups {

namespace {

constexpr std::string_view kConfigKeyChain[] = {kKeySoftware, kKeyUps, kKeyConfig};

void showError(MessageBoxes& boxes, std::string_view text) {
    boxes.messageBox(text, kTitleError, MbIcon::Error);
}

enum class ValueRead { Applied, Missing, Failed };

// Stored data may be shorter than the record (older versions wrote less) and then only replaces
// the leading bytes; longer data or a text/number type means the value is not ours to read.
template <typename Record>
ValueRead readRecordValue(Record& record, RegistryStore& store, std::string_view name) {
    const RegValue value = store.readValue(kKeyConfig, name);
    if (value.status == RegReadStatus::Missing) return ValueRead::Missing;
    if (value.status != RegReadStatus::Ok || value.type != RegValueType::Binary ||
        value.data.size() > sizeof(Record)) {
        return ValueRead::Failed;
    }
    overlayRecord(record, value.data);
    return ValueRead::Applied;
}

// The three keys are tested parents first; a key that cannot be opened with full access counts
// as missing, so a user without write rights ends in the creation failure.
enum class KeyChain { Existed, Created, Refused };

KeyChain ensureConfigKeys(RegistryStore& store) {
    bool created = false;
    for (std::string_view key : kConfigKeyChain) {
        if (store.openKeyFullAccess(key)) continue;
        if (!store.createKey(key)) return KeyChain::Refused;
        created = true;
    }
    return created ? KeyChain::Created : KeyChain::Existed;
}

// The values that pace the notices, decide when the computer is powered off and when a battery
// test is due are held to the ranges the dialogs offer. A store edited by hand or damaged could
// otherwise hold a countdown that never reaches zero or a test due on every tick.
void boundStoredValues(CfgUps& ups) {
    ups.tmpFail = std::clamp(ups.tmpFail, 1, 15);
    ups.tmpBat = std::clamp(ups.tmpBat, 10, 60);
    ups.tmpLowB = std::clamp(ups.tmpLowB, 10, 300);
    ups.testInterval = std::max(ups.testInterval, 1);
}

// Stops at the first failure, so a failed "CfgUps" leaves both records as they were.
void readBoth(CfgUps& ups, CfgSnmp& snmp, RegistryStore& store, MessageBoxes& boxes) {
    switch (readRecordValue(ups, store, kValueCfgUps)) {
        case ValueRead::Failed:
            showError(boxes, kMsgAllocating);
            return;
        case ValueRead::Missing:
            setDefaultConfig(ups, snmp);
            break;
        case ValueRead::Applied:
            boundStoredValues(ups);
            break;
    }
    switch (readRecordValue(snmp, store, kValueCfgSnmp)) {
        case ValueRead::Failed:
            showError(boxes, kMsgAllocating);
            return;
        case ValueRead::Missing:
            snmp.enhTrap = 0;
            break;
        case ValueRead::Applied:
            break;
    }
    snmp.enterprise = kEnterprise;
}

}  // namespace

void setDefaultConfig(CfgUps& ups, CfgSnmp& snmp) {
    ups.pswUnset = 1;
    ups.pswEnabled = 0;
    ups.comPort = -1;
    ups.tmpFail = 5;
    ups.tmpBat = 30;
    ups.tmpLowB = 30;
    ups.testMode = tmDias;
    ups.testInterval = 7;
    ups.askStart = 1;
    ups.enhShutdwn = 0;
    snmp.enhTrap = 0;
    snmp.snmpPassSet = 0;
    snmp.enterprise = kEnterprise;
}

void loadConfig(CfgUps& ups, CfgSnmp& snmp, RegistryStore& store, MessageBoxes& boxes) {
    try {
        switch (ensureConfigKeys(store)) {
            case KeyChain::Refused:
                showError(boxes, kMsgAllocating);
                return;
            case KeyChain::Created:
                saveConfig(ups, snmp, store, boxes);
                return;
            case KeyChain::Existed:
                readConfig(ups, snmp, store, boxes);
                return;
        }
    } catch (...) {
        showError(boxes, kMsgAllocating);
    }
}

void readConfig(CfgUps& ups, CfgSnmp& snmp, RegistryStore& store, MessageBoxes& boxes) {
    try {
        if (!store.openKeyRead(kKeyConfig)) {
            showError(boxes, kMsgRegistryAccess);
            return;
        }
        readBoth(ups, snmp, store, boxes);
    } catch (...) {
        showError(boxes, kMsgAllocating);
    }
}

void saveConfig(const CfgUps& ups, const CfgSnmp& snmp, RegistryStore& store, MessageBoxes& boxes) {
    try {
        // Opened for writing: a key that exists but cannot be written is reported like a missing
        // one, before anything is written.
        if (!store.openKeyFullAccess(kKeyConfig)) {
            showError(boxes, kMsgRegistryAccess);
            return;
        }
        // Both records in one change: the configuration the user accepted is stored whole.
        const std::vector<RegistryStore::NamedData> records = {
            {std::string(kValueCfgUps), recordBytes(ups)},
            {std::string(kValueCfgSnmp), recordBytes(snmp)}};
        if (!store.writeBinaryValues(kKeyConfig, records)) showError(boxes, kMsgAllocating);
    } catch (...) {
        showError(boxes, kMsgAllocating);
    }
}

}  // namespace ups
