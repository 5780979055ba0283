#!/usr/bin/env python3
"""Drives the real lumsetup on a virtual X display with an empty settings store.

From the keyboard alone (no window manager, no coordinates): switch to the account page,
press "追加", fill server, port, user and password (to the keyring) in the account
dialog, choose SSL/TLS,
look at the server's certificate (a self-signed one, on a TLS server of the test's own),
trust it in the question that shows its fingerprint, OK there. Then the account's keyring
item follows its new user name, goes back into the file when the box is unticked (after a
question), comes back when it is ticked again, and goes with the account when it is
deleted. A new account then signs in by OAuth 2.0 (provider その他: the test's own, the test
browser behind xdg-open) with 「ブラウザでサインイン」, and its OK puts the refresh token into
the keyring; then OK in the options window. Afterwards the store must hold that account with
its OAuth settings but no token, and every option with its default, readable by its owner
alone (file 600, folder 700) although the program ran with umask 000. A second copy started meanwhile must end at
once without a window. A copy whose lock can't be made (a file where its folder should be)
must say so in a message box "Lumora" and end with a non-zero status.

usage: lumsetup_e2e.py path/to/lumsetup [screenshot of the account dialog.png]
"""
import os
import stat
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from lumstore import read_store  # noqa: E402
from dovecot import free_port, scramble, self_signed  # noqa: E402
from keyring import PrivateKeyring  # noqa: E402
from oauth_server import OAuthServer  # noqa: E402

DEADLINE = 30  # seconds for any one step; guards against hangs only


def fail(message):
    print("lumsetup_e2e: FAIL: " + message, file=sys.stderr)
    sys.exit(1)


def start_xvfb():
    """Starts Xvfb on a free display (it picks the number itself) and returns (proc, ':n')."""
    read_fd, write_fd = os.pipe()
    proc = subprocess.Popen(
        ["Xvfb", "-displayfd", str(write_fd), "-screen", "0", "1024x768x24", "-nolisten", "tcp"],
        pass_fds=(write_fd,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    os.close(write_fd)
    with os.fdopen(read_fd) as r:
        number = r.readline().strip()
    if not number:
        proc.kill()
        fail("Xvfb did not start")
    return proc, ":" + number


def xdotool(env, *args):
    return subprocess.run(["xdotool", *args], env=env, capture_output=True, text=True,
                          timeout=DEADLINE)


def wait_for_window(env, title):
    end = time.monotonic() + DEADLINE
    while time.monotonic() < end:
        out = xdotool(env, "search", "--name", "^" + title + "$").stdout.split()
        if out:
            return out[0]
        time.sleep(0.1)
    fail("no window titled " + title)


def wait_gone(env, title, failure):
    end = time.monotonic() + DEADLINE
    while xdotool(env, "search", "--name", "^" + title + "$").stdout.split():
        if time.monotonic() > end:
            fail(failure)
        time.sleep(0.1)


def wait_until(check, failure):
    end = time.monotonic() + DEADLINE
    while not check():
        if time.monotonic() > end:
            fail(failure)
        time.sleep(0.1)


def focus(env, window):
    xdotool(env, "windowfocus", "--sync", window)
    time.sleep(0.3)


def keys(env, *names):
    xdotool(env, "key", "--delay", "50", *names)
    time.sleep(0.2)


def type_text(env, text):
    xdotool(env, "type", "--delay", "30", text)
    time.sleep(0.2)


def start_tls_server(folder):
    """A TLS server with a fresh self-signed certificate for "localhost" on a free port;
    returns (process, port, the certificate's SHA-256 in lower-case hex)."""
    cert, key, fingerprint = self_signed(folder)
    port = free_port()
    # s_server ends at the end of its input: the pipe stays open while the test runs.
    server = subprocess.Popen(["openssl", "s_server", "-quiet", "-accept", str(port), "-cert", cert,
                               "-key", key], stdin=subprocess.PIPE, stdout=subprocess.DEVNULL,
                              stderr=subprocess.DEVNULL)
    return server, port, fingerprint


def expected_store(port, fingerprint):
    options = {
        "accountno": "1",
        "Option1value": "0", "Option2value": "0", "Option3value": "1", "Option4value": "1",
        "Option5value": "0", "Option6value": "0", "Option7value": "0", "Option8value": "0",
        "Option9value": "0", "Option10value": "1", "Option11value": "0",
        "sOption11value": "0", "Option12value": "0", "Option13value": "0",
        "Option14value": "1", "Option15value": "1",
        "Checktimerval": "0", "Closetimerval": "0", "Timeupval": "1", "Lighttimerval": "5",
        "Lighttimerval2": "5",
        "Mailerdir1": "", "Mailerdir2": "", "Wavdir": "",
        "Icodir1": "内蔵", "Icodir2": "内蔵", "Icodir3": "内蔵",
    }
    for n in range(6):
        options["Hotkeynum%d" % n] = str(113 + n)
    account = {
        "Aname1": "taro@localhost", "Hname1": "localhost", "Portno1": str(port),
        "Uname1": "taro", "Passw1": "0", "Check1": "1", "Scolor11": "0",
        "Scolor21": "16777088", "Wavmode1": "0", "Wavdir2_1": "", "Sslmode1": "1",
        "Sslpin1": fingerprint, "Pwstore1": "1", "Authmode1": "0", "Protocol1": "0",
        "Imapbox1": "INBOX",
    }
    for k in ("Oauthprov", "Oauthauth", "Oauthtoken", "Oauthscope", "Oauthclient", "Oauthsecret"):
        account[k + "1"] = ""
    return {**options, **account}


def check_lock_failure(program, display, home):
    """A file where the settings folder should be: the lock can't be made."""
    config = os.path.join(home, "blocked")
    os.mkdir(config)
    with open(os.path.join(config, "lumwatch"), "w") as f:
        f.write("not a folder\n")
    env = dict(os.environ, DISPLAY=display, XDG_CONFIG_HOME=config,
               XDG_RUNTIME_DIR=os.path.join(home, "run"), LANG="C.UTF-8", QT_QPA_PLATFORM="xcb")
    app = subprocess.Popen([program], env=env)
    try:
        box = wait_for_window(env, "Lumora")
        focus(env, box)
        keys(env, "Return")
        try:
            code = app.wait(timeout=DEADLINE)
        except subprocess.TimeoutExpired:
            fail("lumsetup did not end after its lock message")
        if code == 0:
            fail("lumsetup ended with 0 although it could not take its lock")
    finally:
        if app.poll() is None:
            app.kill()


def main():
    if len(sys.argv) not in (2, 3):
        fail("usage: lumsetup_e2e.py path/to/lumsetup [screenshot.png]")
    program = os.path.abspath(sys.argv[1])
    xvfb, display = start_xvfb()
    app = None
    tls = None
    keyring = PrivateKeyring(tempfile.mkdtemp())  # the daemon's home outlives the story's
    provider = OAuthServer().start()
    try:
        with tempfile.TemporaryDirectory() as home:
            tls, port, fingerprint = start_tls_server(home)
            runtime = os.path.join(home, "run")
            os.mkdir(runtime, 0o700)
            # No desktop named: xdg-open hands the sign-in page to $BROWSER, the test browser.
            desktop = {k: v for k, v in os.environ.items() if k not in (
                "XDG_CURRENT_DESKTOP", "DESKTOP_SESSION", "KDE_FULL_SESSION", "GNOME_DESKTOP_SESSION_ID")}
            browser = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support", "fake_browser.py")
            env = keyring.env(dict(desktop, DISPLAY=display, XDG_CONFIG_HOME=os.path.join(home, "config"),
                                   XDG_RUNTIME_DIR=runtime, LANG="C.UTF-8", QT_QPA_PLATFORM="xcb",
                                   BROWSER=browser))
            store = os.path.join(home, "config", "lumwatch", "lumwatch.ini")

            # The store must come out private even when the umask would leave it open.
            app = subprocess.Popen([program], env=env, preexec_fn=lambda: os.umask(0))
            window = wait_for_window(env, "OPTION")

            second = subprocess.run([program], env=env, timeout=DEADLINE)
            if second.returncode != 0:
                fail("a second copy ended with %d" % second.returncode)
            if len(xdotool(env, "search", "--name", "^OPTION$").stdout.split()) != 1:
                fail("a second copy opened a window")

            # The tab bar has the focus first: Right shows the account page, Tab Tab reaches
            # the list and then "追加".
            focus(env, window)
            keys(env, "Right", "Tab", "Tab", "space")
            dialog = wait_for_window(env, "ｱｶｳﾝﾄ")
            focus(env, dialog)
            def server_fields(host, user):
                """From the name field (left empty), past 受信方式 POP3: server, port, user."""
                keys(env, "Tab", "Tab")
                type_text(env, host)
                keys(env, "Tab", "ctrl+a")
                type_text(env, str(port))
                keys(env, "Tab")
                type_text(env, user)

            # Server, port, user, password, SSL/TLS (the port typed stays), then "確認".
            server_fields("localhost", "taro")
            keys(env, "Tab")
            type_text(env, "abc")
            keys(env, "Tab", "space", "Tab", "Down", "Tab", "space")  # the keyring box ticked
            question = wait_for_window(env, "証明書")
            focus(env, question)
            # Its text is pinned by the widget tests; the store shows which certificate it
            # offered.
            keys(env, "alt+y")
            wait_gone(env, "証明書", "the question did not close on Yes")
            focus(env, dialog)
            if len(sys.argv) > 2:
                subprocess.run(["import", "-window", dialog, sys.argv[2]], env=env, check=True)
            keys(env, "Return")

            wait_gone(env, "ｱｶｳﾝﾄ", "the account dialog did not close")
            if keyring.lookup("password:taro@localhost:%d" % port) != "abc":
                fail("the keyring does not hold the password")

            def edit(reach, *steps):
                """Opens the account with "編集" (reach: the keys to it from the button
                that has the focus), keys steps from its name field on, then OK."""
                focus(env, window)
                keys(env, *reach, "space")
                form = wait_for_window(env, "ｱｶｳﾝﾄ")
                focus(env, form)
                keys(env, *steps)
                keys(env, "Return")
                return form

            def item_moves(user, password, others):
                wait_until(lambda: keyring.lookup("password:%s@localhost:%d" % (user, port)) == password
                           and not any(keyring.lookup("password:%s@localhost:%d" % (o, port)) for o in others),
                           "the keyring item of %s does not read %r" % (user, password))

            # The item follows the user name.
            edit(["Tab"], *["Tab"] * 4, "ctrl+a", "j", "i", "r", "o")
            wait_gone(env, "ｱｶｳﾝﾄ", "the account dialog did not close after the rename")
            item_moves("jiro", "abc", ["taro"])
            # Back to the file, once asked.
            edit([], *["Tab"] * 6, "space")
            question = wait_for_window(env, "Lumora")
            focus(env, question)
            keys(env, "alt+y")
            wait_gone(env, "ｱｶｳﾝﾄ", "the account dialog did not close after the question")
            item_moves("jiro", "", ["taro"])
            back = read_store(store)
            if (back["Passw1"], back["Pwstore1"]) != (scramble("abc"), "0"):
                fail("the file does not hold the password again: %r %r" % (back["Passw1"], back["Pwstore1"]))
            # Into the keyring again; then the account goes, and its item with it.
            edit([], *["Tab"] * 6, "space")
            wait_gone(env, "ｱｶｳﾝﾄ", "the account dialog did not close after the keyring box")
            item_moves("jiro", "abc", ["taro"])
            focus(env, window)
            keys(env, "Tab", "space")  # "削除", asking nothing
            item_moves("jiro", "", ["taro"])

            # A new account signs in with OAuth 2.0 (その他: the test provider) in the browser;
            # OK puts the refresh token into the keyring, the file keeps none.
            focus(env, window)
            keys(env, "shift+Tab", "space")  # from OK, past the disabled buttons, to "追加"
            form = wait_for_window(env, "ｱｶｳﾝﾄ")
            focus(env, form)
            server_fields("127.0.0.1", "taro@example.jp")
            # Password, keyring box, encryption SSL/TLS (OAuth needs one), "確認", 認証 OAuth 2.0, その他.
            keys(env, "Tab", "Tab", "Tab", "Down", "Tab", "Tab", "Down", "Tab", "End", "Tab")
            type_text(env, provider.url + "/authorize")
            keys(env, "Tab")
            type_text(env, provider.url + "/token")
            keys(env, "Tab", "Tab")  # the scope stays empty
            type_text(env, provider.client_id)
            keys(env, "Tab", "Tab", "space")  # past the secret to 「ブラウザでサインイン」
            wait_until(lambda: provider.token_grants == 1, "the sign-in did not reach the token grant")
            keys(env, "Return")
            wait_gone(env, "ｱｶｳﾝﾄ", "the account dialog did not close after the sign-in")
            token_key = "oauth:taro%%40example.jp@127.0.0.1:%d" % port
            wait_until(lambda: keyring.refresh_token(token_key) in provider.refresh,
                       "the keyring holds no refresh token the provider gave")
            token = keyring.refresh_token(token_key)

            focus(env, window)
            keys(env, "Return")  # OK of the options window
            try:
                code = app.wait(timeout=DEADLINE)
            except subprocess.TimeoutExpired:
                fail("lumsetup did not end after OK")
            if code != 0:
                fail("lumsetup ended with %d" % code)

            actual = read_store(store)
            # The OAuth account took the deleted one's place.
            expected = dict(expected_store(port, fingerprint), Aname1="taro@example.jp@127.0.0.1",
                            Hname1="127.0.0.1", Uname1="taro@example.jp", Sslmode1="1",
                            Sslpin1="", Pwstore1="0", Authmode1="1", Oauthprov1="custom",
                            Oauthauth1=provider.url + "/authorize", Oauthtoken1=provider.url + "/token",
                            Oauthclient1=provider.client_id)
            if actual != expected:
                for k in sorted(set(actual) | set(expected)):
                    if actual.get(k) != expected.get(k):
                        print("  %s: stored %r, expected %r" % (k, actual.get(k), expected.get(k)),
                              file=sys.stderr)
                fail("the store differs")
            with open(store, encoding="utf-8") as f:
                if token in f.read():
                    fail("the refresh token is in the store")
            modes = (stat.S_IMODE(os.stat(store).st_mode),
                     stat.S_IMODE(os.stat(os.path.dirname(store)).st_mode))
            if modes != (0o600, 0o700):
                fail("store and folder have modes %o and %o, not 600 and 700" % modes)

            check_lock_failure(program, display, home)
            print("lumsetup_e2e: ok (%d keys)" % len(actual))
    finally:
        if app and app.poll() is None:
            app.kill()
        if tls:
            tls.kill()
            tls.wait()
        xvfb.terminate()
        xvfb.wait()
        keyring.stop()
        provider.stop()


if __name__ == "__main__":
    main()
