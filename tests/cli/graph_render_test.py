#!/usr/bin/env python3
"""Renders runwarden-check's run graphs in a real browser (headless Chromium) and reads the pixels: for a
steady 100-fps demo the curve lies on the 100 guide; for a demo with a 125-fps burst it rises above the guide
only where the burst is. Exits 77 (skipped) when Chromium is missing or cannot start.

    graph_render_test.py RUNWARDEN-CHECK TOOLS_DIR
"""
import os
import re
import shutil
import subprocess
import sys
import tempfile

sys.path[:0] = [sys.argv[2], os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "gui")]
import make_sample as sample  # noqa: E402  the sample's frame writers
from gui_session import Panel  # noqa: E402  reads the pixels of a PPM picture

SKIP = 77
# 10 s at 100 fps, 4 s at 125 fps, 10 s at 100 fps: the burst spans 10/24 to 14/24 of the plot.
DEMOS = {"steady": ([(2400, 10)], None), "burst": ([(1000, 10), (500, 8), (1000, 10)], (10 / 24, 14 / 24))}


def demo(stretches):
    """An untimed demo (no records): frames of the given (count, msec), one after another from 1 s on."""
    out, t = bytearray(sample.header()) + sample.marker(0.0), 1.0
    for count, msec in stretches:
        for _ in range(count):
            t += msec / 1000
            out += sample.net_frame(1, t, b"", msec=msec)
    return bytes(out + sample.marker(t))


def render(chromium, svg, png, tmp):
    cmd = [chromium, "--headless", "--no-sandbox", "--disable-gpu", "--hide-scrollbars", "--window-size=1200,400",
           "--user-data-dir=" + os.path.join(tmp, "profile"), "--screenshot=" + png, "file://" + svg]
    try:
        subprocess.run(cmd, stdin=subprocess.DEVNULL, capture_output=True, timeout=120)
    except subprocess.TimeoutExpired:
        return None
    if os.path.exists(png) and subprocess.run(["convert", png, png + ".ppm"]).returncode == 0:
        return Panel(open(png + ".ppm", "rb").read())


def problems(name, svg, panel, burst):
    """The curve against the 100 guide; burst is the (from, to) share of the plot's width where it is above."""
    guide = float(re.search(r'id="guide-100" x1="[\d.]+" y1="([\d.]+)"', svg).group(1))
    left, width = (float(v) for v in re.search(r'id="plot" x="([\d.]+)" y="[\d.]+" width="([\d.]+)"', svg).groups())
    columns = range(int(left) + 3, int(left + width) - 3)
    drawn = {x: [y for y in range(40, 345) if (lambda p: p[2] > p[0] + 40 and p[2] > p[1] + 20)(panel.pixel(x, y))]
             for x in columns}
    above = [x for x in columns if any(y < guide - 4 for y in drawn[x])]
    below = [x for x in columns if any(y > guide + 3 for y in drawn[x])]
    lo, hi = (left + burst[0] * width - 3, left + burst[1] * width + 3) if burst else (0, 0)
    found = ["the curve does not span the plot"] if sum(1 for x in columns if drawn[x]) < 0.9 * len(columns) else []
    if below:
        found.append("curve below the guide in columns %s..%s" % (below[0], below[-1]))
    if above and (above[0] < lo or above[-1] > hi) or len(above) < 0.8 * (hi - lo - 6):
        found.append("curve above the guide in columns %s, expected %d..%d" % (above[:1] + above[-1:], lo, hi))
    return ["%s: %s" % (name, p) for p in found]


def main():
    chromium = shutil.which("chromium") or shutil.which("chromium-browser")
    if not chromium or not shutil.which("convert"):
        print("SKIP: Chromium or ImageMagick is not installed; the run graphs were not rendered")
        return SKIP
    found = []
    with tempfile.TemporaryDirectory() as tmp:
        for name, (stretches, _) in DEMOS.items():
            with open(os.path.join(tmp, name + ".dem"), "wb") as f:
                f.write(demo(stretches))
        done = subprocess.run([sys.argv[1], "--graph", "out", "steady.dem", "burst.dem"], cwd=tmp, capture_output=True)
        if done.returncode != 0:
            print("FAIL: runwarden-check exited %d: %s" % (done.returncode, done.stderr.decode()))
            return 1
        for name, (_, burst) in DEMOS.items():
            svg = os.path.join(tmp, "out", name + ".svg")
            panel = render(chromium, svg, os.path.join(tmp, name + ".png"), tmp)
            if not panel:
                print("SKIP: Chromium did not start, so the run graphs were not rendered")
                return SKIP
            found += problems(name, open(svg, encoding="utf-8").read(), panel, burst)
    print("\n".join("FAIL: " + p for p in found) or "graphs rendered as expected")
    return 1 if found else 0


if __name__ == "__main__":
    sys.exit(main())
