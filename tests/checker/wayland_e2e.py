#!/usr/bin/env python3
"""The checker on a Wayland desktop: sway (headless), waybar's tray and mako, a private
session bus, against a private Dovecot. The desktop runs as nobody; the test stays root.

1. lumwatchd starts natively on Wayland, hidden (no window in sway's tree), with its
   StatusNotifierItem registered at waybar's watcher. While waybar is away the list stands
   in for the icon; when it is back, the icon is there again and the list hides.
2. New mail, checked with `lumwatchd --command check`, comes as one notification
   "Lumora: 新着メール 1通" with the line "差出人 — 件名"; the next arrival, of two
   messages, replaces it ("2通", a line for each), it does not add another.
3. Invoking the notification shows the list; closing the window hides it; a left click on
   the icon in waybar shows it again.
4. One more arrival while the list is shown: `--command check` logs in again and a new
   notification tells of it; the desktop is saved as SCREENSHOT_DIR/wayland-desktop.png.
5. `--command exit` ends the checker with its layout stored.

usage: wayland_e2e.py BIN_DIR SCREENSHOT_DIR
"""
import os
import shutil
import sys
import tempfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from dovecot import Dovecot, jis_word, message  # noqa: E402
from lumstore import account, write_store  # noqa: E402
from wayland import HEIGHT, WIDTH, WaylandSession, copy_for_user, give, until  # noqa: E402
from xsession import DEADLINE, Failure  # noqa: E402

MAIL = [("山田花子", "hanako@example.jp", "会議の資料について"),
        ("佐藤一郎", "ichiro@example.jp", "来週の予定"),
        ("鈴木", "suzuki@example.jp", "お疲れさまです"),
        ("経理部", "keiri@example.co.jp", "請求書の送付")]
APP = "lumwatchd"


def arrive(server, mail):
    for name, address, subject in mail:
        server.deliver("hanako", message(jis_word(name) + " <" + address + ">",
                                         jis_word(subject), "本文です。\n"))


def logins(server):
    return server.log().count("Login: user=<hanako>")


def story(desk, server, lumwatchd, shots):
    config = os.path.join(desk.home, "config")
    store = write_store(config, [
        "accountno=1", "Option1value=0", "Option3value=1", "Option4value=0", "Option5value=1",
        "Option7value=1", "Checktimerval=0", "frmWidth=9600", "frmHeight=4800",
    ] + account(1, "花子", server.port, "hanako", "pw", (0, 0xFFFFFF)))
    give(config)

    def command(name):
        return desk.run(lumwatchd, "--command", name, XDG_CONFIG_HOME=config).returncode

    def check_for(mail):
        """--command check with mail arrived on the server: a login, and the one notification
        telling of it; returns mako's id of it."""
        arrive(server, mail)
        before = logins(server)
        if command("check") != 0:
            raise Failure("--command check was not delivered")
        until(lambda: logins(server) > before, "--command check made no login")
        summary = "Lumora: 新着メール %d通" % len(mail)
        until(lambda: [n["summary"] for n in desk.notifications()] == [summary],
              "no single notification %r: %r" % (summary, desk.notifications()))
        shown = desk.notifications()[0]
        lines = shown["body"].splitlines()
        for name, _, subject in mail:
            if not any(name in line and line.endswith(" — " + subject) for line in lines):
                raise Failure("the notification lacks %s — %s:\n%s" % (name, subject, shown["body"]))
        return shown["id"]

    checker = desk.spawn([lumwatchd], "lumwatchd", XDG_CONFIG_HOME=config, QT_QPA_PLATFORM="wayland")
    until(desk.tray_items, "lumwatchd registered no StatusNotifierItem")
    until(lambda: logins(server) > 0, "no check at start")
    if desk.windows(APP):
        raise Failure("lumwatchd did not start hidden: %r" % desk.windows(APP))
    desk.stop_bar()
    until(lambda: desk.windows(APP), "without a tray the list does not stand in for the icon")
    desk.start_bar()
    until(lambda: desk.tray_items() and not desk.windows(APP), "the tray back did not take the icon")

    first = check_for(MAIL[:1])
    if check_for(MAIL[1:3]) != first:
        raise Failure("the second notification is not the first one replaced")
    if desk.run("makoctl", "invoke").returncode != 0:
        raise Failure("makoctl invoke failed")
    until(lambda: desk.windows(APP), "invoking the notification did not show the list")

    desk.swaymsg('[app_id="%s"] kill' % APP)  # the close button, as the compositor gives it
    until(lambda: not desk.windows(APP), "closing the list did not hide it")
    if checker.poll() is not None:
        raise Failure("closing the list ended lumwatchd (%d)" % checker.returncode)
    icons = until(desk.tray_icons, "waybar shows no icon")
    if len(icons) != 1:
        raise Failure("waybar shows %d icons, not lumwatchd's alone: %r" % (len(icons), icons))
    desk.click((icons[0][0] + icons[0][1]) // 2, 15)
    until(lambda: desk.windows(APP), "a left click on the icon did not show the list")
    desk.click(WIDTH - 40, HEIGHT - 40, press=False)  # off the icon, for the picture

    check_for(MAIL[3:])
    desk.screenshot(os.path.join(shots, "wayland-desktop.png"))

    if command("exit") != 0:
        raise Failure("--command exit was not delivered")
    if checker.wait(DEADLINE) != 0:
        raise Failure("lumwatchd ended with %d" % checker.returncode)
    with open(store, encoding="utf-8") as f:
        saved = f.read()
    if "grdWidth4=" not in saved or "frmWidth=" not in saved:
        raise Failure("the layout was not stored:\n" + saved)


def main():
    if len(sys.argv) != 3:
        print(__doc__, file=sys.stderr)
        sys.exit(2)
    bindir, shots = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
    server = Dovecot()
    server.add_user("hanako", "pw")
    home = tempfile.mkdtemp(prefix="lumwayland-")
    desk = None
    try:
        server.start()
        lumwatchd = copy_for_user(os.path.join(bindir, "lumwatchd"), os.path.join(home, "bin"))
        desk = WaylandSession(home)
        story(desk, server, lumwatchd, shots)
        print("wayland_e2e: ok")
    except Failure as e:
        if desk:
            try:
                desk.screenshot(os.path.join(shots, "wayland_e2e-failed.png"))
            except Failure:
                pass
        print("wayland_e2e: FAIL: %s" % e, file=sys.stderr)
        for log in ("lumwatchd", "sway", "waybar", "mako"):
            path = os.path.join(home, log + ".log")
            if os.path.exists(path):
                with open(path, errors="replace") as f:
                    print("--- %s\n%s" % (log, f.read()[-3000:]), file=sys.stderr)
        sys.exit(1)
    finally:
        if desk:
            desk.close()
        server.stop()
        shutil.rmtree(home, ignore_errors=True)


if __name__ == "__main__":
    main()
