#!/usr/bin/env python3
"""lumcheck --signin against the test OAuth provider, with a private keyring and the test
browser behind xdg-open: one row per outcome. Only a successful sign-in leaves a refresh
token in the keyring.

usage: signin_e2e.py LUMCHECK
"""
import os
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "support"))
from keyring import PrivateKeyring  # noqa: E402
from lumstore import write_store  # noqa: E402
from oauth_server import OAuthServer  # noqa: E402

# name, /authorize mode, /token mode, exit code, what lumcheck says (stdout on 0, else stderr)
ROWS = [
    ("signed_in", "ok", "ok", 0, "鍵: サインインしました (taro@example.jp)。リフレッシュトークンをキーリングの "
                                 "oauth:signed_in@127.0.0.1:995 に保存しました"),
    ("wrong_state", "wrong_state", "ok", 1, "鍵: サインインの応答が正しくありません (state が一致しません)"),
    ("access_denied", "access_denied", "ok", 1, "鍵: プロバイダーがサインインを拒否しました: access_denied"),
    ("error_page", "error_page", "ok", 1, "鍵: サインインがタイムアウトしました (3秒)"),
    ("garbage_token", "ok", "garbage", 1, "鍵: トークンの応答を読めません: JSON ではありません"),
]


def run_row(lumcheck, server, keyring, home, row):
    name, authorize_mode, token_mode, code, said = row
    server.authorize_mode, server.token_mode = authorize_mode, token_mode
    config = os.path.join(home, "config-" + name)
    write_store(config, ["accountno=1", "Aname1=鍵", "Hname1=127.0.0.1", "Portno1=995", "Uname1=" + name,
                         "Check1=1", "Authmode1=1", "Oauthprov1=custom", "Oauthauth1=%s/authorize" % server.url,
                         "Oauthtoken1=%s/token" % server.url, "Oauthscope1=pop", "Oauthclient1=lumora-test"])
    env = {k: v for k, v in os.environ.items()
           if k not in ("DISPLAY", "WAYLAND_DISPLAY", "XDG_CURRENT_DESKTOP", "DESKTOP_SESSION", "KDE_FULL_SESSION")}
    env = keyring.env(dict(env, XDG_CONFIG_HOME=config, LUMCHECK_SIGNIN_SECONDS="3",
                           BROWSER=os.path.join(HERE, "..", "support", "fake_browser.py")))
    run = subprocess.run([lumcheck, "--signin", "1"], env=env, capture_output=True, text=True, timeout=60)
    output = run.stdout if code == 0 else run.stderr
    stored = keyring.lookup("oauth:%s@127.0.0.1:995" % name)
    problems = []
    if run.returncode != code or said not in output:
        problems.append("ended with %d: %s%s" % (run.returncode, run.stdout, run.stderr))
    if "/authorize?" not in run.stdout:
        problems.append("no URL printed")
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
    finally:
        keyring.stop()
        server.stop()
    sys.exit(1 if failed else 0)


if __name__ == "__main__":
    main()
