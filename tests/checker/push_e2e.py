#!/usr/bin/env python3
"""Push: an offscreen lumwatchd checking every 60 minutes idles on a private Dovecot (its process title
shows IDLE) and checks a message delivered then at once (a second login). Dovecot is restarted with a
message delivered while it was down: lumwatchd idles again by itself, and checks that message as it
does.  usage: push_e2e.py BIN_DIR"""
import os
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from dovecot import Dovecot, jis_word, message  # noqa: E402
from lumstore import account, write_store  # noqa: E402
from xsession import Failure, until  # noqa: E402


def logins(server):
    return sum("imap-login:" in line and "Login: user=<hanako>" in line for line in server.log().splitlines())


def idling():
    titles = subprocess.run(["ps", "-eo", "args"], capture_output=True, text=True).stdout
    return any("hanako" in t and "IDLE" in t for t in titles.splitlines())


def story(bindir, server, home):
    config = os.path.join(home, "config")
    write_store(config, ["accountno=1", "Checktimerval=60", "Option5value=0", "Option7value=1", "Protocol1=1"]
                + account(1, "クラウド", server.imap_port, "hanako", "pw", (0, 0xFFFFFF)))
    env = dict({k: v for k, v in os.environ.items() if k != "DISPLAY"}, LANG="C.UTF-8", QT_QPA_PLATFORM="offscreen",
               XDG_CONFIG_HOME=config, XDG_RUNTIME_DIR=home, XDG_CACHE_HOME=os.path.join(home, "cache"))
    checker = subprocess.Popen([os.path.join(bindir, "lumwatchd")], env=env, stderr=subprocess.DEVNULL)
    deliver = lambda: server.deliver("hanako", message("a@example.jp", jis_word("プッシュ"), "本文\n"))  # noqa: E731
    try:
        until(idling, "the checker does not idle")
        before = logins(server)
        deliver()
        until(lambda: logins(server) > before, "a message delivered while idling was not checked")
        server.restart(deliver)
        until(lambda: logins(server) > before + 2, "no check once the push connection was back after a restart")
        until(idling, "the checker does not idle after the restart")
    finally:
        checker.kill()
        checker.wait()


server = Dovecot()
server.add_user("hanako", "pw")
try:
    server.start()
    with tempfile.TemporaryDirectory() as home:
        story(sys.argv[1], server, home)
    print("push_e2e: ok")
except Failure as e:
    sys.exit("push_e2e: FAIL: %s\n%s" % (e, server.log()[-3000:]))
finally:
    server.stop()
