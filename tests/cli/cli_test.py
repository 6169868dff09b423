#!/usr/bin/env python3
"""Runs runwarden-check for real: on the bundled sample, on the real demos,
on rejected files and on folders. Usage: cli_test.py --demos DIR --examples DIR -- PROGRAM..."""
import argparse
import functools
import http.server
import json
import os
import shutil
import subprocess
import sys
import tempfile
import threading
import unittest

ARGS = None


def run(*args, cwd=None):
    p = subprocess.run(ARGS.program + list(args), cwd=cwd, stdin=subprocess.DEVNULL,
                       stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=240)
    return p.returncode, p.stdout.decode("utf-8", "replace").replace("\r\n", "\n"), \
        p.stderr.decode("utf-8", "replace").replace("\r\n", "\n")


def read_bytes(path):
    with open(path, "rb") as f:
        return f.read()


def write_bytes(path, data):
    with open(path, "wb") as f:
        f.write(data)


class QuietHandler(http.server.SimpleHTTPRequestHandler):
    def log_message(self, *args):
        pass


def json_lines(out):
    return [json.loads(line) for line in out.splitlines() if line.strip()]


KEYS = ["file", "status", "message", "demo", "map", "player", "steamid", "time", "fps",
        "fps_average", "settings", "world_records"]


class Sample(unittest.TestCase):
    def test_json_of_the_bundled_sample(self):
        rc, out, err = run("--records", "RecData.dat", "--runs", "demos_tcl.txt", "--json", "sample.dem",
                           cwd=ARGS.examples)
        self.assertEqual(rc, 0, err)
        [r] = json_lines(out)
        self.assertEqual(list(r.keys()), KEYS)
        self.assertEqual(r["status"], 100)
        self.assertEqual(r["message"], "")
        self.assertEqual(r["demo"], "sample")
        self.assertEqual(r["map"], "kz_rw_sample")
        self.assertEqual(r["player"], "Sample Player")
        self.assertEqual(r["steamid"], "STEAM_0:1:19867136")
        self.assertEqual(r["time"], "01:23.45")
        self.assertEqual(r["fps"], "100.00")
        self.assertEqual(r["fps_average"], 100)
        self.assertEqual(r["settings"], ["sv_airacceleration is not correct"])
        self.assertEqual(r["world_records"], ["01:19.87 Mellow [de]", "[pro] 01:21.02 Quickstep [se]"])

    def test_text_of_the_bundled_sample_uses_recdata_here_by_default(self):
        rc, out, err = run("sample.dem", cwd=ARGS.examples)
        self.assertEqual(rc, 0, err)
        self.assertIn("  Time:          01:23.45\n", out)
        self.assertIn("  SteamID:       STEAM_0:1:19867136  http://", out)
        self.assertIn("/profiles/76561198000000001\n", out)
        self.assertIn("  Settings:      sv_airacceleration is not correct\n", out)
        # Without the runs list there are no world-record lines.
        self.assertIn("  World Record:  \n", out)

    def test_without_records_the_run_is_not_timed(self):
        with tempfile.TemporaryDirectory() as d:
            shutil.copy(os.path.join(ARGS.examples, "sample.dem"), d)
            rc, out, err = run("--json", "sample.dem", cwd=d)
            self.assertEqual(rc, 0, err)
            [r] = json_lines(out)
            self.assertEqual(r["time"], "--:--.--")
            # Judged over every frame after the start marker: the warm-up gravity counts too.
            self.assertIn("sv_gravity is not correct", r["settings"])


class RealDemos(unittest.TestCase):
    def demo(self, name):
        return os.path.join(ARGS.demos, name)

    def test_cstrike_demo_finishes(self):
        rc, out, err = run("--json", self.demo("cstrike_crossfire_weapon.dem"), cwd=ARGS.examples)
        [r] = json_lines(out)
        self.assertEqual(r["status"], 100, r)
        self.assertEqual(rc, 0)
        self.assertEqual(r["map"], "crossfire")
        self.assertEqual(r["demo"], "cstrike_crossfire_weapon")
        self.assertEqual(r["time"], "--:--.--")
        self.assertEqual(r["fps"], "99.95")  # a few frames of the recording are not 10 ms
        self.assertEqual(r["steamid"], "STEAM_0:0:118747259")
        self.assertEqual(r["settings"], [])

    def test_online_demo_is_refused(self):
        rc, out, err = run("--json", self.demo("valve_stalkyard_hldm.dem"), cwd=ARGS.examples)
        [r] = json_lines(out)
        self.assertEqual(rc, 1)
        self.assertEqual(r["status"], -2)
        self.assertEqual(r["message"], "Demo was not recorded on lan server!")
        self.assertEqual(r["map"], "stalkyard")
        self.assertEqual(r["time"], "--:--.--")

    def test_crafted_demos_get_a_clean_report(self):
        names = ["valve_c1a0_frame-types_crafted.dem", "valve_c1a0_invalid-netmsg-length_crafted.dem"]
        rc, out, err = run("--json", *[self.demo(n) for n in names], cwd=ARGS.examples)
        self.assertEqual(rc, 1)
        results = json_lines(out)
        self.assertEqual([os.path.basename(r["file"].replace("\\", "/")) for r in results], names)
        for r in results:
            self.assertLess(r["status"], 0, r)
            self.assertTrue(r["message"], r)


class Rejections(unittest.TestCase):
    def test_failure_messages_and_exit_codes(self):
        with tempfile.TemporaryDirectory() as d:
            with open(os.path.join(d, "text.dem"), "wb") as f:
                f.write(b"not a demo at all")
            with open(os.path.join(d, "old.dem"), "wb") as f:
                f.write(b"HLDEMO\0\0" + (5).to_bytes(4, "little") + (46).to_bytes(4, "little") + bytes(600))
            rc, out, err = run("--json", "text.dem", "old.dem", "missing.dem", cwd=d)
            self.assertEqual(rc, 1)
            r = json_lines(out)
            self.assertEqual([(x["status"], x["message"], x["map"]) for x in r], [
                (-2, "File is not a HLDEMO!", ""),
                (-2, "Demo is recorded with an old protocol!", ""),
                (-1, "Opening file failed!", ""),
            ])
            self.assertEqual(r[2]["demo"], "missing")
            self.assertIn("3 checked, 0 finished, 3 rejected", err)

    def test_usage_errors_exit_2(self):
        for args in (["--bogus", "a.dem"], [], ["--records", "no-such-file.dat", "a.dem"]):
            rc, out, err = run(*args, cwd=ARGS.examples)
            self.assertEqual(rc, 2, args)
            self.assertIn("runwarden-check:", err)
            self.assertEqual(out, "")

    def test_damaged_records_file_named_explicitly_is_a_usage_error(self):
        with tempfile.TemporaryDirectory() as d:
            data = bytearray(read_bytes(os.path.join(ARGS.examples, "RecData.dat")))
            data[-1] ^= 0xFF
            write_bytes(os.path.join(d, "bad.dat"), bytes(data))
            rc, out, err = run("--records", "bad.dat", os.path.join(ARGS.examples, "sample.dem"), cwd=d)
            self.assertEqual(rc, 2)
            self.assertIn("bad.dat", err)

    def test_help_and_version(self):
        rc, out, err = run("--help")
        self.assertEqual(rc, 0)
        self.assertIn("Usage: runwarden-check", out)
        rc, out, err = run("--version")
        self.assertEqual((rc, out.strip()), (0, "runwarden-check 15, unsigned updates"))


class Folders(unittest.TestCase):
    def test_batch_keeps_input_order_and_counts(self):
        with tempfile.TemporaryDirectory() as d:
            sample = os.path.join(ARGS.examples, "sample.dem")
            os.makedirs(os.path.join(d, "sub", "deeper"))
            for name in ("b.dem", "a.dem", os.path.join("sub", "c.DEM"), os.path.join("sub", "deeper", "d.dem")):
                shutil.copy(sample, os.path.join(d, name))
            write_bytes(os.path.join(d, "sub", "broken.dem"), b"HLDEMO")
            write_bytes(os.path.join(d, "notes.txt"), b"not a demo")
            shutil.copy(os.path.join(ARGS.examples, "RecData.dat"), d)
            rc, out, err = run("--json", "--jobs", "3", "--recursive", ".", cwd=d)
            self.assertEqual(rc, 1)
            got = [(os.path.basename(r["file"].replace("\\", "/")), r["status"]) for r in json_lines(out)]
            self.assertEqual(got, [("a.dem", 100), ("b.dem", 100), ("broken.dem", -2), ("c.DEM", 100),
                                   ("d.dem", 100)])
            self.assertIn("5 checked, 4 finished, 1 rejected", err)
            # Without --recursive only the folder's own demos.
            rc, out, err = run("--json", ".", cwd=d)
            self.assertEqual([os.path.basename(r["file"].replace("\\", "/")) for r in json_lines(out)], ["a.dem", "b.dem"])
            self.assertEqual(rc, 0)


class Refresh(unittest.TestCase):
    """--refresh against real HTTP servers on 127.0.0.1."""

    def serve(self, folder):
        handler = functools.partial(QuietHandler, directory=folder)
        server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), handler)
        threading.Thread(target=server.serve_forever, daemon=True).start()
        self.addCleanup(server.server_close)
        self.addCleanup(server.shutdown)
        return "http://127.0.0.1:%d" % server.server_address[1]

    def test_refresh_restores_records_and_saves_the_list(self):
        with tempfile.TemporaryDirectory() as site, tempfile.TemporaryDirectory() as work:
            os.makedirs(os.path.join(site, "intern", "Runwarden"))
            shutil.copy(os.path.join(ARGS.examples, "RecData.dat"), os.path.join(site, "intern", "Runwarden"))
            shutil.copy(os.path.join(ARGS.examples, "demos_tcl.txt"), site)
            shutil.copy(os.path.join(ARGS.examples, "sample.dem"), work)
            url = self.serve(site)
            rc, out, err = run("--refresh", "--update-server", url, "--list-server", url, "--json", "sample.dem",
                               cwd=work)
            self.assertEqual(rc, 0, err)
            self.assertIn('Restored file: "RecData.dat"', err)
            [r] = json_lines(out)
            self.assertEqual(r["time"], "01:23.45")
            self.assertEqual(len(r["world_records"]), 2)
            for name in ("RecData.dat", "demos_tcl.txt"):
                self.assertEqual(read_bytes(os.path.join(work, name)),
                                 read_bytes(os.path.join(ARGS.examples, name)), name)
            # A second refresh finds the same file: nothing to say, nothing changed.
            rc, out, err = run("--refresh", "--update-server", url, "--list-server", url, cwd=work)
            self.assertEqual((rc, err), (0, ""))

    def test_unreachable_server_keeps_the_local_records(self):
        with tempfile.TemporaryDirectory() as work:
            shutil.copy(os.path.join(ARGS.examples, "RecData.dat"), work)
            rc, out, err = run("--refresh", "--update-server", "http://127.0.0.1:9", "--list-server",
                               "http://127.0.0.1:9", cwd=work)
            self.assertEqual(rc, 1)
            self.assertIn("Unable to connect to update server!", err)
            self.assertEqual(read_bytes(os.path.join(work, "RecData.dat")),
                             read_bytes(os.path.join(ARGS.examples, "RecData.dat")))


if __name__ == "__main__":
    ap = argparse.ArgumentParser()
    ap.add_argument("--demos", required=True)
    ap.add_argument("--examples", required=True)
    ap.add_argument("program", nargs="+")
    ARGS, rest = ap.parse_known_args()
    ARGS.examples = os.path.abspath(ARGS.examples)
    ARGS.demos = os.path.abspath(ARGS.demos)
    unittest.main(argv=[sys.argv[0]] + rest, verbosity=2)
