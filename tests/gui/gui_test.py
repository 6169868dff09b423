#!/usr/bin/env python3
"""GUI test of Runwarden.exe under Wine: a demo, its profile link and .rar files taken apart by a stand-in
rar.exe registered as WinRAR, through the file dialog of one running program. The layout unit test owns the
panel's geometry; this looks at states: where there is text, the colours of text and link, the button.
"""
import glob
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from gui_session import check, options, run_test, wait_until, write  # noqa: E402

DIALOG = "Open cstrike demo"
EXAMPLES = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "examples")


def windows_path(*parts):
    return "Z:" + os.path.abspath(os.path.join(*parts)).replace("/", "\\")


def count(pixels, test):
    return sum(1 for p in pixels if test(p))


dark, red, green, blue = (lambda p: sum(p) < 200,
                          lambda p: p[0] > 120 and p[0] > p[1] + 60 and p[0] > p[2] + 60,
                          lambda p: p[1] > 50 and p[1] > p[0] + 30 and p[1] > p[2] + 30,
                          lambda p: p[2] > 120 and p[2] > p[0] + 60 and p[2] > p[1] + 80)  # the link's blue


def text(p, x0, y0, x1, y1):
    return count(p.region(x0, y0, x1, y1), dark) >= 10


def button_enabled(p):
    return min(sum(px) for px in p.region(60, 378, 220, 396)) < 150


def framed(p):
    return p.pixel(140, 40) == (0, 0, 0) and p.pixel(140, 362) == (0, 0, 0)


def result(p):
    """The labels of the time and the fps rows."""
    return framed(p) and text(p, 10, 116, 90, 134) and text(p, 10, 166, 90, 184)


def records_list(p):
    # The list's drop-down arrow stands at the right end of the world-record row.
    return count(p.region(258, 132, 276, 152), dark) >= 3


def good(p):
    """A finished check of the bundled sample: the list, the link, a green fps, one red settings line."""
    fps = p.region(97, 166, 170, 184)
    return (result(p) and button_enabled(p) and records_list(p) and count(p.region(97, 202, 270, 220), red) >= 10
            and not count(p.region(97, 220, 270, 238), red) and count(fps, green) >= 10 and not count(fps, red)
            and count(p.region(97, 184, 270, 202), blue) >= 10)


def underlined(p):
    """A row under the SteamID with a long run of the link's blue."""
    rows = ("".join("b" if blue(p.pixel(x, y)) else "." for x in range(97, 275)) for y in range(184, 204))
    return any("b" * 60 in row for row in rows)


def check_file(s, path, state):
    s.choose_file(windows_path(path))
    return s.wait_panel(os.path.basename(path), state)


def write_files(s):
    """The records beside the program and on the server (no download, no message), the server's other files, and
    archives in the stand-in rar.exe's format (the names, and ARCHIVE.d with the entries)."""
    records, runs, sample = (open(os.path.join(EXAMPLES, n), "rb").read()
                             for n in ("RecData.dat", "demos_tcl.txt", "sample.dem"))
    files = {"RecData.dat": records, "server/intern/Runwarden/RecData.dat": records,
             "server/intern/Runwarden/x64/UpdateData.dat": bytes([15, 0, 0, 0, 0, 0, 0, 0]),  # its own version
             "server/demos_tcl.txt": runs, "my 100% runs.rar.d/kz/good.dem": sample,
             "my 100% runs.rar": b'readme.txt\r\nkz\\bad"name.dem\r\nkz\\good.dem\r\nother.dem\r\n'}
    for name, data in files.items():
        write(os.path.join(s.work, name), data)


def rar_calls(s):
    log = os.path.join(s.args.fake_rar_dir, "rar_calls.log")
    return [c[4:] for c in open(log, encoding="utf-8").read().splitlines()] if os.path.exists(log) else []


def scenario(s):
    browser_log, browser = os.path.join(s.work, "browser.log"), os.path.join(s.work, "browser.sh")
    write(browser, b"#!/bin/sh\nprintf '%%s\\n' \"$*\" >> '%s'\n" % browser_log.encode())
    os.chmod(browser, 0o755)
    check(s.wine("reg", "add", r"HKCU\Software\Wine\WineBrowser", "/v", "Browsers", "/d", browser, "/f") == 0,
          "could not register the browser")
    check(s.wine("reg", "add", r"HKCU\Software\WinRAR SFX", "/v", "C%%Program Files%WinRAR", "/t", "REG_SZ", "/d",
                 windows_path(s.args.fake_rar_dir), "/f") == 0, "could not register the archiver")
    write_files(s)
    s.start_server(os.path.join(s.work, "server"))
    s.start_app(exe=write(os.path.join(s.work, "Runwarden.exe"), open(s.args.exe, "rb").read()))  # beside its records
    s.keep(s.wait_panel("the idle panel", lambda p: framed(p) and button_enabled(p) and not text(p, 0, 41, 280, 320)),
           "idle")
    shot = s.keep(check_file(s, os.path.join(EXAMPLES, "sample.dem"), good), "good_result")
    check(not underlined(shot), "no underline before hovering")
    # Windows-like fonts: "Demo: " ends short of its value at x 50; a serif stand-in for Segoe UI runs into it.
    check(not count(shot.region(46, 48, 50, 66), dark), "the demo label stops short of its value")

    # Hovering the SteamID underlines it; the press and release open the profile
    # and drop the underline at once, the pointer still on the link.
    s.move_to(105, 192)
    s.keep(s.wait_panel("the hovered link", underlined), "link_hover")
    s.click(105, 192)
    opened = wait_until("the browser", lambda: os.path.exists(browser_log) and open(browser_log).read().strip())
    check(opened.endswith("/profiles/76561198000000001") and opened.startswith("http://" + s.args.profile_host),
          "the profile address was opened: %r" % opened)
    s.wait_panel("the link at rest after opening", lambda p: result(p) and not underlined(p))
    # Leaving the window straight from the link drops the underline. (Wine
    # merges pointer motions, so a step off and back could arrive as no move.)
    s.move_to(110, 192)
    s.wait_panel("the hovered link again", underlined)
    s.xdotool("mousemove", "1010", "760")
    s.wait_panel("the link at rest", lambda p: result(p) and not underlined(p))

    # A file that is no demo: a message at the top, no results.
    s.keep(check_file(s, os.path.join(EXAMPLES, "demos_tcl.txt"), lambda p: framed(p) and button_enabled(p) and text(
        p, 0, 48, 280, 66) and not text(p, 0, 116, 90, 134) and not records_list(p)), "rejected")

    def leftovers():
        return {os.path.join(t, n) for t in glob.glob(os.path.join(s.args.prefix, "drive_c", "users", "*", "Temp"))
                for n in os.listdir(t) if n == "good.dem" or (n.startswith("RW") and n.endswith(".tmp"))}
    before = leftovers()
    s.keep(check_file(s, os.path.join(s.work, "my 100% runs.rar"), good), "archive_result")
    rar, archive = windows_path(s.args.fake_rar_dir, "rar.exe"), windows_path(s.work, "my 100% runs.rar")
    calls = rar_calls(s)
    check(calls[0::2] == ['"%s" vb -- "%s"' % (rar, archive),
                          '"%s" x -av- -ep -- "%s" "kz\\good.dem"' % (rar, archive)],
          "rar.exe ran directly with the quoted archive path, the hostile entry skipped: %r" % calls)
    drive, rest = calls[1][:2], calls[1][2:].strip("\\").split("\\")
    check(drive.upper() == "C:" and os.path.isdir(os.path.join(s.args.prefix, "drive_c", *rest)),
          "rar.exe ran in the temporary folder: %r" % calls[1])
    check(not leftovers() - before, "the listing and the extracted demo are gone: %r" % (leftovers() - before))

    # While rar.exe is held, hovering the old result's link repaints the panel
    # with the button still disabled; a click on it starts nothing, and the
    # window goes on answering.
    hold = os.path.join(s.args.fake_rar_dir, "rar_hold")
    open(hold, "w").close()
    try:
        s.choose_file(archive)
        wait_until("the held listing", lambda: len(rar_calls(s)) == 6)
        s.move_to(105, 192)
        panel = s.keep(s.wait_panel("the old link hovered", lambda p: result(p) and underlined(p)), "under_way")
        check(not button_enabled(panel), "the button stays disabled while the archive is taken apart")
        s.click(140, 386)
        s.move_to(20, 300)
        panel = s.wait_panel("the old link at rest", lambda p: result(p) and not underlined(p))
        check(not button_enabled(panel), "a click on the disabled button starts nothing")
    finally:
        os.remove(hold)
    s.wait_panel("the held archive's result", good)
    check(not s.find_window(DIALOG), "no second file dialog")
    check(s.close_app() == 0, "exit code after closing is 0")


def main():
    args = options(__doc__, "exe", "wine", "wine_setup", "prefix", "server", "fake_rar_dir", "work", "screenshots",
                   "profile_host", "port")
    log = os.path.join(args.fake_rar_dir, "rar_calls.log")
    if os.path.exists(log):
        os.remove(log)
    return run_test(args, "gui", scenario)


if __name__ == "__main__":
    sys.exit(main())
