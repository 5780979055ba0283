"""A Secret Service of its own for a test: a session bus without service activation and
gnome-keyring-daemon on it, its login keyring created and unlocked with a password from
standard input, in a throwaway HOME. The daemon leaves with the bus."""
import os
import subprocess
import tempfile

BUS_CONFIG = """<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>unix:tmpdir=/tmp</listen>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
"""


class PrivateKeyring:
    def __init__(self):
        self.home = tempfile.mkdtemp(prefix="lum-keyring-")
        runtime = os.path.join(self.home, "run")
        os.makedirs(runtime, mode=0o700)
        conf = os.path.join(self.home, "bus.conf")
        with open(conf, "w", encoding="utf-8") as f:
            f.write(BUS_CONFIG)
        self.bus = subprocess.Popen(["dbus-daemon", "--config-file=" + conf, "--nofork", "--print-address=1"],
                                    stdout=subprocess.PIPE, text=True)
        address = self.bus.stdout.readline().strip()  # printed once the bus listens
        self.vars = {"DBUS_SESSION_BUS_ADDRESS": address, "HOME": self.home, "XDG_RUNTIME_DIR": runtime}
        # Without --foreground the daemon returns once it serves the bus.
        subprocess.run(["gnome-keyring-daemon", "--unlock", "--components=secrets"], input="story-keyring",
                       text=True, env=dict(os.environ, **self.vars), check=True, timeout=30,
                       stdout=subprocess.DEVNULL)

    def env(self, base):
        return dict(base, **self.vars)

    def lookup(self, key):
        return subprocess.run(["secret-tool", "lookup", "user", key, "server", "Lumora"], env=self.env(os.environ),
                              capture_output=True, text=True, timeout=30).stdout

    def stop(self):
        self.bus.terminate()
        self.bus.wait()
