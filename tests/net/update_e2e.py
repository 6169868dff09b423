#!/usr/bin/env python3
"""End-to-end self-update under Wine.

A copy of update_e2e_host.exe runs as Runwarden.exe from a scratch folder and
talks to the running HTTP test server. The server offers a newer build (the
same program with a marker appended, its CRC-32 in UpdateData.dat, and its
signature, by the release key the host was built with, in Runwarden.exe.sig),
laid out by runwarden-publish release --key when --publish names it.

  update: the prompt is answered yes; the program must be replaced, restart
          with "-delete Updating.tmp", delete the old copy, show the change log
          and end with "Updated Successfully".
          It is started from another folder, as a shortcut with another
          "Start in" folder does: the update stays in the program's folder.
  crc:    the descriptor's CRC-32 is wrong; after yes the folder must be
          exactly as before and the pass must end with "Update Failed!".
  forged: the CRC-32 is right but Runwarden.exe.sig was made for another
          file; the same as crc.
  leftover: an "Updating.tmp" that cannot be deleted (read-only) is in the
          folder; the update must go through all the same.
  killed: the new program arrives slowly; while it downloads, the window
          refuses to close (Alt+F4), and a kill leaves the old program in place.

The prompts are answered with xdotool on the GUI tests' session (its own
Xvfb display, window manager and Wine prefix). Without
xdotool (or with --scripted), and always in leftover and killed, the program
answers from RW_E2E_ANSWER instead; the file moves, the download,
ShellExecuteW and the restart stay real.
"""
import argparse
import os
import shutil
import signal
import struct
import subprocess
import sys
import time
import types
import zlib

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "gui"))
from gui_session import Session, TestFailure  # noqa: E402

TIMEOUT = 60.0


class Failure(Exception):
    pass


def log(msg):
    print(msg, flush=True)


def snapshot(folder):
    files = {}
    for name in sorted(os.listdir(folder)):
        with open(os.path.join(folder, name), "rb") as f:
            files[name] = f.read()
    return files


def sign(key, data):
    """ECDSA P-256 over SHA-256 as the program takes it: the raw r||s."""
    der = subprocess.run(["openssl", "dgst", "-sha256", "-sign", key], input=data, check=True,
                         stdout=subprocess.PIPE).stdout
    at, out = 2 if der[1] < 0x80 else 3, b""
    for _ in range(2):
        n = der[at + 1]
        out += der[at + 2:at + 2 + n].lstrip(b"\0").rjust(32, b"\0")
        at += 2 + n
    return out


def describe(files):
    return {name: (len(data), zlib.crc32(data)) for name, data in files.items()}


class E2E:
    def __init__(self, args):
        self.args = args
        self.work = os.path.abspath(args.work)
        self.port = int(open(os.path.join(args.state, "port")).read().split()[0])
        self.session = None

    def xdo(self, *args):
        """xdotool's output split into words."""
        return self.session.xdotool(*args)[1].split()

    def answer_box(self, title, key, before_key=None):
        """Waits for a visible window with this title, focuses it, presses key."""
        deadline = time.monotonic() + TIMEOUT
        while time.monotonic() < deadline:
            found = self.xdo("search", "--onlyvisible", "--name", f"^{title}$")
            if found:
                if before_key:
                    before_key()
                self.xdo("windowfocus", "--sync", found[0])
                time.sleep(0.3)
                self.xdo("key", "--window", found[0], key)
                # The box must go away; press again if the key was lost.
                for _ in range(50):
                    time.sleep(0.1)
                    if found[0] not in self.xdo("search", "--onlyvisible", "--name", f"^{title}$"):
                        return
                self.xdo("windowfocus", "--sync", found[0])
                self.xdo("key", key)
                return
            time.sleep(0.2)
        raise Failure(f'no "{title}" window appeared')

    def setup(self):
        shutil.rmtree(self.work, ignore_errors=True)
        self.scripted = self.args.scripted or not shutil.which("xdotool")
        self.session = Session(types.SimpleNamespace(
            work=self.work, screenshots=os.path.join(self.work, "screenshots"), wine="wine",
            wine_setup=self.args.wine_setup, prefix=os.path.join(self.work, "wineprefix")), "session")
        self.session.prepare_prefix()
        self.session.start_display()
        self.env = self.session.env
        how = "through RW_E2E_ANSWER" if self.scripted else "with xdotool"
        log(f"display {self.env['DISPLAY']}, prompts answered {how}")

    def teardown(self):
        if self.session:
            self.session.shutdown()

    def scenario(self, name, good_crc, slow=False, leftover=None, elsewhere=False, during_download=None,
                 scripted=False, forged=False):
        """One run; scripted answers the prompt through the environment, with no boxes to press."""
        scripted = scripted or self.scripted
        exe = open(self.args.exe, "rb").read()
        newer = exe + b"\0E2E-NEWER-BUILD\0"
        served = os.path.join(self.args.root, "e2e", name)
        shutil.rmtree(served, ignore_errors=True)
        os.makedirs(os.path.join(served, "intern", "Runwarden", "x64"))
        records = struct.pack("<III", 1, 2, 0)  # a header-only RecData.dat: checksum 0 verifies
        changelog = b"Runwarden 16\r\n- end-to-end test build"
        files = {"intern/Runwarden/RecData.dat": records, "demos_tcl.txt": b"records list\n"}
        crc = zlib.crc32(newer)
        if self.args.publish:
            self.publish_release(served, newer, changelog)
        else:
            files.update({"intern/Runwarden/changelog.txt": changelog, "intern/Runwarden/x64/Runwarden.exe": newer,
                          "intern/Runwarden/x64/UpdateData.dat": struct.pack("<II", 16, crc),
                          "intern/Runwarden/x64/Runwarden.exe.sig": sign(self.args.key, newer)})
        if not good_crc:
            crc ^= 0x1
            files["intern/Runwarden/x64/UpdateData.dat"] = struct.pack("<II", 16, crc)
        if forged:
            files["intern/Runwarden/x64/Runwarden.exe.sig"] = sign(self.args.key, exe)
        if slow:
            files["intern/Runwarden/x64/Runwarden.exe.slow"] = b""
        for rel, data in files.items():
            with open(os.path.join(served, rel), "wb") as f:
                f.write(data)
        app = os.path.join(self.work, name)
        os.makedirs(app)
        with open(os.path.join(app, "Runwarden.exe"), "wb") as f:
            f.write(exe)
        # The records file lives in the folder the program is started in.
        start_in = os.path.join(self.work, name + "-start") if elsewhere else app
        os.makedirs(start_in, exist_ok=True)
        with open(os.path.join(start_in, "RecData.dat"), "wb") as f:
            f.write(records)
        if leftover is not None:
            path = os.path.join(app, "Updating.tmp")
            with open(path, "wb") as f:
                f.write(leftover)
            os.chmod(path, 0o444)
        result = os.path.join(self.work, name + "-result.txt")
        base = f"http://127.0.0.1:{self.port}/e2e/{name}"
        env = dict(self.env, RW_E2E_UPDATE_FOLDER=base + "/intern/Runwarden/",
                   RW_E2E_RECORDS_URL=base + "/intern/Runwarden/RecData.dat", RW_E2E_LIST_URL=base + "/demos_tcl.txt",
                   RW_E2E_RESULT="Z:" + result)
        if scripted:
            env["RW_E2E_ANSWER"] = "yes"  # the restarted instance declines instead
        if during_download:
            env["RW_E2E_SHOW_WINDOW"] = "1"
        before = snapshot(app)

        # The second instance must find the version it now is on the server.
        def publish_current():
            with open(os.path.join(served, "intern/Runwarden/x64/UpdateData.dat"), "wb") as f:
                f.write(struct.pack("<II", 15, crc))

        program = "Z:" + os.path.join(app, "Runwarden.exe").replace("/", "\\")
        first = subprocess.Popen(["wine", program], cwd=start_in, env=env, stdin=subprocess.DEVNULL,
                                 stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        try:
            if during_download:
                download = f"/e2e/{name}/intern/Runwarden/x64/Runwarden.exe"
                log_path = os.path.join(self.args.state, "requests.log")
                self.wait_for(lambda: download in open(log_path, encoding="utf-8").read(), "the download to start")
                during_download(first)
                return before, app, [], newer
            if not scripted:
                self.answer_box("Software Update", "y", before_key=publish_current if good_crc else None)
                if good_crc:
                    self.answer_box("Updateinfo", "Return")
            lines = self.wait_for(lambda: open(result, encoding="utf-8").read().splitlines()
                                  if os.path.exists(result) else None, "the final message")
            first.wait(timeout=TIMEOUT)
        finally:
            if first.poll() is None:
                first.kill()
        return before, app, lines, newer

    def publish_release(self, served, program, changelog):
        """runwarden-publish release --key: the program, its signature, the change log, the descriptor."""
        staged = os.path.join(self.work, "staged")
        shutil.rmtree(staged, ignore_errors=True)
        os.makedirs(staged)
        for name, data in (("Runwarden.exe", program), ("notes.txt", changelog)):
            with open(os.path.join(staged, name), "wb") as f:
                f.write(data)
        subprocess.run([self.args.publish, "release", "--program", os.path.join(staged, "Runwarden.exe"),
                        "--version", "16", "--changelog", os.path.join(staged, "notes.txt"), "--out", served,
                        "--key", self.args.key], check=True, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL)

    def wait_for(self, probe, what):
        deadline = time.monotonic() + TIMEOUT
        while time.monotonic() < deadline:
            value = probe()
            if value:
                return value
            time.sleep(0.1)
        raise Failure(f"timed out waiting for {what}")

    def refuse_close_then_kill(self, process):
        """While the download runs: a close from the user is refused; then the process is killed."""
        time.sleep(1.0)
        if shutil.which("xdotool"):
            title = "^Runwarden update test$"
            found = self.xdo("search", "--onlyvisible", "--name", title)
            if not found:
                raise Failure("killed: no program window while downloading")
            self.xdo("windowfocus", "--sync", found[0])
            self.xdo("key", "alt+F4")
            time.sleep(2.0)
            if process.poll() is not None or not self.xdo("search", "--onlyvisible", "--name", title):
                raise Failure("killed: the window closed while the update was downloading")
        process.kill()
        process.wait(timeout=TIMEOUT)

    def expect_updated(self, name, lines, app, newer, leftover=None):
        log(f"{name}: {lines}")
        if lines != ["1\t-1\tUpdated Successfully"]:
            raise Failure(f"{name}: expected one restarted instance ending in 'Updated Successfully', got {lines}")
        self.wait_for(lambda: not os.path.exists(os.path.join(app, "Updating.tmp")), "Updating.tmp to go")
        after = snapshot(app)
        rest = {n for n, data in after.items() if n not in ("Runwarden.exe", "RecData.dat") and data != leftover}
        if after.get("Runwarden.exe") != newer or rest or (leftover is not None and leftover not in after.values()):
            raise Failure(f"{name}: folder holds {describe(after)}")

    def run(self):
        self.setup()
        try:
            before, app, lines, newer = self.scenario("update", good_crc=True, elsewhere=True)
            self.expect_updated("update", lines, app, newer)
            start_in = snapshot(app + "-start")
            if set(start_in) != {"RecData.dat"}:
                raise Failure(f"update: the start-in folder holds {describe(start_in)}")

            leftover = b"an old program that could not be deleted"
            before, app, lines, newer = self.scenario("leftover", good_crc=True, leftover=leftover, scripted=True)
            self.expect_updated("leftover", lines, app, newer, leftover=leftover)

            before, app, _, _ = self.scenario("killed", good_crc=True, slow=True, scripted=True,
                                              during_download=self.refuse_close_then_kill)
            after = snapshot(app)
            log(f"killed: {describe(after)}")
            if after["Runwarden.exe"] != before["Runwarden.exe"] or "Updating.tmp" in after:
                raise Failure(f"killed: the old program is not in its place: {describe(after)}")

            for name, good_crc, forged in (("crc", False, False), ("forged", True, True)):
                before, app, lines, _ = self.scenario(name, good_crc=good_crc, forged=forged, scripted=forged)
                log(f"{name}: {lines}")
                if lines != ["0\t-1\tUpdate Failed!"]:
                    raise Failure(f"{name}: expected 'Update Failed!', got {lines}")
                after = snapshot(app)
                if after != before:
                    raise Failure(f"{name}: folder changed from {describe(before)} to {describe(after)}")
        finally:
            self.teardown()
        log("5 passed, 0 failed")
        return 0


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--exe", required=True, help="update_e2e_host.exe")
    ap.add_argument("--key", required=True, help="private half of the release key the host was built with")
    ap.add_argument("--publish", help="runwarden-publish, to lay out each release as a publisher does")
    ap.add_argument("--root", required=True, help="folder the HTTP test server serves")
    ap.add_argument("--state", required=True, help="state folder of the HTTP test server")
    ap.add_argument("--work", required=True, help="scratch folder (emptied)")
    ap.add_argument("--wine-setup", required=True, help="tools/wine-setup.sh")
    ap.add_argument("--scripted", action="store_true", help="answer prompts through the environment")
    args = ap.parse_args()
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(1))
    try:
        return E2E(args).run()
    except (Failure, TestFailure) as e:
        print(f"FAILED: {e}", file=sys.stderr)
        return 1


if __name__ == "__main__":
    sys.exit(main())
