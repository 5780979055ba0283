#!/usr/bin/env python3
"""The desktop notification against notification servers that come, go and come back:
lumwatchd on a virtual X display with a tray host, dunst (markup = full) on a private session
bus watched by dbus-monitor, and a private Dovecot. Each check is `lumwatchd --command check`.

Rows, in order:
1. A server that comes late: dunst starts after lumwatchd; the first notification already
   has its From and Subject escaped.
2. A signal from a program that is not the server: an ActionInvoked for lumwatchd's id does
   not open the list, and the next arrival still replaces lumwatchd's notification.
3. A server restarted, with another program holding the same id: the new dunst gives the
   first id to another program, and the next arrival replaces nothing: two notifications show.
4. Leaving: lumwatchd closes its own notification, and only that, when it ends.

usage: notify_servers_e2e.py BIN_DIR
"""
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from dovecot import Dovecot, jis_word, message, scramble  # noqa: E402
from dunst import Dunst  # noqa: E402
from xsession import DEADLINE, Failure, XSession  # noqa: E402


def until(predicate, what, deadline=DEADLINE):
    end = time.monotonic() + deadline
    while time.monotonic() < end:
        if predicate():
            return
        time.sleep(0.1)
    raise Failure(what)


class Monitor:
    """dbus-monitor's record of the calls to the notification server."""

    def __init__(self, notices, folder):
        self.path = os.path.join(folder, "monitor.txt")
        self.out = open(self.path, "w")
        self.proc = subprocess.Popen(
            ["dbus-monitor", "--address", notices.address, "interface='org.freedesktop.Notifications'",
             "type='method_return'"],
            stdout=self.out, stderr=subprocess.DEVNULL, start_new_session=True)

    def _calls(self, member):
        """The messages of member, each with its arguments."""
        with open(self.path, encoding="utf-8", errors="replace") as f:
            blocks = re.split(r"\n(?=\S)", f.read())
        return [b for b in blocks if "member=%s\n" % member in b]

    def notifies(self):
        """(replaces id, summary, body) of each Notify from Lumora."""
        found = []
        for b in self._calls("Notify"):
            m = re.search(r'string "Lumora"\s+uint32 (\d+)\s+string "lumora"\s+string "(.*?)"\s+'
                          r'string "(.*?)"\s+array \[', b, re.S)
            if m:
                found.append((int(m.group(1)), m.group(2), m.group(3)))
        return found

    def last_id(self):
        """The id the server gave lumwatchd's last notification."""
        with open(self.path, encoding="utf-8", errors="replace") as f:
            text = f.read()
        call = [b for b in self._calls("Notify") if 'string "Lumora"' in b][-1]
        sender, serial = re.search(r"sender=(\S+) -> destination=\S+ serial=(\d+)", call).groups()
        answer = re.search(r"method return [^\n]*destination=%s serial=\d+ reply_serial=%s\n\s+uint32 (\d+)"
                           % (re.escape(sender), serial), text)
        if not answer:
            raise Failure("no answer to lumwatchd's notification")
        return int(answer.group(1))

    def signals(self, member):
        return [b for b in self._calls(member) if b.startswith("signal")]

    def closes(self):
        return [int(re.search(r"uint32 (\d+)", b).group(1)) for b in self._calls("CloseNotification")]

    def close(self):
        if self.proc.poll() is None:
            self.proc.terminate()
            self.proc.wait()
        self.out.close()


def story(x, bindir, home, server, notices, monitor):
    config = os.path.join(home, "config")
    runtime = os.path.join(home, "run")
    os.makedirs(runtime, mode=0o700)
    os.makedirs(os.path.join(config, "lumwatch"))
    with open(os.path.join(config, "lumwatch", "lumwatch.ini"), "w", encoding="utf-8") as f:
        f.write("\n".join([
            "[setting]", "accountno=1", "Aname1=花子", "Hname1=127.0.0.1",
            "Portno1=%d" % server.port, "Uname1=hanako", 'Passw1="%s"' % scramble("pw"),
            "Check1=1", "Option4value=0", "Option7value=1", "Checktimerval=0", ""]))
    env = x.env(XDG_CONFIG_HOME=config, XDG_RUNTIME_DIR=runtime, XDG_CACHE_HOME=config + "-cache",
                DBUS_SESSION_BUS_ADDRESS=notices.address)
    command = [os.path.join(bindir, "lumwatchd"), "--command"]

    def check():
        before = server.log().count("Login: user=<hanako>")
        until(lambda: subprocess.run(command + ["check"], env=env, capture_output=True,
                                     timeout=DEADLINE).returncode == 0, "--command check was not taken")
        until(lambda: server.log().count("Login: user=<hanako>") > before, "--command check made no login")

    checker = subprocess.Popen([os.path.join(bindir, "lumwatchd")], env=env, stderr=subprocess.PIPE,
                               text=True)
    try:
        x.tray_icon("lumwatchd")
        notices.start()
        check()
        until(lambda: notices.count("displayed") == 1, "the late server shows no notification")
        first = (0, "Lumora: 新着メール 1通", "山田花子 &lt;hanako@example.jp&gt; — &lt;b&gt;お知らせ&lt;/b&gt;")
        if monitor.notifies() != [first]:
            raise Failure("the late server was sent %r" % monitor.notifies())

        # Another program claims the user chose lumwatchd's notification; lumwatchd has it
        # before the next check.
        ours = monitor.last_id()
        subprocess.run(["gdbus", "emit", "--session", "--object-path", "/org/freedesktop/Notifications",
                        "--signal", "org.freedesktop.Notifications.ActionInvoked", "uint32 %d" % ours, "default"],
                       env=notices.env, check=True, timeout=DEADLINE)
        until(lambda: monitor.signals("ActionInvoked"), "the claimed action went nowhere")
        server.deliver("hanako", message(jis_word("鈴木一郎") + " <ichiro@example.jp>",
                                         jis_word("会議 & 日程"), "本文です。\n"))
        check()
        until(lambda: len(monitor.notifies()) == 2, "the second arrival sent nothing")
        second = (ours, "Lumora: 新着メール 1通", "鈴木一郎 &lt;ichiro@example.jp&gt; — 会議 &amp; 日程")
        if monitor.notifies()[1] != second or x.windows("通のメールが届いています", exact=False):
            raise Failure("another program's signal reached lumwatchd: %r" % (monitor.notifies()[1],))

        notices.stop()
        notices.start()
        other = notices.notify("other", "他のお知らせ", ("default", "開く"))
        if other != ours:
            raise Failure("the new server gave another program id %d, not %d" % (other, ours))
        server.deliver("hanako", message(jis_word("佐藤") + " <sato@example.jp>", jis_word("<i>至急</i>"),
                                         "本文です。\n"))
        check()
        until(lambda: len(monitor.notifies()) == 3, "the arrival after the restart sent nothing")
        third = (0, "Lumora: 新着メール 1通", "佐藤 &lt;sato@example.jp&gt; — &lt;i&gt;至急&lt;/i&gt;")
        if monitor.notifies()[2] != third:
            raise Failure("the restarted server was sent %r" % (monitor.notifies()[2],))
        until(lambda: notices.count("displayed") == 2, "another program's notification was replaced")

        ours = monitor.last_id()
        until(lambda: subprocess.run(command + ["exit"], env=env, capture_output=True,
                                     timeout=DEADLINE).returncode == 0, "--command exit was not taken")
        if checker.wait(DEADLINE) != 0:
            raise Failure("lumwatchd ended with %d" % checker.returncode)
        if monitor.closes() != [ours]:
            raise Failure("lumwatchd closed %r, not only its own notification at the end" % monitor.closes())
        until(lambda: notices.count("displayed") == 1, "lumwatchd left its notification behind")
        errors = checker.stderr.read()
        if "デスクトップ通知" in errors:
            raise Failure("notification errors:\n" + errors)
    finally:
        if checker.poll() is None:
            checker.kill()
            checker.wait()


def main():
    if len(sys.argv) != 2:
        print(__doc__, file=sys.stderr)
        sys.exit(2)
    bindir = os.path.abspath(sys.argv[1])
    server = Dovecot()
    x = notices = monitor = None
    home = tempfile.mkdtemp(prefix="lumnotices-")
    try:
        server.add_user("hanako", "pw")
        server.deliver("hanako", message(jis_word("山田花子") + " <hanako@example.jp>",
                                         jis_word("<b>お知らせ</b>"), "本文です。\n"))
        server.start()
        x = XSession()
        x.start_tray()
        notices = Dunst(x, os.path.join(home, "bus"), start=False)
        monitor = Monitor(notices, home)
        story(x, bindir, home, server, notices, monitor)
        shutil.rmtree(home, ignore_errors=True)
        print("notify_servers_e2e: ok")
    except Failure as e:
        print("notify_servers_e2e: FAIL: %s (files in %s)" % (e, home), file=sys.stderr)
        sys.exit(1)
    finally:
        for part in (monitor, notices, x):
            if part:
                part.close()
        server.stop()


if __name__ == "__main__":
    main()
