"""A private D-Bus daemon for one test: it starts no service by itself."""
import os
import subprocess

BUS_CONFIG = """<busconfig><type>{kind}</type><listen>unix:dir={folder}</listen>
<auth>EXTERNAL</auth><policy context="default"><allow send_destination="*" eavesdrop="true"/>
<allow eavesdrop="true"/><allow own="*"/></policy></busconfig>"""


def private_bus(folder, kind="session"):
    """A dbus-daemon of kind "session" or "system" listening in folder, and its address."""
    with open(os.path.join(folder, kind + ".conf"), "w") as f:
        f.write(BUS_CONFIG.format(kind=kind, folder=folder))
    bus = subprocess.Popen(["dbus-daemon", "--config-file=" + f.name, "--nofork", "--print-address=1"],
                           stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True, start_new_session=True)
    return bus, bus.stdout.readline().strip()
