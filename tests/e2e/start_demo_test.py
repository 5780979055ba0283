#!/usr/bin/env python3
"""The run command of the README on a machine without a display and without accounts:
scripts/demo.py (what scripts/start.sh ends in) starts the private demo on Xvfb, prints what
lumcheck sees (two POP3 mailboxes, and an IMAP one without its read message), saves the
main window, lists the message delivered to the IMAP mailbox later at once (by push, as the
interval is long), and leaves nothing behind when it ends, by --once or by Ctrl+C. Refusals with
a clear message and no stray process: the port taken, no Dovecot, no Xvfb, no runtime
folder for the lock, an unreadable settings store, a second demo while the first runs. With
accounts configured it becomes lumwatchd on them.

Every run gets its own TMPDIR; a process still carrying it in its arguments or environment
after the run is a stray.

usage: start_demo_test.py BIN_DIR
"""
import os
import signal
import socket
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
DEMO = os.path.join(HERE, "..", "..", "scripts", "demo.py")
sys.path.insert(0, os.path.join(HERE, "..", "support"))
from dovecot import free_port  # noqa: E402
from lumstore import account, write_store  # noqa: E402
from xsession import Failure, XSession  # noqa: E402

STEP = 90  # seconds for one demo run, first check included


def strays(tmp):
    found = []
    for pid in os.listdir("/proc"):
        if not pid.isdigit() or int(pid) == os.getpid():
            continue
        try:
            with open("/proc/%s/cmdline" % pid, "rb") as f:
                args = f.read()
            with open("/proc/%s/environ" % pid, "rb") as f:
                env = f.read()
        except OSError:
            continue
        if tmp.encode() in args or ("TMPDIR=" + tmp).encode() in env:
            found.append("%s %s" % (pid, args.replace(b"\0", b" ").decode(errors="replace")))
    return found


class Run:
    """One demo.py with a private TMPDIR, XDG_RUNTIME_DIR and XDG_CONFIG_HOME."""

    def __init__(self, base, name, bindir, *args, runtime=None, env=None):
        self.tmp = os.path.join(base, name)
        os.makedirs(self.tmp, exist_ok=True)
        self.runtime = runtime or os.path.join(self.tmp, "run")
        os.makedirs(self.runtime, mode=0o700, exist_ok=True)
        self.config = os.path.join(self.tmp, "config")
        self.shots = os.path.join(self.tmp, "shots")
        environment = dict(os.environ, TMPDIR=self.tmp, XDG_RUNTIME_DIR=self.runtime,
                           XDG_CONFIG_HOME=self.config, LANG="C.UTF-8",
                           XDG_CACHE_HOME=os.path.join(self.tmp, "cache"))
        environment.pop("DISPLAY", None)
        environment.update(env or {})
        self.proc = subprocess.Popen(
            [sys.executable, DEMO, bindir, "--shots", self.shots, *args], env=environment,
            stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True, process_group=0)
        self.out = ""

    def wait_line(self, text):
        """Reads stdout up to the line that holds text."""
        end = time.monotonic() + STEP
        while time.monotonic() < end:
            line = self.proc.stdout.readline()
            if not line:
                break
            self.out += line
            if text in line:
                return
        raise Failure("the demo never said %r; it said:\n%s%s" % (text, self.out, self.finish()[1]))

    def finish(self):
        """(exit status, stdout, stderr) once it has ended."""
        try:
            out, err = self.proc.communicate(timeout=STEP)
        except subprocess.TimeoutExpired:
            self.proc.kill()
            out, err = self.proc.communicate()
            raise Failure("the demo did not end in %d s:\n%s%s%s" % (STEP, self.out, out, err))
        self.out += out
        return self.proc.returncode, self.out, err

    def check_clean(self):
        end = time.monotonic() + 10
        while strays(self.tmp):
            if time.monotonic() > end:
                raise Failure("processes left behind:\n" + "\n".join(strays(self.tmp)))
            time.sleep(0.2)
        left = [n for n in os.listdir(self.tmp) if n.startswith(("lumora-demo-", "lumdovecot-"))]
        if left:
            raise Failure("folders left behind in %s: %s" % (self.tmp, left))


def refused(run, message):
    code, out, err = run.finish()
    if code != 1 or message not in err:
        raise Failure("expected exit 1 with %r, got %d:\n%s%s" % (message, code, out, err))
    run.check_clean()


def headless_once(base, bindir):
    run = Run(base, "once", bindir, "--once", "--port", str(free_port()))
    code, out, err = run.finish()
    if code != 0 or "警告" in err:
        raise Failure("the demo ended with %d:\n%s%s" % (code, out, err))
    lines = [line for line in out.splitlines() if line.count("\t") == 4]
    if len(lines) != 15:  # the read one of the IMAP mailbox is not listed
        raise Failure("lumcheck printed %d messages, not 15:\n%s%s" % (len(lines), out, err))
    for expected in (
            "1\t2\t1\t経理部 <keiri@example.co.jp>\t12月分の経費精算のお願い",
            "1\t3\t0\t鈴木 一郎 <ichiro.suzuki@example.co.jp>\t【ご確認】年末年始の営業日と"
            "システム保守作業のお知らせ（12月28日から1月4日まで）",
            "2\t1\t0\t母 <mama@example.ne.jp>\tお正月は帰ってくるの？",
            "3\t2\t0\t旅の予約センター <booking@example.com>\tご予約の確認：京都 1月10日から2泊"):
        if expected not in lines:
            raise Failure("lumcheck lacks %r:\n%s" % (expected, out))
    shot = os.path.join(run.shots, "lumwatchd-demo.png")
    with open(shot, "rb") as f:
        if f.read(8) != b"\x89PNG\r\n\x1a\n":
            raise Failure("no picture of the main window at " + shot)
    if shot not in out:
        raise Failure("the demo does not say where the picture is:\n" + out)
    run.check_clean()


def ctrl_c_and_second_start(base, bindir):
    first = Run(base, "first", bindir, "--port", str(free_port()))
    try:
        first.wait_line("Ctrl+C")
        second = Run(base, "second", bindir, "--port", str(free_port()), runtime=first.runtime)
        refused(second, "デモは既に動いています (PID %d)" % first.proc.pid)
        running = strays(first.tmp)
        if not any("dovecot" in p for p in running) or not any("lumwatchd" in p for p in running):
            raise Failure("the running demo's server and checker are not seen:\n%s" % running)
        store = first.out.split("デモの設定ファイル: ")[1].split(" ")[0]
        if [os.stat(p).st_mode & 0o777 for p in (store, os.path.dirname(store))] != [0o600, 0o700]:
            raise Failure("the demo's store or its folder is open to others: " + store)
        first.wait_line("新しいメール「新年会の日程が決まりました」を1通届けました")
        x = XSession.attach(first.out.split("Xvfb (")[1].split(")")[0])
        x.focus(x.wait_for_window("16通のメールが届いています!"))
        x.keys("ctrl+End", "ctrl+c")
        if x.clipboard() != "鈴木 先生 <sensei@example.ac.jp>\t新年会の日程が決まりました":
            raise Failure("the pushed message is not the list's last row: %r" % x.clipboard())
        os.killpg(first.proc.pid, signal.SIGINT)  # as Ctrl+C in its terminal
        code, out, err = first.finish()
        if code != 0 or "デモを終了しました" not in out or "X11 connection broke" in err:
            raise Failure("Ctrl+C ended the demo with %d:\n%s%s" % (code, out, err))
        first.check_clean()
    finally:
        if first.proc.poll() is None:
            os.killpg(first.proc.pid, signal.SIGINT)  # the demo stops its server and checker
            first.proc.communicate(timeout=STEP)


def refusals(base, bindir):
    with socket.socket() as taken:
        taken.bind(("127.0.0.1", 0))
        taken.listen()
        port = taken.getsockname()[1]
        refused(Run(base, "port", bindir, "--port", str(port)),
                "ポート %d は既に使われています" % port)
    refused(Run(base, "nodovecot", bindir, "--dovecot", "/nonexistent/dovecot"),
            "Dovecot がありません")
    refused(Run(base, "noxvfb", bindir, "--xvfb", "/nonexistent/Xvfb"), "Xvfb もありません")
    refused(Run(base, "norun", bindir, env={"XDG_RUNTIME_DIR": "/nonexistent/run"}),
            "デモのロックファイルを作れません")
    run = Run(base, "store", bindir)
    os.makedirs(os.path.join(run.config, "lumwatch", "lumwatch.ini"))  # a folder, not a file
    refused(run, "設定ファイルを読み込めません")


def with_accounts(base, bindir):
    """A store with an account: the checker itself starts on it, no demo."""
    tmp = os.path.join(base, "accounts")
    config = os.path.join(tmp, "config")
    write_store(config, ["accountno=1", "Option5value=0", "Checktimerval=0"]
                + account(1, "自分", free_port(), "me", "pw", (0, 0xFFFFFF)))
    run = Run(base, "accounts", bindir, env={"XDG_CONFIG_HOME": config,
                                             "QT_QPA_PLATFORM": "offscreen"})
    try:
        run.wait_line("lumwatchd をそのまま起動します")
        end = time.monotonic() + STEP
        while os.path.basename(os.readlink("/proc/%d/exe" % run.proc.pid)) != "lumwatchd":
            if time.monotonic() > end or run.proc.poll() is not None:
                raise Failure("the checker did not start on the accounts")
            time.sleep(0.1)
        if "デモ" in run.out:
            raise Failure("a demo started beside the accounts:\n" + run.out)
    finally:
        run.proc.kill()
        run.finish()


def main():
    if len(sys.argv) != 2:
        print(__doc__, file=sys.stderr)
        sys.exit(2)
    bindir = os.path.abspath(sys.argv[1])
    with tempfile.TemporaryDirectory() as base:
        os.chmod(base, 0o755)
        for step in (headless_once, ctrl_c_and_second_start, refusals, with_accounts):
            started = time.monotonic()
            try:
                step(base, bindir)
            except Failure as e:
                print("start_demo_test: FAIL in %s: %s" % (step.__name__, e), file=sys.stderr)
                sys.exit(1)
            print("start_demo_test: %s ok (%.1f s)" % (step.__name__, time.monotonic() - started))
    print("start_demo_test: ok")


if __name__ == "__main__":
    main()
