// The configuration store under sudden death. Two complete configurations, A and B, that differ
// in most of their bytes; a writer saves them alternately through RegFileStore and saveConfig, as
// the configuration dialog does, until it is killed; a checker reads the store back through
// loadConfig, as the monitor's start-up does, and says which configuration it found.
//   storeCrash seed FILE    writes A
//   storeCrash write FILE   saves B, A, B, ... (starting with the one the file does not hold),
//                           printing "saved N" after each save; stops by itself after 100000
//   storeCrash check FILE   prints "A", "B", "mixed" (one record of each: the two records are
//                           two writes) or "broken" (anything else, or a message box); exit 0
//                           only for A or B
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "config/cfgRecords.h"
#include "config/configStore.h"
#include "platform/posix/regFileStore.h"

namespace {

using namespace ups;

struct CountingBoxes : MessageBoxes {
    MbResult messageBox(std::string_view text, std::string_view title, MbIcon, MbButtons) override {
        std::fprintf(stderr, "message box: %.*s: %.*s\n", static_cast<int>(title.size()),
                     title.data(), static_cast<int>(text.size()), text.data());
        ++shown;
        return MbResult::Ok;
    }
    int shown = 0;
};

struct Image {
    CfgUps ups;
    CfgSnmp snmp;
};

Image makeImage(bool b) {
    Image im;
    clearRecords(im.ups, im.snmp);
    setDefaultConfig(im.ups, im.snmp);
    im.ups.comPort = b ? 2 : 1;
    im.ups.tmpFail = b ? 12 : 5;  // both within the range a load keeps
    im.ups.tmpLowB = b ? 95 : 30;
    im.ups.testMode = b ? tmNever : tmDias;
    im.ups.startCount = b ? 123456 : 7;
    im.ups.lastTest = b ? 46001.25 : 45000.5;
    // Every reserved byte differs too, so a record torn anywhere cannot pass for either image.
    std::memset(im.ups.reserved2, b ? 0xB5 : 0x5A, sizeof im.ups.reserved2);
    im.snmp.enhSnmp = b ? 1 : 0;
    im.snmp.enhTrap = b ? 1 : 0;
    setFieldText(im.snmp.ipAgent, b ? "192.168.100.200" : "10.0.0.1");
    setFieldText(im.snmp.snmpPass, b ? "clave-de-escritura-B" : "privada");
    im.snmp.snmpPassSet = 1;
    im.snmp.enterprise = kEnterprise;  // what loadConfig sets whatever the store holds
    return im;
}

void save(const Image& im, RegistryStore& store, CountingBoxes& boxes) {
    saveConfig(im.ups, im.snmp, store, boxes);
}

// Which image each record matches: 'A', 'B' or '?'.
std::string check(const std::string& path) {
    RegFileStore store(path);
    CountingBoxes boxes;
    Image loaded;
    clearRecords(loaded.ups, loaded.snmp);
    setDefaultConfig(loaded.ups, loaded.snmp);
    loadConfig(loaded.ups, loaded.snmp, store, boxes);
    if (boxes.shown) return "broken";
    const Image a = makeImage(false), b = makeImage(true);
    auto which = [](const auto& got, const auto& x, const auto& y) {
        if (recordBytes(got) == recordBytes(x)) return 'A';
        if (recordBytes(got) == recordBytes(y)) return 'B';
        return '?';
    };
    const char u = which(loaded.ups, a.ups, b.ups);
    const char s = which(loaded.snmp, a.snmp, b.snmp);
    if (u == '?' || s == '?') return "broken";
    if (u != s) return "mixed";
    return std::string(1, u);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s seed|write|check FILE\n", argv[0]);
        return 2;
    }
    const std::string mode = argv[1], path = argv[2];
    if (mode == "check") {
        const std::string found = check(path);
        std::printf("%s\n", found.c_str());
        return found == "A" || found == "B" ? 0 : 1;
    }
    RegFileStore store(path);
    CountingBoxes boxes;
    if (mode == "seed") {
        for (auto key : {kKeySoftware, kKeyUps, kKeyConfig}) store.createKey(key);
        save(makeImage(false), store, boxes);
        return boxes.shown ? 1 : 0;
    }
    if (mode != "write") return 2;
    const Image images[2] = {makeImage(false), makeImage(true)};
    int next = check(path) == "B" ? 0 : 1;
    char line[32];
    for (int n = 1; n <= 100000; ++n) {
        save(images[next], store, boxes);
        if (boxes.shown) return 1;
        // Unbuffered: the count must be out before a kill that follows the save.
        const int len = std::snprintf(line, sizeof line, "saved %d\n", n);
        if (::write(1, line, len) != len) return 1;
        next = 1 - next;
    }
    return 0;
}
