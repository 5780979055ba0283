"""A virtual X display for end-to-end tests: Xvfb on a free display number, optionally a
tray host, and xdotool helpers. No window manager runs: windows are focused with
`xdotool windowfocus --sync`, not activated."""
import os
import subprocess
import sys
import tempfile
import time

DEADLINE = 30  # seconds for any one step; guards against hangs only


class Failure(Exception):
    pass


def until(predicate, what, deadline=DEADLINE):
    """predicate's first true value, polled until the deadline; a Failure naming what after."""
    end = time.monotonic() + deadline
    while True:
        value = predicate()
        if value:
            return value
        if time.monotonic() > end:
            raise Failure(what)
        time.sleep(0.1)


class XSession:
    """The display and the tray host run in sessions of their own, out of reach of a Ctrl+C
    in the terminal: the programs on the display are ended before close() ends them. The
    display does not reset when its last client leaves (as between ending the tray host and
    starting a program), so it takes new clients at every moment."""

    def __init__(self, size="1024x768x24", xvfb="Xvfb"):
        read_fd, write_fd = os.pipe()
        self.xvfb = subprocess.Popen(
            [xvfb, "-displayfd", str(write_fd), "-screen", "0", size, "-nolisten", "tcp", "-noreset"],
            pass_fds=(write_fd,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
            start_new_session=True)
        os.close(write_fd)
        with os.fdopen(read_fd) as r:
            number = r.readline().strip()
        if not number:
            self.xvfb.kill()
            raise Failure("Xvfb did not start")
        self.display = ":" + number
        self.tray = None

    @classmethod
    def attach(cls, display):
        """Another program's display, to look at; close() leaves it running."""
        x = cls.__new__(cls)
        x.display, x.xvfb, x.tray = display, None, None
        return x

    def env(self, **extra):
        return dict(os.environ, DISPLAY=self.display, LANG="C.UTF-8", QT_QPA_PLATFORM="xcb", **extra)

    def start_tray(self):
        """A notification area (trayer) at the bottom edge of the screen."""
        self.tray = subprocess.Popen(
            ["trayer", "--edge", "bottom", "--align", "right", "--widthtype", "pixel",
             "--width", "120", "--height", "24", "--transparent", "false"],
            env=self.env(), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
            start_new_session=True)
        self.wait_for_window("panel", exact=False)

    def stop_tray(self):
        if self.tray and self.tray.poll() is None:
            self.tray.terminate()
            self.tray.wait()
        self.tray = None

    def position(self, window):
        out = self.xdotool("getwindowgeometry", window).stdout
        x, y = out.split("Position:")[1].split()[0].split(",")
        w, h = out.split("Geometry:")[1].split()[0].split("x")
        return int(x), int(y), int(w), int(h)

    def tray_icon(self, program):
        """The icon window a program has docked in the tray host."""
        panel = self.position(self.wait_for_window("panel", exact=False))
        end = time.monotonic() + DEADLINE
        while time.monotonic() < end:
            for window in self.xdotool("search", "--onlyvisible", "--classname", program).stdout.split():
                x, y, _, _ = self.position(window)
                if panel[0] <= x < panel[0] + panel[2] and panel[1] <= y < panel[1] + panel[3]:
                    return window
            time.sleep(0.2)
        raise Failure("%s has no icon in the tray" % program)

    def xdotool(self, *args):
        return subprocess.run(["xdotool", *args], env=self.env(), capture_output=True, text=True,
                              timeout=DEADLINE)

    def windows(self, title, exact=True, visible=True):
        pattern = "^" + title + "$" if exact else title
        args = ["search"] + (["--onlyvisible"] if visible else []) + ["--name", pattern]
        return self.xdotool(*args).stdout.split()

    def wait_for_window(self, title, exact=True, deadline=DEADLINE):
        end = time.monotonic() + deadline
        while time.monotonic() < end:
            found = self.windows(title, exact)
            if found:
                return found[0]
            time.sleep(0.1)
        raise Failure("no window titled " + title)

    def wait_gone(self, title, exact=True):
        end = time.monotonic() + DEADLINE
        while self.windows(title, exact):
            if time.monotonic() > end:
                raise Failure("the window %s stays" % title)
            time.sleep(0.1)

    def focus(self, window):
        self.xdotool("windowfocus", "--sync", window)
        time.sleep(0.3)

    def keys(self, *names):
        self.xdotool("key", "--delay", "50", *names)
        time.sleep(0.2)

    def click(self, window, x, y, button=1, repeat=1):
        self.xdotool("mousemove", "--window", window, str(x), str(y))
        self.xdotool("click", "--repeat", str(repeat), "--delay", "80", str(button))
        time.sleep(0.3)

    def type_text(self, text):
        self.xdotool("type", "--delay", "30", text)
        time.sleep(0.2)

    def clipboard(self):
        return subprocess.run(["xclip", "-o", "-selection", "clipboard"], env=self.env(),
                              capture_output=True, timeout=DEADLINE).stdout.decode("utf-8", "replace")

    def screenshot(self, path, window="root"):
        """The whole screen or one window as PNG, without time stamps, so that the same
        pixels give the same file."""
        os.makedirs(os.path.dirname(path), exist_ok=True)
        subprocess.run(["import", "-window", window, "-define", "png:exclude-chunks=date,time",
                        path], env=self.env(), check=True, timeout=DEADLINE)

    def pixels(self, window):
        """(width, height, RGB bytes) of a window as it shows now."""
        ppm = subprocess.run(["import", "-window", window, "-depth", "8", "ppm:-"],
                             env=self.env(), check=True, capture_output=True,
                             timeout=DEADLINE).stdout
        # "P6", width, height, 255, each followed by one blank; then the samples.
        fields, at = [], 0
        while len(fields) < 4:
            end = at
            while ppm[end:end + 1] not in (b" ", b"\n", b"\t", b"\r"):
                end += 1
            fields.append(ppm[at:end])
            at = end + 1
        return int(fields[1]), int(fields[2]), ppm[at:]

    def close(self):
        for p in (self.tray, self.xvfb):
            if p and p.poll() is None:
                p.terminate()
                p.wait()


def run_story(name, server, story):
    """Runs story(x, home) on a fresh display with a tray host, with the filled test server
    started and a temporary home folder; prints the outcome, exits 1 on a Failure, and
    stops the display and the server in every case."""
    x = None
    try:
        server.start()
        x = XSession()
        x.start_tray()
        with tempfile.TemporaryDirectory() as home:
            story(x, home)
        print("%s: ok" % name)
    except Failure as e:
        print("%s: FAIL: %s" % (name, e), file=sys.stderr)
        sys.exit(1)
    finally:
        if x:
            x.close()
        server.stop()
