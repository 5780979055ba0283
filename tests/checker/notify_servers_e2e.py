#!/usr/bin/env python3
"""The desktop notification against servers that come late and restart, as a table in one
story: lumwatchd on a virtual X display with a tray host, dunst (markup = full) on a private
session bus that dbus-monitor records, a private Dovecot; each check is `--command check`.
At the end lumwatchd closes its own notification, and only that.

usage: notify_servers_e2e.py BIN_DIR
"""
import html
import os
import re
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from dovecot import Dovecot, jis_word, message, scramble  # noqa: E402
from dunst import Dunst  # noqa: E402
from xsession import DEADLINE, Failure, run_story  # noqa: E402


def until(predicate, what):
    end = time.monotonic() + DEADLINE
    while not predicate():
        if time.monotonic() > end:
            raise Failure(what)
        time.sleep(0.1)


def claim_actions(notices):
    """A program that is not the server claims the user chose notifications 1 to 9."""
    for n in range(1, 10):
        subprocess.run(["gdbus", "emit", "--session", "--object-path", "/org/freedesktop/Notifications",
                        "--signal", "org.freedesktop.Notifications.ActionInvoked", "uint32 %d" % n, "default"],
                       env=notices.env, check=True, timeout=DEADLINE)
    until(lambda: len(notices.calls("ActionInvoked")) >= 9, "the claimed actions went nowhere")


def restart(notices):
    """A new server gives its first id, lumwatchd's id on the one before, to another program."""
    notices.stop()
    notices.start()
    notices.notify("other", "他のお知らせ")


# What happens, then an arrival (sender, address, subject): whether lumwatchd's Notify
# replaces its notification before, and how many notifications show.
ROWS = [
    ("a server that comes late", lambda n: n.start(), ("山田花子", "hanako", "<b>お知らせ</b>"), False, 1),
    ("a signal from a program that is not the server", claim_actions,
     ("鈴木一郎", "ichiro", "会議 & 日程"), True, 1),
    ("a restarted server, another program holding the old id", restart,
     ("佐藤", "sato", "<i>至急</i>"), False, 2),
]


def notifies(notices):
    """(replaced id, summary, body) of lumwatchd's Notify calls."""
    return [m.groups() for m in (re.search(r'string "Lumora"\s+uint32 (\d+)\s+string "lumora"\s+string "(.*?)"\s+'
                                           r'string "(.*?)"\s+array \[', c, re.S)
                                 for c in notices.calls("Notify")) if m]


def story(x, home, bindir, server):
    notices = Dunst(x, os.path.join(home, "bus"), start=False)
    try:
        run(x, home, bindir, server, notices)
    finally:
        notices.close()


def run(x, home, bindir, server, notices):
    config = os.path.join(home, "config")
    os.makedirs(os.path.join(config, "lumwatch"))
    os.makedirs(os.path.join(home, "run"), mode=0o700)
    with open(os.path.join(config, "lumwatch", "lumwatch.ini"), "w", encoding="utf-8") as f:
        f.write("\n".join(["[setting]", "accountno=1", "Hname1=127.0.0.1", "Portno1=%d" % server.port,
                           "Uname1=hanako", 'Passw1="%s"' % scramble("pw"), "Check1=1", "Option4value=0",
                           "Option7value=1", "Checktimerval=0", ""]))
    env = x.env(XDG_CONFIG_HOME=config, XDG_RUNTIME_DIR=os.path.join(home, "run"),
                XDG_CACHE_HOME=config + "-cache", DBUS_SESSION_BUS_ADDRESS=notices.address)
    lumwatchd = os.path.join(bindir, "lumwatchd")
    checker = subprocess.Popen([lumwatchd], env=env, stderr=subprocess.PIPE, text=True)
    try:
        x.tray_icon("lumwatchd")
        for count, (what, event, (name, user, subject), replaces, shown) in enumerate(ROWS, 1):
            event(notices)
            server.deliver("hanako", message(jis_word(name) + " <%s@example.jp>" % user, jis_word(subject), "本文\n"))
            until(lambda: subprocess.run([lumwatchd, "--command", "check"], env=env, capture_output=True,
                                         timeout=DEADLINE).returncode == 0, "--command check was not taken")
            until(lambda: len(notifies(notices)) == count, what + ": no notification")
            body = html.escape("%s <%s@example.jp> — %s" % (name, user, subject), quote=False)
            replaced, summary, sent = notifies(notices)[-1]
            if (replaced != "0", summary, sent) != (replaces, "Lumora: 新着メール 1通", body):
                raise Failure("%s: the server was sent %r" % (what, notifies(notices)[-1]))
            until(lambda: notices.count("displayed") == shown, what + ": not %d notifications" % shown)
        until(lambda: subprocess.run([lumwatchd, "--command", "exit"], env=env, capture_output=True,
                                     timeout=DEADLINE).returncode == 0, "--command exit was not taken")
        if checker.wait(DEADLINE) != 0 or len(notices.calls("CloseNotification")) != 1:
            raise Failure("lumwatchd did not end closing one notification")
        until(lambda: notices.count("displayed") == 1, "lumwatchd left its notification behind")
        if "デスクトップ通知" in checker.stderr.read():
            raise Failure("a notification failed")
    finally:
        if checker.poll() is None:
            checker.kill()
            checker.wait()


def main():
    bindir = os.path.abspath(sys.argv[1])
    server = Dovecot()
    server.add_user("hanako", "pw")
    run_story("notify_servers_e2e", server, lambda x, home: story(x, home, bindir, server))


if __name__ == "__main__":
    main()
