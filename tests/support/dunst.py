"""dunst as the desktop's notification server on a private session bus, for one story. The
bus starts no service by itself. dunst keeps a notification until it is closed: only a
close moves it into the history. start() (re)starts dunst; dbus-monitor records the calls."""
import json
import os
import subprocess

from private_bus import private_bus
from xsession import DEADLINE, until

DUNSTRC = "[global]\nfont = Noto Sans CJK JP 11\nmarkup = full\n[urgency_normal]\ntimeout = 0\n"


class Dunst:
    def __init__(self, x, folder):
        """x: the XSession dunst shows on; folder: for the bus socket and the configuration."""
        os.makedirs(folder, exist_ok=True)
        with open(os.path.join(folder, "dunstrc"), "w") as f:
            f.write(DUNSTRC)
        self.bus, self.address = private_bus(folder)
        self.env = x.env(DBUS_SESSION_BUS_ADDRESS=self.address)
        self.record = os.path.join(folder, "monitor.txt")
        with open(self.record, "w") as out:
            self.monitor = subprocess.Popen(["dbus-monitor", "--address", self.address,
                                             "interface='org.freedesktop.Notifications'"],
                                            stdout=out, stderr=subprocess.DEVNULL, start_new_session=True)
        self.dunst = None

    def start(self):
        """dunst starts; a dunst already running ends first, and its notifications with it."""
        if self.dunst:
            self.dunst.terminate()
            self.dunst.wait()
            until(lambda: self._ctl("is-paused").returncode != 0, "the notification service keeps its owner")
        self.dunst = subprocess.Popen(["dunst", "-config", os.path.join(os.path.dirname(self.record), "dunstrc")],
                                      env=self.env, stderr=subprocess.DEVNULL, start_new_session=True)
        until(lambda: self._ctl("is-paused").returncode == 0, "dunst did not start on a private bus")

    def _ctl(self, *args):
        return subprocess.run(["dunstctl", *args], env=self.env, capture_output=True, text=True,
                              timeout=DEADLINE)

    def count(self, which):
        """Notifications "displayed", "history" or "waiting"."""
        return int(self._ctl("count", which).stdout.strip() or -1)

    def history(self):
        """The closed notifications, newest first, each as a dict of its fields."""
        return [{k: v["data"] for k, v in n.items()} for n in json.loads(self._ctl("history").stdout)["data"][0]]

    def notifies(self):
        """The Notify calls so far as dbus-monitor shows them: a header line, a line an argument."""
        with open(self.record, encoding="utf-8", errors="replace") as f:
            return [m for m in f.read().split("\nmethod call ") if "member=Notify\n" in m]

    def close(self):
        for p in (self.dunst, self.monitor, self.bus):
            if p and p.poll() is None:
                p.terminate()
                p.wait()
