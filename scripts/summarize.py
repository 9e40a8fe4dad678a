#!/usr/bin/env python3
"""Counts what one `make check` run did, layer by layer.

Input: a list of layer descriptions on the command line, each
NAME=KIND:PATH, where KIND is
  ctest   PATH is JUNIT,RESULTS: a ctest JUnit file (ctest --output-junit)
          and the folder of the GoogleTest XML files; each ctest entry that
          ran a GoogleTest program contributes that program's own cases; a program that failed
          without a failing case (a crash, an abort, no XML at all) counts
          as one more failure, so nothing that went wrong is lost.
  lines   PATH is a text file with one "PASS name" or "FAIL name" per line.
  skip    PATH is the reason the layer could not run on this machine; it
          counts neither as passed nor as failed, and the last line says so.
Prints one line per layer and ends with "N passed, M failed" (followed by
", K skipped" when layers were skipped: K counts layers, not tests); the
exit status is 1 when anything failed or a layer has no results at all.
"""
import os
import sys
import xml.etree.ElementTree as ET


def gtest_counts(path):
    """(passed, failed, names of failures) of one GoogleTest XML file."""
    root = ET.parse(path).getroot()
    passed = failed = 0
    failures = []
    for case in root.iter("testcase"):
        if case.get("result") == "skipped" or case.get("status") == "notrun":
            continue
        if case.find("failure") is not None or case.find("error") is not None:
            failed += 1
            failures.append("%s.%s" % (case.get("classname"), case.get("name")))
        else:
            passed += 1
    return passed, failed, failures


def ctest_layer(path):
    junit, _, results_dir = path.partition(",")
    passed = failed = 0
    failures = []
    if not os.path.exists(junit):
        return 0, 1, ["(no ctest results: %s)" % junit]
    root = ET.parse(junit).getroot()
    for case in root.iter("testcase"):
        name = case.get("name")
        program_failed = case.find("failure") is not None or case.get("status") == "fail"
        xml = os.path.join(results_dir, name + ".xml")
        p = f = 0
        names = []
        if os.path.exists(xml):
            try:
                p, f, names = gtest_counts(xml)
            except ET.ParseError:
                names = ["%s (unreadable results)" % name]
                f = 1
        elif not program_failed:
            # A ctest entry that is not a GoogleTest program: one check.
            p = 1
        if program_failed and f == 0:
            f = 1
            names = ["%s (program failed or crashed)" % name]
        passed += p
        failed += f
        failures += names
    return passed, failed, failures


def lines_layer(path):
    passed = failed = 0
    failures = []
    if not os.path.exists(path):
        return 0, 0, []
    with open(path) as f:
        for line in f:
            word, _, name = line.strip().partition(" ")
            if word == "PASS":
                passed += 1
            elif word == "FAIL":
                failed += 1
                failures.append(name)
    return passed, failed, failures


def main(args):
    total_passed = total_failed = skipped = 0
    for arg in args:
        name, _, rest = arg.partition("=")
        kind, _, path = rest.partition(":")
        if kind == "skip":
            print("%-22s skipped: %s" % (name + ":", path))
            skipped += 1
            continue
        if kind == "ctest":
            p, f, names = ctest_layer(path)
        else:
            p, f, names = lines_layer(path)
        print("%-22s %5d passed, %d failed" % (name + ":", p, f))
        for n in names:
            print("    FAILED: %s" % n)
        total_passed += p
        total_failed += f
    print("%d passed, %d failed%s" % (total_passed, total_failed, ", %d skipped" % skipped if skipped else ""))
    return 1 if total_failed else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
