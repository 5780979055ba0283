#!/usr/bin/env python3
"""`lumwatchd --command` against real checkers (offscreen, limited to 1,024 open files):
two stores each reach their own checker; --command check works amid 1,100 idle connections;
without a usable runtime folder the socket lies in a folder of mode 700; a stopped checker
gives 3 and 「チェッカーが応答しません」.  usage: command_e2e.py BIN_DIR"""
import os
import resource
import signal
import socket
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from lumstore import account, write_store  # noqa: E402
from xsession import DEADLINE, Failure  # noqa: E402

BIN, HOME = sys.argv[1], tempfile.mkdtemp()
FILES = (1024, resource.getrlimit(resource.RLIMIT_NOFILE)[1])
RUNNING = []


def folder(name, mode=0o700):
    path = os.path.join(HOME, name)
    os.makedirs(path, mode=mode, exist_ok=True)
    return path


class Checker:
    def __init__(self, name, **env):
        config = os.path.join(HOME, "config-" + name)
        write_store(config, ["accountno=1", "Option1value=0", "Option7value=1", "Checktimerval=0"]
                    + account(1, name, 1, "u", "p", (0, 0xFFFFFF)))
        self.runtime = env.get("XDG_RUNTIME_DIR") or env["TMPDIR"]
        self.env = {k: v for k, v in os.environ.items() if k not in ("DISPLAY", "XDG_RUNTIME_DIR")}
        self.env.update(LANG="C.UTF-8", QT_QPA_PLATFORM="offscreen", XDG_CONFIG_HOME=config, **env)
        self.proc = subprocess.Popen([os.path.join(BIN, "lumwatchd")], env=self.env, stderr=subprocess.DEVNULL,
                                     preexec_fn=lambda: resource.setrlimit(resource.RLIMIT_NOFILE, FILES))
        RUNNING.append(self.proc)
        end = time.monotonic() + DEADLINE
        while self.command("show")[0] != 0:
            if self.proc.poll() is not None or time.monotonic() > end:
                raise Failure("the checker of %s never answered" % name)
            time.sleep(0.1)

    def command(self, name):
        done = subprocess.run([os.path.join(BIN, "lumwatchd"), "--command", name], env=self.env,
                              stderr=subprocess.PIPE, timeout=DEADLINE)
        return done.returncode, done.stderr.decode()

    def socket(self):
        return [os.path.join(d, f) for d, _, files in os.walk(self.runtime) for f in files if f.endswith(".sock")][0]


def two_stores():
    a, b = Checker("a", XDG_RUNTIME_DIR=folder("run")), Checker("b", XDG_RUNTIME_DIR=folder("run"))
    if b.command("exit")[0] != 0 or b.proc.wait(DEADLINE) != 0:
        raise Failure("exit through store b did not end its checker")
    if a.proc.poll() is not None or a.command("check")[0] != 0:
        raise Failure("the checker of store a was ended or lost by b's exit")


def flood():
    c = Checker("flood", XDG_RUNTIME_DIR=folder("run-flood"))
    resource.setrlimit(resource.RLIMIT_NOFILE, (4096, FILES[1]))
    idle = [socket.socket(socket.AF_UNIX) for _ in range(1100)]
    for s in idle:
        s.connect(c.socket())  # blocking: waits while the queue is full
    status = c.command("check")
    for s in idle:
        s.close()
    if status[0] != 0:
        raise Failure("--command check amid 1,100 idle connections: %s" % (status,))


def no_runtime_folder():
    qt_folder = folder("tmp/runtime-%s" % os.environ.get("USER", "root"))
    if os.getuid() == 0:  # another user's: Qt gives none
        os.chown(qt_folder, 65534, 65534)
    c = Checker("noruntime", TMPDIR=folder("tmp"))
    mode = os.stat(os.path.dirname(c.socket()))
    if mode.st_mode & 0o777 != 0o700 or mode.st_uid != os.getuid() or os.path.exists("/lumwatchd.sock"):
        raise Failure("the socket is %s" % c.socket())


def stopped():
    c = Checker("stopped", XDG_RUNTIME_DIR=folder("run-stopped"))
    c.proc.send_signal(signal.SIGSTOP)
    status = c.command("check")
    c.proc.send_signal(signal.SIGCONT)
    if status[0] != 3 or "チェッカーが応答しません" not in status[1]:
        raise Failure("--command check to a stopped checker: %s" % (status,))


try:
    for row in (two_stores, flood, no_runtime_folder, stopped):
        row()
    print("command_e2e: ok")
except Failure as e:
    print("command_e2e: FAIL: %s" % e, file=sys.stderr)
    sys.exit(1)
finally:
    for proc in RUNNING:
        proc.kill()
        proc.wait()
    subprocess.run(["rm", "-rf", HOME])
