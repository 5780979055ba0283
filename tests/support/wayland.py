"""A Wayland desktop for end-to-end tests: sway on its headless backend with one 1280x720
output, waybar at the top edge with only its tray (the StatusNotifierWatcher and host), mako
for notifications and a private session bus. sway will not run as root, so the whole
desktop runs as an unprivileged user (nobody) in a home folder of its own; the test itself
stays root and starts every program of the desktop as that user.

There is no input device on the headless backend, so the session makes a virtual pointer
(wlr-virtual-pointer-unstable-v1, spoken on the wire here) to click with."""
import json
import os
import shutil
import socket
import struct
import subprocess
import time

from xsession import DEADLINE, Failure, until  # noqa: F401 (until: for the stories)

USER = 65534  # nobody
GROUP = 65534  # nogroup
WIDTH, HEIGHT = 1280, 720
BAR_HEIGHT = 30
BAR_COLOUR = (0x20, 0x20, 0x20)

SWAY = """xwayland disable
output HEADLESS-1 resolution {w}x{h}
font pango:Noto Sans CJK JP 10
for_window [app_id="lumwatchd"] floating enable
""".format(w=WIDTH, h=HEIGHT)

WAYBAR = {"layer": "top", "position": "top", "height": BAR_HEIGHT, "modules-left": ["tray"],
          "tray": {"icon-size": 22, "spacing": 6}}

WAYBAR_CSS = """* { font-family: "Noto Sans CJK JP"; font-size: 13px; }
window#waybar { background: #202020; }
#tray { padding: 0 8px; }
"""

MAKO = """font=Noto Sans CJK JP 11
width=360
ignore-timeout=1
default-timeout=0
"""

class VirtualPointer:
    """A pointer device made by a Wayland client; clicks at absolute output coordinates."""

    MANAGER = b"zwlr_virtual_pointer_manager_v1"

    def __init__(self, path):
        self.sock = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
        self.sock.connect(path)
        self.ids = 1
        self.buf = b""
        registry = self._new()
        self._send(1, 1, struct.pack("<I", registry))  # wl_display.get_registry
        manager = None
        for obj, op, body in self._roundtrip():
            if obj == registry and op == 0:  # wl_registry.global: name, interface, version
                n = struct.unpack_from("<I", body, 4)[0]
                if body[8:8 + n - 1] == self.MANAGER:
                    manager = struct.unpack_from("<I", body)[0]
        if manager is None:
            raise Failure("the compositor offers no virtual pointer")
        name = self.MANAGER + b"\0" * (4 - len(self.MANAGER) % 4)
        self.manager = self._new()
        self._send(registry, 0, struct.pack("<II", manager, len(self.MANAGER) + 1) + name
                   + struct.pack("<II", 1, self.manager))  # wl_registry.bind
        self.pointer = self._new()
        self._send(self.manager, 0, struct.pack("<II", 0, self.pointer))  # on the default seat
        list(self._roundtrip())

    def _new(self):
        self.ids += 1
        return self.ids

    def _send(self, obj, op, args=b""):
        self.sock.sendall(struct.pack("<II", obj, (8 + len(args)) << 16 | op) + args)

    def _roundtrip(self):
        """The events up to the answer of a wl_display.sync."""
        done = self._new()
        self._send(1, 0, struct.pack("<I", done))
        while True:
            while len(self.buf) < 8 or len(self.buf) < struct.unpack_from("<I", self.buf, 4)[0] >> 16:
                data = self.sock.recv(4096)
                if not data:
                    raise Failure("the compositor closed the pointer's connection")
                self.buf += data
            obj, word = struct.unpack_from("<II", self.buf)
            body, self.buf = self.buf[8:word >> 16], self.buf[word >> 16:]
            if obj == 1 and word & 0xFFFF == 0:
                raise Failure("Wayland protocol error: %r" % body)
            if obj == done:
                return
            yield obj, word & 0xFFFF, body

    def click(self, x, y, press=True):
        """A left click at x, y; only the move there without press."""
        stamp = int(time.monotonic() * 1000) & 0xFFFFFFFF
        self._send(self.pointer, 1, struct.pack("<5I", stamp, x, y, WIDTH, HEIGHT))  # motion_absolute
        self._send(self.pointer, 4)  # frame
        for state in (1, 0) if press else ():
            self._send(self.pointer, 2, struct.pack("<3I", stamp, 0x110, state))  # BTN_LEFT
            self._send(self.pointer, 4)
        list(self._roundtrip())

    def close(self):
        self.sock.close()


class WaylandSession:
    """The desktop in home (a folder given to the user); close() ends every program of it."""

    def __init__(self, home):
        self.home = home
        self.procs = []
        self.pointer = None
        self.bar = None
        self.runtime = os.path.join(home, "run")
        os.makedirs(self.runtime, mode=0o700)
        files = {"sway.conf": SWAY, "waybar.json": json.dumps(WAYBAR), "waybar.css": WAYBAR_CSS,
                 "mako.conf": MAKO}
        for name, text in files.items():
            with open(os.path.join(home, name), "w", encoding="utf-8") as f:
                f.write(text)
        give(home)
        self.base = {"PATH": "/usr/local/bin:/usr/bin:/bin", "HOME": home, "LANG": "C.UTF-8",
                     "XDG_RUNTIME_DIR": self.runtime, "XDG_CACHE_HOME": os.path.join(home, "cache"),
                     "DBUS_SESSION_BUS_ADDRESS": "unix:path=" + os.path.join(self.runtime, "bus"),
                     "NO_AT_BRIDGE": "1"}
        try:
            self._start()
        except BaseException:
            self.close()
            raise

    def _start(self):
        self.spawn(["dbus-daemon", "--session", "--nofork", "--nopidfile",
                    "--address=" + self.base["DBUS_SESSION_BUS_ADDRESS"]], "bus")
        until(lambda: self.run("busctl", "--user", "status").returncode == 0, "no session bus")
        self.spawn(["sway", "-c", os.path.join(self.home, "sway.conf")], "sway",
                   WLR_BACKENDS="headless", WLR_LIBINPUT_NO_DEVICES="1", WLR_RENDERER="pixman")

        def sockets():
            names = os.listdir(self.runtime)
            display = [n for n in names if n.startswith("wayland-") and not n.endswith(".lock")]
            ipc = [n for n in names if n.startswith("sway-ipc.")]
            return display and ipc and (display[0], os.path.join(self.runtime, ipc[0]))
        display, ipc = until(sockets, "sway did not start")
        self.base.update(WAYLAND_DISPLAY=display, SWAYSOCK=ipc)
        until(lambda: self.run("swaymsg", "-t", "get_outputs").returncode == 0, "sway does not answer")
        self.spawn(["mako", "--config", os.path.join(self.home, "mako.conf")], "mako")
        self.start_bar()
        until(lambda: self.run("busctl", "--user", "status", "org.freedesktop.Notifications").returncode == 0,
              "mako did not start")
        # The test is root and may connect to the user's display; the pointer device makes the
        # seat offer a pointer, which waybar takes up once it appears.
        self.pointer = VirtualPointer(os.path.join(self.runtime, display))
        until(lambda: "pointer" in json.dumps(self.swaymsg("-t", "get_seats")), "the seat has no pointer")

    def start_bar(self):
        """waybar, up once its tray is the StatusNotifierWatcher with a host."""
        self.bar = self.spawn(["waybar", "-c", os.path.join(self.home, "waybar.json"),
                               "-s", os.path.join(self.home, "waybar.css")], "waybar")
        until(lambda: "true" in self.run("busctl", "--user", "get-property", "org.kde.StatusNotifierWatcher",
                                         "/StatusNotifierWatcher", "org.kde.StatusNotifierWatcher",
                                         "IsStatusNotifierHostRegistered").stdout,
              "waybar's tray did not start")

    def stop_bar(self):
        os.killpg(self.bar.pid, 15)
        self.bar.wait(DEADLINE)

    def env(self, **extra):
        return dict(self.base, **extra)

    def spawn(self, args, log=None, **extra):
        """A program of the desktop, as the user, in a process group of its own; its output goes
        to home/NAME.log."""
        out = open(os.path.join(self.home, log + ".log"), "wb") if log else subprocess.DEVNULL
        proc = subprocess.Popen(args, env=self.env(**extra), user=USER, group=GROUP, extra_groups=[],
                                cwd=self.home, stdout=out, stderr=subprocess.STDOUT,
                                start_new_session=True)
        if log:
            out.close()
        self.procs.append(proc)
        return proc

    def run(self, *args, text=True, **extra):
        return subprocess.run(args, env=self.env(**extra), user=USER, group=GROUP, extra_groups=[],
                              cwd=self.home, capture_output=True, text=text, timeout=DEADLINE)

    def grim(self, *args):
        """grim's picture of the output (or of -g GEOMETRY) as bytes."""
        out = self.run("grim", *args, "-", text=False)
        if out.returncode != 0:
            raise Failure("grim: " + out.stderr.decode(errors="replace"))
        return out.stdout

    def swaymsg(self, *args):
        out = self.run("swaymsg", "-r", *args)
        if out.returncode != 0:
            raise Failure("swaymsg %s: %s" % (" ".join(args), out.stderr or out.stdout))
        return json.loads(out.stdout)

    def windows(self, app_id):
        """The visible windows of app_id in sway's tree."""
        found, nodes = [], [self.swaymsg("-t", "get_tree")]
        while nodes:
            node = nodes.pop()
            if node.get("app_id") == app_id and node.get("visible"):
                found.append(node)
            nodes += node.get("nodes", []) + node.get("floating_nodes", [])
        return found

    def notifications(self):
        """mako's notifications, newest first: dicts of app_name, summary, body, actions."""
        data = json.loads(self.run("makoctl", "list").stdout or '{"data": [[]]}')["data"][0]
        return [{key: value["data"] for key, value in n.items()} for n in data]

    def tray_items(self):
        out = self.run("busctl", "--user", "--json=short", "get-property", "org.kde.StatusNotifierWatcher",
                       "/StatusNotifierWatcher", "org.kde.StatusNotifierWatcher",
                       "RegisteredStatusNotifierItems")
        return json.loads(out.stdout)["data"] if out.returncode == 0 else []

    def tray_icons(self):
        """The x ranges of what waybar draws on its background: the tray's icons, left to right."""
        ppm = self.grim("-t", "ppm", "-g", "0,0 %dx%d" % (WIDTH, BAR_HEIGHT))
        header = ppm.split(b"\n", 3)  # P6, width height, 255, samples
        width, height = map(int, header[1].split())
        pixels = header[3]
        drawn = [any(tuple(pixels[3 * (y * width + x):3 * (y * width + x) + 3]) != BAR_COLOUR
                     for y in range(height)) for x in range(width)]
        icons, start = [], None
        for x, on in enumerate(drawn + [False]):
            if on and start is None:
                start = x
            elif not on and start is not None:
                icons.append((start, x))
                start = None
        return icons

    def click(self, x, y, press=True):
        self.pointer.click(x, y, press)

    def screenshot(self, path):
        """The whole output as PNG."""
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(self.grim("-t", "png"))

    def close(self):
        if self.pointer:
            self.pointer.close()
        for proc in reversed(self.procs):
            if proc.poll() is None:
                os.killpg(proc.pid, 15)
                try:
                    proc.wait(10)
                except subprocess.TimeoutExpired:
                    os.killpg(proc.pid, 9)
                    proc.wait()


def give(path):
    """path and everything in it to the desktop's user."""
    for root, dirs, files in os.walk(path):
        for name in [root] + [os.path.join(root, n) for n in dirs + files]:
            os.chown(name, USER, GROUP)


def copy_for_user(program, folder):
    """A copy of program in folder that the user can run wherever the build folder lies."""
    os.makedirs(folder, exist_ok=True)
    copy = os.path.join(folder, os.path.basename(program))
    shutil.copy2(program, copy)
    os.chmod(copy, 0o755)
    give(folder)
    return copy
