#!/usr/bin/env python3
"""End-to-end self-update under Wine.

A copy of update_e2e_host.exe runs as Runwarden.exe from a scratch folder; the
running HTTP test server offers a newer build laid out by runwarden-publish.
Where a prompt comes, yes is answered in the real message box.
  update:  started in another folder beside a read-only Updating.tmp, it is
           replaced in its own folder and restarts with "-delete Updating.tmp".
  trickle: while the new program arrives slowly the window closes on request,
           leaving the old program in place.
  forged:  a signature made for another file leaves the folder as it was.
  older, baddescriptor, nokey: an older signed release, a descriptor whose
           signature does not match, a build without a key: no prompt, and the
           folder stays as it was.
"""
import os
import shutil
import struct
import subprocess
import sys
import zlib

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "gui"))
from gui_session import TestFailure, check, options, run_test, wait_until, write  # noqa: E402


LEFTOVER = b"an old program that could not be deleted"
RECORDS = struct.pack("<III", 1, 2, 0)  # a header-only RecData.dat: checksum 0 verifies


def snapshot(folder):
    return {name: open(os.path.join(folder, name), "rb").read() for name in sorted(os.listdir(folder))}


class E2E:
    def __init__(self, args, session):
        self.args, self.work, self.session = args, args.work, session
        self.port = int(open(os.path.join(args.state, "port")).read().split()[0])
        self.exe = open(args.exe, "rb").read()
        self.newer = self.exe + b"\0E2E-NEWER-BUILD\0"

    def publish(self, out, program, version=16):
        staged = os.path.join(self.work, "staged")
        write(os.path.join(staged, "Runwarden.exe"), program)
        write(os.path.join(staged, "notes.txt"), b"Runwarden 16\r\n- end-to-end test build")
        write(os.path.join(staged, "RecData.dat"), RECORDS)
        for args in (["release", "--program", os.path.join(staged, "Runwarden.exe"), "--version", str(version),
                      "--changelog", os.path.join(staged, "notes.txt")],
                     ["records", "--recdata", os.path.join(staged, "RecData.dat")]):
            subprocess.run([self.args.publish] + args + ["--out", out, "--key", self.args.key], check=True,
                           stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL)

    def answer_box(self, title, key, first=lambda: None):
        """Presses key in the message box with this title (after doing first), again if the press was lost."""
        box = wait_until('a "%s" box' % title, lambda: self.session.find_window(title))
        first()
        for _ in range(2):
            self.session.key(key, window=box)
            try:
                return wait_until("the box to go", lambda: not self.session.find_window(title), timeout=5)
            except TestFailure:
                pass
        raise TestFailure('the "%s" box stayed' % title)

    def scenario(self, name):
        """One run: the program's folder before and after, and the passes' final lines."""
        served = os.path.join(self.args.root, "e2e", name)
        update = os.path.join(served, "intern", "Runwarden")
        shutil.rmtree(served, ignore_errors=True)
        self.publish(served, self.newer, 14 if name == "older" else 16)
        # The restarted instance must find itself current: a signed descriptor of its own version.
        self.publish(served + "-current", self.newer, 15)
        if name == "forged":
            self.publish(served + "-old", self.exe)
            shutil.copyfile(os.path.join(served + "-old", "intern/Runwarden/x64/Runwarden.exe.sig"),
                            os.path.join(update, "x64", "Runwarden.exe.sig"))
        descriptor = os.path.join(update, "x64", "UpdateData.dat")
        if name == "baddescriptor":
            write(descriptor, struct.pack("<II", 17, zlib.crc32(self.newer)))
        write(os.path.join(served, "demos_tcl.txt"), b"records list\n")
        if name == "trickle":
            write(os.path.join(update, "x64", "Runwarden.exe.slow"), b"")
        app = os.path.join(self.work, name)
        write(os.path.join(app, "Runwarden.exe"), self.exe)
        write(os.path.join(app, "RecData.dat"), RECORDS)
        start_in = app + "-start" if name == "update" else app
        os.makedirs(start_in, exist_ok=True)
        if name == "update":
            write(os.path.join(app, "Updating.tmp"), LEFTOVER)
            os.chmod(os.path.join(app, "Updating.tmp"), 0o444)
        result = os.path.join(self.work, name + "-result.txt")
        base = "http://127.0.0.1:%d/e2e/%s" % (self.port, name)
        self.session.env.update(RW_E2E_SERVER=base, RW_E2E_RESULT="Z:" + result,
                                RW_E2E_NO_KEY="1" if name == "nokey" else "0")
        before = snapshot(app)
        program = "Z:" + os.path.join(app, "Runwarden.exe").replace("/", "\\")
        first = self.session._start(["wine", program], cwd=start_in)
        current = lambda: [shutil.copyfile(os.path.join(served + "-current", "intern/Runwarden/x64", f),
                                           os.path.join(update, "x64", f)) for f in ("UpdateData.dat", "UpdateData.dat.sig")]
        try:
            lines = []
            if name in ("update", "trickle", "forged"):
                self.answer_box("Software Update", "y", current)
            if name == "trickle":  # while the download runs the window closes on request
                download = "/e2e/%s/intern/Runwarden/x64/Runwarden.exe" % name
                wait_until("the download to start", lambda: download in open(
                    os.path.join(self.args.state, "requests.log"), encoding="utf-8").read())
                title = "Runwarden update test"
                self.session.key("alt+F4", window=wait_until("the window", lambda: self.session.find_window(title)))
                wait_until("the program to end", lambda: first.poll() is not None, timeout=20)
            else:
                if name == "update":
                    self.answer_box("Updateinfo", "Return")
                lines = wait_until("the final message", lambda: os.path.exists(result) and open(
                    result, encoding="utf-8").read().splitlines())
                first.wait(timeout=60)
                wait_until("Updating.tmp to go", lambda: not os.path.exists(os.path.join(app, "Updating.tmp")))
        finally:
            if first.poll() is None:
                first.kill()
                first.wait()
        return before, snapshot(app), lines

    def run(self):
        _, after, lines = self.scenario("update")
        check(lines == ["1\t-1\tUpdated Successfully"], "update: the restarted instance ended with %s" % lines)
        rest = [data for n, data in after.items() if n not in ("Runwarden.exe", "RecData.dat")]
        check(after["Runwarden.exe"] == self.newer and rest == [LEFTOVER], "update: folder holds %s" % sorted(after))
        check(os.listdir(os.path.join(self.work, "update-start")) == [], "update: files made in the start-in folder")
        before, after, _ = self.scenario("trickle")
        check(after == before, "trickle: the folder changed to %s" % sorted(after))
        for name, line in (("forged", "0\t-1\tUpdate Failed!"), ("older", "0\t0\t"),
                           ("baddescriptor", '0\t-1\tSignature error in file: "UpdateData.dat"'), ("nokey", "0\t0\t")):
            before, after, lines = self.scenario(name)
            check(lines == [line], "%s: expected %r, got %s" % (name, line, lines))
            check(after == before, "%s: folder changed to %s" % (name, sorted(after)))


def main():
    # --key: the private half of the host's release key; --root, --state: the HTTP test server's folders
    args = options(__doc__, "exe", "key", "publish", "root", "state", "work", "wine_setup")
    args.work = os.path.abspath(args.work)
    shutil.rmtree(args.work, ignore_errors=True)
    args.prefix, args.screenshots, args.wine = os.path.join(args.work, "wineprefix"), args.work, "wine"
    return run_test(args, "session", lambda session: E2E(args, session).run())


if __name__ == "__main__":
    sys.exit(main())
