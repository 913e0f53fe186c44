// The X11 closer against real X clients on a private Xvfb: with a window manager (the client
// list) and without one (the root's children).
#include "platform/posix/x11WindowCloser.h"

// GoogleTest first: Xlib's macros (None, Bool, Status) would break its headers.
#include <gtest/gtest.h>
// clang-format off
#include <X11/Xlib.h>
#include <X11/Xatom.h>
// clang-format on
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

using namespace ups;
namespace fs = std::filesystem;

namespace {

constexpr auto kPollStep = std::chrono::milliseconds(50);
constexpr auto kWaitLimit = std::chrono::seconds(5);

// Polls until the condition holds or the bounded wait is over.
bool waitFor(const std::function<bool()>& condition) {
    const auto end = std::chrono::steady_clock::now() + kWaitLimit;
    while (std::chrono::steady_clock::now() < end) {
        if (condition()) return true;
        std::this_thread::sleep_for(kPollStep);
    }
    return condition();
}

bool onPath(const std::string& program) {
    std::istringstream path(getenv("PATH") ? getenv("PATH") : "");
    for (std::string dir; std::getline(path, dir, ':');) {
        if (access((dir + "/" + program).c_str(), X_OK) == 0) return true;
    }
    return false;
}

class XSession : public ::testing::Test {
protected:
    void SetUp() override {
        if (!onPath("Xvfb")) GTEST_SKIP() << "Xvfb is not installed";
        scratch_ = fs::temp_directory_path() / ("x11closer-" + std::to_string(getpid()));
        fs::create_directories(scratch_);
        startXvfb();
        ASSERT_FALSE(display_.empty());
        own_ = XOpenDisplay(display_.c_str());
        ASSERT_NE(own_, nullptr);
    }

    void TearDown() override {
        if (own_) XCloseDisplay(own_);
        for (auto it = pids_.rbegin(); it != pids_.rend(); ++it) stop(*it);
        if (!scratch_.empty()) fs::remove_all(scratch_);
    }

    // The server picks a free display number itself and writes it to the pipe.
    void startXvfb() {
        int fds[2];
        ASSERT_EQ(pipe(fds), 0);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, fds[1], 3);
        posix_spawn_file_actions_addopen(&actions, 2, (scratch_ / "xvfb.log").c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0600);
        std::vector<std::string> args{"Xvfb",       "-displayfd", "3",   "-screen", "0",
                                      "800x600x24", "-nolisten",  "tcp", "-noreset"};
        pid_t pid = spawn(args, &actions);
        posix_spawn_file_actions_destroy(&actions);
        close(fds[1]);
        std::string number;
        char c;
        while (read(fds[0], &c, 1) == 1 && c != '\n') number += c;
        close(fds[0]);
        ASSERT_GT(pid, 0);
        pids_.insert(pids_.begin(), pid);  // stopped last
        if (!number.empty()) display_ = ":" + number;
    }

    pid_t spawn(const std::vector<std::string>& args, posix_spawn_file_actions_t* actions) {
        std::vector<char*> argv;
        for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        std::vector<std::string> env{"DISPLAY=" + display_, "PATH=" + std::string(getenv("PATH"))};
        std::vector<char*> envp;
        for (auto& e : env) envp.push_back(e.data());
        envp.push_back(nullptr);
        pid_t pid = -1;
        if (posix_spawnp(&pid, argv[0], actions, nullptr, argv.data(), envp.data()) != 0) {
            return -1;
        }
        return pid;
    }

    // Starts an X client with its output in a file of its own.
    pid_t client(const std::vector<std::string>& args) {
        const fs::path out = scratch_ / ("client" + std::to_string(pids_.size()) + ".out");
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0600);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
        pid_t pid = spawn(args, &actions);
        posix_spawn_file_actions_destroy(&actions);
        if (pid > 0) {
            pids_.push_back(pid);
            outputs_[pid] = out;
        }
        return pid;
    }

    pid_t peer(const std::vector<std::string>& windows) {
        std::vector<std::string> args{UPS_X11_PEER};
        args.insert(args.end(), windows.begin(), windows.end());
        return client(args);
    }

    std::string output(pid_t pid) {
        std::ifstream in(outputs_[pid]);
        return {std::istreambuf_iterator<char>(in), {}};
    }

    // The window ids a peer printed once its windows were up.
    std::vector<unsigned long> peerWindows(pid_t pid) {
        std::vector<unsigned long> ids;
        if (!waitFor([&] { return output(pid).find('\n') != std::string::npos; })) return ids;
        std::istringstream line(output(pid).substr(0, output(pid).find('\n')));
        std::string word;
        line >> word;
        for (unsigned long id; line >> id;) ids.push_back(id);
        return ids;
    }

    bool hasExited(pid_t pid) {
        int status = 0;
        pid_t r = waitpid(pid, &status, WNOHANG);
        if (r == pid) {
            pids_.erase(std::remove(pids_.begin(), pids_.end(), pid), pids_.end());
            return true;
        }
        return false;
    }

    void stop(pid_t pid) {
        kill(pid, SIGTERM);
        waitpid(pid, nullptr, 0);
    }

    std::vector<Window> rootList(const char* property) {
        Atom name = XInternAtom(own_, property, False);
        Atom type;
        int format;
        unsigned long count, after;
        unsigned char* data = nullptr;
        std::vector<Window> windows;
        if (XGetWindowProperty(own_, DefaultRootWindow(own_), name, 0, 4096, False, XA_WINDOW,
                               &type, &format, &count, &after, &data) == Success &&
            data) {
            auto* w = reinterpret_cast<Window*>(data);
            windows.assign(w, w + count);
            XFree(data);
        }
        return windows;
    }

    bool rootChildNamed(const std::string& title) {
        Window root, parent, *children = nullptr;
        unsigned int count = 0;
        bool found = false;
        XQueryTree(own_, DefaultRootWindow(own_), &root, &parent, &children, &count);
        for (unsigned int i = 0; i < count && !found; ++i) {
            char* name = nullptr;
            if (XFetchName(own_, children[i], &name) && name) {
                found = title == name;
                XFree(name);
            }
        }
        if (children) XFree(children);
        return found;
    }

    bool managesWindow(Window w) {
        const auto list = rootList("_NET_CLIENT_LIST");
        return std::find(list.begin(), list.end(), w) != list.end();
    }

    bool managesTitle(const std::string& title) {
        for (Window w : rootList("_NET_CLIENT_LIST")) {
            char* name = nullptr;
            bool match = false;
            if (XFetchName(own_, w, &name) && name) {
                match = title == name;
                XFree(name);
            }
            if (match) return true;
        }
        return false;
    }

    void startWindowManager() {
        ASSERT_TRUE(onPath("evilwm")) << "evilwm is part of the test dependencies";
        client({"evilwm", "-fn", "fixed"});
        ASSERT_TRUE(waitFor([&] { return !rootList("_NET_SUPPORTING_WM_CHECK").empty(); }));
    }

    // A titled window of the test process itself.
    Window ownWindow() {
        Window w = XCreateSimpleWindow(own_, DefaultRootWindow(own_), 0, 0, 100, 50, 1, 0, 0);
        XStoreName(own_, w, "korvan-ups");
        Atom deleteWindow = XInternAtom(own_, "WM_DELETE_WINDOW", False);
        XSetWMProtocols(own_, w, &deleteWindow, 1);
        XMapWindow(own_, w);
        XSync(own_, False);
        return w;
    }

    bool ownWindowGotAClientMessage() {
        XSync(own_, False);
        while (XPending(own_)) {
            XEvent e;
            XNextEvent(own_, &e);
            if (e.type == ClientMessage) return true;
        }
        return false;
    }

    static std::vector<long> pidsOf(const std::vector<CloseRequestSent>& sent) {
        std::vector<long> pids;
        for (const auto& s : sent) pids.push_back(s.pid);
        std::sort(pids.begin(), pids.end());
        return pids;
    }

    fs::path scratch_;
    std::string display_;
    Display* own_ = nullptr;
    std::vector<pid_t> pids_;
    std::map<pid_t, fs::path> outputs_;
};

TEST_F(XSession, WithAWindowManagerEachOtherProcessGetsOneRequestAndReallyCloses) {
    startWindowManager();
    ownWindow();
    const pid_t xterm = client({"xterm", "-e", "sleep", "600"});
    const pid_t xclock = client({"xclock"});
    const pid_t xmessage = client({"xmessage", "Guardar cambios?"});  // sets no _NET_WM_PID
    const pid_t twoWindows = peer({"titled:Primera", "titled:Segunda"});
    const pid_t noProtocol = peer({"noproto:Sin protocolo"});
    const pid_t skipped = peer({"untitled", "hidden:Oculta", "transient:Dialogo", "dock:Panel"});
    const auto twoIds = peerWindows(twoWindows);
    const auto noProtocolIds = peerWindows(noProtocol);
    ASSERT_EQ(twoIds.size(), 2u);
    ASSERT_EQ(noProtocolIds.size(), 1u);
    ASSERT_EQ(peerWindows(skipped).size(), 4u);
    // Every window that is to get a request is managed before the closer runs.
    ASSERT_TRUE(waitFor([&] {
        return managesTitle("sleep") && managesTitle("xclock") && managesTitle("xmessage") &&
               managesWindow(twoIds[0]) && managesWindow(twoIds[1]) &&
               managesWindow(noProtocolIds[0]);
    }));

    const auto sent = X11WindowCloser(getpid(), display_).closeOtherApplications();

    std::vector<long> expected{xterm, xclock, xmessage, twoWindows, noProtocol};
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(pidsOf(sent), expected) << "one request per other process, none for this one";
    for (const auto& s : sent) {
        EXPECT_FALSE(s.title.empty());
        if (s.pid == twoWindows) {
            EXPECT_EQ(s.window, twoIds[0]) << "the first one listed";
        }
        EXPECT_EQ(s.viaDeleteWindow, s.pid != noProtocol);
    }

    for (pid_t pid : {xterm, xclock, xmessage, twoWindows, noProtocol}) {
        EXPECT_TRUE(waitFor([&] { return hasExited(pid); }))
            << "pid " << pid << " still runs (xterm " << xterm << ", xclock " << xclock
            << ", xmessage " << xmessage << ", peers " << twoWindows << " " << noProtocol << ")";
    }
    EXPECT_EQ(output(twoWindows), "ready " + std::to_string(twoIds[0]) + " " +
                                      std::to_string(twoIds[1]) + "\ndelete " +
                                      std::to_string(twoIds[0]) + "\n");
    EXPECT_FALSE(hasExited(skipped));
    EXPECT_EQ(output(skipped).find("delete"), std::string::npos);
    EXPECT_FALSE(ownWindowGotAClientMessage());
}

TEST_F(XSession, WithoutAWindowManagerTheRootsChildrenAreFilteredAndMinimisedOnesCount) {
    ownWindow();
    const pid_t hiddenFirst = peer({"hidden:Oculta", "titled:Visible"});
    const pid_t twoWindows = peer({"titled:Uno", "titled:Dos"});
    const pid_t onlySkipped = peer({"untitled", "transient:Dialogo", "dock:Panel"});
    const pid_t minimised = peer({"iconic:Minimizada"});
    const pid_t xmessage = client({"xmessage", "Hola"});
    const auto hiddenIds = peerWindows(hiddenFirst);
    const auto twoIds = peerWindows(twoWindows);
    ASSERT_EQ(hiddenIds.size(), 2u);
    ASSERT_EQ(twoIds.size(), 2u);
    ASSERT_EQ(peerWindows(onlySkipped).size(), 3u);
    ASSERT_EQ(peerWindows(minimised).size(), 1u);
    // The peers' windows exist once they print; xmessage's shows up by its title.
    ASSERT_TRUE(waitFor([&] { return rootChildNamed("xmessage"); }));
    EXPECT_TRUE(rootList("_NET_CLIENT_LIST").empty());

    const auto sent = X11WindowCloser(getpid(), display_).closeOtherApplications();

    std::vector<long> expected{hiddenFirst, twoWindows, minimised, xmessage};
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(pidsOf(sent), expected);
    for (const auto& s : sent) {
        if (s.pid == hiddenFirst) {
            EXPECT_EQ(s.window, hiddenIds[1]);
        }
        if (s.pid == twoWindows) {
            EXPECT_EQ(s.window, twoIds[0]);
        }
        EXPECT_TRUE(s.viaDeleteWindow);
    }
    for (pid_t pid : {hiddenFirst, twoWindows, minimised, xmessage}) {
        EXPECT_TRUE(waitFor([&] { return hasExited(pid); })) << "pid " << pid << " still runs";
    }
    EXPECT_FALSE(hasExited(onlySkipped));
    EXPECT_FALSE(ownWindowGotAClientMessage());
}

TEST(X11WindowCloser, WithoutAnXServerThereIsNothingToClose) {
    // A display number no server listens on.
    EXPECT_TRUE(X11WindowCloser(getpid(), ":4093").closeOtherApplications().empty());
}

}  // namespace
