#!/usr/bin/env python3
"""Runs the demo setup once under Wine for `make demo`: holds it once for a
screenshot of its painted background, walks every page with Next (the
password typed in), stops at the last page before the installation with
Cancel, and tells what it showed, with a screenshot of each page.

    demo.py SETUP.exe
"""
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import harness  # noqa: E402
import wizard  # noqa: E402

PAGES = ("language", "welcome", "license", "readme", "password", "dir", "group", "start")


def main(setup):
    e = wizard.ENGLISH
    # The background shows after the language is chosen; the hold hook
    # stops the program once it is painted.
    script = ["hold OsinMainWindow 15", "start " + harness.windows_path(setup)]
    for name in PAGES:
        if name == "language":
            script += ["wait-text %s 60000" % e[name], "elapsed"]
        script += wizard.page(e, name, show=1500)
        if name == "language":
            script += ["press %d" % wizard.NEXT, "wait-held 60000", "sync background", "release"]
            continue
        if name == "license":
            script.append("press 105")
        elif name == "password":
            script += ["set-text 106 " + wizard.PASSWORD, "press %d" % wizard.NEXT]
        elif name != "start":
            script.append("press %d" % wizard.NEXT)
    script += ["press %d" % wizard.CANCEL, "wait-text abort setup 30000", "sleep 1000", "press %d" % wizard.YES]
    script += wizard.page(e, "notfinish", show=1500) + ["press 104", "wait-exit 60000"]
    transcript = harness.run_scenario("demo", script)
    for name in PAGES + ("notfinish",):
        shown = wizard.page_with(transcript, e[name])
        print("  page %-9s %-28s %s" % (name, shown.caption, os.path.join(transcript.folder, name + ".png")))
    for text in transcript.message_boxes():
        print("  message: %s" % text.replace("\r", " "))
    print("  first page shown %d ms after the start" % transcript.elapsed[0])
    print("  exit code: %s" % transcript.exit_code)
    print("  background: %s" % os.path.join(transcript.folder, "background.png"))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
