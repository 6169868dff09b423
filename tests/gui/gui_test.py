#!/usr/bin/env python3
"""GUI tests of Runwarden.exe under Wine: gui_test.py SCENARIO [options].

startup  the update pass with the servers held, then unreachable
ways_in  a demo named on the command line, dropped files, Ctrl+C and the
         panel's menu, Ctrl+O, Tab and Enter
demos    checks driven through the real file dialog: a good run, a slow run
         with wrong settings, a rejected file, and a .rar without WinRAR;
         the records list and the SteamID link
archive  a .rar taken apart by a stand-in rar.exe registered as WinRAR
hidpi    at 144 DPI: the window half as large again, its lines, bands and
         link at the scaled places
"""
import argparse
import glob
import ntpath
import os
import shutil
import sys
import traceback

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from gui_session import (PANEL_W, Session, TestFailure, band, check, fade, wait_until)  # noqa: E402

GREY = 174
LONG_DEMO_NAME = "WWWW a demo kept under a name much wider than the panel WWWW"  # as gui_fixtures writes it
BUTTON_CAPTION = (60, 378, 220, 396)


def windows_path(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


# --- what a panel shows ---------------------------------------------------------

def fade_line_matches(s, panel, y, n, c):
    """The line at y, fading over n (both at 96 DPI), in every row it takes at the panel's DPI."""
    width, n = panel.px(PANEL_W), panel.px(n)
    for row in range(panel.px(y), panel.px(y) + max(1, panel.px(1))):
        for x in range(width - 1):
            want = (fade(x, n, c, width),) * 3
            if panel.pixel(x, row) != want:
                return "fade line at y %d: column %d is %s, want %s" % (row, x, panel.pixel(x, row), want)
        # The stretched picture is never white, which the line would be there.
        last, picture = panel.pixel(width - 1, row), s.picture[y][PANEL_W - 1] if panel.dpi == 96 else None
        if last == (255, 255, 255) or (picture and last != picture):
            return "fade line at y %d touches the last column" % row
    return None


def veils(got, below):
    return all(abs(got[i] - band(below[i])) <= 1.0 for i in range(3))


def banded(s, panel, x, y):
    return veils(panel.pixel(x, y), s.picture[y][x])


def plain(s, panel, x, y):
    return panel.pixel(x, y) == s.picture[y][x]


def expect_band(s, panel, y, height, columns=(2, 277)):
    for x in columns:
        for row in (y, y + height - 1):
            check(banded(s, panel, x, row), "no band at (%d, %d): %s over %s" % (
                x, row, panel.pixel(x, row), s.picture[row][x]))


def expect_line(s, panel, y, n, c):
    problem = fade_line_matches(s, panel, y, n, c)
    check(problem is None, problem)


def count(pixels, test):
    return sum(1 for p in pixels if test(p))


def dark(p):
    return sum(p) < 200


def red(p):
    return p[0] > 120 and p[0] > p[1] + 60 and p[0] > p[2] + 60


def green(p):
    return p[1] > 50 and p[1] > p[0] + 30 and p[1] > p[2] + 30


def link_blue(p):
    return p[2] > 120 and p[2] > p[0] + 60 and p[2] > p[1] + 80


def button_enabled(panel):
    caption = panel.scaled_region(*BUTTON_CAPTION)
    return min(sum(p) for p in caption) < 150


def leftmost_dark_column(panel, y0, y1):
    for x in range(PANEL_W):
        if any(dark(panel.pixel(x, y)) for y in range(y0, y1)):
            return x
    return None


def frame_ok(s, panel):
    return fade_line_matches(s, panel, 40, 80, 0) is None and fade_line_matches(s, panel, 362, 80, 0) is None


def message_state(s, panel):
    """A centred message over one band (status 101, 102 and above, negative)."""
    return (frame_ok(s, panel) and fade_line_matches(s, panel, 72, 40, GREY) is None and banded(s, panel, 2, 60)
            and plain(s, panel, 2, 80))


def result_state(s, panel):
    return (frame_ok(s, panel) and fade_line_matches(s, panel, 108, 40, GREY) is None
            and fade_line_matches(s, panel, 158, 40, GREY) is None)


def expect_message(s, panel, enabled):
    expect_line(s, panel, 40, 80, 0)
    expect_line(s, panel, 362, 80, 0)
    expect_band(s, panel, 41, 31)
    expect_line(s, panel, 72, 40, GREY)
    for y in (73, 108, 158, 202):
        check(plain(s, panel, 2, y), "nothing but the picture below the message band (y %d)" % y)
    check(button_enabled(panel) == enabled, "button should be %s" % ("enabled" if enabled else "disabled"))


def expect_result_frame(s, panel):
    expect_line(s, panel, 40, 80, 0)
    expect_line(s, panel, 362, 80, 0)
    expect_band(s, panel, 41, 67)
    expect_line(s, panel, 108, 40, GREY)
    expect_band(s, panel, 109, 49)
    expect_line(s, panel, 158, 40, GREY)
    expect_band(s, panel, 159, 43)
    check(button_enabled(panel), "the button is enabled after a finished check")


def records_list_shown(s, panel):
    # The list's drop-down button covers the right end of the world-record row.
    return not banded(s, panel, 265, 137) and not plain(s, panel, 265, 137)


def wait_full_result(s, what):
    """A finished check's panel with the button enabled and the records list shown."""
    return s.wait_panel(what, lambda p: result_state(s, p) and button_enabled(p) and records_list_shown(s, p))


def use_server_records(s):
    """The same records file as the server's: no download, no message, idle."""
    with open(os.path.join(s.args.fixtures, "server", "intern", "Runwarden", "RecData.dat"), "rb") as src:
        with open(os.path.join(s.work, "RecData.dat"), "wb") as dst:
            dst.write(src.read())


# --- scenarios ----------------------------------------------------------------------

def scenario_startup(s):
    s.start_server(os.path.join(s.args.fixtures, "server"), hold=True)
    s.start_app()
    panel = s.wait_panel("Checking for updates ...", lambda p: message_state(s, p))
    s.keep(panel, "checking_for_updates")
    expect_message(s, panel, enabled=False)
    checking_left = leftmost_dark_column(panel, 48, 66)

    # The servers go away: held requests fail and later ones find nothing.
    s.stop_server()
    check(checking_left is not None, "the update text is written")

    def wider_message(p):
        left = leftmost_dark_column(p, 48, 66)
        return left is not None and left + 20 < checking_left

    # The button may show its new state a moment before the panel does.
    panel = s.wait_panel("the wider connection message", lambda p: message_state(s, p) and wider_message(p))
    s.keep(panel, "unable_to_connect")
    expect_message(s, panel, enabled=True)
    check(s.close_app() == 0, "exit code after closing is 0")


def good_result_checks(s, panel):
    expect_result_frame(s, panel)
    # All settings right: one 24-pixel band with the green mark, a grey line at 226.
    expect_band(s, panel, 202, 24)
    expect_line(s, panel, 226, 40, GREY)
    check(plain(s, panel, 2, 227), "nothing below the mark's line")
    check(count(panel.region(97, 202, 125, 224), green) >= 10, "green mark at (97, 202)")
    check(count(panel.region(97, 202, 270, 226), red) == 0, "no settings lines")
    fps = panel.region(97, 166, 170, 184)
    check(count(fps, green) >= 10 and count(fps, red) == 0, "fps of 100 is painted green")
    check(count(panel.region(97, 184, 270, 202), link_blue) >= 10, "the SteamID is a link")
    check(records_list_shown(s, panel), "two world-record lines are shown in the list")


def underline_rows(panel):
    rows = []
    for y in range(panel.px(184), panel.px(204)):
        run = best = 0
        for x in range(panel.px(97), panel.px(275)):
            run = run + 1 if link_blue(panel.pixel(x, y)) else 0
            best = max(best, run)
        if best >= panel.px(60):
            rows.append(y)
    return rows


def scenario_demos(s):
    fx = s.args.fixtures
    browser_log = os.path.join(s.work, "browser.log")
    browser = os.path.join(s.work, "browser.sh")
    with open(browser, "w") as f:
        f.write("#!/bin/sh\nprintf '%%s\\n' \"$*\" >> '%s'\n" % browser_log)
    os.chmod(browser, 0o755)
    s.set_browser(browser)
    s.set_archiver(None)
    calls_log = os.path.join(s.args.fake_rar_dir, "rar_calls.log")
    if os.path.exists(calls_log):
        os.remove(calls_log)
    use_server_records(s)
    s.start_server(os.path.join(fx, "server"))
    s.start_app()

    panel = s.wait_panel("the idle panel", lambda p: frame_ok(s, p) and button_enabled(p) and plain(s, p, 2, 60))
    s.keep(panel, "idle")
    for y in (41, 60, 72, 108, 158, 202, 226):
        check(plain(s, panel, 2, y), "idle shows only the picture at y %d" % y)

    # A good run on a map with two world-record lines.
    s.choose_file(windows_path(os.path.join(fx, "demos", "good.dem")))
    # The records list is a child window and may show itself a moment after the panel.
    panel = wait_full_result(s, "the good result")
    s.keep(panel, "good_result")
    good_result_checks(s, panel)
    check(not underline_rows(panel), "no underline before hovering")

    # Hovering the SteamID underlines it; the press and release open the profile.
    s.move_to(105, 192)
    panel = s.wait_panel("the hovered link", lambda p: underline_rows(p))
    s.keep(panel, "link_hover")
    s.click(105, 192)
    wait_until("the browser", lambda: os.path.exists(browser_log), timeout=60)
    opened = open(browser_log).read().strip()
    check(opened.endswith("/profiles/76561198000000000") and opened.startswith("http://" + s.args.profile_host),
          "the profile address was opened: %r" % opened)
    # Opening the address drops the underline at once, the pointer still on the link.
    s.wait_panel("the link at rest after opening", lambda p: result_state(s, p) and not underline_rows(p))
    # Leaving the window straight from the link drops the underline. (One
    # move to another point of the link hovers it again: Wine merges pointer
    # motions, so a step off and back could arrive as no move at all.)
    s.move_to(110, 192)
    s.wait_panel("the hovered link again", lambda p: underline_rows(p))
    s.xdotool("mousemove", "1010", "760")
    panel = s.wait_panel("the link at rest", lambda p: result_state(s, p) and not underline_rows(p))

    # The user's choice in the records list survives repaints of the same result.
    before = panel.region(100, 132, 250, 144)
    s.click(180, 137)
    s.xdotool("key", "Down")
    s.xdotool("key", "Return")
    chosen = s.wait_panel("another record line", lambda p: p.region(100, 132, 250, 144) != before)
    s.move_to(105, 192)  # the hover repaints the panel
    repainted = s.wait_panel("the hovered link", lambda p: underline_rows(p))
    check(repainted.region(100, 132, 250, 144) == chosen.region(100, 132, 250, 144),
          "a repaint keeps the selected record line")
    s.keep(repainted, "records_list_choice_kept")
    s.xdotool("mousemove", "1010", "760")

    # A slow run with three wrong settings on a map with one world-record line.
    s.choose_file(windows_path(os.path.join(fx, "demos", "slow.dem")))
    panel = s.wait_panel("the slow result", lambda p: result_state(s, p) and button_enabled(p)
                         and count(p.region(97, 202, 270, 220), red) > 0 and not records_list_shown(s, p))
    s.keep(panel, "slow_result")
    expect_result_frame(s, panel)
    for y in (202, 220, 238):
        expect_band(s, panel, y, 18)
        check(count(panel.region(97, y, 270, y + 18), red) >= 10, "red settings line at y %d" % y)
    expect_band(s, panel, 256, 6)
    expect_line(s, panel, 262, 40, GREY)
    check(plain(s, panel, 2, 263), "nothing below the settings")
    check(count(panel.region(97, 202, 125, 256), green) == 0, "no mark with wrong settings")
    fps = panel.region(97, 166, 170, 184)
    check(count(fps, red) >= 10 and count(fps, green) == 0, "a low fps is painted red")
    check(not records_list_shown(s, panel), "one world-record line is text, the list is hidden")
    check(count(panel.region(97, 134, 270, 152), dark) >= 10, "the world-record line is written")

    # A demo name wider than the panel ends in dots before the right edge.
    s.choose_file(windows_path(os.path.join(fx, "demos", LONG_DEMO_NAME + ".dem")))
    panel = wait_full_result(s, "the long-named result")
    s.keep(panel, "long_demo_name")
    check(count(panel.region(200, 48, 276, 66), dark) >= 10, "the demo name runs to the right")
    check(count(panel.region(276, 41, PANEL_W, 108), dark) == 0, "nothing is drawn past x 275")

    # A file that is not a demo.
    s.choose_file(windows_path(os.path.join(fx, "demos", "notademo.dem")))
    panel = s.wait_panel("the rejection", lambda p: message_state(s, p) and button_enabled(p)
                         and not records_list_shown(s, p))
    s.keep(panel, "rejected")
    expect_message(s, panel, enabled=True)
    check(not records_list_shown(s, panel), "the list is hidden")

    # Without WinRAR an archive cannot be opened.
    s.choose_file(windows_path(os.path.join(fx, "archives", "my 100% runs.rar")))
    panel = s.wait_panel("the archive failure", lambda p: message_state(s, p) and button_enabled(p)
                         and p.region(0, 48, 280, 66) != panel.region(0, 48, 280, 66))
    s.keep(panel, "archive_without_winrar")
    expect_message(s, panel, enabled=True)
    check(not os.path.exists(calls_log), "nothing was run")

    check(s.close_app() == 0, "exit code after closing is 0")


def temp_folder_unix(s, windows_folder):
    drive, rest = ntpath.splitdrive(windows_folder)
    check(drive.upper() == "C:", "temporary folder on C: (%s)" % windows_folder)
    return os.path.join(s.args.prefix, "drive_c", *[p for p in rest.split("\\") if p])


def scenario_archive(s):
    fx = s.args.fixtures
    calls_log = os.path.join(s.args.fake_rar_dir, "rar_calls.log")
    if os.path.exists(calls_log):
        os.remove(calls_log)
    s.set_archiver(windows_path(s.args.fake_rar_dir))
    use_server_records(s)
    s.start_server(os.path.join(fx, "server"))
    s.start_app()
    s.wait_panel("the idle panel", lambda p: frame_ok(s, p) and button_enabled(p) and plain(s, p, 2, 60))

    def leftovers():
        found = set()
        for temp in glob.glob(os.path.join(s.args.prefix, "drive_c", "users", "*", "Temp")):
            found |= {os.path.join(temp, n) for n in os.listdir(temp)
                      if n == "good.dem" or (n.startswith("RW") and n.endswith(".tmp"))}
        return found
    before = leftovers()

    archive = windows_path(os.path.join(fx, "archives", "my 100% runs.rar"))
    s.choose_file(archive)
    panel = wait_full_result(s, "the archived run's result")
    s.keep(panel, "archive_result")
    good_result_checks(s, panel)

    calls = open(calls_log, encoding="utf-8").read().splitlines()
    commands = [c[4:] for c in calls if c.startswith("cmd=")]
    folders = [c[4:] for c in calls if c.startswith("cwd=")]
    rar = windows_path(os.path.join(s.args.fake_rar_dir, "rar.exe"))
    check(commands == ['"%s" vb -- "%s"' % (rar, archive), '"%s" x -av- -ep -- "%s" "kz\\good.dem"' % (rar, archive)],
          "rar.exe ran directly with the quoted archive path, the hostile entry skipped: %r" % commands)
    check(os.path.isdir(temp_folder_unix(s, folders[0])), "rar.exe ran in the temporary folder: %r" % folders)
    left = leftovers() - before
    check(not left, "the listing and the extracted demo are gone: %r" % sorted(left))

    # While rar.exe is held, hovering the old result's SteamID link repaints
    # the panel with the button still disabled; a click on the button starts
    # nothing, and the window goes on answering.
    hold = os.path.join(s.args.fake_rar_dir, "rar_hold")
    open(hold, "w").close()
    try:
        s.choose_file(archive)
        wait_until("the held listing", lambda: open(calls_log, encoding="utf-8").read().count(" vb ") == 2)
        s.move_to(105, 192)
        panel = s.wait_panel("the old link hovered", lambda p: result_state(s, p) and underline_rows(p))
        s.keep(panel, "archive_check_under_way")
        check(not button_enabled(panel), "the button stays disabled while the archive is taken apart")
        s.click(140, 386)
        s.move_to(20, 300)
        panel = s.wait_panel("the old link at rest", lambda p: result_state(s, p) and not underline_rows(p))
        check(not button_enabled(panel), "a click on the disabled button starts nothing")
    finally:
        os.remove(hold)
    panel = wait_full_result(s, "the held archive's result")
    good_result_checks(s, panel)
    check(not s.xdotool("search", "--onlyvisible", "--name", "^Open cstrike demo$")[1], "no second file dialog")

    # An archive whose names are all refused holds no demo.
    s.choose_file(windows_path(os.path.join(fx, "archives", "hostile.rar")))
    panel = s.wait_panel("no demo in the archive", lambda p: message_state(s, p) and button_enabled(p))
    s.keep(panel, "archive_without_demo")
    expect_message(s, panel, enabled=True)
    calls = open(calls_log, encoding="utf-8").read().splitlines()
    commands = [c[4:] for c in calls if c.startswith("cmd=")]
    check(len(commands) == 5 and " vb " in commands[4], "only the listing ran for it: %r" % commands)
    check(s.close_app() == 0, "exit code after closing is 0")


def scenario_hidpi(s):
    use_server_records(s)
    s.start_server(os.path.join(s.args.fixtures, "server"))
    s.start_app()
    # The frame is found at its scaled rows, two pixels thick, fading over 120.
    idle = s.wait_panel("the idle panel", lambda p: frame_ok(s, p) and button_enabled(p))
    s.keep(idle, "idle")
    check(s.client_size() == (420, 615), "the client area is 420x615, not %s" % (s.client_size(),))

    s.choose_file(windows_path(os.path.join(s.args.fixtures, "demos", "good.dem")))
    panel = s.wait_panel("the good result", lambda p: result_state(s, p) and button_enabled(p))
    s.keep(panel, "good_result")
    expect_line(s, panel, 226, 40, GREY)
    # The bands veil the stretched picture, which the idle panel shows bare there.
    for y, height in ((41, 67), (109, 49), (159, 43), (202, 24)):
        for row in (panel.px(y), panel.px(y + height) - 1):
            for x in (2, panel.px(277)):
                check(veils(panel.pixel(x, row), idle.pixel(x, row)), "no band at (%d, %d): %s over %s" % (
                    x, row, panel.pixel(x, row), idle.pixel(x, row)))
    check(count(panel.scaled_region(97, 202, 125, 224), green) >= 15, "green mark at (146, 303)")
    # The link's hit area has grown with it: this point is below the unscaled one.
    s.move_to(105, 192)
    panel = s.wait_panel("the hovered link", lambda p: underline_rows(p))
    s.keep(panel, "link_hover")


def copied_text(s):
    text = s.clipboard()
    return text.replace("\r\n", "\n") if text else None


def check_text(s, path):
    """runwarden-check's text for the demo, with the records the window has, less its file line."""
    fx = s.args.fixtures
    code, out = s.wine_output(s.args.check_exe, "--records", windows_path(os.path.join(s.work, "RecData.dat")),
                              "--runs", windows_path(os.path.join(fx, "server", "demos_tcl.txt")), path)
    first, _, rest = out.replace("\r\n", "\n").partition("\n")
    check(first == path and rest, "runwarden-check wrote %r (exit %d)" % (out, code))
    return rest


def scenario_ways_in(s):
    fx = s.args.fixtures
    use_server_records(s)
    s.start_server(os.path.join(fx, "server"))
    good = windows_path(os.path.join(fx, "demos", "good.dem"))
    slow = windows_path(os.path.join(fx, "demos", "slow.dem"))

    # "Open with": the demo named on the command line is checked once the update pass is over.
    # The shell may start the program in the demo's folder; it works beside its own file still.
    program = os.path.join(s.work, "Runwarden.exe")
    shutil.copyfile(s.args.exe, program)
    demos = os.path.join(fx, "demos")
    if os.path.exists(os.path.join(demos, "RecData.dat")):
        os.remove(os.path.join(demos, "RecData.dat"))
    s.start_app("good.dem", exe=program, cwd=demos)
    panel = wait_full_result(s, "the good result with no click")
    s.keep(panel, "open_with")
    good_result_checks(s, panel)
    check(not s.xdotool("search", "--onlyvisible", "--name", "^Open cstrike demo$")[1], "no file dialog")
    check(not os.path.exists(os.path.join(demos, "RecData.dat")), "the records stay beside the program")

    # Ctrl+C copies the panel as runwarden-check words it.
    want = check_text(s, good)
    s.key("ctrl+c")
    got = wait_until("the copied result", lambda: copied_text(s))
    check(got == want, "the clipboard holds the command line's text:\n%s\nnot:\n%s" % (want, got))

    # So does the panel's right-click menu.
    s.set_clipboard("other")
    s.move_to(140, 300)
    s.xdotool("click", "3")
    s.key("Down", "Return")
    wait_until("the result copied from the menu", lambda: copied_text(s) == want)

    # A drag from outside Wine: a folder and a text file are passed over, the first demo is checked.
    folder, text = os.path.join(s.work, "kz_folder.dem"), os.path.join(fx, "server", "demos_tcl.txt")
    os.makedirs(folder, exist_ok=True)
    check(s.drop(folder, text, os.path.join(fx, "demos", "slow.dem"), os.path.join(fx, "demos", "good.dem")),
          "the window takes the drop")
    panel = s.wait_panel("the dropped demo's result", lambda p: result_state(s, p) and button_enabled(p)
                         and count(p.region(97, 202, 270, 220), red) > 0)
    s.keep(panel, "dropped")
    # A drop with no demo checks nothing: Ctrl+C, which the window reads after
    # the drop, copies the same result.
    s.set_clipboard("other")
    check(s.drop(folder, text), "the window takes any drop of files")
    s.key("ctrl+c")
    want = check_text(s, slow)
    wait_until("the dropped demo's result copied", lambda: copied_text(s) == want)

    # Ctrl+O opens the file dialog; Tab reaches the button, and Space (which
    # nothing else takes) and Enter press it.
    s.choose_file(good, open_dialog=lambda: s.key("ctrl+o"))
    wait_full_result(s, "the good result after Ctrl+O")
    s.choose_file(slow, open_dialog=lambda: s.key("Tab", "space"))
    s.wait_panel("the slow result after Space", lambda p: result_state(s, p) and button_enabled(p)
                 and count(p.region(97, 202, 270, 220), red) > 0 and not records_list_shown(s, p))
    # The records list is the next stop after the button; Down there picks another line.
    s.choose_file(good, open_dialog=lambda: s.key("Tab", "Return"))
    panel = wait_full_result(s, "the good result after Enter")
    before = panel.region(100, 132, 250, 144)
    s.key("Tab", "Tab", "Down")
    panel = s.wait_panel("another record line by keys", lambda p: p.region(100, 132, 250, 144) != before)
    s.keep(panel, "records_list_by_keys")
    check(s.close_app() == 0, "exit code after closing is 0")

    # A file that is not there fails to open, as a failed open does.
    s.start_app("missing.dem", exe=program, cwd=demos)
    panel = s.wait_panel("the open failure", lambda p: message_state(s, p) and button_enabled(p))
    s.keep(panel, "open_with_missing_file")
    expect_message(s, panel, enabled=True)
    check(s.close_app() == 0, "exit code after closing is 0")


SCENARIOS = {"startup": scenario_startup, "demos": scenario_demos, "archive": scenario_archive,
             "hidpi": scenario_hidpi,
             "ways_in": scenario_ways_in}
SCENARIO_DPI = {"hidpi": 144}  # the others run at 96


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("scenario", choices=sorted(SCENARIOS))
    for name in ("exe", "wine", "wine_setup", "prefix", "server", "picture", "fixtures", "fake_rar_dir", "work",
                 "screenshots", "profile_host", "check_exe"):
        parser.add_argument("--" + name.replace("_", "-"), dest=name, required=True)
    parser.add_argument("--port", type=int, required=True)
    args = parser.parse_args()
    s = Session(args, args.scenario, SCENARIO_DPI.get(args.scenario, 96))
    try:
        s.prepare_prefix()
        s.start_display()
        SCENARIOS[args.scenario](s)
    except TestFailure as failure:
        try:
            panel = s.grab()
            if panel:
                s.keep(panel, "failure")
        except Exception:  # the failure itself matters more
            pass
        print("FAILED: %s" % failure)
        return 1
    except Exception:
        traceback.print_exc()
        return 1
    finally:
        s.shutdown()
    print("passed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
