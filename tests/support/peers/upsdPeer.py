#!/usr/bin/env python3
"""Network UPS Tools' upsd with the dummy-ups driver, for the follower tests: a private
configuration in the folder given, a loopback port of its own, driven over a control port on
127.0.0.1 (written to <folder>/control, or fixed with a second argument) so that a Windows test
under Wine can drive it too. One command a line, one answer line each:
  start WORDS...   starts the driver and upsd serving ups.status WORDS; "OK <port>"
  status WORDS...  changes ups.status and answers once upsd serves it
  fsd              sets FSD as an administrator does
  kill             kills upsd and its driver at once
Both programs run in the foreground as this peer's children and die with it."""
import ctypes
import os
import signal
import socket
import subprocess
import sys
import time

NUT = "/lib/nut"
UPS = "sim"
ADMIN = ("admin", "adminpw")
USERS = """[follower]
password = followpw
upsmon secondary
[admin]
password = adminpw
actions = SET FSD
upsmon primary
"""


def die_with_parent():
    ctypes.CDLL(None).prctl(1, signal.SIGKILL)  # PR_SET_PDEATHSIG


def ask(port, lines, user=None):
    """Sends the lines to upsd, each after the answer to the one before; the last answer."""
    with socket.create_connection(("127.0.0.1", port), timeout=5) as s:
        f = s.makefile("rw", newline="\n")
        if user:
            lines = ["USERNAME " + user[0], "PASSWORD " + user[1]] + lines
        answer = ""
        for line in lines:
            f.write(line + "\n")
            f.flush()
            answer = f.readline().strip()
        return answer


class Upsd:
    def __init__(self, folder):
        self.etc = os.path.join(folder, "etc")
        self.state = os.path.join(folder, "state")
        self.children = []
        self.port = 0

    def write(self, name, text):
        path = os.path.join(self.etc, name)
        with open(path + ".new", "w") as f:
            f.write(text)
        os.replace(path + ".new", path)

    def start(self, status):
        self.kill()
        for d in (self.etc, self.state):
            os.makedirs(d, mode=0o700, exist_ok=True)
        probe = socket.socket()
        probe.bind(("127.0.0.1", 0))
        self.port = probe.getsockname()[1]
        probe.close()
        self.write("ups.conf", "[%s]\ndriver = dummy-ups\nport = %s/sim.dev\nmode = dummy-once\n"
                   "pollinterval = 1\n" % (UPS, self.etc))
        self.set_status(status)
        self.write("upsd.conf", "LISTEN 127.0.0.1 %d\nSTATEPATH %s\n" % (self.port, self.state))
        self.write("upsd.users", USERS)
        env = dict(os.environ, NUT_CONFPATH=self.etc, NUT_STATEPATH=self.state,
                   NUT_ALTPIDPATH=self.state)
        # As the user running the peer (root keeps root): a change of user would cancel the
        # death signal that ends them with the peer.
        user = ["-u", "root"] if os.geteuid() == 0 else []
        quiet = dict(stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, env=env,
                     preexec_fn=die_with_parent)
        self.children.append(subprocess.Popen([NUT + "/dummy-ups", "-a", UPS, "-FF"] + user,
                                              **quiet))
        time.sleep(0.3)
        self.children.append(subprocess.Popen([NUT + "/upsd", "-FF"] + user, **quiet))
        return self.wait_serving(status)

    def set_status(self, status):
        self.write("sim.dev", "ups.status: %s\ndevice.serial: SIM-0001\n" % status)

    def wait_serving(self, status):
        deadline = time.monotonic() + 15
        while time.monotonic() < deadline:
            try:
                if ask(self.port, ["GET VAR %s ups.status" % UPS]) == 'VAR %s ups.status "%s"' % (
                        UPS, status):
                    return True
            except OSError:
                pass
            time.sleep(0.1)
        return False

    def kill(self):
        for child in self.children:
            child.kill()
            child.wait()
        self.children = []


def serve(peer, connection):
    f = connection.makefile("rw", newline="\n")
    for line in f:
        words = line.split()
        if not words:
            continue
        status = " ".join(words[1:])
        try:
            if words[0] == "start":
                answer = "OK %d" % peer.port if peer.start(status) else "ERR START"
            elif words[0] == "status":
                peer.set_status(status)
                answer = "OK" if peer.wait_serving(status) else "ERR STATUS"
            elif words[0] == "fsd":
                answer = ask(peer.port, ["FSD " + UPS], ADMIN)
            elif words[0] == "kill":
                peer.kill()
                answer = "OK"
            else:
                answer = "ERR UNKNOWN-COMMAND"
        except OSError as e:
            answer = "ERR " + str(e).replace(" ", "-")
        f.write(answer + "\n")
        f.flush()


def main():
    folder = sys.argv[1]
    peer = Upsd(folder)
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(0))
    listener = socket.socket()
    listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    listener.bind(("127.0.0.1", int(sys.argv[2]) if len(sys.argv) > 2 else 0))
    listener.listen(1)
    with open(os.path.join(folder, "control.new"), "w") as f:
        f.write(str(listener.getsockname()[1]))
    os.replace(os.path.join(folder, "control.new"), os.path.join(folder, "control"))
    try:
        # One test's rig at a time; its upsd ends with its connection.
        while True:
            connection, _ = listener.accept()
            with connection:
                serve(peer, connection)
            peer.kill()
    finally:
        peer.kill()


if __name__ == "__main__":
    main()
