#!/usr/bin/env python3
"""Runs a setup program once under Wine for `make demo`, pausing it at its
initialization window and at its painted background for screenshots, and
tells what it showed.

    demo.py SETUP.exe
"""
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import harness  # noqa: E402


def main(setup):
    script = ["hold OsinMainWindow 15", "start " + harness.windows_path(setup), "wait-window initializing 60000",
              "suspend", "sync initializing", "resume", "wait-held 600000", "sync background", "release",
              "wait-exit 600000"]
    transcript = harness.run_scenario("demo", script)
    for caption in dict.fromkeys(w.caption for w in transcript.windows if w.caption):
        print("  window: %s" % caption)
    for text in transcript.message_boxes():
        print("  message: %s" % text)
    print("  exit code: %s" % transcript.exit_code)
    for shot in ("initializing", "background"):
        print("  screenshot: %s" % os.path.join(transcript.folder, shot + ".png"))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
