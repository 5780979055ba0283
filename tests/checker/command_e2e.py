#!/usr/bin/env python3
"""`lumwatchd --command` against offscreen checkers of stores a and b (1,024 open files each) in one
runtime folder, then one without a runtime folder.  usage: command_e2e.py BIN_DIR"""
import os
import resource
import signal
import socket
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from lumstore import account, write_store  # noqa: E402
from xsession import DEADLINE, Failure, until  # noqa: E402

LUMWATCHD, HOME = os.path.join(sys.argv[1], "lumwatchd"), tempfile.mkdtemp()
FILES = (1024, resource.getrlimit(resource.RLIMIT_NOFILE)[1])
RUNNING = []


def folder(name):
    path = os.path.join(HOME, name)
    os.makedirs(path, mode=0o700, exist_ok=True)
    return path


def sockets(where):
    return [os.path.join(d, f) for d, _, files in os.walk(where) for f in files if f.endswith(".sock")]


def command(env, name):
    done = subprocess.run([LUMWATCHD, "--command", name], env=env, stderr=subprocess.PIPE, timeout=DEADLINE)
    return done.returncode, done.stderr.decode()


def checker(name, **env):
    """The checker of store name, once it answers, and the environment that reaches it."""
    config = os.path.join(HOME, "config-" + name)
    write_store(config, ["accountno=1", "Option1value=0", "Option7value=1", "Checktimerval=0"]
                + account(1, name, 1, "u", "p", (0, 0xFFFFFF)))
    env = dict({k: v for k, v in os.environ.items() if k not in ("DISPLAY", "XDG_RUNTIME_DIR")},
               LANG="C.UTF-8", QT_QPA_PLATFORM="offscreen", XDG_CONFIG_HOME=config, **env)
    proc = subprocess.Popen([LUMWATCHD], env=env, stderr=subprocess.DEVNULL,
                            preexec_fn=lambda: resource.setrlimit(resource.RLIMIT_NOFILE, FILES))
    RUNNING.append(proc)
    until(lambda: proc.poll() is not None or command(env, "show")[0] == 0, "the checker of %s never answered" % name)
    if proc.poll() is not None:
        raise Failure("the checker of %s ended" % name)
    return proc, env


def story():
    a, a_env = checker("a", XDG_RUNTIME_DIR=folder("run"))
    [a_socket] = sockets(folder("run"))
    b, b_env = checker("b", XDG_RUNTIME_DIR=folder("run"))
    if command(b_env, "exit")[0] != 0 or b.wait(DEADLINE) != 0 or a.poll() is not None:
        raise Failure("exit through store b did not end b alone")
    resource.setrlimit(resource.RLIMIT_NOFILE, (4096, FILES[1]))
    idle = [socket.socket(socket.AF_UNIX) for _ in range(1100)]
    for s in idle:
        s.connect(a_socket)  # blocking: waits while the queue is full
    for what, signum, status, text in (("amid 1,100 idle connections", signal.SIGCONT, 0, ""),
                                       ("stopped", signal.SIGSTOP, 3, "チェッカーが応答しません")):
        a.send_signal(signum)
        got = command(a_env, "check")
        if got[0] != status or text not in got[1]:
            raise Failure("--command check, the checker %s: %s" % (what, got))

    qt_folder = folder("tmp/runtime-%s" % os.environ.get("USER", "root"))
    if os.getuid() == 0:  # another user's: Qt gives none
        os.chown(qt_folder, 65534, 65534)
    checker("noruntime", TMPDIR=folder("tmp"))
    where = os.stat(os.path.dirname(sockets(folder("tmp"))[0]))
    if where.st_mode & 0o777 != 0o700 or where.st_uid != os.getuid() or os.path.exists("/lumwatchd.sock"):
        raise Failure("the socket without a runtime folder is %s" % sockets(folder("tmp")))


try:
    story()
    print("command_e2e: ok")
except Failure as e:
    sys.exit("command_e2e: FAIL: %s" % e)  # to stderr, status 1
finally:
    for proc in RUNNING:
        proc.kill()
        proc.wait()
    subprocess.run(["rm", "-rf", HOME])
