// The network's settings through the real configuration dialog, and a monitor that serves its
// UPS: the "Red" page saves its own value and leaves the two records byte for byte as they were;
// a monitor with serving on answers a client on loopback and serves the line failure it sees.
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QSpinBox>
#include <QtTest>

#include "app/process/networkLinks.h"
#include "app/windows/configuration/networkPage.h"
#include "app/windows/configuration/upsCfg.h"
#include "app/windows/main/upsMain.h"
#include "support/windowRig.h"
#include "upsnet/passwordHash.h"
#include "upsnet/upsClient.h"

using namespace ups;
using namespace ups::test;

namespace {

template <typename T>
T* control(QWidget& dialog, const char* name) {
    T* found = dialog.findChild<T*>(name);
    if (found == nullptr) qFatal("no control %s", name);
    return found;
}

std::vector<std::uint8_t> storedBytes(const MemoryRegistryStore& store, std::string_view value) {
    auto v = store.value(kKeyConfig, value);
    return v ? v->data : std::vector<std::uint8_t>{};
}

// A loopback port nobody listens on now.
int freePort() {
    int error = 0;
    sys::SocketHandle s = sys::openTcpSocket(error);
    sys::Endpoint at{0x7F000001, 0};
    sys::bindSocket(s, at);
    sys::localEndpoint(s, at);
    sys::closeSocket(s);
    return at.port;
}

}  // namespace

class UpsNetworkTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { SocketInterfaceStartup(); }

    void redPageSavesItsOwnValueOnly() {
        WindowRig rig;
        rig.storeConfigWithPort(0);
        TmainF& w = rig.make();
        w.FormCreate();
        const auto upsBefore = storedBytes(rig.store, kValueCfgUps);
        const auto snmpBefore = storedBytes(rig.store, kValueCfgSnmp);
        QVERIFY(!upsBefore.empty() && !snmpBefore.empty());
        w.setDialogRunner([](QDialog& dialog) {
            auto* cfg = qobject_cast<TcfgF*>(&dialog);
            if (cfg == nullptr) return int(QDialog::Rejected);
            control<QLineEdit>(dialog, "edRedHost")->setText("nas.local");
            control<QSpinBox>(dialog, "spRedPort")->setValue(3500);
            control<QLineEdit>(dialog, "edRedUps")->setText("ups");
            control<QLineEdit>(dialog, "edRedUser")->setText("monuser");
            control<QLineEdit>(dialog, "edRedPsw")->setText("secret");
            control<QLineEdit>(dialog, "edSrvAddr")->setText("127.0.0.1 127.0.0.2");
            control<QSpinBox>(dialog, "spSrvWait")->setValue(40);
            // A user without a password is refused; one with it is kept as a hash only.
            control<QLineEdit>(dialog, "edSrvUser")->setText("pc2");
            if (cfg->networkPage()->addUser()) return int(QDialog::Rejected);
            control<QLineEdit>(dialog, "edSrvPsw")->setText("clave-pc2");
            control<QComboBox>(dialog, "cbSrvRole")->setCurrentIndex(2);
            if (!cfg->networkPage()->addUser()) return int(QDialog::Rejected);
            if (!control<QLineEdit>(dialog, "edSrvPsw")->text().isEmpty())
                return int(QDialog::Rejected);
            cfg->btnAceptCfgClick();
            return cfg->result();
        });
        w.bbtnSetupClick();

        QCOMPARE(storedBytes(rig.store, kValueCfgUps), upsBefore);
        QCOMPARE(storedBytes(rig.store, kValueCfgSnmp), snmpBefore);
        const auto red = storedBytes(rig.store, kValueNetworkUps);
        const auto stored = decodeNetworkUps(red);
        QVERIFY(stored.has_value());
        QCOMPARE(stored->client.host, std::string("nas.local"));
        QCOMPARE(stored->client.port, 3500);
        QCOMPARE(stored->client.user, std::string("monuser"));
        QCOMPARE(stored->client.password, std::string("secret"));
        QVERIFY(!stored->client.follow && !stored->server.serve);
        QCOMPARE(stored->server.listenAddresses, std::string("127.0.0.1 127.0.0.2"));
        QCOMPARE(stored->server.followerWaitSeconds, 40);
        QCOMPARE(stored->server.users.size(), std::size_t(1));
        const NetworkUser& user = stored->server.users[0];
        QCOMPARE(user.name, std::string("pc2"));
        QCOMPARE(user.role, NetworkRole::Administrator);
        QVERIFY(passwordMatches(user, "clave-pc2"));
        QVERIFY(!passwordMatches(user, "clave-pc3"));
        const std::string bytes(red.begin(), red.end());
        QVERIFY(bytes.find("clave-pc2") == std::string::npos);
        QCOMPARE(rig.monitor->network().settings(), *stored);
    }

    void servingMonitorAnswersAndServesTheLineFailure() {
        WindowRig rig;
        rig.storeConfigWithPort(0);
        NetworkUpsSettings settings;
        settings.server.serve = true;
        settings.server.port = freePort();
        QVERIFY(saveNetworkUps(settings, rig.store));
        TmainF& w = rig.make();
        w.FormCreate();
        QVERIFY(rig.monitor->network().server() != nullptr);
        w.TimerTimer();

        std::atomic<bool> never{false};
        UpsClient client(never);
        QVERIFY2(client.connect("127.0.0.1", settings.server.port, 5000), client.problem().c_str());
        auto status = [&] {
            auto answer = client.request("GET VAR ups ups.status", 5000);
            return answer ? variableValue(*answer, "ups", "ups.status") : std::nullopt;
        };
        QCOMPARE(status(), std::optional<std::string>("OL"));
        auto driver = client.request("GET VAR ups driver.name", 5000);
        QVERIFY(driver && variableValue(*driver, "ups", "driver.name").has_value());

        rig.serial.changeLines(false, true);
        rig.time.advanceMs(1000);
        w.TimerTimer();
        QCOMPARE(status(), std::optional<std::string>("OB"));
        rig.serial.changeLines(false, false);
        rig.time.advanceMs(1000);
        w.TimerTimer();
        QCOMPARE(status(), std::optional<std::string>("OB LB"));
    }

    // Every tick publishes; what is served changes when the state or the agent's identity does,
    // whichever comes first and however long the state has stood still.
    void servedStateFollowsTheStateAndTheAgentsIdentity() {
        MemoryRegistryStore store;
        VirtualTime time;
        NetworkLinks links(store, time, nullptr, "1.0");
        SupervisorState state;
        state.agentLinkActive = true;
        state.lineOk = true;
        for (int tick = 0; tick < 3; ++tick) links.publish(state, true);
        QVERIFY(links.served().linkAlive && links.served().lineOk);
        QCOMPARE(links.served().link, ServedLink::Snmp);
        QCOMPARE(links.served().maker, std::string());

        links.setAgentIdentity({"Korvan Electronics S.A.", "KV-3000 RT Online", "SN-000123456789"});
        links.publish(state, true);
        QCOMPARE(links.served().model, std::string("KV-3000 RT Online"));
        links.setAgentIdentity({"Korvan Electronics S.A.", "KV-3000 RT Online", "SN-2"});
        links.publish(state, true);
        QCOMPARE(links.served().serial, std::string("SN-2"));

        state.lineOk = false;
        links.publish(state, true);
        QVERIFY(!links.served().lineOk);
        QCOMPARE(links.served().serial, std::string("SN-2"));
        links.publish(state, false);
        QCOMPARE(links.served().link, ServedLink::Serial);
        QCOMPARE(links.served().maker, std::string());
    }
};

QTEST_MAIN(UpsNetworkTest)
#include "upsNetwork_test.moc"
