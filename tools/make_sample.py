#!/usr/bin/env python3
"""Writes the bundled sample: a small synthetic demo of a complete timed run,
the RecData.dat that knows its map, and a records list with its world records.

    tools/make_sample.py [--out DIR]     write the files (default: examples/)
    tools/make_sample.py --check [DIR]   exit 1 when the files differ from what this script makes
"""
import argparse
import os
import struct
import sys
import zlib

MAP = b"kz_rw_sample"
PLAYER = b"Sample Player"
STEAMID64 = b"76561198000000001"  # STEAM_0:1:19867136

# Button sound messages of the sample map: what follows 06 06 and five bytes.
START_PATTERN = bytes.fromhex("2a0b53544152545f42544e")
STOP_PATTERN = bytes.fromhex("2a0b53544f505f42544e00")

GOOD = {"gravity": 800.0, "maxspeed": 320.0, "airaccelerate": 10.0, "edgefriction": 2.0,
        "stepsize": 18.0, "maxvelocity": 2000.0, "footsteps": 1}
OFFSETS = {"gravity": 297, "maxspeed": 305, "airaccelerate": 317, "edgefriction": 329,
           "stepsize": 345, "maxvelocity": 349}


def header():
    h = bytearray(544)
    h[0:8] = b"HLDEMO\0\0"
    struct.pack_into("<I", h, 8, 5)       # demo format
    struct.pack_into("<I", h, 12, 48)     # network protocol
    h[16:16 + len(MAP)] = MAP
    h[276:276 + 7] = b"cstrike"
    return bytes(h)


def net_frame(kind, time, messages, msec=10, settings=None, frame_no=0):
    """A type-0 or type-1 frame: 9 fixed bytes, 464 bytes of client state, L, messages."""
    s = dict(GOOD)
    s.update(settings or {})
    f = bytearray(477)
    f[0] = kind
    struct.pack_into("<fI", f, 1, time, frame_no)
    struct.pack_into("<3f", f, 113, 100.0, -200.0, 36.0)  # origin
    f[247] = msec
    for name, off in OFFSETS.items():
        struct.pack_into("<f", f, off, s[name])
    struct.pack_into("<i", f, 361, s["footsteps"])
    struct.pack_into("<I", f, 473, len(messages))
    return bytes(f) + messages


def marker(time):
    return struct.pack("<BfI", 2, time, 0)


def lan_frame(time):
    # Type 9 carries a length; 8 bytes in every recorded demo.
    return struct.pack("<BfII", 9, time, 0, 8) + bytes(8)


def button_message(pattern):
    return b"\x03\x11\x22" + b"\x06\x06" + b"\x00\x10\x20\x30\x40" + pattern + b"\x01" * 6


def demo():
    out = bytearray(header())
    identity = (b"\x0e\x00" + b"\\model\\gordon\\*sid\\" + STEAMID64 + b"\\name\\" + PLAYER +
                b"\\rate\\25000\x00" + b"\x00" * 8)
    out += net_frame(0, 0.0, identity)
    out += marker(0.0)
    t = 1.0
    frame_no = 1
    # Warm-up before the start button: a wrong setting here does not count.
    for _ in range(4):
        out += net_frame(1, t, b"\x01" * 40, settings={"gravity": 600.0}, frame_no=frame_no)
        out += lan_frame(t)
        t += 1.0
        frame_no += 1
    out += net_frame(1, 5.0, button_message(START_PATTERN), frame_no=frame_no)
    out += lan_frame(5.0)
    # The run: one frame a second, air acceleration wrong on two of them.
    for k in range(83):
        t = 6.0 + k
        wrong = {"airaccelerate": 100.0} if k in (30, 31) else {}
        out += net_frame(1, t, b"\x01\x02\x03" * 20, settings=wrong, frame_no=frame_no + 1 + k)
        out += lan_frame(t)
        if k == 40:
            out += struct.pack("<BfI", 3, t, 0) + b"+jump".ljust(64, b"\0")
    out += net_frame(1, 88.456, button_message(STOP_PATTERN), frame_no=frame_no + 90)
    # What a demo holds after the run ends is never walked; keep a little.
    out += lan_frame(88.5) + marker(89.0)
    return bytes(out)


def recdata(revision=1):
    def entries(patterns):
        b = bytes([len(patterns)])
        for p in patterns:
            b += bytes([len(p)]) + p
        return b

    def mode3_entries(items):
        b = bytes([len(items)])
        for kind, value in items:
            if kind == "pattern":
                b += b"\x01" + bytes([len(value)]) + value
            else:
                b += b"\x00" + struct.pack("<3h", *value)
        return b

    maps = [
        (b"kz_rw_sample", 0, entries([START_PATTERN]), entries([STOP_PATTERN])),
        (b"kz_rw_climb", 2, entries([bytes.fromhex("1f0201")]), entries([bytes.fromhex("1f0202")])),
        (b"kz_rw_cave", 3, mode3_entries([("position", (-1024, 512, 64))]),
         mode3_entries([("position", (2048, -768, 128)), ("pattern", bytes.fromhex("2a0b"))])),
    ]
    body = b""
    for name, mode, start, stop in maps:
        body += bytes([len(name)]) + name + bytes([mode]) + start + stop
    return struct.pack("<III", revision, 2, zlib.crc32(body) & 0xFFFFFFFF) + body


def runs_list():
    lines = [
        "Runwarden world records 2026-12-06",
        "kz_rw_sample 01:19.87 Mellow [de]",
        "kz_rw_sample[pro] 01:21.02 Quickstep [se]",
        "kz_rw_climb 04:02.50 Ledgegrab [fi]",
    ]
    return ("\r\n".join(lines) + "\r\n").encode("ascii")


def files():
    return {"sample.dem": demo(), "RecData.dat": recdata(), "demos_tcl.txt": runs_list()}


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--out", default=None)
    ap.add_argument("--check", nargs="?", const="", default=None, metavar="DIR")
    args = ap.parse_args()
    root = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "examples")
    if args.check is not None:
        folder = args.check or root
        bad = []
        for name, data in files().items():
            path = os.path.join(folder, name)
            if not os.path.exists(path) or open(path, "rb").read() != data:
                bad.append(name)
        if bad:
            print("out of date (run tools/make_sample.py): " + ", ".join(bad), file=sys.stderr)
            return 1
        return 0
    folder = args.out or root
    os.makedirs(folder, exist_ok=True)
    for name, data in files().items():
        with open(os.path.join(folder, name), "wb") as f:
            f.write(data)
    return 0


if __name__ == "__main__":
    sys.exit(main())
