"""A Secret Service of a test's own: a session bus with gnome-keyring-daemon, its keyring
unlocked by a password on stdin, in the throwaway HOME given. The daemon leaves with the bus."""
import json
import os
import subprocess
import time


class PrivateKeyring:
    def __init__(self, home):
        # No display for what the bus starts: a prompt to unlock fails at once instead of waiting.
        bare = {k: v for k, v in os.environ.items() if k not in ("DISPLAY", "WAYLAND_DISPLAY")}
        self.bus = subprocess.Popen(["dbus-daemon", "--session", "--nofork", "--print-address=1"],
                                    stdout=subprocess.PIPE, text=True, env=bare)
        address = self.bus.stdout.readline().strip()  # printed once the bus listens
        self.vars = {"DBUS_SESSION_BUS_ADDRESS": address, "HOME": home}
        subprocess.run(["gnome-keyring-daemon", "--unlock", "--components=secrets"], input="story-keyring",
                       text=True, env=self.env(os.environ), check=True, timeout=30, stdout=subprocess.DEVNULL)
        # The daemon takes its name on the bus after the command above returns; a client that
        # came first would have the bus start a second daemon, without the unlocked keyring.
        deadline = time.monotonic() + 30
        while not self.serving():
            if time.monotonic() > deadline:
                raise RuntimeError("gnome-keyring-daemon did not take org.freedesktop.secrets")
            time.sleep(0.05)

    def serving(self):
        ask = ["dbus-send", "--session", "--print-reply", "--dest=org.freedesktop.DBus", "/org/freedesktop/DBus",
               "org.freedesktop.DBus.NameHasOwner", "string:org.freedesktop.secrets"]
        return "boolean true" in subprocess.run(ask, env=self.env(os.environ), capture_output=True, text=True,
                                                timeout=30).stdout

    def env(self, base):
        return dict(base, **self.vars)

    def lookup(self, key):
        return subprocess.run(["secret-tool", "lookup", "user", key, "server", "Lumora"], env=self.env(os.environ),
                              capture_output=True, text=True, timeout=30).stdout

    def refresh_token(self, key):
        """The refresh token kept under key, without the endpoint and client stored with it."""
        value = self.lookup(key)
        return json.loads(value)["refresh_token"] if value else value

    def stop(self):
        self.bus.terminate()
        self.bus.wait()
