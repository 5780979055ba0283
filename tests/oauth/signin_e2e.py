#!/usr/bin/env python3
"""lumcheck --signin against the test OAuth provider, with a private keyring and the test
browser behind xdg-open: one row per outcome. Only a successful sign-in leaves a refresh
token in the keyring. Then checks against a private Dovecot (needs root) that takes the
provider's access tokens: account 1 signs in by OAuth over POP3S, account 2 by password;
then account 1 alone over IMAP with STARTTLS.
An account without encryption is refused before the browser opens.

usage: signin_e2e.py LUMCHECK
"""
import json
import os
import re
import subprocess
import sys
import tempfile
import time
import urllib.request

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "support"))
from dovecot import Dovecot, jis_word, message, self_signed  # noqa: E402
from keyring import PrivateKeyring  # noqa: E402
from lumstore import account, write_store  # noqa: E402
from oauth_server import OAuthServer  # noqa: E402

# name, /authorize mode, /token mode, exit code, what lumcheck says (stdout on 0, else stderr)
ROWS = [
    ("signed_in", "ok", "ok", 0, "鍵: サインインしました (taro@example.jp)。リフレッシュトークンをキーリングの "
                                 "oauth:signed_in@127.0.0.1:995 に保存しました"),
    ("wrong_state", "wrong_state", "ok", 1, "鍵: サインインがタイムアウトしました (3秒)"),
    ("access_denied", "access_denied", "ok", 1, "鍵: プロバイダーがサインインを拒否しました: access_denied"),
    ("error_page", "error_page", "ok", 1, "鍵: サインインがタイムアウトしました (3秒)"),
    ("garbage_token", "ok", "garbage", 1, "鍵: トークンの応答を読めません: JSON ではありません"),
    ("plain", "ok", "ok", 1, "鍵: OAuth 2.0 には暗号化(SSL/TLS か STARTTLS)が必要です (鍵)"),
]


def run_lumcheck(lumcheck, keyring, config, *args):
    env = {k: v for k, v in os.environ.items()
           if k not in ("DISPLAY", "WAYLAND_DISPLAY", "XDG_CURRENT_DESKTOP", "DESKTOP_SESSION", "KDE_FULL_SESSION")}
    env = keyring.env(dict(env, XDG_CONFIG_HOME=config, LUMCHECK_SIGNIN_SECONDS="3",
                           BROWSER=os.path.join(HERE, "..", "support", "fake_browser.py")))
    return subprocess.run([lumcheck, *args], env=env, capture_output=True, text=True, timeout=60)


# Against Dovecot: account 1 (鍵) by OAuth, account 2 (花子) by password; one mail each.
SUBJECTS = {1: "鍵のメール", 2: "花子のメール"}
SIGN_IN_NEEDED = "lumcheck: 鍵: サインインが必要です (鍵)"


def listed(check, accounts):
    """Problems unless stdout lists exactly the mail of these accounts."""
    shown = {n for n, subject in SUBJECTS.items() if re.search(r"^%d\t1\t.*%s$" % (n, subject), check.stdout, re.M)}
    return [] if shown == set(accounts) else ["lists %s (%d): %s%s" % (sorted(shown), check.returncode,
                                                                       check.stdout, check.stderr)]


def counted(server, before):
    """Problems unless this run made one refresh-token grant and one login (introspection)."""
    made = (server.token_grants - before[0], server.introspections - before[1])
    return [] if made == (1, 1) else ["%d grants, %d introspections" % made]


def check_after_signin(run, server):
    """Signed in, a check lists both accounts silently; the log masks the token."""
    signin = run("--signin", "1")
    if signin.returncode != 0:
        return ["--signin ended with %d: %s%s" % (signin.returncode, signin.stdout, signin.stderr)]
    check = run("--log")
    problems = listed(check, [1, 2]) + (["stderr: " + check.stderr] if check.stderr else [])
    # A token as long as the providers' does not fit on the AUTH line: it answers the "+ ".
    if not re.search(r"^AUTH OAUTHBEARER\r?\n\+ *\r?\n\*+\r?$", check.stdout, re.M):
        problems.append("no AUTH with the masked response after it in the log")
    if any(token in check.stdout for token in server.access):
        problems.append("an access token in the log")
    return problems


def introspect(server, token):
    """Whether the provider still takes token."""
    with urllib.request.urlopen(server.url + "/introspect", ("token=" + token).encode(), timeout=10) as reply:
        return json.load(reply)["active"]


def token_expired(run, server):
    """The access token runs out between two checks: each check gets a fresh one. The tokens
    are short here, so that the response goes on the AUTH line."""
    server.access_lifetime, server.access_length = 2, 40
    problems = []
    for turn in range(2):
        before = server.token_grants, server.introspections
        check = run()
        problems += listed(check, [1, 2]) + counted(server, before)
        if turn == 0 and not problems:
            token = list(server.access)[-1]
            end = time.monotonic() + 10
            while introspect(server, token):
                if time.monotonic() > end:
                    return problems + ["the first access token never ran out"]
                time.sleep(0.1)
    return problems


def refresh_revoked(run, server):
    """The provider revoked the refresh token: account 1 needs a sign-in, account 2 is checked."""
    server.revoke()
    check = run()
    return listed(check, [2]) + ([] if check.returncode == 0 and SIGN_IN_NEEDED in check.stderr
                                 else ["ended with %d: %s" % (check.returncode, check.stderr)])


def imap_starttls(run, server):
    """Account 1 over IMAP with STARTTLS: signed in anew (another port, another item), a check
    lists its mail, and the log shows AUTHENTICATE with the token masked."""
    signin = run("--signin", "1")
    check = run("--log")
    problems = [] if signin.returncode == 0 else ["--signin ended with %d: %s" % (signin.returncode, signin.stderr)]
    problems += listed(check, [1]) + (["stderr: " + check.stderr] if check.stderr else [])
    if not re.search(r"^A\d+ AUTHENTICATE (OAUTHBEARER|XOAUTH2) \*+\r?$", check.stdout, re.M) \
            or any(token in check.stdout for token in server.access):
        problems.append("no AUTHENTICATE with its token masked in the log")
    return problems


DOVECOT_ROWS = [check_after_signin, token_expired, refresh_revoked]


def dovecot_rows(lumcheck, server, keyring, home):
    cert, key, pin = self_signed(home)
    mail = Dovecot(tls=(cert, key), oauth=server.url)
    try:
        mail.add_user(server.user, "not-for-login")  # its maildir; it logs in by token
        mail.add_user("hanako", "hanako-pw")
        for n, user in ((1, server.user), (2, "hanako")):
            mail.deliver(user, message("sender@example.jp", jis_word(SUBJECTS[n]), "本文です。\n"))
        mail.start()
        config = os.path.join(home, "config-dovecot")
        write_store(config, ["accountno=2"] + oauth_account(server, mail.tls_port, server.user, pin)
                    + account(2, "花子", mail.port, "hanako", "hanako-pw", (0, 0xFFFFFF)))
        server.authorize_mode, server.token_mode, server.access_length = "ok", "ok", 1500
        failed = 0
        for row in DOVECOT_ROWS:
            problems = row(lambda *args: run_lumcheck(lumcheck, keyring, config, *args), server)
            print("%s %s %s" % ("FAIL" if problems else "ok  ", row.__name__, "; ".join(problems)), flush=True)
            failed += bool(problems)
        imap = os.path.join(home, "config-imap")
        write_store(imap, ["accountno=1", "Protocol1=1"] + oauth_account(server, mail.imap_port, server.user, pin, 2))
        problems = imap_starttls(lambda *args: run_lumcheck(lumcheck, keyring, imap, *args), server)
        print("%s imap_starttls %s" % ("FAIL" if problems else "ok  ", "; ".join(problems)), flush=True)
        failed += bool(problems)
        if failed:
            print(mail.log()[-4000:])
        return failed
    finally:
        mail.stop()


def oauth_account(server, port, user, pin="", sslmode=1):
    """Account 1, "鍵", signing in at the test provider; over POP3S trusting the certificate pin."""
    return ["Aname1=鍵", "Hname1=127.0.0.1", "Portno1=%d" % port, "Uname1=" + user, "Check1=1", "Authmode1=1",
            "Sslmode1=%d" % sslmode, "Sslpin1=" + pin,
            "Oauthprov1=custom", "Oauthauth1=%s/authorize" % server.url, "Oauthtoken1=%s/token" % server.url,
            "Oauthscope1=pop", "Oauthclient1=lumora-test"]


def run_row(lumcheck, server, keyring, home, row):
    name, authorize_mode, token_mode, code, said = row
    server.authorize_mode, server.token_mode = authorize_mode, token_mode
    config = os.path.join(home, "config-" + name)
    write_store(config, ["accountno=1"] + oauth_account(server, 995, name, sslmode=0 if name == "plain" else 1))
    run = run_lumcheck(lumcheck, keyring, config, "--signin", "1")
    output = run.stdout if code == 0 else run.stderr
    stored = keyring.refresh_token("oauth:%s@127.0.0.1:995" % name)
    problems = []
    if run.returncode != code or said not in output:
        problems.append("ended with %d: %s%s" % (run.returncode, run.stdout, run.stderr))
    if ("/authorize?" in run.stdout) != (name != "plain"):
        problems.append("the URL printed or not printed wrongly")
    if (code == 0) != (stored in server.refresh):
        problems.append("keyring holds %r" % stored)
    return problems


def main():
    lumcheck = sys.argv[1]
    home = tempfile.mkdtemp()
    server, keyring = OAuthServer().start(), PrivateKeyring(home)
    failed = 0
    try:
        for row in ROWS:
            problems = run_row(lumcheck, server, keyring, home, row)
            print("%s %s %s" % ("FAIL" if problems else "ok  ", row[0], "; ".join(problems)), flush=True)
            failed += bool(problems)
        failed += dovecot_rows(lumcheck, server, keyring, home)
    finally:
        keyring.stop()
        server.stop()
    sys.exit(1 if failed else 0)


if __name__ == "__main__":
    main()
