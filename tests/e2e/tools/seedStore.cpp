// Writes a configuration store for an end-to-end run of the monitor, as a user's earlier
// configuration would have left it.
//   ups-seed-store FILE [--com N] [--snmp IP] [--trap] [--shutdown] [--tmpfail S] [--tmpbat S]
//                       [--tmplowb S] [--community TEXT] [--testmode M]
//                       [--follow HOST PORT UPS USER PASSWORD] [--serve PORT [USER PASSWORD]]
//   ups-seed-store FILE --defaults     the records a first start writes, scheduled test included
// --com counts from 0: 0 is COM1.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "config/cfgRecords.h"
#include "config/configStore.h"
#include "config/networkUps.h"
#include "platform/posix/regFileStore.h"
#include "upsnet/passwordHash.h"

namespace {

struct PrintingBoxes : ups::MessageBoxes {
    ups::MbResult messageBox(std::string_view text, std::string_view title, ups::MbIcon,
                             ups::MbButtons) override {
        std::fprintf(stderr, "%.*s: %.*s\n", static_cast<int>(title.size()), title.data(),
                     static_cast<int>(text.size()), text.data());
        failed = true;
        return ups::MbResult::Ok;
    }
    bool failed = false;
};

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s FILE [options]\n", argv[0]);
        return 2;
    }
    ups::CfgUps cfg;
    ups::CfgSnmp snmp;
    ups::clearRecords(cfg, snmp);
    ups::setDefaultConfig(cfg, snmp);
    ups::NetworkUpsSettings network;
    // A scheduled test would get in the way of a scripted run.
    if (!(argc == 3 && std::string_view(argv[2]) == "--defaults")) cfg.testMode = ups::tmNever;
    for (int i = 2; i < argc; ++i) {
        std::string opt = argv[i];
        auto next = [&]() -> std::string { return i + 1 < argc ? argv[++i] : ""; };
        if (opt == "--defaults")
            ;
        else if (opt == "--com")
            cfg.comPort = std::atoi(next().c_str());
        else if (opt == "--snmp") {
            snmp.enhSnmp = 1;
            ups::setFieldText(snmp.ipAgent, next(), 15);
        } else if (opt == "--trap")
            snmp.enhTrap = 1;
        else if (opt == "--shutdown")
            cfg.enhShutdwn = 1;
        else if (opt == "--tmpfail")
            cfg.tmpFail = std::atoi(next().c_str());
        else if (opt == "--tmpbat")
            cfg.tmpBat = std::atoi(next().c_str());
        else if (opt == "--tmplowb")
            cfg.tmpLowB = std::atoi(next().c_str());
        else if (opt == "--testmode")
            cfg.testMode = std::atoi(next().c_str());
        else if (opt == "--community") {
            ups::setFieldText(snmp.snmpPass, next(), 20);
            snmp.snmpPassSet = 1;
        } else if (opt == "--follow") {
            ups::NetworkClientSettings& client = network.client;
            client.follow = true;
            client.host = next();
            client.port = std::atoi(next().c_str());
            client.upsName = next();
            client.user = next();
            client.password = next();
            client.lostGraceSeconds = 5;
        } else if (opt == "--serve") {
            network.server.serve = true;
            network.server.port = std::atoi(next().c_str());
            if (i + 2 < argc && argv[i + 1][0] != '-') {
                const std::string user = next();
                network.server.users.push_back(
                    ups::makeNetworkUser(user, ups::NetworkRole::Administrator, next()));
            }
        } else {
            std::fprintf(stderr, "unknown option %s\n", opt.c_str());
            return 2;
        }
    }
    ups::RegFileStore store(argv[1]);
    PrintingBoxes boxes;
    for (auto key : {ups::kKeySoftware, ups::kKeyUps, ups::kKeyConfig}) store.createKey(key);
    ups::saveConfig(cfg, snmp, store, boxes);
    if (network.client.follow || network.server.serve) {
        if (!ups::saveNetworkUps(network, store)) return 1;
    }
    return boxes.failed ? 1 : 0;
}
