#!/usr/bin/env python3
"""A user's day with the resident checker, on a virtual X display with a tray host, against
a private Dovecot.

1. Two accounts, check at start and popup on: lumwatchd starts hidden, checks, and pops up
   its window titled "4通のメールが届いています!"; the list holds the decoded From and
   Subject (read back through Ctrl+C on a row).
2. The first message is marked with Space, retrieved with the retrieve button, and opened
   with Enter: the viewer shows its decoded text. Screenshots of both windows go to the
   folder given.
3. A second lumwatchd says "既に起動しています" and ends.
4. `lumwatchd --command check` makes the checker log in again; `--command exit` ends it,
   without a question as stored, with its layout stored. While no checker runs the command
   ends with 1, and an unknown name with 2.
5. Without a tray host, lumwatchd keeps its window open; a trayer started later takes the
   icon and the window hides; when the tray host ends, the window comes back.
6. With an empty store lumwatchd asks "最初に設定をしてください" and starts lumsetup.
7. A password in the keyring (`lumcheck --set-password`): lumcheck and lumwatchd log in.
   Without a Secret Service, or with the keyring locked, that account is told and the other
   one still checked.

usage: lumwatchd_e2e.py BIN_DIR SCREENSHOT_DIR
"""
import os
import signal
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from dovecot import Dovecot, jis_word, message  # noqa: E402
from keyring import PrivateKeyring  # noqa: E402
from lumstore import account, scramble, write_store  # noqa: E402
from xsession import DEADLINE, Failure, run_story  # noqa: E402

MAIL = [
    ("hanako", "山田花子 <hanako@example.jp>", "会議の資料について", "資料を添付します。\n", ("資料.pdf", b"%PDF-1.4 test")),
    ("hanako", "佐藤一郎 <ichiro@example.jp>", "来週の予定", "来週は火曜日が空いています。\n", None),
    ("hanako", "鈴木 <suzuki@example.jp>", "お疲れさまです", "本日もよろしくお願いします。\n", None),
    ("taro", "経理部 <keiri@example.co.jp>", "請求書の送付", "請求書をお送りします。\n", None),
]


def stop(proc):
    if proc and proc.poll() is None:
        proc.kill()
        proc.wait()


def private_env(x, home, name):
    """A settings folder and a runtime folder of its own for one part of the story."""
    config = os.path.join(home, "config-" + name)
    runtime = os.path.join(home, "run-" + name)
    os.makedirs(runtime, mode=0o700, exist_ok=True)
    return config, x.env(XDG_CONFIG_HOME=config, XDG_RUNTIME_DIR=runtime,
                         XDG_CACHE_HOME=os.path.join(home, "cache-" + name))


def terminate(checker, when):
    checker.send_signal(signal.SIGTERM)
    if checker.wait(DEADLINE) != 0:
        raise Failure("lumwatchd ended with %d %s" % (checker.returncode, when))


def command(bindir, env, name):
    bare = {k: v for k, v in env.items() if k != "DISPLAY"}
    return subprocess.run([os.path.join(bindir, "lumwatchd"), "--command", name], env=bare,
                          timeout=DEADLINE).returncode


def users_day(x, bindir, shots, home, server):
    config = os.path.join(home, "config")
    runtime = os.path.join(home, "run")
    os.makedirs(runtime, mode=0o700, exist_ok=True)
    env = x.env(XDG_CONFIG_HOME=config, XDG_RUNTIME_DIR=runtime, XDG_CACHE_HOME=os.path.join(home, "cache"))
    store = write_store(config, [
        "accountno=2", "Option1value=1", "Option3value=0", "Option5value=1", "Option7value=1",
        "Option9value=0", "Checktimerval=0", "frmWidth=9600", "frmHeight=5400",
    ] + account(1, "花子の受信箱", server.port, "hanako", "pw-h", (0, 0xFFFF80))
      + account(2, "太郎", server.port, "taro", "pw-t", (0x800000, 0xC0FFC0)))

    for name, status in (("check", 1), ("nosuch", 2)):
        if command(bindir, env, name) != status:
            raise Failure("--command %s without a checker did not end with %d" % (name, status))
    checker = subprocess.Popen([os.path.join(bindir, "lumwatchd")], env=env)
    try:
        window = x.wait_for_window("4通のメールが届いています!")
        x.focus(window)
        x.keys("ctrl+Home", "ctrl+c")
        first = x.clipboard()
        if first != "山田花子 <hanako@example.jp>\t会議の資料について":
            raise Failure("first row reads %r" % first)
        x.keys("ctrl+End", "ctrl+c")
        last = x.clipboard()
        if last != "経理部 <keiri@example.co.jp>\t請求書の送付":
            raise Failure("last row reads %r" % last)
        x.screenshot(os.path.join(shots, "lumwatchd-main.png"))

        # Mark the first message and retrieve it with the button (left 56, pictures).
        x.keys("ctrl+Home", "space")
        x.click(window, 66, 11)
        # Enter opens the message once the retrieve cycle has filed it.
        end = time.monotonic() + DEADLINE
        while not x.windows("Viewer"):
            if time.monotonic() > end:
                raise Failure("the retrieved message does not open")
            time.sleep(1)
            x.focus(window)
            x.keys("ctrl+Home", "Return")
        viewer = x.wait_for_window("Viewer")
        x.screenshot(os.path.join(shots, "lumwatchd-viewer.png"))
        x.focus(viewer)
        x.keys("ctrl+a", "ctrl+c")
        text = x.clipboard()
        for part in ("Subject: 会議の資料について", "   From: 山田花子", ' Attach:  "資料.pdf"',
                     "資料を添付します。"):
            if part not in text:
                raise Failure("the viewer lacks %r:\n%s" % (part, text))

        second = subprocess.Popen([os.path.join(bindir, "lumwatchd")], env=env)
        box = x.wait_for_window("Lumora")
        x.focus(box)
        x.keys("Return")
        if second.wait(DEADLINE) != 0:
            raise Failure("the second copy ended with %d" % second.returncode)

        logins = server.log().count("Login: user=<hanako>")
        if command(bindir, env, "check") != 0:
            raise Failure("--command check was not delivered")
        end = time.monotonic() + DEADLINE
        while server.log().count("Login: user=<hanako>") == logins:
            if time.monotonic() > end:
                raise Failure("--command check made no login")
            time.sleep(0.2)
        if command(bindir, env, "exit") != 0 or checker.wait(DEADLINE) != 0:
            raise Failure("--command exit did not end lumwatchd (%s)" % checker.poll())
        if command(bindir, env, "check") != 1:
            raise Failure("--command check after the end did not end with 1")
        with open(store, encoding="utf-8") as f:
            saved = f.read()
        if "grdWidth4=" not in saved or "frmWidth=" not in saved:
            raise Failure("the layout was not stored:\n" + saved)
    finally:
        stop(checker)


def late_tray(x, bindir, home, server):
    config, env = private_env(x, home, "late")
    write_store(config, ["accountno=1", "Option5value=0", "Checktimerval=0"]
                + account(1, "太郎", server.port, "taro", "pw-t", (0, 0xFFFFFF)))
    x.stop_tray()
    checker = subprocess.Popen([os.path.join(bindir, "lumwatchd")], env=env)
    try:
        x.wait_for_window("Lumora")  # stands in for the missing icon
        x.start_tray()
        x.tray_icon("lumwatchd")
        x.wait_gone("Lumora")
        x.stop_tray()
        x.wait_for_window("Lumora")
        terminate(checker, "after the tray host")
    finally:
        stop(checker)
        x.start_tray()


def first_run(x, bindir, home):
    _, env = private_env(x, home, "empty")
    checker = subprocess.Popen([os.path.join(bindir, "lumwatchd")], env=env)
    try:
        box = x.wait_for_window("Lumora")
        x.focus(box)
        x.keys("Return")
        x.wait_for_window("OPTION")
        terminate(checker, "during the first run")
    finally:
        stop(checker)
        subprocess.run(["pkill", "-f", os.path.join(bindir, "lumsetup")])


def keyring_account(x, bindir, home, server):
    config, env = private_env(x, home, "keyring")
    store = write_store(config, ["accountno=2", "Option1value=1", "Option3value=0", "Option5value=1",
                                 "Checktimerval=0", "Pwstore1=1"]
                        + account(1, "鍵", server.port, "taro", "", (0, 0xFFFFFF))
                        + account(2, "花子", server.port, "hanako", "pw-h", (0, 0xFFFFFF)))
    lumcheck = os.path.join(bindir, "lumcheck")
    keyring, checker = PrivateKeyring(home), None
    try:
        env = keyring.env(env)
        subprocess.run([lumcheck, "--set-password", "1"], input="pw-t", text=True, env=env, check=True)
        with open(store, encoding="utf-8") as f:
            if keyring.lookup("password:taro@127.0.0.1:%d" % server.port) != "pw-t" or scramble("pw-t").strip() in f.read():
                raise Failure("the password is not in the keyring alone")
        run = subprocess.run([lumcheck], env=env, capture_output=True, text=True, timeout=DEADLINE)
        if not run.stdout.startswith("1\t1\t") or run.stderr:
            raise Failure("lumcheck did not log in with the keyring's password: %s" % run.stderr)
        run = subprocess.run([lumcheck], env=dict(env, DBUS_SESSION_BUS_ADDRESS="unix:path=/none"), capture_output=True, text=True, timeout=DEADLINE)
        if "lumcheck: 鍵: キーリングからパスワードを読めません (鍵): " not in run.stderr or \
                not run.stdout.startswith("2\t1\t"):
            raise Failure("without a Secret Service: %s%s" % (run.stdout, run.stderr))
        checker = subprocess.Popen([os.path.join(bindir, "lumwatchd")], env=env)
        x.wait_for_window("4通のメールが届いています!")
        terminate(checker, "after the keyring check")
        # Locked, with no prompter that could unlock it: the other account is still checked.
        subprocess.run(["gdbus", "call", "--session", "-d", "org.freedesktop.secrets", "-o", "/org/freedesktop/secrets",
                        "-m", "org.freedesktop.Secret.Service.Lock", "['/org/freedesktop/secrets/collection/login']"],
                       env=env, check=True, capture_output=True, timeout=DEADLINE)
        run = subprocess.run([lumcheck], env=env, capture_output=True, text=True, timeout=DEADLINE)
        if "lumcheck: 鍵: キーリングからパスワードを読めません (鍵): キーリングがロックされていて開けません" \
                not in run.stderr or not run.stdout.startswith("2\t1\t"):
            raise Failure("with the keyring locked: %s%s" % (run.stdout, run.stderr))
    finally:
        stop(checker)
        keyring.stop()


def main():
    if len(sys.argv) != 3:
        print(__doc__, file=sys.stderr)
        sys.exit(2)
    bindir, shots = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
    server = Dovecot()
    for user, password in (("hanako", "pw-h"), ("taro", "pw-t")):
        server.add_user(user, password)
    for user, from_, subject, body, attachment in MAIL:
        name, addr = from_.split(" <")
        server.deliver(user, message(jis_word(name) + " <" + addr, jis_word(subject), body, attachment))

    def story(x, home):
        users_day(x, bindir, shots, home, server)
        late_tray(x, bindir, home, server)
        first_run(x, bindir, home)
        keyring_account(x, bindir, home, server)
    run_story("lumwatchd_e2e", server, story)


if __name__ == "__main__":
    main()
