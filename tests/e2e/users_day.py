#!/usr/bin/env python3
"""A newcomer's day with the real programs, on a virtual X display with a tray host, against
a private Dovecot; driven through xdotool, window titles, the clipboard and the pixels on
the screen, never through the programs' internals.

First start on an empty store: "最初に設定をしてください", lumsetup opens, an account is added
through the account dialog and the options to check at start, pop up and show the log button
are ticked; OK. The checker checks and pops up; the list shows the decoded From and Subject
in the account's colours. Two messages are marked and retrieved, a double click shows one
in the viewer; one more is marked and deleted after the confirmation, and it is gone from
the server (asked through POP3 here). The log shows the dialogue with PASS masked. The exit
command from the tray menu asks "終了しますか？", and the layout keys are in the store.

Each step has a time limit; a failing step leaves a picture of the screen in the screenshot
folder. The windows of a good run are kept there as well (the README shows them).

usage: users_day.py BIN_DIR SCREENSHOT_DIR
"""
import os
import poplib
import signal
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "support"))
sys.path.insert(0, os.path.join(HERE, "..", "..", "scripts"))
from demo import MAIL, WORK, demo_messages  # noqa: E402
from dovecot import Dovecot  # noqa: E402
from lumstore import read_store, store_path  # noqa: E402
from xsession import DEADLINE, Failure, run_story  # noqa: E402

USER, PASSWORD = WORK, "himitsu-42"
MESSAGES = [m for m in MAIL if m[0] == WORK]
ROWS = ["%s <%s>\t%s" % (name, address, subject if isinstance(subject, str) else "".join(subject))
        for _, name, address, subject, _, _ in MESSAGES]
ACCOUNT_BACKGROUND = (0x80, 0xFF, 0xFF)  # the account dialog's default list colour, as RGB
PICTURE_BUTTONS = {"RetrBt": 56, "DelBt": 88}  # left edges; 20 wide, 22 high at the top


class TimeUp(Exception):
    pass


def on_alarm(signum, frame):
    raise TimeUp()


class Day:
    def __init__(self, x, bindir, shots, home, server):
        self.x, self.bindir, self.shots, self.server = x, bindir, shots, server
        config = os.path.join(home, "config")
        runtime = os.path.join(home, "run")
        os.makedirs(runtime, mode=0o700)
        self.store = store_path(config)
        self.env = x.env(XDG_CONFIG_HOME=config, XDG_RUNTIME_DIR=runtime,
                         XDG_CACHE_HOME=os.path.join(home, "cache"))
        self.checker = None
        self.main = None
        self.viewer = None

    def step(self, name, seconds, action):
        """Runs one step within its time limit; on failure, a picture of the screen."""
        signal.signal(signal.SIGALRM, on_alarm)
        signal.alarm(seconds)
        started = time.monotonic()
        try:
            action()
        except (Failure, TimeUp, subprocess.TimeoutExpired) as e:
            shot = os.path.join(self.shots, "users_day-failed-%s.png" % name)
            try:
                self.x.screenshot(shot)
            except (subprocess.SubprocessError, OSError):
                shot = "(no picture)"
            reason = "over its limit of %d s" % seconds if isinstance(e, TimeUp) else str(e)
            raise Failure("step %s: %s; screen in %s" % (name, reason, shot))
        finally:
            signal.alarm(0)
        print("users_day: %s ok (%.1f s)" % (name, time.monotonic() - started), flush=True)

    # -- helpers ------------------------------------------------------------------------

    def answer_box(self, text, key):
        """Reads the message box "Lumora" (Ctrl+C copies its text), then answers it."""
        self.x.focus(self.x.wait_for_window("Lumora"))
        self.x.keys("ctrl+c")
        shown = self.x.clipboard()
        if shown != text:
            raise Failure("the box says %r, not %r" % (shown, text))
        self.x.keys(key)

    def row(self, keys):
        self.x.focus(self.main)
        self.x.keys(*keys, "ctrl+c")
        return self.x.clipboard()

    def click_button(self, left):
        self.x.click(self.main, left + 10, 11)

    def viewer_text(self):
        self.x.focus(self.viewer)
        self.x.keys("ctrl+a", "ctrl+c")
        return self.x.clipboard()

    def pop3_from_lines(self):
        """The From line of every message on the server, read with TOP n 0."""
        while True:
            try:
                pop = poplib.POP3("127.0.0.1", self.server.port, timeout=10)
                try:
                    pop.user(USER)
                    pop.pass_(PASSWORD)
                    count = pop.stat()[0]
                    return [next(line for line in pop.top(n, 0)[1] if line.startswith(b"From:"))
                            for n in range(1, count + 1)]
                finally:
                    pop.quit()
            except poplib.error_proto:
                time.sleep(0.5)  # the checker holds the mailbox for a moment

    # -- the day ------------------------------------------------------------------------

    def first_start(self):
        self.checker = subprocess.Popen([os.path.join(self.bindir, "lumwatchd")], env=self.env,
                                        start_new_session=True)
        self.answer_box("最初に設定をしてください", "Return")  # lumsetup opens next

    def tick_options(self):
        # The tab bar of the general page has the focus first. In tab order: two timer
        # boxes, check at start, (fast check, no error boxes, no exit question,) the log
        # button, (labels, today's mail, two mail programs with their "..." buttons,) pop up.
        self.options = self.x.wait_for_window("OPTION")
        self.x.focus(self.options)
        self.x.keys("Tab", "Tab", "Tab", "space")
        self.x.keys("Tab", "Tab", "Tab", "Tab", "space")
        self.x.keys(*["Tab"] * 7, "space")
        self.x.keys(*["shift+Tab"] * 14)  # back to the tab bar

    def add_account(self):
        # Right shows the account page, Tab Tab reaches the list and then "追加".
        self.x.keys("Right", "Tab", "Tab", "space")
        dialog = self.x.wait_for_window("ｱｶｳﾝﾄ")
        self.x.focus(dialog)
        # Name, protocol (POP3 stays), server, port, user, password; Return is OK.
        self.x.type_text("Work")
        self.x.keys("Tab", "Tab")
        self.x.type_text("127.0.0.1")
        self.x.keys("Tab", "ctrl+a")
        self.x.type_text(str(self.server.port))
        self.x.keys("Tab")
        self.x.type_text(USER)
        self.x.keys("Tab")
        self.x.type_text(PASSWORD)
        self.x.keys("Return")
        self.x.wait_gone("ｱｶｳﾝﾄ")
        self.x.screenshot(os.path.join(self.shots, "options-window.png"), self.options)
        self.x.focus(self.options)
        self.x.keys("Return")  # OK of the options window
        self.x.wait_gone("OPTION")
        stored = read_store(self.store)
        wanted = {"accountno": "1", "Aname1": "Work", "Hname1": "127.0.0.1",
                  "Portno1": str(self.server.port), "Uname1": USER, "Option5value": "1",
                  "Option8value": "1", "Option1value": "1", "Option7value": "0"}
        wrong = {k: stored.get(k) for k, v in wanted.items() if stored.get(k) != v}
        if wrong:
            raise Failure("lumsetup stored %r, wanted %r" % (wrong, wanted))

    def checked(self):
        self.main = self.x.wait_for_window("%d通のメールが届いています!" % len(ROWS),
                                           deadline=60)
        shown = [self.row(["ctrl+Home"])] + [self.row(["Down"]) for _ in ROWS[1:]]
        if shown != ROWS:
            raise Failure("the list reads\n%s\nnot\n%s" % ("\n".join(shown), "\n".join(ROWS)))
        # Rows not selected show the account's background colour all along.
        self.x.focus(self.main)
        self.x.keys("ctrl+Home")
        width, height, rgb = self.x.pixels(self.main)
        coloured = [y for y in range(height)
                    if sum(self.colour_at(rgb, width, x, y) == ACCOUNT_BACKGROUND
                           for x in range(0, width, 4)) > width // 12]
        if len(coloured) < (len(ROWS) - 1) * 12:
            raise Failure("only %d pixel rows show the account's colour" % len(coloured))
        self.x.screenshot(os.path.join(self.shots, "main-window.png"), self.main)

    @staticmethod
    def colour_at(rgb, width, x, y):
        at = (y * width + x) * 3
        return tuple(rgb[at:at + 3])

    def first_row_y(self):
        """Middle of the first row, found by its colour while another row is current."""
        width, height, rgb = self.x.pixels(self.main)
        for y in range(30, height):
            if self.colour_at(rgb, width, 540, y) == ACCOUNT_BACKGROUND:
                return y + 6
        raise Failure("no row in the account's colour")

    def retrieve_and_view(self):
        self.x.focus(self.main)
        self.x.keys("ctrl+Home", "space", "Down", "space")
        self.click_button(PICTURE_BUTTONS["RetrBt"])
        y = self.first_row_y()
        # A double click opens the first message once the retrieve cycle has filed it.
        while not self.x.windows("Viewer"):
            time.sleep(1)
            self.x.click(self.main, 540, y, repeat=2)
        self.viewer = self.x.wait_for_window("Viewer")
        self.x.screenshot(os.path.join(self.shots, "viewer-window.png"), self.viewer)
        text = self.viewer_text()
        _, name, _, subject, body, _ = MESSAGES[0]
        for part in ("Subject: " + subject, "   From: " + name, body.splitlines()[0]):
            if part not in text:
                raise Failure("the viewer lacks %r:\n%s" % (part, text))
        # No window manager: move the viewer off the main window by hand.
        self.x.xdotool("windowmove", self.viewer, "420", "420")

    def delete_one(self):
        gone = MESSAGES[2]
        self.x.focus(self.main)
        self.x.keys("ctrl+Home", "Down", "Down", "space")
        self.click_button(PICTURE_BUTTONS["DelBt"])
        self.answer_box("○の付いたメールを削除します\nよろしいですか？", "alt+y")
        self.x.wait_for_window("%d通のメールが届いています!" % (len(ROWS) - 1), deadline=60)
        froms = self.pop3_from_lines()
        if len(froms) != len(ROWS) - 1 or any(gone[2].encode() in f for f in froms):
            raise Failure("the server holds %d messages:\n%s" % (len(froms), froms))

    def log(self):
        self.click_button(self.x.position(self.main)[2] - 26)
        end = time.monotonic() + DEADLINE
        while True:
            text = self.viewer_text()
            if "PASS " in text or time.monotonic() > end:
                break
            time.sleep(0.5)
        for part in ("USER " + USER, "PASS ***", "+OK"):
            if part not in text:
                raise Failure("the log lacks %r:\n%s" % (part, text))
        if PASSWORD in text:
            raise Failure("the log shows the password:\n" + text)

    def exit_from_tray(self):
        self.x.click(self.x.tray_icon("lumwatchd"), 11, 11, button=3)
        self.x.keys("x")
        self.answer_box("終了しますか？", "Return")  # Yes by default
        if self.checker.wait(DEADLINE) != 0:
            raise Failure("lumwatchd ended with %d" % self.checker.returncode)
        stored = read_store(self.store)
        missing = [k for k in ["grdWidth%d" % n for n in range(6)] + ["frmWidth", "frmHeight"]
                   if not stored.get(k, "").isdigit()]
        if missing:
            raise Failure("the store lacks the layout keys %s" % missing)

    def run(self):
        try:
            self.step("first_start", 30, self.first_start)
            self.step("tick_options", 60, self.tick_options)
            self.step("add_account", 60, self.add_account)
            self.step("checked", 120, self.checked)
            self.step("retrieve_and_view", 90, self.retrieve_and_view)
            self.step("delete_one", 120, self.delete_one)
            self.step("log", 60, self.log)
            self.step("exit_from_tray", 60, self.exit_from_tray)
        finally:
            if self.checker:
                try:
                    os.killpg(self.checker.pid, signal.SIGKILL)  # with a lumsetup it started
                except OSError:
                    pass
                self.checker.wait()


def main():
    if len(sys.argv) != 3:
        print(__doc__, file=sys.stderr)
        sys.exit(2)
    bindir, shots = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
    os.makedirs(shots, exist_ok=True)
    server = Dovecot()
    server.add_user(USER, PASSWORD)
    for user, data, flags in demo_messages():
        if user == USER:
            server.deliver(user, data, flags)
    run_story("users_day", server,
              lambda x, home: Day(x, bindir, shots, home, server).run())


if __name__ == "__main__":
    main()
