// upssim: a UPS with an SNMP v1 agent for trying the monitor without the hardware.
#include <condition_variable>
#include <cstring>
#include <fstream>
#include <iostream>
#include <mutex>
#include <string>

#include "net/blcksock.h"
#include "upsSimulator.h"

namespace {

using ups::sim::CommandOutcome;
using ups::sim::SimulatorOptions;
using ups::sim::UpsSimulator;

const char kUsage[] =
    "Usage: upssim [options]\n"
    "\n"
    "Simulates a Korvan UPS with its SNMP v1 agent. The agent serves the UPS's objects (line and\n"
    "battery state, identity texts), answers the read community \"ambito\" and the write\n"
    "community, stays silent to any other, and obeys the command SET of\n"
    "1.3.6.1.4.1.27431.1.1.2.1.0: a battery test when all is well (the line drops for about ten\n"
    "seconds), the alarm's silence during a power event. State changes are announced with v1\n"
    "traps. Commands are read line by line from standard input; every request, answer and trap\n"
    "is printed.\n"
    "\n"
    "Options:\n"
    "  --listen ADDR[:PORT]      agent address (default 127.0.0.1:161; port 0 picks a free one)\n"
    "  --traps HOST[:PORT]       where traps are sent (default 127.0.0.1:162)\n"
    "  --trap-agent ADDR         agent address written inside the traps (default: the agent's)\n"
    "  --write-community TEXT    community that may send the command (default \"privada\")\n"
    "  --trap-community TEXT     community of the traps (default \"public\")\n"
    "  --enterprise N            serve the objects under enterprise N instead of 27431, to see\n"
    "                            how the monitor treats another maker's agent\n"
    "  --name TEXT               identification line (default \"UPS Simulada Korvan\")\n"
    "  --serial TEXT             serial number (default \"SIM0000001\")\n"
    "  --model TEXT              model (default \"Simulador 1200VA\")\n"
    "  --test-fails              battery tests fail (the battery reports low after 3 s)\n"
    "  --test-seconds N          length of a battery test (default 10)\n"
    "  --script FILE             run the commands of FILE first (a scenario)\n"
    "  --no-stdin                do not read standard input; serve until stopped by a signal\n"
    "                            or a \"quit\" in the script\n"
    "  --help                    this text\n"
    "\n"
    "Port 161 needs root or the cap_net_bind_service capability; so does the monitor's 162.\n"
    "\n";

bool splitHostPort(const std::string& text, std::string& host, std::string& port) {
    const std::size_t colon = text.rfind(':');
    host = text.substr(0, colon);
    if (colon != std::string::npos) port = text.substr(colon + 1);
    return !host.empty() && !port.empty() &&
           port.find_first_not_of("0123456789") == std::string::npos && port.size() <= 5 &&
           std::stoi(port) <= 65535;
}

bool parsePositive(const std::string& text, int& value) {
    if (text.empty() || text.size() > 6 ||
        text.find_first_not_of("0123456789") != std::string::npos)
        return false;
    value = std::stoi(text);
    return value > 0;
}

int usageError(const std::string& message) {
    std::cerr << "upssim: " << message << "\n(try upssim --help)\n";
    return 2;
}

// Runs commands until the input ends or says quit; false when it said quit.
bool runCommands(UpsSimulator& sim, std::istream& in, const std::string& source) {
    std::string line;
    int number = 0;
    while (std::getline(in, line)) {
        ++number;
        switch (sim.execute(line)) {
            case CommandOutcome::Done:
                break;
            case CommandOutcome::Quit:
                return false;
            case CommandOutcome::Unknown:
                std::cerr << source << ":" << number << ": unknown command \"" << line
                          << "\" (try help)\n";
                break;
            case CommandOutcome::BadArgument:
                std::cerr << source << ":" << number << ": bad argument in \"" << line
                          << "\" (try help)\n";
                break;
        }
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    SimulatorOptions options;
    std::string script;
    bool readStdin = true;
    for (int i = 1; i < argc; ++i) {
        const std::string opt = argv[i];
        auto value = [&](std::string& out) {
            if (i + 1 >= argc) return false;
            out = argv[++i];
            return true;
        };
        std::string v;
        if (opt == "--help" || opt == "-h") {
            std::cout << kUsage << UpsSimulator::commandHelp();
            return 0;
        } else if (opt == "--listen") {
            if (!value(v) || !splitHostPort(v, options.agentAddress, options.agentPort))
                return usageError("--listen needs ADDR[:PORT]");
        } else if (opt == "--traps") {
            if (!value(v) || !splitHostPort(v, options.trapHost, options.trapPort))
                return usageError("--traps needs HOST[:PORT]");
        } else if (opt == "--trap-agent") {
            if (!value(options.trapAgentAddress)) return usageError("--trap-agent needs ADDR");
        } else if (opt == "--write-community") {
            if (!value(options.writeCommunity)) return usageError("--write-community needs TEXT");
        } else if (opt == "--trap-community") {
            if (!value(options.trapCommunity)) return usageError("--trap-community needs TEXT");
        } else if (opt == "--enterprise") {
            int n = 0;
            if (!value(v) || !parsePositive(v, n)) return usageError("--enterprise needs N > 0");
            options.enterprise = n;
        } else if (opt == "--name") {
            if (!value(options.upsName)) return usageError("--name needs TEXT");
        } else if (opt == "--serial") {
            if (!value(options.upsSerial)) return usageError("--serial needs TEXT");
        } else if (opt == "--model") {
            if (!value(options.upsModel)) return usageError("--model needs TEXT");
        } else if (opt == "--test-fails") {
            options.testFails = true;
        } else if (opt == "--test-seconds") {
            if (!value(v) || !parsePositive(v, options.testSeconds))
                return usageError("--test-seconds needs N > 0");
        } else if (opt == "--script") {
            if (!value(script)) return usageError("--script needs FILE");
        } else if (opt == "--no-stdin") {
            readStdin = false;
        } else {
            return usageError("unknown option " + opt);
        }
    }

    std::ifstream scriptFile;
    if (!script.empty()) {
        scriptFile.open(script);
        if (!scriptFile) return usageError("cannot read " + script + ": " + std::strerror(errno));
    }
    if (!ups::SocketInterfaceStartup()) {
        std::cerr << "upssim: the socket library cannot be used\n";
        return 1;
    }
    UpsSimulator sim(options, std::cout);
    if (!sim.start()) return 1;

    bool goOn = true;
    if (!script.empty()) goOn = runCommands(sim, scriptFile, script);
    if (goOn && readStdin) {
        runCommands(sim, std::cin, "stdin");
    } else if (goOn) {
        // Serve until a signal ends the process.
        std::mutex m;
        std::condition_variable never;
        std::unique_lock lock(m);
        never.wait(lock, [] { return false; });
    }
    sim.stop();
    ups::SocketInterfaceCleanup();
    return 0;
}
