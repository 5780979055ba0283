#!/usr/bin/env python3
"""`lumwatchd --command` against real checkers (offscreen, no server needed), one row each:

- two settings stores: each checker is reached by its own store, and `exit` ends only it;
- 1,100 idle connections: the socket stays, and `--command check` works after them;
- no usable runtime folder: the socket goes in a folder of mode 700, never /lumwatchd.sock;
- a stopped checker: `--command check` ends with 3 and 「チェッカーが応答しません」.

usage: command_e2e.py BIN_DIR
"""
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


class Row:
    def __init__(self, bindir, home, name, **env):
        self.bindir = bindir
        self.config = os.path.join(home, "config-" + name)
        write_store(self.config, ["accountno=1", "Option1value=0", "Option7value=1", "Checktimerval=0"]
                    + account(1, name, 1, "u", "p", (0, 0xFFFFFF)))
        self.env = {k: v for k, v in os.environ.items() if k not in ("DISPLAY", "XDG_RUNTIME_DIR")}
        self.env.update(LANG="C.UTF-8", QT_QPA_PLATFORM="offscreen", XDG_CONFIG_HOME=self.config,
                        XDG_CACHE_HOME=os.path.join(home, "cache-" + name), **env)
        self.checker = None
        self.runtime = env.get("XDG_RUNTIME_DIR") or env["TMPDIR"]

    def command(self, name):
        done = subprocess.run([os.path.join(self.bindir, "lumwatchd"), "--command", name], env=self.env,
                              stderr=subprocess.PIPE, timeout=DEADLINE)
        return done.returncode, done.stderr.decode()

    def start(self):
        # With the usual limit of 1,024 open files.
        self.checker = subprocess.Popen([os.path.join(self.bindir, "lumwatchd")], env=self.env,
                                        stderr=subprocess.DEVNULL, preexec_fn=lambda: resource.setrlimit(
                                            resource.RLIMIT_NOFILE, (1024, resource.getrlimit(resource.RLIMIT_NOFILE)[1])))
        # Listening at once: "show" answers as soon as the socket is there.
        end = time.monotonic() + DEADLINE
        while self.command("show")[0] != 0:
            if self.checker.poll() is not None or time.monotonic() > end:
                raise Failure("%s: the checker never answered" % self.config)
            time.sleep(0.1)

    def socket_path(self):
        for folder, _, files in os.walk(self.runtime):
            for f in files:
                if f.startswith("lumwatchd-") and f.endswith(".sock"):
                    return os.path.join(folder, f)
        raise Failure("no socket in the runtime folder")

    def stop(self):
        if self.checker and self.checker.poll() is None:
            self.checker.kill()
            self.checker.wait()


def two_stores(bindir, home, runtime):
    a = Row(bindir, home, "a", XDG_RUNTIME_DIR=runtime)
    b = Row(bindir, home, "b", XDG_RUNTIME_DIR=runtime)
    try:
        a.start()
        b.start()
        if b.command("exit")[0] != 0 or b.checker.wait(DEADLINE) != 0:
            raise Failure("exit through store b did not end its checker")
        if a.checker.poll() is not None or a.command("check")[0] != 0:
            raise Failure("the checker of store a was ended or lost by b's exit")
    finally:
        a.stop()
        b.stop()


def flood(bindir, home):
    runtime = os.path.join(home, "run-flood")
    os.makedirs(runtime, mode=0o700)
    row = Row(bindir, home, "flood", XDG_RUNTIME_DIR=runtime)
    try:
        row.start()
        soft, hard = resource.getrlimit(resource.RLIMIT_NOFILE)
        resource.setrlimit(resource.RLIMIT_NOFILE, (max(soft, min(hard, 4096)), hard))
        idle = []
        try:
            for _ in range(1100):
                s = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
                s.connect(row.socket_path())  # blocking: waits while the queue is full
                idle.append(s)
            status, err = row.command("check")
        finally:
            for s in idle:
                s.close()
            resource.setrlimit(resource.RLIMIT_NOFILE, (soft, hard))
        if status != 0:
            raise Failure("--command check after 1,100 idle connections ended with %d: %s" % (status, err))
    finally:
        row.stop()


def no_runtime_folder(bindir, home):
    tmp = os.path.join(home, "tmp")
    os.makedirs(os.path.join(tmp, "runtime-%s" % os.environ.get("USER", "root")))
    if os.getuid() == 0:  # a runtime folder of another user: Qt gives none
        os.chown(os.path.join(tmp, "runtime-root"), 65534, 65534)
    row = Row(bindir, home, "noruntime", TMPDIR=tmp)
    try:
        row.start()
        folder = os.path.dirname(row.socket_path())
        mode = os.stat(folder)
        if mode.st_mode & 0o777 != 0o700 or mode.st_uid != os.getuid() or os.path.exists("/lumwatchd.sock"):
            raise Failure("the socket is in %s (mode %o)" % (folder, os.stat(folder).st_mode & 0o777))
    finally:
        row.stop()


def stopped(bindir, home, runtime):
    row = Row(bindir, home, "stopped", XDG_RUNTIME_DIR=runtime)
    try:
        row.start()
        row.checker.send_signal(signal.SIGSTOP)
        status, err = row.command("check")
        row.checker.send_signal(signal.SIGCONT)
        if status != 3 or "チェッカーが応答しません" not in err:
            raise Failure("--command check to a stopped checker ended with %d: %s" % (status, err))
    finally:
        row.stop()


def main():
    bindir = sys.argv[1]
    try:
        with tempfile.TemporaryDirectory() as home:
            runtime = os.path.join(home, "run")
            os.makedirs(runtime, mode=0o700)
            two_stores(bindir, home, runtime)
            flood(bindir, home)
            no_runtime_folder(bindir, home)
            stopped(bindir, home, runtime)
        print("command_e2e: ok")
    except Failure as e:
        print("command_e2e: FAIL: %s" % e, file=sys.stderr)
        sys.exit(1)


if __name__ == "__main__":
    main()
