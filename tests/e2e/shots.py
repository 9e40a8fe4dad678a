#!/usr/bin/env python3
"""Copies three page screenshots of the demo walks (the scenarios
demo_english and demo_russian, run first on the x86_64 build) into docs/, cut to the page and
reduced to a small palette, for the README. scripts/readme-shots runs it.
"""
import os
import subprocess
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import harness  # noqa: E402
import wizard  # noqa: E402

SHOTS = [  # scenario, screenshot, text of the page, transcript encoding, file in docs/
    ("demo_english", "license", wizard.ENGLISH["license"], "cp1252", "page-license.png"),
    ("demo_english", "group_chosen", wizard.ENGLISH["group"], "cp1252", "page-group.png"),
    ("demo_russian", "welcome", wizard.RUSSIAN["welcome"], "cp1251", "page-welcome-ru.png"),
]


def main():
    docs = os.path.join(harness.ROOT, "docs")
    os.makedirs(docs, exist_ok=True)
    for scenario, shot, text, encoding, name in SHOTS:
        folder = os.path.join(harness.build.out, scenario)
        with open(os.path.join(folder, "transcript.txt"), encoding=encoding, errors="replace") as f:
            transcript = harness.Transcript(f.read(), 0, folder)
        x, y, w, h = wizard.page_with(transcript, text).rect
        target = os.path.join(docs, name)
        subprocess.run(["convert", os.path.join(folder, shot + ".png"), "-crop", "%dx%d+%d+%d" % (w, h, x, y),
                        "+repage", "-colors", "128", "-strip", "PNG8:" + target], check=True)
        print("%s (%d bytes)" % (os.path.relpath(target, harness.ROOT), os.path.getsize(target)))
    return 0


if __name__ == "__main__":
    sys.exit(main())
