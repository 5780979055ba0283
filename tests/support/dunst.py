"""dunst as the desktop's notification server, on a private session bus for one story.

The bus activates nothing (no service folders), so only the programs the story starts are
on it. dunst keeps every notification until it is closed: only a close moves one into
its history."""
import json
import os
import subprocess
import time

from xsession import DEADLINE, Failure

BUS_CONFIG = """<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>unix:dir={folder}</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
"""

DUNSTRC = """[global]
    font = Noto Sans CJK JP 11
    width = 420
    markup = full
[urgency_low]
    timeout = 0
[urgency_normal]
    timeout = 0
[urgency_critical]
    timeout = 0
"""


class Dunst:
    def __init__(self, x, folder):
        """x: the XSession dunst shows on; folder: for the bus socket and the configuration."""
        os.makedirs(folder, exist_ok=True)
        bus_config = os.path.join(folder, "bus.conf")
        with open(bus_config, "w") as f:
            f.write(BUS_CONFIG.format(folder=folder))
        dunstrc = os.path.join(folder, "dunstrc")
        with open(dunstrc, "w") as f:
            f.write(DUNSTRC)
        self.bus = subprocess.Popen(["dbus-daemon", "--config-file=" + bus_config, "--nofork",
                                     "--print-address=1"], stdout=subprocess.PIPE,
                                    stderr=subprocess.DEVNULL, text=True, start_new_session=True)
        self.address = self.bus.stdout.readline().strip()
        self.dunst = None
        if not self.address:
            self.close()
            raise Failure("the session bus did not start")
        self._env = x.env(DBUS_SESSION_BUS_ADDRESS=self.address)
        self.dunst = subprocess.Popen(["dunst", "-config", dunstrc], env=self._env,
                                      stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                                      start_new_session=True)
        end = time.monotonic() + DEADLINE
        while self._ctl("is-paused").returncode != 0:
            if time.monotonic() > end:
                raise Failure("dunst did not start")
            time.sleep(0.1)

    def _ctl(self, *args):
        return subprocess.run(["dunstctl", *args], env=self._env, capture_output=True, text=True,
                              timeout=DEADLINE)

    def count(self, which):
        """Notifications "displayed", "history" or "waiting"."""
        return int(self._ctl("count", which).stdout.strip() or -1)

    def history(self):
        """The closed notifications, newest first, each as a dict of its fields."""
        data = json.loads(self._ctl("history").stdout)["data"][0]
        return [{k: v["data"] for k, v in entry.items()} for entry in data]

    def close(self):
        for p in (self.dunst, self.bus):
            if p and p.poll() is None:
                p.terminate()
                p.wait()
