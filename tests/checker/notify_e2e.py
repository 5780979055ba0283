#!/usr/bin/env python3
"""New mail told and keys obeyed, on a virtual X display with a tray host, a private
PulseAudio server (a null sink), dunst (markup = full) on a private bus and a private Dovecot.

1. Another client holds Ctrl+F7, and the store gives メーラー2 the check's Ctrl+F3 too.
   lumwatchd starts: "メーラー2の起動キーCtrl+F3の設定に失敗しました" and
   "終了の起動キーCtrl+F7の設定に失敗しました", then the question to set the keys again, whose
   window has a blank title; Yes opens lumsetup, and once that has closed (the other
   client gone) the exit key is registered. Only now does dunst start.
2. Ctrl+F3 checks (a login on the server) and finds the message: the window pops up, a
   three-second sound goes to the null sink, and the window hides after its one second
   while the sound still plays: nothing waits for the sound. The sink is suspended, so the
   sound never ends; it is given up a few seconds after its length.
   dunst shows one notification, its body escaped for markup.
3. Another program claims the user chose notifications 1 to 9; a second message and Ctrl+F3:
   the notification is replaced, not joined by another. dunst restarts, giving lumwatchd's
   id to another program; a third message: two notifications show.
4. On a Russian keyboard map the popup key Ctrl+Z is lost, which is told once; back on the US map
   and then a German one (Z and Y change places) Ctrl+Z shows the window,
   which closes the notification: dunst's history holds it, naming the third message.
5. A fourth message, and Ctrl+F7 ends the program, closing its notification and no other.
No X error is reported on the way (the LED blinks through XKB).

usage: notify_e2e.py BIN_DIR GRAB_KEY
"""
import math
import os
import shutil
import signal
import struct
import subprocess
import sys
import tempfile
import wave

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from dovecot import Dovecot, jis_word, message, scramble  # noqa: E402
from dunst import Dunst  # noqa: E402
from xsession import DEADLINE, Failure, XSession, until  # noqa: E402


def write_wav(path, seconds):
    with wave.open(path, "wb") as w:
        w.setnchannels(1)
        w.setsampwidth(2)
        w.setframerate(22050)
        frames = b"".join(struct.pack("<h", int(8000 * math.sin(2 * math.pi * 440 * i / 22050)))
                          for i in range(int(22050 * seconds)))
        w.writeframes(frames)


def start_pulse(runtime):
    env = dict(os.environ, XDG_RUNTIME_DIR=runtime)
    subprocess.run(["pulseaudio", "-n", "--daemonize=yes", "--exit-idle-time=-1",
                    "--load=module-null-sink", "--load=module-native-protocol-unix"],
                   env=env, check=True, timeout=DEADLINE, capture_output=True)
    until(lambda: subprocess.run(["pactl", "info"], env=env, capture_output=True).returncode == 0,
          "PulseAudio did not start")
    return env


def sink_inputs(env):
    out = subprocess.run(["pactl", "list", "short", "sink-inputs"], env=env, capture_output=True,
                         text=True).stdout
    return [line for line in out.splitlines() if line.strip()]


def logins(server):
    return server.log().count("Login: user=<hanako>")


def box_text(x, window):
    x.focus(window)
    x.keys("ctrl+c")
    return x.clipboard()


def story(x, bindir, grab_key, home, server, notices):
    runtime = os.path.join(home, "run")
    os.makedirs(runtime, mode=0o700)
    pulse = start_pulse(runtime)
    sound = os.path.join(home, "bell.wav")
    write_wav(sound, 3)
    config = os.path.join(home, "config")
    os.makedirs(os.path.join(config, "lumwatch"))
    with open(os.path.join(config, "lumwatch", "lumwatch.ini"), "w", encoding="utf-8") as f:
        f.write("\n".join([
            "[setting]", "accountno=1", "Aname1=花子", "Hname1=127.0.0.1",
            "Portno1=%d" % server.port, "Uname1=hanako", 'Passw1="%s"' % scramble("pw"),
            "Check1=1", "Wavmode1=0", "Wavdir=" + sound, "Option1value=1", "Closetimerval=1",
            "Option2value=1", "Option4value=1", "Option7value=1",
            "Option11value=1", "Lighttimerval2=2", "Checktimerval=0", "Hotkeynum2=90",
            "Hotkeynum4=114", ""]))

    holder = subprocess.Popen([grab_key], env=x.env(), stdout=subprocess.PIPE, text=True)
    checker = None
    try:
        if holder.stdout.readline().strip() != "grabbed":
            raise Failure("the other client could not take Ctrl+F7")
        env = x.env(XDG_CONFIG_HOME=config, XDG_RUNTIME_DIR=runtime, XDG_CACHE_HOME=config + "-cache",
                    DBUS_SESSION_BUS_ADDRESS=notices.address)
        check = [os.path.join(bindir, "lumwatchd"), "--command", "check"]
        checker = subprocess.Popen([os.path.join(bindir, "lumwatchd")], env=env,
                                   stderr=subprocess.PIPE, text=True)
        until(lambda: len(x.windows("Lumora")) == 2, "not two boxes for the keys")
        boxes = {box_text(x, w): w for w in x.windows("Lumora")}
        if set(boxes) != {"メーラー2の起動キーCtrl+F3の設定に失敗しました",
                          "終了の起動キーCtrl+F7の設定に失敗しました"}:
            raise Failure("the boxes say %r" % list(boxes))
        x.focus(boxes["終了の起動キーCtrl+F7の設定に失敗しました"])
        x.keys("Return")

        # The question has no title; it is the window that copies this text.
        def question():
            for w in x.xdotool("search", "--onlyvisible", "--class", "lumwatchd").stdout.split():
                if "起動キーを設定し直してください" in box_text(x, w):
                    return w
            return None
        asked = until(question, "no question to set the keys again")
        names = subprocess.run(["xprop", "-id", asked, "_NET_WM_NAME", "WM_NAME"], env=x.env(),
                               capture_output=True, text=True).stdout.splitlines()
        if len(names) != 2 or not all(n.split("=")[-1].strip(' "') == "" for n in names):
            raise Failure("the question has a title: %r" % names)
        holder.terminate()
        holder.wait()
        x.keys("y")  # Yes: the options program
        options = x.wait_for_window("OPTION")
        x.focus(options)
        x.keys("Escape")
        x.wait_gone("OPTION")
        notices.start()

        # Ctrl+F3 checks; the arrival: popup and sound, and the popup hides after its one
        # second while the three-second sound still plays. That sound never ends, as the
        # sound server takes no sound (its sink suspended): it is given up a few seconds later.
        subprocess.run(["pactl", "suspend-sink", "null", "1"], env=pulse, check=True)
        before = logins(server)
        x.keys("ctrl+F3")
        until(lambda: logins(server) > before, "Ctrl+F3 did not check")
        x.wait_for_window("1通のメールが届いています!")
        until(lambda: sink_inputs(pulse), "no sound reached the sound server")
        until(lambda: not x.windows("1通のメールが届いています!"), "the popup did not hide", 10)
        if not sink_inputs(pulse):
            raise Failure("the sound ended before the popup hid: something waited for it")
        until(lambda: not sink_inputs(pulse), "a sound that cannot end was never given up")
        until(lambda: notices.count("displayed") == 1 and 'string "山田花子 &lt;hanako@example.jp&gt; — お知らせ"'
              in "".join(notices.notifies()[:1]), "no notification, or its body not escaped for the late server")

        for n in range(1, 10):
            subprocess.run(["gdbus", "emit", "--session", "--object-path", "/org/freedesktop/Notifications", "--signal",
                            "org.freedesktop.Notifications.ActionInvoked", "uint32 %d" % n, "default"],
                           env=notices.env, check=True)
        server.deliver("hanako", message(jis_word("佐藤") + " <sato@example.jp>", jis_word("<i>至急</i>"), "本文\n"))
        before = logins(server)
        x.keys("ctrl+F3")
        until(lambda: logins(server) > before, "Ctrl+F3 did not check again")
        x.wait_for_window("2通のメールが届いています!")
        until(lambda: not x.windows("2通のメールが届いています!"), "the popup did not hide", 10)
        if (notices.count("displayed"), notices.count("history")) != (1, 0):
            raise Failure("the second notification did not replace the first")
        panel = x.wait_for_window("panel")
        tree = subprocess.run(["xwininfo", "-tree", "-id", panel], env=x.env(), capture_output=True,
                              text=True).stdout
        if '"lumwatchd"' not in tree:
            raise Failure("the icon is not in the tray:\n" + tree)
        notices.start()
        subprocess.run(["dunstify", "-a", "other", "他のお知らせ"], env=notices.env, check=True, timeout=DEADLINE)
        server.deliver("hanako", message(jis_word("鈴木一郎") + " <ichiro@example.jp>", jis_word("会議 & 日程"), "本文\n"))
        until(lambda: subprocess.run(check, env=env).returncode == 0, "--command check failed")
        until(lambda: notices.count("displayed") == 2, "the restarted server's id 1 was replaced")
        # Ctrl+Z has no key on the Russian map: told once however often the map changes, and
        # back by itself on a later map that has it.
        def told():
            return [w for w in x.windows("Lumora") if box_text(x, w) == "ポップアップの起動キーCtrl+Zの設定に失敗しました"]
        for _ in range(2):
            subprocess.run(["setxkbmap", "ru"], env=x.env(), check=True, timeout=DEADLINE)
        until(told, "Ctrl+Z lost to the Russian map was not told")
        subprocess.run(["setxkbmap", "us"], env=x.env(), check=True, timeout=DEADLINE)
        subprocess.run(["setxkbmap", "de"], env=x.env(), check=True, timeout=DEADLINE)
        # Pressed until it works: lumwatchd learns of the new map on its own time.
        until(lambda: x.keys("ctrl+z") or notices.count("history") == 1,
              "Ctrl+Z on the German map did not show the window")
        shown = [(n["appname"], n["summary"], n["body"], n["category"]) for n in notices.history()]
        if shown != [("Lumora", "Lumora: 新着メール 1通",
                      "鈴木一郎 &lt;ichiro@example.jp&gt; — 会議 &amp; 日程", "email.arrived")]:
            raise Failure("dunst showed %r" % shown)
        server.deliver("hanako", message(jis_word("高橋") + " <takahashi@example.jp>", jis_word("連絡"), "本文\n"))
        until(lambda: subprocess.run(check, env=env).returncode == 0, "--command check failed")
        until(lambda: notices.count("displayed") == 2, "the fourth message was not told")
        if len(told()) != 1:
            raise Failure("the lost key was told %d times" % len(told()))
        x.keys("ctrl+F7")
        if checker.wait(DEADLINE) != 0:
            raise Failure("lumwatchd ended with %d" % checker.returncode)
        until(lambda: notices.count("displayed") == 1, "lumwatchd left its notification behind")
        errors = checker.stderr.read()
        if "X Error" in errors or "BadAccess" in errors or "デスクトップ通知" in errors:
            raise Failure("X or notification errors:\n" + errors)
    finally:
        for p in (holder, checker):
            if p and p.poll() is None:
                p.kill()
                p.wait()
        subprocess.run(["pulseaudio", "--kill"], env=dict(os.environ, XDG_RUNTIME_DIR=runtime),
                       capture_output=True)
        subprocess.run(["pkill", "-f", os.path.join(bindir, "lumsetup")])


def main():
    if len(sys.argv) != 3:
        print(__doc__, file=sys.stderr)
        sys.exit(2)
    bindir, grab_key = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
    server = Dovecot()
    x = None
    notices = None
    home = tempfile.mkdtemp(prefix="lumnotify-")
    try:
        server.add_user("hanako", "pw")
        server.deliver("hanako", message(jis_word("山田花子") + " <hanako@example.jp>",
                                         jis_word("お知らせ"), "本文です。\n"))
        server.start()
        x = XSession()
        x.start_tray()
        notices = Dunst(x, os.path.join(home, "bus"))
        story(x, bindir, grab_key, home, server, notices)
        shutil.rmtree(home, ignore_errors=True)
        print("notify_e2e: ok")
    except Failure as e:
        if x:
            x.screenshot(os.path.join(home, "failure.png"))
            print("notify_e2e: screenshot at " + os.path.join(home, "failure.png"), file=sys.stderr)
        print("notify_e2e: FAIL: %s" % e, file=sys.stderr)
        sys.exit(1)
    finally:
        if notices:
            notices.close()
        if x:
            x.close()
        server.stop()


if __name__ == "__main__":
    main()
