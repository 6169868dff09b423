"""Drives Runwarden.exe under Wine on a private virtual X server.

A Session starts Xvfb on a free display with openbox as window manager, runs
Wine in the GUI tests' own prefix, serves the update and records-list files
from a local http.server, takes screenshots (kept as PNG files) and reads
their pixels relative to the window's client area.
"""
import os
import struct
import subprocess
import sys
import time
import zlib

PANEL_W, PANEL_H = 280, 410  # at 96 DPI


def scale_to_dpi(length, dpi):
    """A length of the panel at 96 DPI drawn at dpi, halves rounded up."""
    return (length * dpi + 48) // 96


class TestFailure(Exception):
    pass


def check(condition, message):
    if not condition:
        raise TestFailure(message)


def wait_until(what, predicate, timeout=60.0, step=0.25):
    """Polls predicate until it returns a true value; no timing is asserted."""
    deadline = time.monotonic() + timeout
    while True:
        value = predicate()
        if value:
            return value
        if time.monotonic() > deadline:
            raise TestFailure("gave up waiting for " + what)
        time.sleep(step)


class Image:
    def __init__(self, width, height, rgb):
        self.width, self.height, self.rgb = width, height, rgb

    @staticmethod
    def from_ppm(data):
        parts = []
        at = 0
        while len(parts) < 4:
            while data[at:at + 1].isspace():
                at += 1
            if data[at:at + 1] == b"#":
                at = data.index(b"\n", at)
                continue
            end = at
            while not data[end:end + 1].isspace():
                end += 1
            parts.append(data[at:end])
            at = end
        check(parts[0] == b"P6" and parts[3] == b"255", "unexpected screenshot format")
        width, height = int(parts[1]), int(parts[2])
        return Image(width, height, data[at + 1:at + 1 + width * height * 3])

    def pixel(self, x, y):
        at = (y * self.width + x) * 3
        return tuple(self.rgb[at:at + 3])

    def write_png(self, path):
        raw = b"".join(b"\x00" + self.rgb[y * self.width * 3:(y + 1) * self.width * 3] for y in range(self.height))

        def chunk(kind, body):
            return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF)

        with open(path, "wb") as f:
            f.write(b"\x89PNG\r\n\x1a\n")
            f.write(chunk(b"IHDR", struct.pack(">IIBBBBB", self.width, self.height, 8, 2, 0, 0, 0)))
            f.write(chunk(b"IDAT", zlib.compress(raw, 6)))
            f.write(chunk(b"IEND", b""))


class Panel:
    """A screenshot seen from the window's client area, drawn at dpi."""

    def __init__(self, image, origin, dpi=96):
        self.image, (self.ox, self.oy), self.dpi = image, origin, dpi

    def px(self, length):
        return scale_to_dpi(length, self.dpi)

    def pixel(self, x, y):
        return self.image.pixel(self.ox + x, self.oy + y)

    def region(self, x0, y0, x1, y1):
        """Pixels of the half-open rectangle [x0, x1) x [y0, y1)."""
        return [self.pixel(x, y) for y in range(y0, y1) for x in range(x0, x1)]

    def scaled_region(self, x0, y0, x1, y1):
        """The pixels of a rectangle given at 96 DPI."""
        return self.region(self.px(x0), self.px(y0), self.px(x1), self.px(y1))


def find_panel_origin(image, dpi=96):
    """The client area's top-left corner, found by the black fade line at y 40:
    at 96 DPI 4 at column 78, 0 from 79 to 199, 4 at 200, with the same line at
    y 362; at other DPIs the same scaled."""
    n, width = scale_to_dpi(80, dpi), scale_to_dpi(PANEL_W, dpi)
    edge, below = fade(n - 2, n, 0, width), scale_to_dpi(362, dpi) - scale_to_dpi(40, dpi)
    pattern = bytes([edge] * 3) + b"\x00" * ((width - 2 * n + 1) * 3) + bytes([edge] * 3)
    for y in range(image.height - below):
        row = image.rgb[y * image.width * 3:(y + 1) * image.width * 3]
        start = 0
        while True:
            at = row.find(pattern, start)
            if at < 0:
                break
            if at % 3 == 0:
                x = at // 3 - (n - 2)
                if (x >= 0 and image.pixel(x + n + 20, y + below) == (0, 0, 0)
                        and image.pixel(x + n - 2, y + below) == (edge,) * 3):
                    return x, y - scale_to_dpi(40, dpi)
            start = at + 1
    return None


def read_bmp(path):
    """The background picture's pixels as rows of (r, g, b), top row first."""
    data = open(path, "rb").read()
    offset, = struct.unpack_from("<I", data, 10)
    width, height = struct.unpack_from("<ii", data, 18)
    stride = (width * 3 + 3) & ~3
    rows = []
    for y in range(height):
        base = offset + (height - 1 - y) * stride
        rows.append([(data[base + 3 * x + 2], data[base + 3 * x + 1], data[base + 3 * x]) for x in range(width)])
    return rows


def fade(x, n, c, width=PANEL_W):
    """A fade line's colour component at column x (0 to width - 2)."""
    if x <= n - 2:
        return 255 - ((x + 1) * (255 - c)) // n
    if x >= width - n:
        return 255 - ((width - 1 - x) * (255 - c)) // n
    return c


def band(below, source=252):
    return (150 * source + 105 * below) / 255.0


class Session:
    def __init__(self, args, name, dpi=96):
        self.args = args
        self.name = name
        self.dpi = dpi  # the prefix's LogPixels while this session runs
        self.work = os.path.join(args.work, name)
        self.shots = args.screenshots
        os.makedirs(self.work, exist_ok=True)
        os.makedirs(self.shots, exist_ok=True)
        self.procs = []  # (name, Popen) of everything started here, stopped in reverse
        self.display = None
        self.app = None
        self.server = None
        self.env = dict(os.environ, WINEPREFIX=args.prefix, WINEDEBUG="-all",
                        WINEDLLOVERRIDES="mscoree,mshtml=")
        self.env.pop("DISPLAY", None)
        self.log = open(os.path.join(self.work, "session.log"), "ab")
        self.picture = read_bmp(args.picture)

    # --- processes -------------------------------------------------------
    def _start(self, name, argv, **kw):
        proc = subprocess.Popen(argv, stdin=subprocess.DEVNULL, stdout=self.log, stderr=self.log,
                                env=kw.pop("env", self.env), start_new_session=True, **kw)
        self.procs.append((name, proc))
        return proc

    def start_display(self):
        for n in range(70 + os.getpid() % 50, 400):
            if os.path.exists("/tmp/.X11-unix/X%d" % n) or os.path.exists("/tmp/.X%d-lock" % n):
                continue
            xvfb = self._start("Xvfb", ["Xvfb", ":%d" % n, "-screen", "0", "1024x768x24", "-nolisten", "tcp"])
            deadline = time.monotonic() + 15
            while xvfb.poll() is None and time.monotonic() < deadline:
                if os.path.exists("/tmp/.X11-unix/X%d" % n):
                    self.display = ":%d" % n
                    self.env["DISPLAY"] = self.display
                    # The socket appears before the server answers.
                    wait_until("the X server", lambda: self._succeeds(["xprop", "-root"]), timeout=30)
                    self._start_window_manager()
                    return
                time.sleep(0.1)
            self.procs.remove(("Xvfb", xvfb))
            if xvfb.poll() is None:
                xvfb.kill()
        raise TestFailure("no free X display")

    def _start_window_manager(self):
        for _ in range(3):
            wm = self._start("openbox", ["openbox"])
            try:
                wait_until("the window manager", lambda: wm.poll() is not None or self._run_quiet(
                    ["xprop", "-root", "_NET_SUPPORTING_WM_CHECK"]).find("window id") >= 0, timeout=30)
            except TestFailure:
                pass
            if wm.poll() is None:
                return
        raise TestFailure("openbox did not start")

    def _succeeds(self, argv):
        return subprocess.run(argv, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                              env=self.env, timeout=60).returncode == 0

    def _run_quiet(self, argv, timeout=60):
        done = subprocess.run(argv, stdin=subprocess.DEVNULL, capture_output=True, env=self.env, timeout=timeout)
        return done.stdout.decode("utf-8", "replace")

    def xdotool(self, *args, timeout=60):
        done = subprocess.run(["xdotool", *args], stdin=subprocess.DEVNULL, capture_output=True, env=self.env,
                              timeout=timeout)
        return done.returncode, done.stdout.decode().strip()

    def wine(self, *args, timeout=120):
        done = subprocess.run([self.args.wine, *args], stdin=subprocess.DEVNULL, stdout=self.log, stderr=self.log,
                              env=self.env, timeout=timeout, cwd=self.work)
        return done.returncode

    def prepare_prefix(self):
        if not os.path.isdir(os.path.join(self.args.prefix, "drive_c", "windows")):
            subprocess.run([self.args.wine_setup, self.args.prefix], stdin=subprocess.DEVNULL, stdout=self.log,
                           stderr=self.log, env=self.env, timeout=300, check=True)
        # Every session sets the DPI, so none inherits another's.
        check(self.wine("reg", "add", r"HKCU\Control Panel\Desktop", "/v", "LogPixels", "/t", "REG_DWORD", "/d",
                        str(self.dpi), "/f") == 0, "could not set the DPI")
        # Start from a clean server so nothing of another display lingers.
        subprocess.run(["wineserver", "-k"], stdin=subprocess.DEVNULL, stdout=self.log, stderr=self.log,
                       env=self.env, timeout=60)

    def set_archiver(self, folder):
        key = r"HKCU\Software\WinRAR SFX"
        if folder is None:
            self.wine("reg", "delete", key, "/f")
        else:
            check(self.wine("reg", "add", key, "/v", "C%%Program Files%WinRAR", "/t", "REG_SZ", "/d", folder,
                            "/f") == 0, "could not register the archiver")

    def set_browser(self, script):
        check(self.wine("reg", "add", r"HKCU\Software\Wine\WineBrowser", "/v", "Browsers", "/d", script, "/f") == 0,
              "could not register the browser")

    # --- the local servers -------------------------------------------------
    def start_server(self, root, hold=False):
        ready = os.path.join(self.work, "server.ready")
        if os.path.exists(ready):
            os.remove(ready)
        argv = [sys.executable, self.args.server, root, str(self.args.port), ready,
                "--log", os.path.join(self.work, "server.log")]
        if hold:
            self.gate = os.path.join(self.work, "server.gate")
            argv += ["--hold", "/", "--gate", self.gate]
        self.server = self._start("server", argv)
        wait_until("the local server", lambda: os.path.exists(ready) or self.server.poll() is not None, timeout=30)
        check(self.server.poll() is None, "the local server did not start (port %d in use?)" % self.args.port)

    def stop_server(self):
        if self.server and self.server.poll() is None:
            self.server.kill()
            self.server.wait()

    # --- the program -------------------------------------------------------
    def start_app(self):
        self.app = self._start("Runwarden", [self.args.wine, self.args.exe], cwd=self.work)
        self.window = wait_until("the main window", lambda: self.xdotool(
            "search", "--onlyvisible", "--name", "^Runwarden$")[1].split("\n")[0], timeout=90)

    def close_app(self):
        """Closes the window as a user would (Alt+F4) and returns the exit code."""
        self.xdotool("windowfocus", "--sync", self.window)
        self.xdotool("key", "alt+F4")
        try:
            return self.app.wait(timeout=60)
        except subprocess.TimeoutExpired:
            raise TestFailure("the program did not end after Alt+F4")

    def click(self, x, y):
        self.move_to(x, y)
        self.xdotool("click", "1")

    def move_to(self, x, y):
        """To the point (x, y) of the panel at 96 DPI."""
        self.xdotool("mousemove", "--window", self.window, str(scale_to_dpi(x, self.dpi)),
                     str(scale_to_dpi(y, self.dpi)))

    def client_size(self):
        """The size of the window's client area, which is its X window."""
        lines = self.xdotool("getwindowgeometry", "--shell", self.window)[1].split("\n")
        values = dict(line.split("=", 1) for line in lines if "=" in line)
        return int(values.get("WIDTH", -1)), int(values.get("HEIGHT", -1))

    def choose_file(self, windows_path):
        """Clicks "Check Demo" and picks a file in the open-file dialog."""
        self.click(140, 386)
        dialog = wait_until("the open-file dialog", lambda: self.xdotool(
            "search", "--onlyvisible", "--name", "^Open cstrike demo$")[1].split("\n")[0], timeout=60)
        self.xdotool("windowfocus", "--sync", dialog)
        self.xdotool("key", "alt+n")
        self.xdotool("type", "--delay", "20", windows_path)
        self.xdotool("key", "Return")
        wait_until("the dialog to close", lambda: not self.xdotool(
            "search", "--onlyvisible", "--name", "^Open cstrike demo$")[1], timeout=60)

    # --- screenshots -------------------------------------------------------
    def grab(self):
        done = subprocess.run(["import", "-window", "root", "-depth", "8", "ppm:-"], stdin=subprocess.DEVNULL,
                              capture_output=True, env=self.env, timeout=60)
        check(done.returncode == 0, "screenshot failed")
        image = Image.from_ppm(done.stdout)
        origin = find_panel_origin(image, self.dpi)
        return Panel(image, origin, self.dpi) if origin else None

    def wait_panel(self, what, predicate, timeout=90):
        """Screenshots until the panel shows what predicate looks for."""
        def attempt():
            panel = self.grab()
            return panel if panel and predicate(panel) else None
        return wait_until(what, attempt, timeout=timeout, step=0.5)

    def keep(self, panel, state):
        path = os.path.join(self.shots, "%s_%s.png" % (self.name, state))
        panel.image.write_png(path)
        print("screenshot %s: %s" % (state, path))
        return path

    def shutdown(self):
        for name, proc in reversed(self.procs):
            if proc.poll() is None:
                proc.kill()
                try:
                    proc.wait(timeout=30)
                except subprocess.TimeoutExpired:
                    pass
        subprocess.run(["wineserver", "-k"], stdin=subprocess.DEVNULL, stdout=self.log, stderr=self.log,
                       env=self.env, timeout=60)
        self.log.close()
