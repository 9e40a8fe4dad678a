#!/usr/bin/env python3
"""Runs the demo setup once under Wine for `make demo`: holds it once for a
screenshot of its painted background, walks every page with Next (the
password typed in), installs the demo (into the Wine prefix's Program
Files; it opens its readme at the end), closes the final page, tells what
it showed, with a screenshot of each page, and what it installed, and
takes the installation back.

    demo.py SETUP.exe
"""
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import harness  # noqa: E402
import install  # noqa: E402
import wizard  # noqa: E402

PAGES = ("language", "welcome", "license", "readme", "password", "dir", "group", "start")


def main(setup):
    e = wizard.ENGLISH
    # The background shows before the first page; the hold hook stops the
    # program once it is painted.
    script = ["hold OsinMainWindow 15", "start " + harness.windows_path(setup), "wait-held 60000",
              "sync background", "release"]
    for name in PAGES:
        if name == "language":
            script += ["wait-text %s 60000" % e[name], "elapsed"]
        script += wizard.page(e, name, show=1500)
        if name == "license":
            script.append("press 105")
        elif name == "password":
            script += ["set-text 106 " + wizard.PASSWORD, "press %d" % wizard.NEXT]
        else:
            script.append("press %d" % wizard.NEXT)
    script += wizard.page(e, "finish", show=1500) + ["press 104", "wait-exit 120000"]
    transcript = harness.run_scenario("demo", script)
    for name in PAGES + ("finish",):
        shown = wizard.page_with(transcript, e[name])
        print("  page %-9s %-28s %s" % (name, shown.caption, os.path.join(transcript.folder, name + ".png")))
    for text in transcript.message_boxes():
        print("  message: %s" % text.replace("\r", " "))
    print("  first page shown %d ms after the start" % transcript.elapsed[0])
    print("  exit code: %s" % transcript.exit_code)
    folder = os.path.join(harness.wine_prefix(), "drive_c", "Program Files", "Osin Demo")
    for top, _, files in sorted(os.walk(folder)):
        for name in sorted(files):
            path = os.path.join(top, name)
            print("  installed: %s (%d bytes)" % (os.path.relpath(path, folder), os.path.getsize(path)))
    # Taken back again, so the prefix's tests meet a machine without the
    # demo (its font above all).
    install.undo_demo(("Program Files", "Osin Demo"))
    print("  background: %s" % os.path.join(transcript.folder, "background.png"))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
