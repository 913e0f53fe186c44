// The session's answers, request by request, as a client sees them on the wire: words, list
// framing, quoting and every error word, with the users' roles and the state's variables.
#include "upsnet/serverSession.h"

#include <gtest/gtest.h>

#include "upsnet/passwordHash.h"

namespace ups {
namespace {

struct FakeHost : SessionHost {
    ServedState served;
    bool fsd = false;
    int logins = 0;
    bool acceptCommand = true;
    std::vector<InstantCommand> commands;
    ServedState state() const override { return served; }
    bool forcedShutdown() const override { return fsd; }
    int loginCount() const override { return logins; }
    std::vector<std::string> loggedInAddresses() const override { return {"10.0.0.7"}; }
    void setForcedShutdown() override { fsd = true; }
    bool runCommand(InstantCommand command) override {
        commands.push_back(command);
        return acceptCommand;
    }
};

const SessionConfig& config() {
    static const SessionConfig made = [] {
        SessionConfig c;
        c.upsName = "sai";
        c.description = "Oficina \"norte\"";
        c.version = "1.4.0";
        c.users = {makeNetworkUser("adm", NetworkRole::Administrator, "a d\"m", 1),
                   makeNetworkUser("pri", NetworkRole::Primary, "pri", 2),
                   makeNetworkUser("fol", NetworkRole::Follower, "fol", 3)};
        return c;
    }();
    return made;
}

ServedState online() {
    ServedState state;
    state.linkAlive = true;
    state.commandAvailable = true;
    return state;
}

std::string answers(FakeHost& host, const std::vector<std::string>& lines) {
    ServerSession session(config(), host, "10.0.0.7");
    std::string out;
    for (const std::string& line : lines) {
        out.clear();
        session.answer(line, out);
    }
    return out;
}

const std::string kAdmin[] = {"USERNAME adm", "PASSWORD \"a d\\\"m\""};
const std::vector<std::string> asAdmin(const std::string& request) {
    return {kAdmin[0], kAdmin[1], request};
}
const std::vector<std::string> as(const std::string& user, const std::string& request) {
    return {"USERNAME " + user, "PASSWORD " + user, request};
}

struct Case {
    const char* what;
    std::vector<std::string> lines;
    std::string answer;
};

TEST(ServerSession, AnswersEachRequestAsTheProtocolSays) {
    const std::string varList =
        "BEGIN LIST VAR sai\nVAR sai device.type \"ups\"\nVAR sai driver.name "
        "\"korvan-ups-serial\"\nVAR sai driver.version \"1.4.0\"\nVAR sai ups.status \"OL\"\n"
        "END LIST VAR sai\n";
    const Case cases[] = {
        {"version", {"NETVER"}, "1.3\n"},
        {"server", {"VER"}, "korvan-ups 1.4.0 - UPS network protocol server\n"},
        {"empty line", {"  \r"}, ""},
        {"unknown command", {"REQ sai"}, "ERR UNKNOWN-COMMAND\n"},
        {"open quote", {"GET VAR \"sai"}, "ERR INVALID-ARGUMENT\n"},
        {"no subcommand", {"GET"}, "ERR INVALID-ARGUMENT\n"},
        {"unknown subcommand", {"LIST FOO sai"}, "ERR INVALID-ARGUMENT\n"},
        {"too many words", {"GET VAR sai ups.status x"}, "ERR INVALID-ARGUMENT\n"},
        {"lower case, CR LF", {"get var SAI ups.status\r"}, "VAR sai ups.status \"OL\"\n"},
        {"unknown ups", {"GET VAR ups ups.status"}, "ERR UNKNOWN-UPS\n"},
        {"unknown variable", {"GET VAR sai battery.charge"}, "ERR VAR-NOT-SUPPORTED\n"},
        {"type", {"GET TYPE sai ups.status"}, "TYPE sai ups.status STRING:128\n"},
        {"description", {"GET DESC sai ups.status"}, "DESC sai ups.status \"UPS status\"\n"},
        {"ups description", {"GET UPSDESC sai"}, "UPSDESC sai \"Oficina \\\"norte\\\"\"\n"},
        {"logins", {"GET NUMLOGINS sai"}, "NUMLOGINS sai 2\n"},
        {"tracking", {"GET TRACKING"}, "OFF\n"},
        {"command description",
         {"GET CMDDESC sai test.battery.start"},
         "CMDDESC sai test.battery.start \"Start a battery test\"\n"},
        {"other command", {"GET CMDDESC sai beeper.mute"}, "ERR CMD-NOT-SUPPORTED\n"},
        {"ups list",
         {"LIST UPS"},
         "BEGIN LIST UPS\nUPS sai \"Oficina \\\"norte\\\"\"\nEND LIST UPS\n"},
        {"variables", {"LIST VAR sai"}, varList},
        {"nothing writable", {"LIST RW sai"}, "BEGIN LIST RW sai\nEND LIST RW sai\n"},
        {"commands",
         {"LIST CMD sai"},
         "BEGIN LIST CMD sai\nCMD sai test.battery.start\nEND LIST CMD sai\n"},
        {"enum",
         {"LIST ENUM sai ups.status"},
         "BEGIN LIST ENUM sai ups.status\nEND LIST ENUM sai ups.status\n"},
        {"range",
         {"LIST RANGE sai device.type"},
         "BEGIN LIST RANGE sai device.type\nEND LIST RANGE sai device.type\n"},
        {"range of nothing", {"LIST RANGE sai ups.load"}, "ERR VAR-NOT-SUPPORTED\n"},
        {"clients",
         {"LIST CLIENT sai"},
         "BEGIN LIST CLIENT sai\nCLIENT sai 10.0.0.7\nEND LIST CLIENT sai\n"},
        {"tls", {"STARTTLS"}, "ERR FEATURE-NOT-SUPPORTED\n"},
        {"logout", {"LOGOUT"}, "OK Goodbye\n"},
        {"login without user", {"LOGIN sai"}, "ERR USERNAME-REQUIRED\n"},
        {"login without password", {"USERNAME fol", "LOGIN sai"}, "ERR PASSWORD-REQUIRED\n"},
        {"wrong password", {"USERNAME fol", "PASSWORD pri", "LOGIN sai"}, "ERR ACCESS-DENIED\n"},
        {"unknown user", {"USERNAME nadie", "PASSWORD fol", "LOGIN sai"}, "ERR ACCESS-DENIED\n"},
        {"second user name", {"USERNAME fol", "USERNAME adm"}, "ERR ALREADY-SET-USERNAME\n"},
        {"second password", {"PASSWORD fol", "PASSWORD adm"}, "ERR ALREADY-SET-PASSWORD\n"},
        {"empty password", {"PASSWORD \"\""}, "ERR INVALID-PASSWORD\n"},
        {"long user name", {"USERNAME " + std::string(65, 'u')}, "ERR INVALID-USERNAME\n"},
        {"follower login", as("fol", "LOGIN sai"), "OK\n"},
        {"login twice",
         {"USERNAME fol", "PASSWORD fol", "LOGIN sai", "LOGIN sai"},
         "ERR ALREADY-LOGGED-IN\n"},
        {"login elsewhere", as("fol", "LOGIN ups"), "ERR UNKNOWN-UPS\n"},
        {"follower as primary", as("fol", "PRIMARY sai"), "ERR ACCESS-DENIED\n"},
        {"primary", as("pri", "PRIMARY sai"), "OK PRIMARY-GRANTED\n"},
        {"primary by its old name", as("pri", "MASTER sai"), "OK MASTER-GRANTED\n"},
        {"primary sets FSD", as("pri", "FSD sai"), "ERR ACCESS-DENIED\n"},
        {"administrator sets FSD", asAdmin("FSD sai"), "OK FSD-SET\n"},
        {"set before login", {"SET VAR sai ups.status \"OB\""}, "ERR USERNAME-REQUIRED\n"},
        {"set", asAdmin("SET VAR sai ups.status \"OB\""), "ERR READONLY\n"},
        {"set unknown", asAdmin("SET VAR sai ups.delay.shutdown 20"), "ERR VAR-NOT-SUPPORTED\n"},
        {"command before login", {"INSTCMD sai test.battery.start"}, "ERR USERNAME-REQUIRED\n"},
        {"primary's command", as("pri", "INSTCMD sai test.battery.start"), "ERR ACCESS-DENIED\n"},
        {"command", asAdmin("INSTCMD sai test.battery.start"), "OK\n"},
        {"command with a value", asAdmin("INSTCMD sai test.battery.start 5"),
         "ERR INVALID-ARGUMENT\n"},
        {"the other command", asAdmin("INSTCMD sai beeper.mute"), "ERR CMD-NOT-SUPPORTED\n"},
    };
    for (const Case& c : cases) {
        FakeHost host;
        host.served = online();
        host.logins = 2;
        EXPECT_EQ(answers(host, c.lines), c.answer) << c.what;
    }
}

TEST(ServerSession, ServesOnlyWhatTheLinkKnowsInTheStateItIsIn) {
    struct StateCase {
        const char* what;
        bool alive, lineOk, batteryLow, fsd, orders;
        std::vector<std::string> lines;
        std::string answer;
    };
    const StateCase cases[] = {
        {"on battery",
         true,
         false,
         false,
         false,
         true,
         {"GET VAR sai ups.status"},
         "VAR sai ups.status \"OB\"\n"},
        {"critical",
         true,
         false,
         true,
         false,
         true,
         {"GET VAR sai ups.status"},
         "VAR sai ups.status \"OB LB\"\n"},
        {"low on mains",
         true,
         true,
         true,
         true,
         true,
         {"GET VAR sai ups.status"},
         "VAR sai ups.status \"OL LB FSD\"\n"},
        {"lost link",
         false,
         false,
         true,
         false,
         true,
         {"GET VAR sai ups.status"},
         "ERR DATA-STALE\n"},
        {"lost link list", false, true, false, false, true, {"LIST VAR sai"}, "ERR DATA-STALE\n"},
        {"lost link command", false, true, false, false, true,
         asAdmin("INSTCMD sai test.battery.start"), "ERR DRIVER-NOT-CONNECTED\n"},
        {"silence on battery",
         true,
         false,
         false,
         false,
         true,
         {"LIST CMD sai"},
         "BEGIN LIST CMD sai\nCMD sai beeper.mute\nEND LIST CMD sai\n"},
        {"silence, low on mains", true, true, true, false, true, asAdmin("INSTCMD sai beeper.mute"),
         "OK\n"},
        {"no test on battery", true, false, false, false, true,
         asAdmin("INSTCMD sai test.battery.start"), "ERR CMD-NOT-SUPPORTED\n"},
        {"agent refuses orders",
         true,
         true,
         false,
         false,
         false,
         {"LIST CMD sai"},
         "BEGIN LIST CMD sai\nEND LIST CMD sai\n"},
    };
    for (const StateCase& c : cases) {
        FakeHost host;
        host.served = online();
        host.served.linkAlive = c.alive;
        host.served.lineOk = c.lineOk;
        host.served.batteryLow = c.batteryLow;
        host.served.commandAvailable = c.orders;
        host.fsd = c.fsd;
        EXPECT_EQ(answers(host, c.lines), c.answer) << c.what;
    }
}

TEST(ServerSession, GivesTheAgentsIdentityQuotedAndCutAndTheCommandToTheHost) {
    FakeHost host;
    host.served = online();
    host.served.link = ServedLink::Snmp;
    host.served.maker = "Korvan \\ \"S.A.\"";
    host.served.model = std::string(300, 'm') + "\n";
    EXPECT_EQ(answers(host, {"GET VAR sai device.mfr"}),
              "VAR sai device.mfr \"Korvan \\\\ \\\"S.A.\\\"\"\n");
    const std::string model = answers(host, {"GET VAR sai ups.model"});
    EXPECT_EQ(model, "VAR sai ups.model \"" + std::string(kMaxValueOctets, 'm') + "\"\n");
    EXPECT_EQ(answers(host, {"GET VAR sai ups.serial"}), "ERR VAR-NOT-SUPPORTED\n");
    EXPECT_EQ(answers(host, {"GET VAR sai driver.name"}),
              "VAR sai driver.name \"korvan-ups-snmp\"\n");

    host.acceptCommand = false;
    EXPECT_EQ(answers(host, asAdmin("INSTCMD sai test.battery.start")), "ERR INSTCMD-FAILED\n");
    EXPECT_EQ(host.commands, std::vector{InstantCommand::BatteryTest});
}

}  // namespace
}  // namespace ups
