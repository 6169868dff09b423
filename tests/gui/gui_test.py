#!/usr/bin/env python3
"""GUI tests of Runwarden.exe under Wine: gui_test.py SCENARIO [options], one scenario_ function each.

The layout unit test owns the panel's geometry; these look at states: where
there is text, the colours of marks, text and link, the button.
"""
import argparse
import glob
import os
import shutil
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from gui_session import Session, TestFailure, check, wait_until  # noqa: E402

DIALOG = "Open cstrike demo"


def windows_path(*parts):
    return "Z:" + os.path.abspath(os.path.join(*parts)).replace("/", "\\")


def count(pixels, test):
    return sum(1 for p in pixels if test(p))


dark, red, green, blue = (lambda p: sum(p) < 200,
                          lambda p: p[0] > 120 and p[0] > p[1] + 60 and p[0] > p[2] + 60,
                          lambda p: p[1] > 50 and p[1] > p[0] + 30 and p[1] > p[2] + 30,
                          lambda p: p[2] > 120 and p[2] > p[0] + 60 and p[2] > p[1] + 80)  # the link's blue


# --- states of the panel ------------------------------------------------------

def text(p, x0, y0, x1, y1):
    return count(p.region(x0, y0, x1, y1), dark) >= 10


def button_enabled(p):
    return min(sum(px) for px in p.region(60, 378, 220, 396)) < 150


def framed(p):
    return p.pixel(140, 40) == (0, 0, 0) and p.pixel(140, 362) == (0, 0, 0)


def idle(p):
    return framed(p) and button_enabled(p) and not text(p, 0, 41, 280, 320)


def message(p):
    """A message at the top and no results (updates, failures, rejections)."""
    return framed(p) and button_enabled(p) and text(p, 0, 48, 280, 66) and not text(p, 0, 116, 90, 134)


def result(p):
    """The labels of the time and the fps rows."""
    return framed(p) and text(p, 10, 116, 90, 134) and text(p, 10, 166, 90, 184)


def records_list(p):
    # The list's drop-down arrow stands at the right end of the world-record row.
    return count(p.region(258, 132, 276, 152), dark) >= 3


def good(p):
    """A finished check of good.dem: the green mark, no settings lines, a green fps, the link and the list."""
    fps = p.region(97, 166, 170, 184)
    return (result(p) and button_enabled(p) and records_list(p) and count(p.region(97, 202, 125, 224), green) >= 10
            and not count(p.region(97, 202, 270, 226), red) and count(fps, green) >= 10 and not count(fps, red)
            and count(p.region(97, 184, 270, 202), blue) >= 10)


def slow(p):
    """slow.dem: three red settings lines, no mark, a red fps, its one world-record line as text."""
    fps = p.region(97, 166, 170, 184)
    return (result(p) and button_enabled(p) and not records_list(p) and count(fps, red) >= 10
            and all(count(p.region(97, y, 270, y + 18), red) >= 10 for y in (202, 220, 238))
            and not count(p.region(97, 202, 125, 256), green) and count(p.region(97, 134, 250, 152), dark) >= 10)


def underlined(p):
    """A row under the SteamID with a long run of the link's blue."""
    for y in range(p.px(184), p.px(204)):
        run = 0
        for x in range(p.px(97), p.px(275)):
            run = run + 1 if blue(p.screen_pixel(x, y)) else 0
            if run >= p.px(60):
                return True
    return False


def start(s, *args, **kw):
    """The program beside the server's records file (no download, no message), against the server."""
    shutil.copyfile(os.path.join(s.args.fixtures, "server", "intern", "Runwarden", "RecData.dat"),
                    os.path.join(s.work, "RecData.dat"))
    s.start_server(os.path.join(s.args.fixtures, "server"))
    s.start_app(*args, **kw)


def check_file(s, name, state, *folders):
    s.choose_file(windows_path(s.args.fixtures, *(folders or ["demos"]), name))
    return s.wait_panel(name, state)


def rar_calls(s):
    log = os.path.join(s.args.fake_rar_dir, "rar_calls.log")
    return [c[4:] for c in open(log, encoding="utf-8").read().splitlines()] if os.path.exists(log) else []


# --- scenarios ----------------------------------------------------------------------

def scenario_startup(s):
    """The update pass with the servers held, then unreachable."""
    s.start_server(os.path.join(s.args.fixtures, "server"), hold=True)
    s.start_app()
    panel = s.wait_panel("Checking for updates ...", lambda p: framed(p) and text(p, 0, 48, 280, 66)
                         and not button_enabled(p))
    s.keep(panel, "checking_for_updates")

    def left(p):
        return next((x for x in range(280) if count(p.region(x, 48, x + 1, 66), dark)), 280)
    checking = left(panel)
    s.stop_server()  # held requests fail and later ones find nothing
    s.keep(s.wait_panel("the wider connection message", lambda p: message(p) and left(p) + 20 < checking),
           "unable_to_connect")
    check(s.close_app() == 0, "exit code after closing is 0")


def scenario_demos(s):
    """Through the file dialog: a good run (its link, its records list), a slow one, a rejected file, a .rar
    without WinRAR."""
    browser_log, browser = os.path.join(s.work, "browser.log"), os.path.join(s.work, "browser.sh")
    with open(browser, "w") as f:
        f.write("#!/bin/sh\nprintf '%%s\\n' \"$*\" >> '%s'\n" % browser_log)
    os.chmod(browser, 0o755)
    check(s.wine("reg", "add", r"HKCU\Software\Wine\WineBrowser", "/v", "Browsers", "/d", browser, "/f") == 0,
          "could not register the browser")
    s.wine("reg", "delete", r"HKCU\Software\WinRAR SFX", "/f")
    start(s)
    s.keep(s.wait_panel("the idle panel", idle), "idle")
    check(not underlined(s.keep(check_file(s, "good.dem", good), "good_result")), "no underline before hovering")

    # Hovering the SteamID underlines it; the press and release open the profile
    # and drop the underline at once, the pointer still on the link.
    s.move_to(105, 192)
    s.keep(s.wait_panel("the hovered link", underlined), "link_hover")
    s.click(105, 192)
    opened = wait_until("the browser", lambda: os.path.exists(browser_log) and open(browser_log).read().strip())
    check(opened.endswith("/profiles/76561198000000000") and opened.startswith("http://" + s.args.profile_host),
          "the profile address was opened: %r" % opened)
    s.wait_panel("the link at rest after opening", lambda p: result(p) and not underlined(p))
    # Leaving the window straight from the link drops the underline. (Wine
    # merges pointer motions, so a step off and back could arrive as no move.)
    s.move_to(110, 192)
    s.wait_panel("the hovered link again", underlined)
    s.xdotool("mousemove", "1010", "760")
    panel = s.wait_panel("the link at rest", lambda p: result(p) and not underlined(p))

    # The user's choice in the records list survives repaints of the same result.
    before = panel.region(100, 132, 250, 144)
    s.click(180, 137)
    s.xdotool("key", "Down")
    s.xdotool("key", "Return")
    chosen = s.wait_panel("another record line", lambda p: p.region(100, 132, 250, 144) != before)
    s.move_to(105, 192)  # the hover repaints the panel
    repainted = s.wait_panel("the hovered link", underlined)
    check(repainted.region(100, 132, 250, 144) == chosen.region(100, 132, 250, 144), "a repaint keeps the choice")
    s.xdotool("mousemove", "1010", "760")

    s.keep(check_file(s, "slow.dem", slow), "slow_result")
    panel = s.keep(check_file(s, "notademo.dem", lambda p: message(p) and not records_list(p)), "rejected")
    s.keep(check_file(s, "my 100% runs.rar", lambda p: message(p) and p.region(0, 48, 280, 66) != panel.region(
        0, 48, 280, 66), "archives"), "archive_without_winrar")
    check(not rar_calls(s), "without WinRAR nothing was run")
    check(s.close_app() == 0, "exit code after closing is 0")


def scenario_archive(s):
    """A .rar taken apart by a stand-in rar.exe registered as WinRAR."""
    check(s.wine("reg", "add", r"HKCU\Software\WinRAR SFX", "/v", "C%%Program Files%WinRAR", "/t", "REG_SZ", "/d",
                 windows_path(s.args.fake_rar_dir), "/f") == 0, "could not register the archiver")
    start(s)
    s.wait_panel("the idle panel", idle)

    def leftovers():
        return {os.path.join(t, n) for t in glob.glob(os.path.join(s.args.prefix, "drive_c", "users", "*", "Temp"))
                for n in os.listdir(t) if n == "good.dem" or (n.startswith("RW") and n.endswith(".tmp"))}
    before = leftovers()
    s.keep(check_file(s, "my 100% runs.rar", good, "archives"), "archive_result")
    rar, archive = windows_path(s.args.fake_rar_dir, "rar.exe"), windows_path(s.args.fixtures, "archives",
                                                                             "my 100% runs.rar")
    calls = rar_calls(s)
    check(calls[0::2] == ['"%s" vb -- "%s"' % (rar, archive), '"%s" x -av- -ep -- "%s" "kz\\good.dem"' % (rar, archive)],
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

    # An archive whose names are all refused holds no demo: only the listing runs.
    s.keep(check_file(s, "hostile.rar", message, "archives"), "archive_without_demo")
    calls = rar_calls(s)[0::2]
    check(len(calls) == 5 and " vb " in calls[4], "only the listing ran for it: %r" % calls)
    check(s.close_app() == 0, "exit code after closing is 0")


def scenario_hidpi(s):
    """At 144 DPI the window is half as large again, and the link is where it is drawn."""
    start(s)
    s.wait_panel("the idle panel", idle)
    check(s.geometry()[2:] == (420, 615), "the client area is 420x615, not %s" % (s.geometry()[2:],))
    s.keep(check_file(s, "good.dem", good), "good_result")
    s.move_to(105, 192)  # below the unscaled link: its hit area has grown with it
    s.keep(s.wait_panel("the hovered link", underlined), "link_hover")


def scenario_ways_in(s):
    """A demo named on the command line, Ctrl+C, Ctrl+O, Tab and Enter."""
    # "Open with": the demo named on the command line is checked once the update pass is over.
    # The shell may start the program in the demo's folder; it works beside its own file still.
    program, demos = os.path.join(s.work, "Runwarden.exe"), os.path.join(s.args.fixtures, "demos")
    shutil.copyfile(s.args.exe, program)
    if os.path.exists(os.path.join(demos, "RecData.dat")):
        os.remove(os.path.join(demos, "RecData.dat"))
    start(s, "good.dem", exe=program, cwd=demos)
    s.keep(s.wait_panel("the good result with no click", good), "open_with")
    check(not s.find_window(DIALOG), "no file dialog")
    check(not os.path.exists(os.path.join(demos, "RecData.dat")), "the records stay beside the program")

    # Ctrl+C copies the panel as runwarden-check words it (less its file line).
    demo = windows_path(demos, "good.dem")
    code, out = s.run(s.args.wine, s.args.check_exe, "--records", windows_path(s.work, "RecData.dat"), "--runs",
                      windows_path(s.args.fixtures, "server", "demos_tcl.txt"), demo)
    first, _, want = out.replace("\r\n", "\n").partition("\n")
    check(first == demo and want, "runwarden-check wrote %r (exit %d)" % (out, code))
    s.key("ctrl+c")
    got = wait_until("the copied result", lambda: s.run("xclip", "-o", "-selection", "clipboard")[1])
    check(got.replace("\r\n", "\n") == want, "the clipboard holds the command line's text:\n%s\nnot:\n%s" % (want, got))

    # Ctrl+O opens the file dialog; Tab reaches the button and Enter presses it.
    s.choose_file(windows_path(demos, "slow.dem"), open_dialog=lambda: s.key("ctrl+o"))
    s.wait_panel("the slow result after Ctrl+O", slow)
    s.choose_file(demo, open_dialog=lambda: s.key("Tab", "Return"))
    s.wait_panel("the good result after Enter", good)
    check(s.close_app() == 0, "exit code after closing is 0")
    s.start_app("missing.dem", exe=program, cwd=demos)  # fails as a failed open does
    s.keep(s.wait_panel("the open failure", message), "open_with_missing_file")
    check(s.close_app() == 0, "exit code after closing is 0")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("scenario", choices=("startup", "demos", "archive", "hidpi", "ways_in"))
    for name in ("exe", "wine", "wine_setup", "prefix", "server", "fixtures", "fake_rar_dir", "work",
                 "screenshots", "profile_host", "check_exe"):
        parser.add_argument("--" + name.replace("_", "-"), dest=name, required=True)
    parser.add_argument("--port", type=int, required=True)
    args = parser.parse_args()
    s = Session(args, args.scenario, 144 if args.scenario == "hidpi" else 96)
    log = os.path.join(args.fake_rar_dir, "rar_calls.log")
    if os.path.exists(log):
        os.remove(log)
    try:
        s.prepare_prefix()
        s.start_display()
        globals()["scenario_" + args.scenario](s)
    except TestFailure as failure:
        try:
            s.keep(s.grab(), "failure")
        except Exception:  # the failure itself matters more
            pass
        print("FAILED: %s" % failure)
        return 1
    finally:  # anything else propagates with its traceback, after this
        s.shutdown()
    print("passed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
