#!/usr/bin/env python3
"""Renders runwarden-check's run graphs in a real browser (headless Chromium) and reads the pixels: for a
steady 100-fps demo the curve lies on the 100 guide; for a demo with a 125-fps burst it rises above the guide
only where the burst is. Exits 77 (skipped) when Chromium is missing or cannot start.

    graph_render_test.py --check RUNWARDEN-CHECK --tools TOOLS_DIR
"""
import argparse
import os
import re
import shutil
import subprocess
import sys
import tempfile

SKIP = 77


def demo(stretches):
    """An untimed demo (no records): frames of the given (count, msec), one after another from 1 s on."""
    out, t = bytearray(SAMPLE.header()) + SAMPLE.marker(0.0), 1.0
    for count, msec in stretches:
        for _ in range(count):
            t += msec / 1000
            out += SAMPLE.net_frame(1, t, b"", msec=msec)
    return bytes(out + SAMPLE.marker(t))


def render(chromium, svg, png, tmp):
    cmd = [chromium, "--headless", "--no-sandbox", "--disable-gpu", "--hide-scrollbars", "--window-size=1200,400",
           "--user-data-dir=" + os.path.join(tmp, "profile"), "--screenshot=" + png, "file://" + svg]
    try:
        subprocess.run(cmd, stdin=subprocess.DEVNULL, capture_output=True, timeout=120)
    except subprocess.TimeoutExpired:
        pass
    return os.path.exists(png) and subprocess.run(["convert", png, png + ".ppm"]).returncode == 0


def check_graph(name, svg_text, png, burst):
    """Problems with the curve's place against the 100 guide; burst is the (from, to) share of the plot's width."""
    guide = float(re.search(r'id="guide-100" x1="[\d.]+" y1="([\d.]+)"', svg_text).group(1))
    left, width = (float(v) for v in re.search(r'id="plot" x="([\d.]+)" y="[\d.]+" width="([\d.]+)"', svg_text).groups())
    panel = Panel(open(png + ".ppm", "rb").read())
    curve = lambda p: p[2] > p[0] + 40 and p[2] > p[1] + 20
    columns = range(int(left) + 3, int(left + width) - 3)
    drawn = {x: [y for y in range(40, 345) if curve(panel.pixel(x, y))] for x in columns}
    problems = []
    if sum(1 for x in columns if drawn[x]) < 0.9 * len(columns):
        problems.append("the curve does not span the plot")
    above = [x for x in columns if any(y < guide - 4 for y in drawn[x])]
    below = [x for x in columns if any(y > guide + 3 for y in drawn[x])]
    if below:
        problems.append("curve below the guide in columns %s..%s" % (below[0], below[-1]))
    if burst is None and above:
        problems.append("steady curve above the guide in columns %s..%s" % (above[0], above[-1]))
    if burst is not None:
        lo, hi = left + burst[0] * width - 3, left + burst[1] * width + 3
        if not above or above[0] < lo or above[-1] > hi or len(above) < 0.8 * (hi - lo - 6):
            problems.append("burst columns %s, expected %d..%d" % (above and (above[0], above[-1]), lo, hi))
    return ["%s: %s" % (name, p) for p in problems]


def main():
    global SAMPLE, Panel
    ap = argparse.ArgumentParser()
    ap.add_argument("--check", required=True)
    ap.add_argument("--tools", required=True)
    args = ap.parse_args()
    sys.path[:0] = [args.tools, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "gui")]
    import make_sample as SAMPLE  # noqa: N812  the sample's frame writers
    from gui_session import Panel  # reads the pixels of a PPM picture

    chromium = shutil.which("chromium") or shutil.which("chromium-browser")
    if not chromium or not shutil.which("convert"):
        print("SKIP: Chromium or ImageMagick is not installed; the run graphs were not rendered")
        return SKIP
    # 10 s at 100 fps, 4 s at 125 fps, 10 s at 100 fps: the burst spans 10/24 to 14/24 of the plot.
    demos = {"steady": ([(2400, 10)], None), "burst": ([(1000, 10), (500, 8), (1000, 10)], (10 / 24, 14 / 24))}
    problems = []
    with tempfile.TemporaryDirectory() as tmp:
        for name, (stretches, _) in demos.items():
            with open(os.path.join(tmp, name + ".dem"), "wb") as f:
                f.write(demo(stretches))
        done = subprocess.run([args.check, "--graph", "out", "steady.dem", "burst.dem"], cwd=tmp, capture_output=True)
        if done.returncode != 0:
            print("FAIL: runwarden-check exited %d: %s" % (done.returncode, done.stderr.decode()))
            return 1
        for name, (_, burst) in demos.items():
            svg, png = os.path.join(tmp, "out", name + ".svg"), os.path.join(tmp, name + ".png")
            if not render(chromium, svg, png, tmp):
                print("SKIP: Chromium did not start, so the run graphs were not rendered")
                return SKIP
            problems += check_graph(name, open(svg, encoding="utf-8").read(), png, burst)
    for p in problems:
        print("FAIL: " + p)
    print("graphs rendered as expected" if not problems else "%d problems" % len(problems))
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
