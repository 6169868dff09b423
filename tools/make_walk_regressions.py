#!/usr/bin/env python3
"""Writes the malformed demos that once broke the demo walk (or would have,
walked the obvious way) to tests/data/crashers/demo_walk/, where
tests/unit/real_demos_test.cpp replays them and checks each one's outcome; run
this again after changing one.

    tools/make_walk_regressions.py [output folder]
"""
import os
import struct
import sys


def header(map_name=b"kz_regression", protocol=48):
    h = bytearray(544)
    h[0:8] = b"HLDEMO\0\0"
    struct.pack_into("<II", h, 8, 5, protocol)
    h[16:16 + len(map_name)] = map_name
    h[276:283] = b"cstrike"
    return bytes(h)


def client_frame(kind, messages=b"", time=0.0, msec=10, claimed=None, gravity=800.0):
    """A type-0/1 frame: 477 fixed bytes with the client state, then messages."""
    f = bytearray(477)
    f[0] = kind
    struct.pack_into("<f", f, 1, time)
    f[247] = msec
    for offset, value in ((297, gravity), (305, 320.0), (317, 10.0), (329, 2.0), (345, 18.0), (349, 2000.0)):
        struct.pack_into("<f", f, offset, value)
    struct.pack_into("<i", f, 361, 1)
    struct.pack_into("<I", f, 473, len(messages) if claimed is None else claimed)
    return bytes(f) + messages


def marker():
    return b"\x02" + bytes(8)


def demo_buffer(length):
    return b"\x09" + bytes(8) + struct.pack("<I", length) + b"\x44" * length


DEMOS = {
    # Buffer frames carry a length; one of 0 bytes is 13 long, not 21.
    "buffer_frame_lengths.dem": header() + marker() + client_frame(1) + demo_buffer(0) + client_frame(1)
    + demo_buffer(8) + client_frame(1) + demo_buffer(300) + marker(),
    # A message length of 4 GiB - 1 in a startup frame must not be allocated.
    "startup_length_4gib.dem": header() + client_frame(0, b"\\name\\Big\\", claimed=0xFFFFFFFF) + marker(),
    # The file ends inside a network frame's fixed part.
    "cut_network_frame.dem": header() + marker() + client_frame(1, b"abc") + client_frame(1)[:200],
    # Commands of 0 ms have no frame rate.
    "zero_msec_frames.dem": header() + marker() + client_frame(1, msec=0) + client_frame(1, msec=0) + marker(),
    # A name longer than the 260-byte buffer, and a SteamID cut by the block's end.
    "long_name_short_sid.dem": header() + client_frame(0, b"\x0d\\name\\" + b"N" * 400 + b"\\*sid\\76561")
    + marker() + marker(),
    # A frame claiming far past the end: progress must stay below 100.
    "network_length_past_end.dem": header() + marker() + client_frame(1, bytes(64), claimed=0x7FFFFFFF),
}


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..", "tests", "data", "crashers", "demo_walk")
    os.makedirs(out, exist_ok=True)
    for name, data in DEMOS.items():
        with open(os.path.join(out, name), "wb") as f:
            f.write(data)
        print(f"{name}: {len(data)} bytes")


if __name__ == "__main__":
    main()
