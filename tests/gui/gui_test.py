#!/usr/bin/env python3
"""GUI test of Runwarden.exe under Wine: a demo, its profile link, its run graph opened by a stand-in default
program, and archives taken apart by stand-ins for rar.exe, 7z.exe and Windows' tar.exe, found in that order,
through the file dialog of one running program.
The layout unit test owns the panel's geometry; this looks at states: text, the colours of text and link.
"""
import os
import re
import shutil
import sys
import time

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
             "server/demos_tcl.txt": runs}
    for archive in ("my 100% runs.rar", "runs.zip"):
        files[archive] = b'readme.txt\r\nkz\\bad"name.dem\r\nkz\\good.dem\r\nother.dem\r\n'
        files[archive + ".d/kz/good.dem"] = sample
    for name, data in files.items():
        write(os.path.join(s.work, name), data)


def call_log(args, archiver):  # each stand-in logs beside itself; tar.exe stands in Windows' own folder
    return os.path.join(*((args.prefix, "drive_c", "windows", "system32") if archiver == "tar" else
                          (args.stand_ins, archiver)), "calls.log")


def calls(s, archiver):
    log = call_log(s.args, archiver)
    return [c[4:] for c in open(log, encoding="utf-8").read().splitlines()] if os.path.exists(log) else []


def show_run_graph(s):
    """"Show run graph" from the panel's right-click menu; the file the default program was asked to open."""
    before = len(calls(s, "viewer"))
    s.move_to(140, 300)
    s.xdotool("click", "3")
    time.sleep(1)  # for the menu to open; the keys then choose its second item
    s.xdotool("key", "Down", "Down", "Return")
    opened = wait_until("the graph viewer", lambda: calls(s, "viewer")[before:])[0]
    path = opened.split('"')[-2]  # the last quoted argument
    drive, rest = path[:2], path[2:].strip("\\").split("\\")
    check(drive.upper() == "C:", "the graph lies on the Windows drive: %r" % opened)
    return os.path.join(s.args.prefix, "drive_c", *rest)


# Each archiver's listing and extraction, run directly: (program, archive, private folder).
COMMANDS = {"rar": ['"{0}" vb -- "{1}"', '"{0}" x -av- -ep -- "{1}" "kz\\good.dem" "{2}\\\\"'],
            "7z": ['"{0}" l -slt -sccUTF-8 -- "{1}"', '"{0}" e -sccUTF-8 "-o{2}" -- "{1}" "kz\\good.dem"'],
            "tar": ['"{0}" -t -f "{1}"', '"{0}" -x -f "{1}" -C "{2}" -- "kz\\good.dem"']}


def check_archive(s, archive, archiver, state):
    """The archive checked with the archiver expected, in a private folder that is gone afterwards."""
    program = r"C:\windows\system32\tar.exe" if archiver == "tar" else windows_path(s.args.stand_ins, archiver,
                                                                                       archiver + ".exe")
    before = len(calls(s, archiver))
    s.choose_file(windows_path(archive))
    wait_until("the listing and the extraction", lambda: len(calls(s, archiver)) >= before + 4)
    s.keep(s.wait_panel(os.path.basename(archive), good), state)
    new = calls(s, archiver)[before:]
    folder = (re.findall(r"C:\\[^\"]*\\RW\d+-\d+-\d+", "".join(new[2:3])) + ["(no private folder)"])[0]
    expected = [c.format(program, windows_path(archive), folder) for c in COMMANDS[archiver]]
    check(new[0::2] == expected, "%s ran directly, the bad entry skipped: %r, not %r" % (archiver, new, expected))
    gone = not os.path.exists(os.path.join(s.args.prefix, "drive_c", *folder[3:].split("\\")))
    check(new[1::2] == [folder, folder] and gone, "%s ran in the private folder, gone afterwards: %r" % (archiver, new))


def scenario(s):
    browser_log, browser = os.path.join(s.work, "browser.log"), os.path.join(s.work, "browser.sh")
    write(browser, b"#!/bin/sh\nprintf '%%s\\n' \"$*\" >> '%s'\n" % browser_log.encode())
    os.chmod(browser, 0o755)
    check(s.wine("reg", "add", r"HKCU\Software\Wine\WineBrowser", "/v", "Browsers", "/d", browser, "/f") == 0,
          "could not register the browser")
    winrar, seven_zip = r"HKCU\Software\WinRAR SFX", r"HKLM\SOFTWARE\7-Zip"
    for key, value, archiver in ((winrar, "C%%Program Files%WinRAR", "rar"), (seven_zip, "Path64", "7z")):
        check(s.wine("reg", "add", key, "/v", value, "/d", windows_path(s.args.stand_ins, archiver), "/f") == 0, key)
    viewer = '"%s" "%%1"' % windows_path(s.args.stand_ins, "viewer", "viewer.exe")
    check(s.wine("reg", "add", r"HKCR\.svg", "/ve", "/d", "RunwardenTest.svg", "/f") == 0 and
          s.wine("reg", "add", r"HKCR\RunwardenTest.svg\shell\open\command", "/ve", "/d", viewer,
                 "/f") == 0, "could not register the SVG viewer")
    shutil.copy(os.path.join(s.args.stand_ins, "tar", "tar.exe"),
                os.path.join(s.args.prefix, "drive_c", "windows", "system32", "tar.exe"))
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

    # The run graph: written to a temporary file, opened with the default program, removed by the next check.
    graph = show_run_graph(s)
    svg = open(graph, "rb").read()
    check(svg.startswith(b"<?xml") and b"kz_rw_sample" in svg and b">stop</text>" in svg, "the graph: %r" % svg[:200])

    # A file that is no demo: a message at the top, no results.
    s.keep(check_file(s, os.path.join(EXAMPLES, "demos_tcl.txt"), lambda p: framed(p) and button_enabled(p) and text(
        p, 0, 48, 280, 66) and not text(p, 0, 116, 90, 134) and not records_list(p)), "rejected")
    check(not os.path.exists(graph), "the next check removed the graph")

    # Every archiver present: rar.exe for the .rar, 7z.exe for the .zip.
    rar_archive, zip_archive = os.path.join(s.work, "my 100% runs.rar"), os.path.join(s.work, "runs.zip")
    check_archive(s, rar_archive, "rar", "archive_result")
    check_archive(s, zip_archive, "7z", "zip_with_7zip")

    # While rar.exe is held, hovering the old result's link repaints the panel
    # with the button still disabled; a click on it starts nothing, and the
    # window goes on answering.
    hold = os.path.join(s.args.stand_ins, "rar", "hold")
    open(hold, "w").close()
    try:
        s.choose_file(windows_path(rar_archive))
        wait_until("the held listing", lambda: len(calls(s, "rar")) == 6)
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

    # 7-Zip found through the user's own key and its value Path; without 7-Zip the .zip opens with Windows'
    # tar.exe; without WinRAR too the .rar.
    user_7zip = r"HKCU\SOFTWARE\7-Zip"
    check(s.wine("reg", "delete", seven_zip, "/f") == 0 and s.wine(
        "reg", "add", user_7zip, "/v", "Path", "/d", windows_path(s.args.stand_ins, "7z"), "/f") == 0, user_7zip)
    check_archive(s, zip_archive, "7z", "zip_with_users_7zip")
    check(s.wine("reg", "delete", user_7zip, "/f") == 0, "could not remove 7-Zip")
    check_archive(s, zip_archive, "tar", "zip_with_tar")
    check(s.wine("reg", "delete", winrar, "/f") == 0, "could not remove WinRAR")
    check_archive(s, rar_archive, "tar", "rar_with_tar")
    graph = show_run_graph(s)
    check(os.path.exists(graph), "the archive's graph was written")
    check(s.close_app() == 0, "exit code after closing is 0")
    check(not os.path.exists(graph), "the graph is removed at the end")


def main():
    args = options(__doc__, "exe", "wine", "wine_setup", "prefix", "server", "stand_ins", "work", "screenshots",
                   "profile_host", "port")
    for log in filter(os.path.exists, (call_log(args, program) for program in list(COMMANDS) + ["viewer"])):
        os.remove(log)
    return run_test(args, "gui", scenario)


if __name__ == "__main__":
    sys.exit(main())
