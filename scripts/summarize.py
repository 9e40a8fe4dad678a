#!/usr/bin/env python3
"""Counts what one `make check` run did, layer by layer.

Input: a list of layer descriptions on the command line, each
NAME=KIND:PATH, where KIND is
  ctest   PATH is JUNIT,RESULTS: a ctest JUnit file (ctest --output-junit)
          and the folder of the GoogleTest XML files; each ctest entry that
          ran a GoogleTest program contributes that program's own cases; a program that failed
          without a failing case (a crash, an abort, no XML at all) counts
          as one more failure, and so does an entry ctest could not run (a
          program that was not built), so nothing that went wrong is lost.
  gtest   as ctest, for a layer whose every entry is a GoogleTest program:
          an entry that wrote no XML failed even when its exit status says
          otherwise (Wine ends a program whose stack ran out with status 0).
  lines   PATH is a text file with one "PASS name" or "FAIL name" per line.
  skip    PATH is the reason the layer could not run on this machine; it
          counts neither as passed nor as failed.
Prints one line per layer, names every failed and every skipped case (with
the reason the test gave) and every skipped layer (with the reason it could
not run), and ends with "N passed, M failed, K skipped", where K counts the
skipped cases and each skipped layer as one; the exit status is 1 when
anything failed or a layer has no results at all. A skip is not a failure:
tests skip only what this machine cannot do.
"""
import os
import re
import sys
import xml.etree.ElementTree as ET


class Counts:
    def __init__(self):
        self.passed = self.failed = 0
        self.failures = []
        self.skips = []  # "name: reason"

    def add(self, other):
        self.passed += other.passed
        self.failed += other.failed
        self.failures += other.failures
        self.skips += other.skips


def skip_reason(case):
    """The reason a skipped GoogleTest case gave, without its file:line."""
    skipped = case.find("skipped")
    text = (skipped.get("message") or skipped.text or "") if skipped is not None else ""
    lines = [line.strip() for line in text.splitlines() if line.strip()]
    if len(lines) > 1 and re.match(r"^\S+:\d+$", lines[0]):
        lines = lines[1:]
    return " ".join(lines) or "(no reason given)"


def gtest_counts(path):
    """Counts of one GoogleTest XML file."""
    root = ET.parse(path).getroot()
    c = Counts()
    for case in root.iter("testcase"):
        name = "%s.%s" % (case.get("classname"), case.get("name"))
        if case.find("failure") is not None or case.find("error") is not None:
            c.failed += 1
            c.failures.append(name)
        elif case.get("result") == "skipped" or case.get("status") == "notrun":
            c.skips.append("%s: %s" % (name, skip_reason(case)))
        else:
            c.passed += 1
    return c


def ctest_layer(path, every_entry_gtest=False):
    junit, _, results_dir = path.partition(",")
    total = Counts()
    if not os.path.exists(junit):
        total.failed = 1
        total.failures.append("(no ctest results: %s)" % junit)
        return total
    root = ET.parse(junit).getroot()
    for case in root.iter("testcase"):
        name = case.get("name")
        status = case.get("status")
        program_failed = case.find("failure") is not None or status == "fail"
        xml = os.path.join(results_dir, name + ".xml")
        c = Counts()
        if status == "notrun":
            c.failed = 1
            c.failures.append("%s (not run: its program is missing or could not start)" % name)
        elif os.path.exists(xml):
            try:
                c = gtest_counts(xml)
            except ET.ParseError:
                c.failed = 1
                c.failures.append("%s (unreadable results)" % name)
        elif every_entry_gtest:
            c.failed = 1
            c.failures.append("%s (wrote no results: it crashed or ended early)" % name)
        elif not program_failed:
            # A ctest entry that is not a GoogleTest program: one check.
            c.passed = 1
        if program_failed and c.failed == 0:
            c.failed = 1
            c.failures.append("%s (program failed or crashed)" % name)
        total.add(c)
    return total


def lines_layer(path):
    c = Counts()
    if not os.path.exists(path):
        return c
    with open(path) as f:
        for line in f:
            word, _, name = line.strip().partition(" ")
            if word == "PASS":
                c.passed += 1
            elif word == "FAIL":
                c.failed += 1
                c.failures.append(name)
    return c


def main(args):
    total = Counts()
    for arg in args:
        name, _, rest = arg.partition("=")
        kind, _, path = rest.partition(":")
        if kind == "skip":
            print("%-22s skipped: %s" % (name + ":", path))
            total.skips.append("%s (the whole layer): %s" % (name, path))
            continue
        if kind in ("ctest", "gtest"):
            c = ctest_layer(path, kind == "gtest")
        else:
            c = lines_layer(path)
        print("%-22s %5d passed, %d failed, %d skipped" % (name + ":", c.passed, c.failed, len(c.skips)))
        for n in c.failures:
            print("    FAILED: %s" % n)
        for n in c.skips:
            print("    SKIPPED: %s" % n)
        total.add(c)
    print("%d passed, %d failed, %d skipped" % (total.passed, total.failed, len(total.skips)))
    return 1 if total.failed else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
