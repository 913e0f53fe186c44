#pragma once
// Network UPS Tools' upsd with the dummy-ups driver on a loopback port of its own, an independent
// peer for the follower tests (support/peers/upsdPeer.py). The Linux build starts the peer for
// each rig; a Windows build under Wine, whose programs cannot start a Linux one, drives the peer
// that scripts/test-windows started and names in UPS_TEST_UPSD_PEER (its control port).
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>

#include "support/childProcess.h"
#include "support/tempDir.h"
#include "upsnet/upsClient.h"

namespace ups::test {

class UpsdPeer {
public:
    static constexpr char kUps[] = "sim";
    static constexpr char kFollower[] = "follower";
    static constexpr char kFollowerPassword[] = "followpw";

    // Starts upsd serving ups.status `status`. Empty when it serves; else why the test cannot
    // run (skip() says whether for want of the tools).
    std::string start(const std::string& status) {
        int control = 0;
        if (const char* named = std::getenv("UPS_TEST_UPSD_PEER")) {
            control = std::atoi(named);
        } else if (!std::filesystem::exists("/lib/nut/upsd") ||
                   !std::filesystem::exists("/lib/nut/dummy-ups")) {
            skip_ = true;
            return "Network UPS Tools is not installed (nut-server, nut-client); a Windows build "
                   "needs UPS_TEST_UPSD_PEER";
        } else {
            control = startOwnPeer();
        }
        if (control == 0 || !control_.connect("127.0.0.1", control, 5000)) {
            return "the upsd peer does not answer";
        }
        const std::string answer = command("start " + status);
        if (answer.rfind("OK ", 0) != 0) return "upsd did not start: " + answer;
        port_ = std::atoi(answer.c_str() + 3);
        return {};
    }

    // "OK" once upsd serves the new status; "OK FSD-SET" for fsd.
    std::string command(const std::string& line) {
        const auto answer = control_.request(line, 20'000);
        if (!answer) return "ERR " + control_.problem();
        std::string text;
        for (const std::string& word : *answer) text += (text.empty() ? "" : " ") + word;
        return text;
    }

    // The count of logins the server has for the UPS, or -1.
    int numLogins() {
        UpsClient client(never_);
        if (!client.connect("127.0.0.1", port_, 2000)) return -1;
        const auto answer = client.request(std::string("GET NUMLOGINS ") + kUps, 2000);
        return answer && answer->size() == 3 ? std::atoi((*answer)[2].c_str()) : -1;
    }

    int port() const { return port_; }
    bool skip() const { return skip_; }

private:
    int startOwnPeer() {
        if (dir_.path.empty()) return 0;
        process_ = std::make_unique<ChildProcess>(std::vector<std::string>{
            "python3", UPS_TEST_SOURCE_DIR "/tests/support/peers/upsdPeer.py", dir_.path.string()});
        for (int i = 0; i < 200; ++i) {
            std::ifstream file(dir_.path / "control");
            int port = 0;
            if (file >> port) return port;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return 0;
    }

    TempDir dir_{"korvan-upsd"};
    std::unique_ptr<ChildProcess> process_;
    std::atomic<bool> never_{false};
    UpsClient control_{never_};
    int port_ = 0;
    bool skip_ = false;
};

}  // namespace ups::test
