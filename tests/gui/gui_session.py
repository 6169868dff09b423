"""Drives Runwarden.exe under Wine on a private virtual X server.

A Session starts Xvfb on a free display with openbox as window manager, runs
Wine in a prefix of its own, serves the update and records-list files from
the HTTP test server, takes screenshots (kept as PNG files) and reads their
pixels relative to the window's client area. The GUI tests, the end-to-end
update test and tools/run-gui.sh all run Wine through it.

Run as a program, it opens the program for a person to use (run-gui.sh):

    gui_session.py --exe EXE --site DIR --port N --run DIR --work DIR ...
"""
import argparse
import ctypes
import os
import struct
import subprocess
import sys
import time
import urllib.parse
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


class XEvent(ctypes.Union):
    """The parts of Xlib's XEvent the drag uses (64-bit layouts)."""

    class ClientMessage(ctypes.Structure):
        _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong), ("send_event", ctypes.c_int),
                    ("display", ctypes.c_void_p), ("window", ctypes.c_ulong), ("message_type", ctypes.c_ulong),
                    ("format", ctypes.c_int), ("l", ctypes.c_long * 5)]

    class SelectionRequest(ctypes.Structure):
        _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong), ("send_event", ctypes.c_int),
                    ("display", ctypes.c_void_p), ("owner", ctypes.c_ulong), ("requestor", ctypes.c_ulong),
                    ("selection", ctypes.c_ulong), ("target", ctypes.c_ulong), ("property", ctypes.c_ulong),
                    ("time", ctypes.c_ulong)]

    class Selection(ctypes.Structure):
        _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong), ("send_event", ctypes.c_int),
                    ("display", ctypes.c_void_p), ("requestor", ctypes.c_ulong), ("selection", ctypes.c_ulong),
                    ("target", ctypes.c_ulong), ("property", ctypes.c_ulong), ("time", ctypes.c_ulong)]

    _fields_ = [("type", ctypes.c_int), ("client", ClientMessage), ("request", SelectionRequest),
                ("selection", Selection), ("pad", ctypes.c_long * 24)]


CLIENT_MESSAGE, SELECTION_REQUEST, SELECTION_NOTIFY = 33, 30, 31


def xdnd_drop(display, target, root_x, root_y, paths):
    """Drags files from an X client of our own onto an X window and drops them
    there, as a Linux file manager does: the XDND protocol, version 5, with the
    files offered as text/uri-list."""
    x = ctypes.cdll.LoadLibrary("libX11.so.6")
    x.XOpenDisplay.restype = ctypes.c_void_p
    x.XOpenDisplay.argtypes = [ctypes.c_char_p]
    x.XDefaultRootWindow.restype = ctypes.c_ulong
    x.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
    x.XCreateSimpleWindow.restype = ctypes.c_ulong
    x.XCreateSimpleWindow.argtypes = [ctypes.c_void_p, ctypes.c_ulong] + [ctypes.c_int] * 4 + [ctypes.c_uint] + [
        ctypes.c_ulong] * 2
    x.XInternAtom.restype = ctypes.c_ulong
    x.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
    x.XSetSelectionOwner.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_ulong, ctypes.c_ulong]
    x.XSendEvent.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_long, ctypes.c_void_p]
    x.XChangeProperty.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_ulong, ctypes.c_ulong, ctypes.c_int,
                                  ctypes.c_int, ctypes.c_char_p, ctypes.c_int]
    for name in ("XFlush", "XPending", "XCloseDisplay"):
        getattr(x, name).argtypes = [ctypes.c_void_p]
    x.XNextEvent.argtypes = [ctypes.c_void_p, ctypes.c_void_p]
    x.XDestroyWindow.argtypes = [ctypes.c_void_p, ctypes.c_ulong]

    dpy = x.XOpenDisplay(display.encode())
    check(dpy, "cannot open the display for the drag")
    atom = {n: x.XInternAtom(dpy, n.encode(), 0) for n in (
        "XdndAware", "XdndSelection", "XdndEnter", "XdndPosition", "XdndStatus", "XdndDrop", "XdndFinished",
        "XdndLeave", "XdndActionCopy", "text/uri-list")}
    source = x.XCreateSimpleWindow(dpy, x.XDefaultRootWindow(dpy), 0, 0, 1, 1, 0, 0, 0)
    uris = "".join("file://%s\r\n" % urllib.parse.quote(p) for p in paths).encode()
    x.XSetSelectionOwner(dpy, atom["XdndSelection"], source, 0)

    def send(kind, *data):
        event = XEvent()
        m = event.client
        m.type, m.window, m.message_type, m.format = CLIENT_MESSAGE, target, atom[kind], 32
        m.l[0] = source
        for i, value in enumerate(data):
            m.l[i + 1] = value
        x.XSendEvent(dpy, target, 0, 0, ctypes.byref(event))
        x.XFlush(dpy)

    def serve(until, timeout=30.0):
        """Answers requests for the files until a message of kind `until` comes; its data."""
        deadline = time.monotonic() + timeout
        event = XEvent()
        while time.monotonic() < deadline:
            if not x.XPending(dpy):
                time.sleep(0.005)
                continue
            x.XNextEvent(dpy, ctypes.byref(event))
            if event.type == SELECTION_REQUEST:
                r = event.request
                reply = XEvent()
                n = reply.selection
                n.type, n.requestor, n.selection, n.target, n.time = (SELECTION_NOTIFY, r.requestor, r.selection,
                                                                      r.target, r.time)
                n.property = 0
                if r.target == atom["text/uri-list"]:
                    x.XChangeProperty(dpy, r.requestor, r.property, r.target, 8, 0, uris, len(uris))
                    n.property = r.property
                x.XSendEvent(dpy, r.requestor, 0, 0, ctypes.byref(reply))
                x.XFlush(dpy)
            elif event.type == CLIENT_MESSAGE and event.client.message_type == atom[until]:
                return list(event.client.l)
        raise TestFailure("no %s from the drop target" % until)

    try:
        send("XdndEnter", 5 << 24, atom["text/uri-list"], 0, 0)
        send("XdndPosition", 0, (root_x << 16) | root_y, 0, atom["XdndActionCopy"])
        status = serve("XdndStatus")
        accepted = bool(status[1] & 1)
        if accepted:
            send("XdndDrop", 0, 0)
            serve("XdndFinished")
        else:
            send("XdndLeave")
        return accepted
    finally:
        x.XDestroyWindow(dpy, source)
        x.XCloseDisplay(dpy)


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
        self.picture = read_bmp(args.picture) if getattr(args, "picture", None) else None

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

    def wine_output(self, *args, timeout=120):
        """Runs a Windows program and returns what it wrote to its standard output."""
        done = subprocess.run([self.args.wine, *args], stdin=subprocess.DEVNULL, capture_output=True, env=self.env,
                              timeout=timeout, cwd=self.work)
        self.log.write(done.stderr)
        return done.returncode, done.stdout.decode("utf-8", "replace")

    def clipboard(self):
        """The X clipboard's text, which Wine's clipboard is; None when it holds none."""
        done = subprocess.run(["xclip", "-o", "-selection", "clipboard"], stdin=subprocess.DEVNULL,
                              capture_output=True, env=self.env, timeout=60)
        return done.stdout.decode("utf-8", "replace") if done.returncode == 0 else None

    def set_clipboard(self, text):
        """Puts text on the X clipboard, from an xclip that serves it until another owner takes over."""
        subprocess.run(["xclip", "-selection", "clipboard", "-i"], input=text.encode(), env=self.env, timeout=60,
                       check=True)
        wait_until("the text on the clipboard", lambda: self.clipboard() == text)

    def key(self, *keys):
        """Keys pressed with the main window focused."""
        self.xdotool("windowfocus", "--sync", self.window)
        for k in keys:
            self.xdotool("key", k)

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
        """The HTTP test server on the port the program was built for; hold keeps requests unanswered."""
        state = os.path.join(self.work, "server")
        port_file = os.path.join(state, "port")
        if os.path.exists(port_file):
            os.remove(port_file)
        argv = [sys.executable, self.args.server, "serve", "--root", root, "--state", state,
                "--port", str(self.args.port)] + (["--hold"] if hold else [])
        self.server = self._start("server", argv)
        wait_until("the local server", lambda: os.path.exists(port_file) or self.server.poll() is not None, timeout=30)
        check(self.server.poll() is None, "the local server did not start (port %d in use?)" % self.args.port)

    def stop_server(self):
        if self.server and self.server.poll() is None:
            self.server.kill()
            self.server.wait()

    # --- the program -------------------------------------------------------
    def start_app(self, *args, exe=None, cwd=None):
        self.app = self._start("Runwarden", [self.args.wine, exe or self.args.exe, *args], cwd=cwd or self.work)
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

    def drop(self, *paths, x=140, y=200):
        """Drags files (Linux paths) onto the panel at (x, y) and drops them; False when the window refuses them."""
        panel = self.grab()
        check(panel, "the panel is on the screen")
        return xdnd_drop(self.display, int(self.window), panel.ox + x, panel.oy + y, paths)

    def choose_file(self, windows_path, open_dialog=None):
        """Clicks "Check Demo" (or does what open_dialog does) and picks a file in the open-file dialog."""
        (open_dialog or (lambda: self.click(140, 386)))()
        dialog = wait_until("the open-file dialog", lambda: self.xdotool(
            "search", "--onlyvisible", "--name", "^Open cstrike demo$")[1].split("\n")[0], timeout=60)
        self.xdotool("windowfocus", "--sync", dialog)
        self.xdotool("key", "alt+n")
        self.xdotool("type", "--delay", "20", windows_path)
        self.xdotool("key", "Return")
        wait_until("the dialog to close", lambda: not self.xdotool(
            "search", "--onlyvisible", "--name", "^Open cstrike demo$")[1], timeout=60)

    # --- screenshots -------------------------------------------------------
    def screenshot(self):
        done = subprocess.run(["import", "-window", "root", "-depth", "8", "ppm:-"], stdin=subprocess.DEVNULL,
                              capture_output=True, env=self.env, timeout=60)
        check(done.returncode == 0, "screenshot failed")
        return Image.from_ppm(done.stdout)

    def grab(self):
        image = self.screenshot()
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


def main():
    """Serves --site on --port and opens --exe from --run on the display in DISPLAY, or on a
    virtual one whose screenshot is kept in --work; ends when the program does."""
    ap = argparse.ArgumentParser(description=main.__doc__)
    for name in ("exe", "site", "run", "work", "prefix", "wine_setup", "server"):
        ap.add_argument("--" + name.replace("_", "-"), dest=name, required=True)
    ap.add_argument("--port", type=int, required=True)
    args = ap.parse_args()
    args.wine, args.screenshots = "wine", args.work
    s = Session(args, "session")
    try:
        s.prepare_prefix()
        if os.environ.get("DISPLAY"):
            s.display = s.env["DISPLAY"] = os.environ["DISPLAY"]
        else:
            s.start_display()
            print("No DISPLAY: using the virtual X server %s." % s.display)
        s.start_server(args.site)
        print("Starting Runwarden.exe (records server http://127.0.0.1:%d, working folder %s)." % (args.port,
                                                                                                    args.run))
        s.start_app(exe=args.exe, cwd=args.run)
        if not os.environ.get("DISPLAY"):
            time.sleep(2)
            shot = os.path.join(args.work, "screenshot.png")
            s.screenshot().write_png(shot)
            print("Screenshot: %s" % shot)
            print("Close it with: DISPLAY=%s xdotool search --name '^Runwarden$' windowfocus key alt+F4" % s.display)
        s.app.wait()
    except TestFailure as failure:
        print("run-gui: %s" % failure, file=sys.stderr)
        return 1
    except KeyboardInterrupt:
        pass
    finally:
        s.shutdown()
    return 0


if __name__ == "__main__":
    sys.exit(main())
