#!/usr/bin/env python3
"""Runs the command-line programs for real, one table row per case: each row
runs in a fresh folder holding the files it names and expects an exit code,
stdout and stderr patterns, and optionally the files left and the JSON order.

    cli_test.py --examples DIR --demos DIR --server SCRIPT [--emulator CMD]... TOOL=PATH...
"""
import argparse
import json
import os
import re
import shutil
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
import make_archives  # noqa: E402

A = None
SAMPLE = "sample.dem"
EXAMPLE = {n: n for n in ("sample.dem", "RecData.dat", "demos_tcl.txt")}
OLD_DEMO = b"HLDEMO\0\0" + (5).to_bytes(4, "little") + (46).to_bytes(4, "little") + bytes(600)
PUBLISH = {"prog.exe": b"MZprogram", "notes.txt": b"Runwarden 16\r\n- fixes", "maps.txt": "maps",
           "demos.txt": b"records list\nkz_cave 01:00.00 a\nzz_other 02:00.00 b\nbadline\n"}
# Compiled from the sample text as the publisher's input (revision 5), and a copy whose checksum fails.
COMPILE5 = [("recdata", "compile", "maps.txt", "-o", "RecData.dat", "--revision", "5")]
BAD_DAT = [("recdata", "compile", "maps.txt", "-o", "bad.dat", "--revision", "5"), ("append", "bad.dat", b"xx")]
RELEASE = ["release", "--program", "prog.exe", "--version"]
JSON_SAMPLE = ('{"file":"sample.dem","entry":null,"status":100,"message":"","demo":"sample","map":"kz_rw_sample",'
               '"player":"Sample Player","steamid":"STEAM_0:1:19867136","time":"01:23.45","fps":"100.00",'
               '"fps_average":100,"settings":["sv_airacceleration is not correct"],'
               '"world_records":["01:19.87 Mellow [de]","[pro] 01:21.02 Quickstep [se]"]}\n')
BATCH = dict({"RecData.dat": "RecData.dat"}, **{"b.dem": SAMPLE, "a.dem": SAMPLE, "sub/c.DEM": SAMPLE, "sub/deeper/d.dem": SAMPLE,
                         "sub/broken.dem": b"HLDEMO", "notes.txt": b"not a demo"})
# Real archives made from the sample (tests/support/make_archives.py) in uploads/; each demo inside is reported
# as the sample is, entries in archive order. Windows' tar.exe and 7z.exe read the same files in archive_test.cpp.
ARCHIVES = [("archives", "uploads")]
UPLOADS = [("-dash.zip", 100, "-first.dem"), ("-dash.zip", 100, "kz/-second.dem"), ("big.tar.gz", 100, "a.dem"),
           ("big.tar.gz", -1, "big.dem"), ("damaged.7z", -1, "a.dem"), ("deflate.zip", 100, "kz/run.dem"),
           ("fake.zip", -1, None), ("läufe.zip", 100, "schön/läuft.dem"), ("my runs.7z", 100, "kz dir/run one.dem"),
           ("nodemo.zip", -3, None), ("pack.7z", 100, "a.dem"), ("pack.7z", 100, "kz/b.dem"),
           ("pack.tar.gz", 100, "kz/run.dem"), ("secret.7z", -1, None), ("secret.zip", -1, "run.dem"),
           ("stored.zip", 100, "run.dem"), ("truncated.zip", -1, "kz/run.dem"), ("upper.zip", -3, None)]
SITE = {"intern/Runwarden/RecData.dat": "RecData.dat", "demos_tcl.txt": "demos_tcl.txt"}
REFRESH = ["--refresh", "--update-server", "{url}", "--list-server", "{url}"]
DEAD = ["--refresh", "--update-server", "{dead}", "--list-server", "{dead}"]
RELEASED = ["srv/intern/Runwarden/changelog.txt", "srv/intern/Runwarden/x64/Runwarden.exe",
            "srv/intern/Runwarden/x64/UpdateData.dat"]

# name, tool, files, args, code, stdout regex, stderr regex, extra expectations.
# Extra: pre (steps that must succeed first), left (files under srv/ and list/),
# order (JSON file names and statuses), same (files equal to the example's), site (served files),
# links (names made symbolic links to victim files, which must stay as they were).
CASES = [
    ("check.json", "check", EXAMPLE, ["--records", "RecData.dat", "--runs", "demos_tcl.txt", "--json", SAMPLE],
     0, "^" + re.escape(JSON_SAMPLE) + "$", "", {}),
    ("check.text_finds_records_here", "check", EXAMPLE, [SAMPLE], 0,
     r"  SteamID:       STEAM_0:1:19867136  http://\S+/profiles/76561198000000001\n.*"
     r"  Time:          01:23\.45\n  World Record:  \n  Fps:           100\.00\n  Settings:      sv_airacceleration is not correct\n",
     "", {}),  # without the runs list there are no world-record lines
    ("check.text_world_records", "check", EXAMPLE, ["--runs", "demos_tcl.txt", SAMPLE], 0,
     r"  World Record:  01:19\.87 Mellow \[de\]\n {17}\[pro\] 01:21\.02 Quickstep \[se\]\n  Fps:", "", {}),
    # Without records the run is not timed, and it is judged from the start marker: warm-up gravity counts.
    ("check.untimed", "check", {SAMPLE: SAMPLE}, ["--json", SAMPLE], 0,
     r'"time":"--:--\.--".*"sv_gravity is not correct"', "", {}),
    ("check.cstrike_demo", "check", EXAMPLE, ["--json", "{demos}/cstrike_crossfire_weapon.dem"], 0,
     r'"status":100,"message":"","demo":"cstrike_crossfire_weapon","map":"crossfire",.*'
     r'"steamid":"STEAM_0:0:118747259","time":"--:--\.--","fps":"99\.95","fps_average":99\.9\d*,"settings":\[\]',
     "", {}),
    ("check.text_reports", "check", {"text.dem": b"not a demo at all"},
     ["{demos}/cstrike_crossfire_weapon.dem", "text.dem"], 1,
     r"^\S.*  SteamID:       STEAM_0:0:118747259  http.*  Settings:      all settings correct\n\n"
     r"text.dem\n  Rejected:      File is not a HLDEMO!\n$", "2 checked, 1 finished, 1 rejected", {}),
    ("check.online_demo", "check", EXAMPLE, ["--json", "{demos}/valve_stalkyard_hldm.dem"], 1,
     r'"status":-2,"message":"Demo was not recorded on lan server!","demo":"valve_stalkyard_hldm",'
     r'"map":"stalkyard",.*"time":"--:--\.--"', "", {}),
    ("check.crafted_demos", "check", EXAMPLE, ["--json", "{demos}/valve_c1a0_frame-types_crafted.dem",
                                               "{demos}/valve_c1a0_invalid-netmsg-length_crafted.dem"], 1,
     r'^(\{[^\n]*"status":-[12],"message":"[^"]+"[^\n]*\n){2}$', "2 rejected",
     {"order": [("valve_c1a0_frame-types_crafted.dem", None), ("valve_c1a0_invalid-netmsg-length_crafted.dem", None)]}),
    ("check.rejections", "check", {"text.dem": b"not a demo at all", "old.dem": OLD_DEMO},
     ["--json", "text.dem", "old.dem", "missing.dem"], 1,
     r'"message":"File is not a HLDEMO!","demo":"text","map":"","player":"","steamid":null.*'
     r'"message":"Demo is recorded with an old protocol!","demo":"old","map":"".*'
     r'"message":"Opening file failed!","demo":"missing","map":""', "3 checked, 0 finished, 3 rejected",
     {"order": [("text.dem", -2), ("old.dem", -2), ("missing.dem", -1)]}),
    ("check.batch_recursive", "check", BATCH, ["--json", "--jobs", "3", "--recursive", "."], 1, "",
     "5 checked, 4 finished, 1 rejected",
     {"order": [("a.dem", 100), ("b.dem", 100), ("broken.dem", -2), ("c.DEM", 100), ("d.dem", 100)]}),
    ("check.batch_flat", "check", BATCH, ["--json", "."], 0, "", "", {"order": [("a.dem", 100), ("b.dem", 100)]}),
    # --graph: a file for one demo; a folder for several, whose names never collide and hold no character
    # that Windows refuses; none for a rejected demo. A name ending in either slash is a folder.
    ("check.graph_file", "check", EXAMPLE, ["--graph", "run.svg", SAMPLE], 0, r"  Graph: +run\.svg\n", "",
     {"graphs": ["run.svg"]}),
    ("check.graph_folder", "check", {"a.dem": SAMPLE, "sub/a.dem": SAMPLE, "sub/broken.dem": b"HLDEMO", "x/A.dem": SAMPLE,
                                     "x/w?r:un.dem": SAMPLE},
     ["--json", "--recursive", "--graph", "out", "."], 1, r'"graph":"out/a\.svg".*"graph":"out/a-2\.svg".*'
     r'"graph":null.*"graph":"out/A-3\.svg".*"graph":"out/w_r_un\.svg"', "5 checked",
     {"graphs": ["out/A-3.svg", "out/a-2.svg", "out/a.svg", "out/w_r_un.svg"]}),
    ("check.graph_one_demo_folder", "check", EXAMPLE, ["--graph", "pics/", SAMPLE], 0, "", "",
     {"graphs": ["pics/sample.svg"]}),
    ("check.graph_one_demo_backslash", "check", EXAMPLE, ["--graph", "pics\\", SAMPLE], 0, "", "",
     {"graphs": ["pics\\/sample.svg"]}),
    ("check.graph_archive", "check", EXAMPLE, ["--graph", "out.svg", "uploads/pack.7z"], 0, r"Graph: +out\.svg/b\.svg", "",
     {"pre": ARCHIVES, "graphs": ["out.svg/a.svg", "out.svg/b.svg"]}),  # an archive may hold several: a folder
    ("check.graph_unwritable", "check", EXAMPLE, ["--json", "--graph", "no/such/run.svg", SAMPLE], 1,
     r'"status":100.*"graph":null', "cannot write no/such/run.svg", {"graphs": []}),
    ("check.archives", "check", EXAMPLE, ["--records", "RecData.dat", "--runs", "demos_tcl.txt", "--json", "uploads"],
     1,
     r'"file":"uploads/secret.7z","entry":null,"status":-1,"message":"Opening file failed!","demo":"secret",',
     "18 checked, 10 finished, 8 rejected", {"pre": ARCHIVES, "order": UPLOADS}),
    ("check.archive_text", "check", EXAMPLE, ["uploads/pack.7z"], 0, r"^uploads/pack.7z\n  Entry:         a.dem\n  "
     r"Demo:          a\n.*  Time:          01:23\.45\n.*\n\nuploads/pack.7z\n  Entry:         kz/b.dem\n  "
     r"Demo:          b\n",
     "2 checked, 2 finished", {"pre": ARCHIVES}),
    ("check.unknown_option", "check", EXAMPLE, ["--bogus", "a.dem"], 2, "^$", "runwarden-check: .*--bogus", {}),
    ("check.no_demo", "check", EXAMPLE, ["--json"], 2, "^$", "runwarden-check: no demo given", {}),
    ("check.needs_value", "check", EXAMPLE, ["a.dem", "--records"], 2, "^$", "--records needs a value", {}),
    ("check.bad_jobs", "check", EXAMPLE, ["--jobs", "0", SAMPLE], 2, "^$", "runwarden-check: ", {}),
    ("check.jobs_not_number", "check", EXAMPLE, ["--jobs", "2x", SAMPLE], 2, "^$", "runwarden-check: ", {}),
    ("check.server_needs_refresh", "check", EXAMPLE, ["--update-server", "http://x", SAMPLE], 2, "^$",
     "runwarden-check: ", {}),
    ("check.missing_records", "check", EXAMPLE, ["--records", "no-such-file.dat", SAMPLE], 2, "^$",
     "runwarden-check: .*no-such-file.dat", {}),
    ("check.damaged_records", "check", {SAMPLE: SAMPLE, "maps.txt": "maps"}, ["--records", "bad.dat", SAMPLE], 2,
     "^$", "bad.dat", {"pre": BAD_DAT}),
    ("check.odd_name_after_dashes", "check", {"--odd.dem": b"HLDEMO"}, ["--json", "--", "--odd.dem"], 1,
     '"file":"--odd.dem","entry":null,"status":-2', "", {}),
    ("check.help", "check", {}, ["--help"], 0, "Usage: runwarden-check", "", {}),
    ("check.version", "check", {}, ["--version"], 0, r"^runwarden-check 15, unsigned updates \(program updates off\)\r?\n$", "", {}),
    ("check.refresh", "check", {SAMPLE: SAMPLE}, REFRESH + ["--json", SAMPLE], 0,
     r'"time":"01:23\.45".*"world_records":\["[^"]+","[^"]+"\]', 'Restored file: "RecData.dat"',
     {"site": SITE, "same": ["RecData.dat", "demos_tcl.txt"]}),
    # A second refresh finds the same file: nothing to say.
    ("check.refresh_again", "check", EXAMPLE, REFRESH, 0, "", "^$", {"site": SITE, "same": ["RecData.dat"]}),
    # Links planted at the names the refresh writes are replaced, never written through.
    ("check.refresh_planted_links", "check", {}, REFRESH, 0, "", 'Restored file: "RecData.dat"',
     {"site": SITE, "same": ["RecData.dat", "demos_tcl.txt"], "links": ["RecData.dat.tmp", "demos_tcl.txt.tmp"]}),
    ("check.refresh_unreachable", "check", {"RecData.dat": "RecData.dat"}, DEAD, 1, "",
     "Unable to connect to update server!", {"site": {}, "same": ["RecData.dat"]}),

    ("recdata.help", "recdata", {}, ["--help"], 0, "compile MAPS.txt -o RecData.dat.*map kz_cave", "^$", {}),
    ("recdata.unknown_command", "recdata", {}, ["frob"], 2, "^$", "unknown command 'frob'", {}),
    ("recdata.needs_output", "recdata", PUBLISH, ["compile", "maps.txt"], 2, "^$", "compile needs -o", {}),
    ("recdata.bad_revision", "recdata", PUBLISH, ["compile", "maps.txt", "-o", "R.dat", "--revision", "x1"], 2,
     "^$", "--revision takes a whole number", {}),
    ("recdata.needs_revision", "recdata", PUBLISH, ["compile", "maps.txt", "-o", "R.dat"], 2, "^$", "no revision", {}),
    ("recdata.unknown_option", "recdata", PUBLISH, ["compile", "maps.txt", "-o", "R.dat", "--force"], 2, "^$",
     "unknown option --force", {}),
    ("recdata.missing_input", "recdata", {}, ["compile", "missing.txt", "-o", "R.dat", "--revision", "1"], 1, "^$",
     "missing.txt: error: cannot read", {}),
    ("recdata.bad_text", "recdata", {"bad.txt": b"map kz_a\n  mode 0\n  start pattern 01\n  stop pattern zz\n"},
     ["compile", "bad.txt", "-o", "R.dat", "--revision", "1"], 1, "^$", "bad.txt:4: error: 'zz' is not hex", {}),
    ("recdata.warns", "recdata", PUBLISH, ["compile", "maps.txt", "-o", "R.dat", "--revision=7"], 0,
     "R.dat: revision 7, format 2, 3 maps", "maps.txt:[0-9]+: warning: mode 9 detects nothing", {}),
    ("recdata.dump_not_records", "recdata", PUBLISH, ["dump", "maps.txt"], 1, "^$",
     "maps.txt: error: checksum mismatch", {}),
    # compile -> dump -> compile -> dump changes nothing; the revision keeps all 32 bits.
    ("recdata.round_trip", "recdata", PUBLISH, ["dump", "second.dat"], 0,
     r'revision 4000000000\r?\nformat 2\r?\n.*map "KZ Caves\\x00"', "",
     {"pre": [("recdata", "compile", "maps.txt", "-o", "first.dat", "--revision", "4000000000"),
              ("recdata", "dump", "first.dat", "-o", "first.txt"),
              ("recdata", "compile", "first.txt", "-o", "second.dat")],
      "equal": [("first.dat", "second.dat")], "size": ("first.dat", 77)}),

    ("publish.help", "publish", {}, ["--help"], 0, r"release --program FILE.*records \[--recdata FILE", "^$", {}),
    ("publish.unknown_command", "publish", {}, ["frob"], 2, "^$", "unknown command 'frob'", {}),
    ("publish.needs_changelog", "publish", PUBLISH, RELEASE + ["16", "--out", "srv"], 2, "^$",
     "release needs --changelog", {"left": []}),
    ("publish.bad_version", "publish", PUBLISH, RELEASE + ["16x", "--changelog", "notes.txt", "--out", "srv"], 2, "^$",
     "--version takes a whole number", {"left": []}),
    ("publish.missing_program", "publish", PUBLISH, ["release", "--program", "missing.exe", "--version", "16",
                                                      "--changelog", "notes.txt", "--out", "srv"], 1, "^$",
     "missing.exe: error: cannot read the program file", {"left": []}),
    ("publish.release", "publish", PUBLISH, RELEASE + ["16", "--changelog", "notes.txt", "--out", "srv"], 0,
     "release: version 16, program 9 bytes, CRC-32 02B3B70A, change log 21 bytes", "^$", {"left": RELEASED}),
    ("publish.records", "publish", PUBLISH,
     ["records", "--recdata", "RecData.dat", "--runs", "demos.txt", "--out", "srv", "--list-out", "list"], 0,
     r"RecData.dat: revision 5, 3 maps, 77 bytes\r?\ndemos_tcl.txt: 2 runs, [0-9]+ bytes, "
     "1 for maps RecData.dat does not hold", "demos.txt: warning: line 4 holds no map name",
     {"pre": COMPILE5, "left": ["list/demos_tcl.txt", "srv/intern/Runwarden/RecData.dat"]}),
    ("publish.list_only", "publish", PUBLISH, ["records", "--runs", "demos.txt", "--list-out", "list"], 0,
     "demos_tcl.txt: 2 runs", "", {"left": ["list/demos_tcl.txt"]}),
    ("publish.bad_checksum", "publish", PUBLISH, ["records", "--recdata", "bad.dat", "--out", "srv"], 1, "^$",
     "bad.dat: error: checksum mismatch", {"pre": BAD_DAT, "left": []}),
    ("publish.list_out_needs_runs", "publish", PUBLISH,
     ["records", "--recdata", "RecData.dat", "--out", "srv", "--list-out", "list"], 2, "^$",
     "--list-out needs --runs", {"pre": COMPILE5, "left": []}),
    ("publish.recdata_needs_out", "publish", PUBLISH, ["records", "--recdata", "RecData.dat"], 2, "^$",
     "--recdata needs --out", {"pre": COMPILE5}),
]


def content(src):
    if isinstance(src, bytes):
        return src
    path = A.maps if src == "maps" else os.path.join(A.examples, src)
    with open(path, "rb") as f:
        return f.read()


def lay_out(folder, files):
    for name, src in files.items():
        path = os.path.join(folder, name)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(content(src))


def run(tool, args, cwd):
    p = subprocess.run(A.emulator + [A.tools[tool]] + list(args), cwd=cwd, stdin=subprocess.DEVNULL,
                       capture_output=True, timeout=240)
    text = lambda b: b.decode("utf-8", "replace").replace("\r\n", "\n")
    return p.returncode, text(p.stdout), text(p.stderr)


def left_files(work):
    found = []
    for top in ("srv", "list"):
        for root, _, names in os.walk(os.path.join(work, top)):
            found += [os.path.relpath(os.path.join(root, n), work).replace(os.sep, "/") for n in names]
    return sorted(found)


def check(case, work, urls):
    name, tool, files, args, code, out_re, err_re, extra = case
    lay_out(work, files)
    victims = os.path.join(os.path.dirname(work), "victims")
    for link in extra.get("links", []):
        lay_out(victims, {link: b"victim"})
        os.symlink(os.path.join(victims, link), os.path.join(work, link))
    for step in extra.get("pre", []):
        if step[0] == "archives":
            make_archives.make(os.path.join(A.examples, SAMPLE), os.path.join(work, step[1]))
            continue
        if step[0] == "append":  # bytes more in the body: the stored checksum no longer matches
            with open(os.path.join(work, step[1]), "ab") as f:
                f.write(step[2])
            continue
        rc, _, err = run(step[0], step[1:], work)
        if rc != 0:
            return f"step {step} exited {rc}: {err}"
    args = [a.format(demos=A.demos, **urls) for a in args]
    rc, out, err = run(tool, args, work)
    problems = []
    if rc != code:
        problems.append(f"exit {rc}, expected {code}")
    if not re.search(out_re, out, re.S):
        problems.append(f"stdout does not match {out_re!r}")
    if not re.search(err_re, err, re.S):
        problems.append(f"stderr does not match {err_re!r}")
    if "left" in extra and left_files(work) != sorted(extra["left"]):
        problems.append(f"files left {left_files(work)}, expected {sorted(extra['left'])}")
    if "order" in extra:
        reports = [json.loads(l) for l in out.splitlines() if l.strip()]
        want = extra["order"]
        got = [(os.path.basename(r["file"].replace("\\", "/")), r["status"]) + ((r["entry"],) if len(w) > 2 else ())
               for r, w in zip(reports, want)]
        if len(reports) != len(want) or any(g[0] != w[0] or w[1] not in (None, g[1]) or g[2:] != w[2:]
                                            for g, w in zip(got, want)):
            problems.append(f"reports {got}, expected {want}")
        # A demo inside an archive is reported exactly as the sample checked on its own.
        sample = {k: v for k, v in json.loads(JSON_SAMPLE).items() if k not in ("file", "entry", "demo")}
        problems += [f"{r['file']}: {r['entry']} not reported as the sample is" for r in reports
                     if r.get("entry") and r["status"] == 100 and {k: r[k] for k in sample} != sample]
    for f in extra.get("same", []):
        if content(f) != content_at(work, f):
            problems.append(f"{f} differs from the example")
    if any(content_at(victims, link) != b"victim" for link in extra.get("links", [])):
        problems.append("a victim file was written through a link")
    for a, b in extra.get("equal", []):
        if content_at(work, a) != content_at(work, b):
            problems.append(f"{a} and {b} differ")
    if "graphs" in extra:
        svgs = sorted(os.path.relpath(os.path.join(r, n), work).replace(os.sep, "/")
                      for r, _, names in os.walk(work) for n in names if n.endswith(".svg"))
        if svgs != extra["graphs"] or not all(content_at(work, f).startswith(b"<?xml") for f in svgs):
            problems.append(f"graphs {svgs}, expected {extra['graphs']}")
    if "size" in extra and os.path.getsize(os.path.join(work, extra["size"][0])) != extra["size"][1]:
        problems.append(f"{extra['size'][0]} is not {extra['size'][1]} bytes")
    return "; ".join(problems + ([f"\nstdout:\n{out}\nstderr:\n{err}"] if problems else []))


def content_at(work, name):
    with open(os.path.join(work, name), "rb") as f:
        return f.read()


def serve(tmp, files):
    """Starts the one HTTP test server over files; returns its URLs and the stop command."""
    root, state = os.path.join(tmp, "site"), os.path.join(tmp, "state")
    subprocess.run([sys.executable, A.server, "start", "--root", root, "--state", state], check=True,
                   stdout=subprocess.DEVNULL)
    lay_out(root, files)
    with open(os.path.join(state, "port")) as f:
        port, dead = f.read().split()[:2]
    stop = [sys.executable, A.server, "stop", "--state", state]
    return {"url": f"http://127.0.0.1:{port}", "dead": f"http://127.0.0.1:{dead}"}, stop


def main():
    global A
    ap = argparse.ArgumentParser()
    for opt in ("--examples", "--demos", "--maps", "--server"):
        ap.add_argument(opt, required=True)
    ap.add_argument("--emulator", action="append", default=[])
    ap.add_argument("tools", nargs="+", help="TOOL=PATH for check, recdata and publish")
    A = ap.parse_args()
    A.tools = dict(t.split("=", 1) for t in A.tools)
    A.demos, A.examples, A.maps = map(os.path.abspath, (A.demos, A.examples, A.maps))
    failed = 0
    for case in CASES:
        needed = {case[1]} | {s[0] for s in case[7].get("pre", []) if s[0] not in ("append", "archives")}
        if not needed <= A.tools.keys():
            continue
        with tempfile.TemporaryDirectory() as tmp:
            work = os.path.join(tmp, "work")
            os.makedirs(work)
            urls, stop = ({}, None) if "site" not in case[7] else serve(tmp, case[7]["site"])
            try:
                problem = check(case, work, urls)
            finally:
                if stop:
                    subprocess.run(stop, stdout=subprocess.DEVNULL)
        print(f"{'FAIL' if problem else 'ok'}  {case[0]}{'  ' + problem if problem else ''}")
        failed += bool(problem)
    print(f"{failed} of {len(CASES)} cases failed" if failed else "all cases passed")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
