#pragma once
// Network UPS Tools' upsd with the dummy-ups driver on a loopback port of its own, an independent
// peer for the follower tests (support/peers/upsdPeer.py, users follower/followpw and an
// administrator). The Linux build starts the peer for each rig; a Windows build under Wine, whose
// programs cannot start a Linux one, drives the peer whose control port UPS_TEST_UPSD_PEER names.
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <thread>

#include "support/childProcess.h"
#include "support/tempDir.h"
#include "upsnet/upsClient.h"

namespace ups::test {

class UpsdPeer {
public:
    // Starts upsd serving ups.status `status`: empty then, else why not (skip() tells whether for
    // want of the tools).
    std::string start(const std::string& status) {
        int control = 0;
        if (const char* named = std::getenv("UPS_TEST_UPSD_PEER")) {
            control = std::atoi(named);
        } else if (std::filesystem::exists("/lib/nut/upsd") && !dir_.path.empty()) {
            process_ = std::make_unique<ChildProcess>(std::vector<std::string>{
                "python3", UPS_TEST_SOURCE_DIR "/tests/support/peers/upsdPeer.py",
                dir_.path.string()});
            for (int i = 0; process_->started() && i < 200 &&
                            !(std::ifstream(dir_.path / "control") >> control);
                 ++i) {
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
            }
        }
        // Under Wine, a Linux program does not start from here.
        if (control == 0 && (!process_ || !process_->started())) {
            skip_ = true;
            return "needs Network UPS Tools (nut-server), or UPS_TEST_UPSD_PEER under Wine";
        }
        if (control == 0 || !control_.connect("127.0.0.1", control, 5000)) return "no peer";
        const std::string answer = command("start " + status);
        port_ = answer.rfind("OK ", 0) == 0 ? std::atoi(answer.c_str() + 3) : 0;
        return port_ ? std::string() : "upsd did not start: " + answer;
    }

    // A command of the peer's, and its answer's words.
    std::string command(const std::string& line) {
        const auto answer = control_.request(line, 20'000);
        std::string text;
        for (const std::string& word : answer.value_or(std::vector<std::string>{"ERR"})) {
            text += (text.empty() ? "" : " ") + word;
        }
        return text;
    }

    // The server's count of logins to the UPS, or -1.
    int numLogins() {
        UpsClient client(never_);
        if (!client.connect("127.0.0.1", port_, 2000)) return -1;
        const auto answer = client.request("GET NUMLOGINS sim", 2000);
        return answer && answer->size() == 3 ? std::atoi((*answer)[2].c_str()) : -1;
    }

    int port() const { return port_; }
    bool skip() const { return skip_; }

private:
    TempDir dir_{"korvan-upsd"};
    std::unique_ptr<ChildProcess> process_;
    std::atomic<bool> never_{false};
    UpsClient control_{never_};
    int port_ = 0;
    bool skip_ = false;
};

}  // namespace ups::test
