#!/usr/bin/env python3
"""Makes the test archives from a demo with the real archivers (7zz, bsdtar):
    make_archives.py DEMO OUT_FOLDER
ARCHIVES lists each one's entries in archive order; the tests expect from it."""
import os
import shutil
import subprocess
import sys
import tempfile

DEMO, TEXT, BIG = "demo", b"not a demo\n", "big"
# name: (tool and switches, entries in archive order as (name, content)).
ARCHIVES = {
    "deflate.zip": (["7zz", "a", "-tzip", "-mm=Deflate"], [("readme.txt", TEXT), ("kz/run.dem", DEMO)]),
    "stored.zip": (["bsdtar", "-c", "--format", "zip", "--options", "zip:compression=store", "-f"],
                   [("run.dem", DEMO)]),
    "pack.7z": (["7zz", "a", "-t7z"], [("a.dem", DEMO), ("kz/b.dem", DEMO), ("notes.txt", TEXT)]),
    "pack.tar.gz": (["bsdtar", "-c", "-z", "-f"], [("kz/run.dem", DEMO)]),
    "nodemo.zip": (["7zz", "a", "-tzip"], [("readme.txt", TEXT)]),
    "upper.zip": (["7zz", "a", "-tzip"], [("RUN.DEM", DEMO)]),
    "my runs.7z": (["7zz", "a", "-t7z"], [("kz dir/run one.dem", DEMO)]),
    "läufe.zip": (["7zz", "a", "-tzip"], [("schön/läuft.dem", DEMO)]),
    "-dash.zip": (["bsdtar", "-c", "--format", "zip", "-f"], [("-first.dem", DEMO), ("kz/-second.dem", DEMO)]),
    "secret.zip": (["7zz", "a", "-tzip", "-psecret"], [("run.dem", DEMO)]),
    "secret.7z": (["7zz", "a", "-t7z", "-psecret", "-mhe=on"], [("run.dem", DEMO)]),
    # An entry of 2 GiB and one byte, stored sparse: small to make, huge to unpack.
    "big.tar.gz": (["bsdtar", "-c", "-z", "-f"], [("a.dem", DEMO), ("big.dem", BIG), ("z.dem", DEMO)]),
}
# Copies spoiled after making: (source, name, how).
SPOILED = [("pack.7z", "damaged.7z", "damage"), ("deflate.zip", "truncated.zip", "truncate")]


def make(demo_path, out):
    os.makedirs(out, exist_ok=True)
    demo = open(demo_path, "rb").read()
    for name, (tool, entries) in ARCHIVES.items():
        with tempfile.TemporaryDirectory() as stage:
            for entry, content in entries:
                path = os.path.join(stage, entry)
                os.makedirs(os.path.dirname(path), exist_ok=True)
                with open(path, "wb") as f:
                    if content == BIG:
                        f.truncate((2 << 30) + 1)
                    else:
                        f.write(demo if content == DEMO else content)
            target = os.path.join(os.path.abspath(out), name)
            names = [e for e, _ in entries]
            args = tool + ["-bd", "--", target] + names if tool[0] == "7zz" else tool + [target, "--"] + names
            subprocess.run(args, cwd=stage, check=True, stdout=subprocess.DEVNULL, stdin=subprocess.DEVNULL)
    for source, name, how in SPOILED:
        data = bytearray(open(os.path.join(out, source), "rb").read())
        if how == "damage":
            data[32:len(data) // 2] = bytes(len(data) // 2 - 32)
        else:
            data = data[:len(data) // 2]
        open(os.path.join(out, name), "wb").write(data)
    open(os.path.join(out, "fake.zip"), "wb").write(TEXT)


if __name__ == "__main__":
    make(sys.argv[1], sys.argv[2])
