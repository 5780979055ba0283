#!/usr/bin/env python3
"""Checks that don't wait for the interval (60 minutes): lumwatchd offscreen with a POP3 and an IMAP
account of a private Dovecot; logind and NetworkManager (State 70 online, 20 not) faked by one
connection on a private system bus.
- Push: the IMAP account idles (its process title shows IDLE); a message delivered then is checked at
  once. Dovecot restarts with a message delivered while it was down: the
  push connection comes back by itself and that message is checked.
- Waking and the network: each row gives one check of both accounts within 5 s, or none; the next row
  is sent once its checks are seen, so that a second check would spoil the next row's count. Only a
  check that should not come at all needs time to show: one wait at the end.
usage: push_wake_e2e.py BIN_DIR"""
import os
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from dovecot import Dovecot, jis_word, message  # noqa: E402
from lumstore import account, write_store  # noqa: E402
from private_bus import private_bus  # noqa: E402
from xsession import Failure, until  # noqa: E402

ROWS = (("resumed", "resume", 1), ("online again", "offline online", 1),
        ("three in a row", "resume offline online resume", 1),
        ("going to sleep, or sent by a program that is not logind", "sleep impostor", 0))
QUIET = 3  # seconds: past the 2-second settling, a check the last row should not give would have come


def fake(address):
    """Sends what each line on stdin names; runs in Debian's python3, which has python3-dbus."""
    import dbus.service
    from dbus.mainloop.glib import DBusGMainLoop
    from gi.repository import GLib
    DBusGMainLoop(set_as_default=True)
    props, state = "org.freedesktop.DBus.Properties", {"State": dbus.UInt32(70)}

    class Service(dbus.service.Object):
        @dbus.service.signal("org.freedesktop.login1.Manager", signature="b")
        def PrepareForSleep(self, sleeping):
            pass

        @dbus.service.method(props, in_signature="s", out_signature="a{sv}")
        def GetAll(self, interface):
            return state

        @dbus.service.signal(props, signature="sa{sv}as")
        def PropertiesChanged(self, interface, changed, invalidated):
            state.update(changed)

    bus, other = dbus.bus.BusConnection(address), dbus.bus.BusConnection(address)
    names = [dbus.service.BusName(n, bus) for n in ("org.freedesktop.login1", "org.freedesktop.NetworkManager")]
    logind, impostor = (Service(b, "/org/freedesktop/login1") for b in (bus, other))
    nm = Service(bus, "/org/freedesktop/NetworkManager")
    nm_state = lambda s: lambda: nm.PropertiesChanged(names[1].get_name(), {"State": dbus.UInt32(s)}, [])  # noqa: E731
    act = {"sleep": lambda: logind.PrepareForSleep(True), "resume": lambda: logind.PrepareForSleep(False),
           "impostor": lambda: impostor.PrepareForSleep(False), "offline": nm_state(20), "online": nm_state(70)}
    loop = GLib.MainLoop()
    GLib.io_add_watch(sys.stdin, GLib.IO_IN | GLib.IO_HUP,
                      lambda *_: [act[w]() for w in sys.stdin.readline().split()] or loop.quit())
    print("ready", flush=True)
    loop.run()


def logins(server, pop=0, imap=0):
    """The logins of the POP3 and the IMAP account, and pop and imap more."""
    return [server.log().count("Login: user=<%s>" % user) + n for user, n in (("taro", pop), ("hanako", imap))]


def idling():
    titles = subprocess.run(["ps", "-eo", "args"], capture_output=True, text=True).stdout
    return any("hanako" in t and "IDLE" in t for t in titles.splitlines())


def push(server):
    """A check of the IMAP account on news (of both, when the news came during a check)."""
    deliver = lambda: server.deliver("hanako", message("a@example.jp", jis_word("プッシュ"), "本文\n"))  # noqa: E731
    until(idling, "the IMAP account does not idle")
    want = logins(server, 0, 1)[1]
    deliver()
    until(lambda: logins(server)[1] == want, "a message delivered while idling was not checked")
    want += 2
    server.restart(deliver)
    until(lambda: logins(server)[1] == want, "after a restart: no push connection, or no check with it")


def story(bindir, home, server):
    """lumwatchd checks at start; the IMAP account also logs in on its push connection, which is opened
    again whenever the machine wakes or the network comes back."""
    write_store(os.path.join(home, "config"), ["accountno=2", "Protocol2=1", "Option5value=1", "Checktimerval=60"]
                + account(1, "pop", server.port, "taro", "pw", (0, 0xFFFFFF))
                + account(2, "imap", server.imap_port, "hanako", "pw", (0, 0xFFFFFF)))
    bus, address = private_bus(home, "system")
    env = {k: v for k, v in os.environ.items() if not k.startswith(("DBUS_", "DISPLAY", "XDG_"))}
    env.update(QT_QPA_PLATFORM="offscreen", XDG_CONFIG_HOME=os.path.join(home, "config"), XDG_RUNTIME_DIR=home,
               DBUS_SYSTEM_BUS_ADDRESS=address)
    system = subprocess.Popen(["/usr/bin/python3", __file__, "--fake", address], stdin=subprocess.PIPE,
                              stdout=subprocess.PIPE, text=True)
    proc = None
    try:
        if system.stdout.readline() != "ready\n":
            raise Failure("the fake logind and NetworkManager did not start")
        want = logins(server, 1, 2)
        proc = subprocess.Popen([os.path.join(bindir, "lumwatchd")], env=env)
        until(lambda: logins(server) == want, "no check at start")
        push(server)
        for name, words, count in ROWS:
            want = logins(server, count, 2 * count)
            system.stdin.write(words + "\n")
            system.stdin.flush()
            until(lambda: logins(server) == want, "%s: not %d check(s) of both accounts" % (name, count), 5)
        time.sleep(QUIET)
        if logins(server) != want:
            raise Failure("%s: logins %s, not %s" % (name, logins(server), want))
    finally:
        for p in (proc, system, bus):
            if p and p.poll() is None:
                p.kill()
                p.wait()


if sys.argv[1] == "--fake":
    sys.exit(fake(sys.argv[2]))
server = Dovecot()
try:
    for user in ("taro", "hanako"):
        server.add_user(user, "pw")
    server.start()
    with tempfile.TemporaryDirectory() as home:
        story(os.path.abspath(sys.argv[1]), home, server)
    print("push_wake_e2e: ok")
except Failure as e:
    sys.exit("push_wake_e2e: FAIL: %s" % e)
finally:
    server.stop()
