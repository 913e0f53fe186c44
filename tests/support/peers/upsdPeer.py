#!/usr/bin/env python3
# upsd with the dummy-ups driver for the follower tests, configured in the folder given, on a
# loopback port of its own (kept when it starts again), and driven over a control port on 127.0.0.1 (written to
# <folder>/control, or the second argument) so that a Windows test under Wine can drive it too.
# Commands, one answer line each: "start WORDS" ("OK <port>"), "status WORDS" (answered once upsd
# serves them), "fsd", "kill". upsd and its driver are this peer's children and die with it.
import ctypes, os, signal, socket, subprocess, sys, time

USERS = "[follower]\npassword = followpw\nupsmon secondary\n" \
        "[admin]\npassword = adminpw\nactions = SET FSD\nupsmon primary\n"


def ask(port, lines):
    with socket.create_connection(("127.0.0.1", port), timeout=5) as s:
        f = s.makefile("rw", newline="\n")
        for line in lines:
            f.write(line + "\n")
            f.flush()
            answer = f.readline().strip()
        return answer


class Upsd:
    def __init__(self, folder):
        self.etc, self.state = os.path.join(folder, "etc"), os.path.join(folder, "state")
        self.children, self.port = [], 0

    def write(self, name, text):
        with open(os.path.join(self.etc, name + ".new"), "w") as f:
            f.write(text)
        os.replace(os.path.join(self.etc, name + ".new"), os.path.join(self.etc, name))

    def start(self, status):
        self.kill()
        os.makedirs(self.etc, exist_ok=True)
        os.makedirs(self.state, exist_ok=True)
        with socket.socket() as probe:  # a restart keeps the port
            probe.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
            probe.bind(("127.0.0.1", self.port))
            self.port = probe.getsockname()[1]
        self.write("ups.conf", "[sim]\ndriver = dummy-ups\nport = %s/sim.dev\nmode = dummy-once\n"
                   "pollinterval = 1\n" % self.etc)
        self.simulate(status)
        self.write("upsd.conf", "LISTEN 127.0.0.1 %d\nSTATEPATH %s\n" % (self.port, self.state))
        self.write("upsd.users", USERS)
        env = dict(os.environ, NUT_CONFPATH=self.etc, NUT_STATEPATH=self.state,
                   NUT_ALTPIDPATH=self.state)
        # Root stays root: a change of user would cancel the death signal.
        user = ["-u", "root"] if os.geteuid() == 0 else []
        for program in ["dummy-ups", "-a", "sim"], ["upsd"]:
            self.children.append(subprocess.Popen(
                ["/lib/nut/" + program[0]] + program[1:] + ["-FF"] + user, env=env,
                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                preexec_fn=lambda: ctypes.CDLL(None).prctl(1, signal.SIGKILL)))
            time.sleep(0.3)
        return self.serving(status)

    def simulate(self, status):
        self.write("sim.dev", "ups.status: %s\ndevice.serial: SIM-0001\n" % status)
        # The driver sees a change by the file's time in whole seconds: each write gets a new one.
        self.stamp = max(getattr(self, "stamp", 0) + 1, int(time.time()))
        os.utime(os.path.join(self.etc, "sim.dev"), (self.stamp, self.stamp))

    def serving(self, status):
        for _ in range(150):
            try:
                if ask(self.port, ["GET VAR sim ups.status"]) == 'VAR sim ups.status "%s"' % status:
                    return True
            except OSError:
                pass
            time.sleep(0.1)
        return False

    def command(self, verb, words):
        if verb == "start":
            return "OK %d" % self.port if self.start(words) else "ERR START"
        if verb == "status":
            self.simulate(words)
            return "OK" if self.serving(words) else "ERR STATUS"
        if verb == "fsd":
            return ask(self.port, ["USERNAME admin", "PASSWORD adminpw", "FSD sim"])
        if verb == "kill":
            self.kill()
            return "OK"
        return "ERR UNKNOWN-COMMAND"

    def kill(self):
        for child in self.children:
            child.kill()
            child.wait()
        self.children = []


def main():
    peer = Upsd(sys.argv[1])
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(0))
    listener = socket.create_server(("127.0.0.1", int(sys.argv[2]) if len(sys.argv) > 2 else 0))
    control = os.path.join(sys.argv[1], "control")
    with open(control + ".new", "w") as f:
        f.write(str(listener.getsockname()[1]))
    os.replace(control + ".new", control)
    try:
        while True:  # one rig at a time; its upsd ends with its connection
            connection, _ = listener.accept()
            with connection, connection.makefile("rw", newline="\n") as f:
                for line in f:
                    verb, _, words = line.strip().partition(" ")
                    try:
                        answer = peer.command(verb, words)
                    except OSError as e:
                        answer = "ERR " + type(e).__name__
                    f.write(answer + "\n")
                    f.flush()
            peer.kill()
            peer.port = 0
    finally:
        peer.kill()


if __name__ == "__main__":
    main()
