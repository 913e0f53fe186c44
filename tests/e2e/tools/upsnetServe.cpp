// Serves a UPS over the UPS network protocol with the monitor's server, its state driven by lines
// on standard input, for the end-to-end scripts that run Network UPS Tools' programs against it.
//   ups-upsnet-serve [--port N] [--listen ADDRESSES] [--name UPS] [--user NAME:ROLE:PASSWORD]...
// ROLE is follower, primary or administrator. Prints "listening ADDRESS:PORT" once it listens.
// Input lines: "OL", "OB", "OB LB", "OL LB" (a live link in that state), "lost" (no link),
// "identity MAKER|MODEL|SERIAL" (an SNMP link's identity), "commands on|off", "fsd", "logins",
// "handoff SECONDS" (FSD, then wait for the followers to log out), "quit".
#include <chrono>
#include <iostream>
#include <sstream>
#include <string>
#include <thread>

#include "base/clock.h"
#include "base/ipv4Text.h"
#include "net/sockets.h"
#include "upsnet/passwordHash.h"
#include "upsnet/upsServer.h"

namespace {

struct SteadyClock : ups::Clock {
    double now() const override { return 0; }
};

struct PrintedCommands : ups::InstantCommandHook {
    bool requestInstantCommand(ups::InstantCommand command) override {
        std::cout << "instcmd " << ups::commandName(command) << std::endl;
        return true;
    }
};

bool addUser(const std::string& entry, std::vector<ups::NetworkUser>& users) {
    const auto first = entry.find(':');
    const auto second = entry.find(':', first == std::string::npos ? first : first + 1);
    if (first == std::string::npos || second == std::string::npos) return false;
    const std::string role = entry.substr(first + 1, second - first - 1);
    ups::NetworkRole value = ups::NetworkRole::Follower;
    if (role == "primary")
        value = ups::NetworkRole::Primary;
    else if (role == "administrator")
        value = ups::NetworkRole::Administrator;
    else if (role != "follower")
        return false;
    users.push_back(ups::makeNetworkUser(entry.substr(0, first), value, entry.substr(second + 1)));
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    ups::NetworkServerSettings settings;
    settings.serve = true;
    settings.port = 0;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string option = argv[i];
        const std::string value = argv[i + 1];
        if (option == "--port") {
            settings.port = std::stoi(value);
        } else if (option == "--listen") {
            settings.listenAddresses = value;
        } else if (option == "--name") {
            settings.servedName = value;
        } else if (option == "--user" && addUser(value, settings.users)) {
        } else {
            std::cerr << "unknown option " << option << "\n";
            return 2;
        }
    }
    if (!ups::SocketInterfaceStartup()) return 1;
    ups::UpsServerOptions options;
    if (!ups::serverOptions(settings, "test", options)) {
        std::cerr << "bad listening address\n";
        return 2;
    }
    SteadyClock clock;
    PrintedCommands commands;
    ups::UpsServer server(options, clock, &commands);
    if (const int error = server.start()) {
        std::cerr << "cannot listen: error " << error << "\n";
        return 1;
    }
    for (const auto& endpoint : server.listening())
        std::cout << "listening " << ups::inetNtoa(endpoint.address) << ":" << endpoint.port
                  << std::endl;
    ups::ServedState state;
    std::string line;
    while (std::getline(std::cin, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        std::istringstream words(line);
        std::string word;
        words >> word;
        if (word == "OL" || word == "OB") {
            state.linkAlive = true;
            state.lineOk = word == "OL";
            words >> word;
            state.batteryLow = word == "LB";
        } else if (word == "lost") {
            state.linkAlive = false;
        } else if (word == "identity") {
            std::string rest;
            std::getline(words >> std::ws, rest);
            std::istringstream parts(rest);
            state.link = ups::ServedLink::Snmp;
            std::getline(parts, state.maker, '|');
            std::getline(parts, state.model, '|');
            std::getline(parts, state.serial, '|');
        } else if (word == "commands") {
            words >> word;
            state.commandAvailable = word == "on";
        } else if (word == "fsd") {
            server.setForcedShutdown();
        } else if (word == "logins") {
            std::cout << "logins " << server.followersLoggedIn() << std::endl;
        } else if (word == "handoff") {
            int seconds = 15;
            words >> seconds;
            const auto start = std::chrono::steady_clock::now();
            server.setForcedShutdown();
            while (server.followersLoggedIn() > 0 &&
                   std::chrono::steady_clock::now() - start < std::chrono::seconds(seconds))
                std::this_thread::sleep_for(std::chrono::milliseconds(100));
            const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                                std::chrono::steady_clock::now() - start)
                                .count();
            std::cout << "handoff " << server.followersLoggedIn() << " left after " << ms << " ms"
                      << std::endl;
        } else if (word == "quit") {
            break;
        } else if (!word.empty()) {
            std::cerr << "unknown input " << line << "\n";
            continue;
        }
        server.setState(state);
        std::cout << "ok " << line << std::endl;
    }
    server.stop();
    ups::SocketInterfaceCleanup();
    return 0;
}
