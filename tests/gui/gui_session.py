"""Drives Runwarden.exe under Wine on a private virtual X server.

A Session starts Xvfb with openbox, runs Wine in a prefix of its own, serves the servers' files from the HTTP
test server and reads the window's pixels from screenshots. The GUI test, the end-to-end update test and
tools/run-gui.sh (the main program here) all run Wine through it.
"""
import argparse
import os
import subprocess
import sys
import time


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


def write(path, data):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)
    return path


class Panel:
    """A screenshot (binary PPM) of the window's client area, which is the window's X window."""

    def __init__(self, ppm):
        magic, size, _, self.rgb = ppm.split(b"\n", 3)
        check(magic == b"P6", "unexpected screenshot format")
        self.ppm, self.width = ppm, int(size.split()[0])

    def pixel(self, x, y):
        at = (y * self.width + x) * 3
        return tuple(self.rgb[at:at + 3])

    def region(self, x0, y0, x1, y1):
        """Pixels of the half-open rectangle [x0, x1) x [y0, y1)."""
        return [self.pixel(x, y) for y in range(y0, y1) for x in range(x0, x1)]


class Session:
    def __init__(self, args, name):
        self.args, self.name = args, name
        self.work = os.path.join(args.work, name)
        os.makedirs(self.work, exist_ok=True)
        os.makedirs(args.screenshots, exist_ok=True)
        self.procs = []  # everything started here, stopped in reverse
        self.display = self.app = self.server = self.window = None
        self.env = dict(os.environ, WINEPREFIX=args.prefix, WINEDEBUG="-all", WINEDLLOVERRIDES="mscoree,mshtml=")
        self.env.pop("DISPLAY", None)
        self.log = open(os.path.join(self.work, "session.log"), "ab")

    def _start(self, argv, **kw):
        proc = subprocess.Popen(argv, stdin=subprocess.DEVNULL, stdout=self.log, stderr=self.log, env=self.env,
                                start_new_session=True, **kw)
        self.procs.append(proc)
        return proc

    def run(self, *argv, timeout=120, output=True):
        """Exit code and standard output; output=False logs it (Wine leaves a daemon holding the pipe)."""
        out = subprocess.PIPE if output else self.log
        done = subprocess.run(argv, stdin=subprocess.DEVNULL, stdout=out, stderr=self.log, env=self.env,
                              timeout=timeout, cwd=self.work)
        return done.returncode, (done.stdout or b"").decode("utf-8", "replace")

    def xdotool(self, *args):
        return self.run("xdotool", *args)

    def wine(self, *args):
        return self.run(self.args.wine, *args, output=False)[0]

    def start_display(self):
        read, write = os.pipe()  # Xvfb picks a free display and writes its number once it is ready
        self._start(["Xvfb", "-displayfd", str(write), "-screen", "0", "1024x768x24", "-nolisten", "tcp"],
                    pass_fds=[write])
        os.close(write)
        with os.fdopen(read) as f:
            self.display = ":" + f.readline().strip()
        check(self.display != ":", "Xvfb did not start")
        self.env["DISPLAY"] = self.display
        for _ in range(3):
            wm = self._start(["openbox"])
            wait_until("the window manager", lambda: wm.poll() is not None or "window id" in self.run(
                "xprop", "-root", "_NET_SUPPORTING_WM_CHECK")[1], timeout=30)
            if wm.poll() is None:
                return
        raise TestFailure("openbox did not start")

    def prepare_prefix(self):
        # Also on a prefix made before: the setup mends its fonts.
        check(self.run(self.args.wine_setup, self.args.prefix, timeout=300, output=False)[0] == 0, "wine-setup failed")
        self.run("wineserver", "-k", output=False)  # start from a clean server so nothing of another display lingers

    def start_server(self, root):
        """The HTTP test server on the port the program was built for."""
        state = os.path.join(self.work, "server")
        port_file = os.path.join(state, "port")
        if os.path.exists(port_file):
            os.remove(port_file)
        self.server = self._start([sys.executable, self.args.server, "serve", "--root", root, "--state", state,
                                   "--port", str(self.args.port)])
        wait_until("the local server", lambda: os.path.exists(port_file) or self.server.poll() is not None, 30)
        check(self.server.poll() is None, "the local server did not start (port %d in use?)" % self.args.port)

    def find_window(self, title):
        return self.xdotool("search", "--onlyvisible", "--name", "^%s$" % title)[1].split("\n")[0]

    def start_app(self, exe=None, cwd=None):
        self.app = self._start([self.args.wine, exe or self.args.exe], cwd=cwd or self.work)
        self.window = wait_until("the main window", lambda: self.find_window("Runwarden"), timeout=90)

    def key(self, key, window=None):
        self.xdotool("windowfocus", "--sync", window or self.window)
        self.xdotool("key", key)

    def close_app(self):
        """Closes the window as a user would (Alt+F4) and returns the exit code."""
        self.key("alt+F4")
        wait_until("the program to end after Alt+F4", lambda: self.app.poll() is not None)
        return self.app.returncode

    def move_to(self, x, y):
        self.xdotool("mousemove", "--window", self.window, str(x), str(y))

    def click(self, x, y):
        self.move_to(x, y)
        self.xdotool("click", "1")

    def choose_file(self, windows_path):
        self.click(140, 386)  # "Check Demo"
        dialog = wait_until("the open-file dialog", lambda: self.find_window("Open cstrike demo"))
        self.key("alt+n", window=dialog)
        self.xdotool("type", "--delay", "20", windows_path)
        self.xdotool("key", "Return")
        wait_until("the dialog to close", lambda: not self.find_window("Open cstrike demo"))

    def grab(self):
        code, _ = self.run("import", "-window", self.window, "-depth", "8", os.path.join(self.work, "screen.ppm"))
        check(code == 0, "screenshot failed")
        with open(os.path.join(self.work, "screen.ppm"), "rb") as f:
            return Panel(f.read())

    def wait_panel(self, what, predicate, timeout=90):
        return wait_until(what, lambda: (lambda p: p if predicate(p) else None)(self.grab()), timeout, step=0.5)

    def keep(self, panel, state):
        path = os.path.join(self.args.screenshots, "%s_%s.ppm" % (self.name, state))
        write(path, panel.ppm)
        print("screenshot %s: %s" % (state, path))
        return panel

    def shutdown(self):
        for proc in reversed(self.procs):
            if proc.poll() is None:
                proc.kill()
                proc.wait()
        self.run("wineserver", "-k", output=False)
        self.log.close()


def options(doc, *names):
    """The command line: every option is required, --port is a number."""
    ap = argparse.ArgumentParser(description=doc, formatter_class=argparse.RawDescriptionHelpFormatter)
    for name in names:
        ap.add_argument("--" + name.replace("_", "-"), dest=name, required=True, type=int if name == "port" else str)
    return ap.parse_args()


def run_test(args, name, body):
    """Runs body(session) on a fresh display; a failed check ends it with a screenshot and exit code 1."""
    s = Session(args, name)
    try:
        s.prepare_prefix()
        s.start_display()
        body(s)
    except TestFailure as failure:
        try:
            s.keep(s.grab(), "failure")
        except Exception:  # the failure itself matters more
            pass
        print("FAILED: %s" % failure)
        return 1
    finally:  # anything else propagates with its traceback, after this
        s.shutdown()
    return 0


def main():
    """Serves --site on --port and opens --exe from --run on the display in DISPLAY, or on a
    virtual one whose screenshot is kept in --work; ends when the program does."""
    args = options(main.__doc__, "exe", "site", "run", "work", "prefix", "wine_setup", "server", "port")
    args.wine, args.screenshots = "wine", args.work
    s = Session(args, "session")
    try:
        s.prepare_prefix()
        if os.environ.get("DISPLAY"):
            s.display = s.env["DISPLAY"] = os.environ["DISPLAY"]
        else:
            s.start_display()
        s.start_server(args.site)
        print("Starting Runwarden.exe (servers at http://127.0.0.1:%d, working folder %s)." % (args.port, args.run))
        s.start_app(exe=args.exe, cwd=args.run)
        if not os.environ.get("DISPLAY"):
            time.sleep(2)
            s.keep(s.grab(), "screenshot")
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
