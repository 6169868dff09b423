#!/usr/bin/env python3
"""make_archives.py DEMO OUT_FOLDER: the test archives, made from a demo with the real 7zz and bsdtar."""
import os
import subprocess
import sys
import tempfile

D, T, BIG = "demo", b"not a demo\n", (2 << 30) + 1  # an entry of 2 GiB and a byte, sparse: small to make
SEVEN, TAR = ["7zz", "a", "-bd", "-tzip"], ["bsdtar", "-c"]
# name: (tool, entries as (name, content)); bsdtar keeps their order, 7-Zip sorts them.
ARCHIVES = {
    "deflate.zip": (SEVEN + ["-mm=Deflate"], [("readme.txt", T), ("kz/run.dem", D)]),
    "stored.zip": (TAR + ["--format", "zip", "--options", "zip:compression=store"], [("run.dem", D)]),
    "pack.7z": (SEVEN[:3] + ["-t7z"], [("a.dem", D), ("kz/b.dem", D), ("notes.txt", T)]),
    "pack.tar.gz": (TAR + ["-z"], [("kz/run.dem", D)]),
    "nodemo.zip": (SEVEN, [("readme.txt", T)]),
    "upper.zip": (SEVEN, [("RUN.DEM", D)]),
    "my runs.7z": (SEVEN[:3] + ["-t7z"], [("kz dir/run one.dem", D)]),
    "läufe.zip": (SEVEN, [("schön/läuft.dem", D)]),
    "-dash.zip": (TAR + ["--format", "zip"], [("-first.dem", D), ("kz/-second.dem", D)]),
    "secret.zip": (SEVEN + ["-psecret"], [("run.dem", D)]),
    "secret.7z": (SEVEN[:3] + ["-t7z", "-psecret", "-mhe=on"], [("run.dem", D)]),
    "big.tar.gz": (TAR + ["-z"], [("a.dem", D), ("big.dem", BIG), ("z.dem", D)]),
}


def make(demo_path, out):
    os.makedirs(out, exist_ok=True)
    demo = open(demo_path, "rb").read()
    for name, (tool, entries) in ARCHIVES.items():
        with tempfile.TemporaryDirectory() as stage:
            for entry, content in entries:
                os.makedirs(os.path.dirname(os.path.join(stage, entry)), exist_ok=True)
                with open(os.path.join(stage, entry), "wb") as f:
                    f.truncate(content) if content == BIG else f.write(demo if content == D else content)
            target = os.path.join(os.path.abspath(out), name)
            args = tool + (["--", target] if tool[0] == "7zz" else ["-f", target, "--"]) + [e for e, _ in entries]
            subprocess.run(args, cwd=stage, check=True, stdout=subprocess.DEVNULL, stdin=subprocess.DEVNULL)
    pack, deflate = (open(os.path.join(out, n), "rb").read() for n in ("pack.7z", "deflate.zip"))
    for name, data in {"damaged.7z": pack[:32] + bytes(len(pack) // 2 - 32) + pack[len(pack) // 2:],
                       "truncated.zip": deflate[:len(deflate) // 2], "fake.zip": T}.items():
        open(os.path.join(out, name), "wb").write(data)


if __name__ == "__main__":
    make(sys.argv[1], sys.argv[2])
