#!/usr/bin/env python3
"""End-to-end scenarios of osin.exe under Wine: a real setup program, driven
like a user would, checked through what it showed and what it left.

    scenarios.py [--arch i686|x86_64] NAME   runs one scenario on that Windows
                                            build's osin.exe (default x86_64);
                                            ctest runs each as e2e_ARCH_NAME
    scenarios.py --list                     names them

Every scenario ends with the same two checks: the process exit code is 0,
and the system's temporary folder holds nothing it did not hold before.
"""
import os
import random
import re
import shutil
import subprocess
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import harness  # noqa: E402
import rarcraft  # noqa: E402

PACK = os.path.join(harness.NATIVE, "tools", "pack", "osin-pack")


def work_dir():
    return os.path.join(harness.build.out, "projects")


def write(path, data):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)


def noise(size, seed):
    """Bytes that no compressor shrinks, the same on every run."""
    return random.Random(seed).randbytes(size)


def packed_setup(name, files, password=None):
    """osin-pack build of a project folder made of FILES (path -> bytes)."""
    project = os.path.join(work_dir(), name)
    shutil.rmtree(project, ignore_errors=True)
    for path, data in files.items():
        write(os.path.join(project, path), data)
    setup = os.path.join(work_dir(), name + ".exe")
    subprocess.run([PACK, "build", project, "-o", setup, "--stub", harness.build.osin] +
                   (["--password", password] if password else []), check=True, stdout=subprocess.DEVNULL)
    return setup


def enciphered_entries(setup):
    """Names of the entries osin-pack lists as enciphered, in archive order."""
    listing = subprocess.run([PACK, "list", setup], check=True, capture_output=True, text=True).stdout
    row = re.compile(r"^\s*\d+\s+\d+\s+(?:stored|RAR 2\.0)\s+[-S]E\s+\S+ \S+\s+[0-9A-F]{8}\s+(.*)$")
    return [m.group(1) for m in map(row.match, listing.splitlines()) if m]


def crafted_setup(name, entries):
    """osin.exe followed by a hand-made archive of ENTRIES."""
    setup = os.path.join(work_dir(), name + ".exe")
    with open(harness.build.osin, "rb") as f:
        write(setup, f.read() + rarcraft.archive(entries))
    return setup


def temp_entries():
    return set(os.listdir(harness.wine_temp_dir()))


def run(name, script, on_sync=None):
    """Runs the scenario and applies the checks every scenario shares."""
    before = temp_entries()
    transcript = harness.run_scenario(name, script, on_sync)
    transcript.expect(transcript.exit_code == 0, "exit code %s, expected 0" % transcript.exit_code)
    left = temp_entries() - before
    transcript.expect(not left, "left in the temporary folder: %s" % sorted(left))
    return transcript


def expect_single_box(transcript, text):
    boxes = transcript.message_boxes()
    transcript.expect(boxes == [text], "message boxes %r, expected [%r]" % (boxes, text))
    box = [w for w in transcript.windows if w.text(0xFFFF) == text][0]
    transcript.expect(box.caption == "Error", "box caption %r, expected 'Error'" % box.caption)


def error_box_script(setup):
    return ["start " + harness.windows_path(setup), "wait-window Error 60000", "sync box",
            "press 1 Error", "wait-exit 60000"]


# Scenarios ------------------------------------------------------------------

def presetup_extracted_and_removed():
    """The control files land in a fresh folder under the temporary path while
    the initialization window shows; the application's files do not; all of
    it is gone when the program ends. The setup has a password: the control
    files are plain, the password check and the application's files are
    enciphered, and the program gets to its control files without asking."""
    setup = packed_setup("extract", {
        "Presetup/Osin.ini": b"[Config]\r\n",
        "Presetup/Sub/x.txt": b"nested\r\n",
        # Large enough that the window stays up while the driver pauses it.
        "Presetup/zz-large.bin": noise(24 << 20, 1),
        "Data/app.txt": b"application file\r\n",
    }, password="e2e secret")
    enciphered = enciphered_entries(setup)
    if enciphered != ["test.psw", "Data\\app.txt"]:
        raise AssertionError("enciphered entries %r, expected test.psw and Data\\app.txt" % enciphered)
    peer = subprocess.run(["lsar", "-t", "-p", "e2e secret", setup], capture_output=True, text=True).stdout
    if "5 passed, 0 failed" not in peer:
        raise AssertionError("lsar does not read the setup's archive with its password:\n" + peer)
    before = temp_entries()
    seen = {}

    def look_while_paused():
        fresh = temp_entries() - before
        if len(fresh) != 1:
            raise AssertionError("expected one new folder in the temporary path, found %s" % sorted(fresh))
        folder = os.path.join(harness.wine_temp_dir(), fresh.pop())
        seen["folder"] = folder
        for path in ("Osin.ini", os.path.join("Sub", "x.txt")):
            if not os.path.isfile(os.path.join(folder, path)):
                raise AssertionError("%s not extracted into %s" % (path, folder))
        if os.path.exists(os.path.join(folder, "app.txt")) or os.path.exists(os.path.join(folder, "Data")):
            raise AssertionError("an application file was extracted with the control files")

    t = run("presetup_extracted_and_removed",
            ["start " + harness.windows_path(setup), "wait-window initializing 60000", "suspend",
             "sync paused", "resume", "wait-exit 120000"],
            {"paused": look_while_paused})
    init = t.seen(caption="Ostrel Installer initializing...")
    t.expect(init, "the initialization window was not seen")
    t.expect(init[0].controls.get(101, ("",))[0] == "msctls_progress32", "no progress bar 101")
    t.expect(not t.message_boxes(), "unexpected boxes %r" % t.message_boxes())
    t.expect(not os.path.exists(seen["folder"]), "the control files' folder is still there")


def no_archive():
    """osin.exe without an archive reports it and leaves nothing behind."""
    expect_single_box(run("no_archive", error_box_script(harness.build.osin)), "Cannot open archive!")


def damaged_entry():
    """A control file whose data do not match its checksum stops the run."""
    setup = crafted_setup("damaged", [
        rarcraft.file_entry("Presetup\\Osin.ini", b"[Config]\r\n"),
        rarcraft.file_entry("Presetup\\Enu.lng", b"[Strings]\r\n1=x\r\n", file_crc=0x12345678),
    ])
    expect_single_box(run("damaged_entry", error_box_script(setup)), 'Can\'t extract file "Presetup\\Enu.lng".')


def too_little_space():
    """Control files that claim more than the disk holds are refused before
    anything is written. Each entry claims almost 4 GB, and together they
    pass the disk's free space; a 32-bit sum would wrap and let them pass."""
    stat = os.statvfs(harness.wine_temp_dir())
    free = stat.f_bavail * stat.f_frsize
    claim = 0xFFFFFFF0
    count = free // claim + 2
    entries = [rarcraft.file_entry("Presetup\\part%03d.bin" % i, b"x", unpacked_size=claim) for i in range(count)]
    setup = crafted_setup("space", entries)
    expect_single_box(run("too_little_space", error_box_script(setup)), "Insufficient free disk space!")


def traversal_entry():
    """A control file named to climb out of the temporary folder is refused,
    and nothing appears outside it."""
    setup = crafted_setup("traversal", [
        rarcraft.file_entry("Presetup\\Osin.ini", b"[Config]\r\n"),
        rarcraft.file_entry("Presetup\\..\\..\\osin-escaped.txt", b"should never be written"),
    ])
    t = run("traversal_entry", error_box_script(setup))
    expect_single_box(t, 'Can\'t extract file "Presetup\\..\\..\\osin-escaped.txt".')
    temp = harness.wine_temp_dir()
    for folder in (temp, os.path.dirname(temp), os.path.dirname(os.path.dirname(temp))):
        t.expect(not os.path.exists(os.path.join(folder, "osin-escaped.txt")),
                 "the entry was written to %s" % folder)


def started_by_bare_name():
    """Started as "setup" (no folder, no extension, as from a console), the
    program still finds its own file and its archive."""
    setup = packed_setup("bare-name", {"Presetup/Osin.ini": b"[Config]\r\n",
                                       "Presetup/zz-large.bin": noise(8 << 20, 2)})
    t = run("started_by_bare_name",
            ["start-named setup " + harness.windows_path(setup), "wait-window initializing 60000",
             "wait-exit 120000"])
    t.expect(not t.message_boxes(), "unexpected boxes %r" % t.message_boxes())


SCENARIOS = {f.__name__: f for f in (presetup_extracted_and_removed, no_archive, damaged_entry,
                                     too_little_space, traversal_entry, started_by_bare_name)}


def main(args):
    if args == ["--list"]:
        print("\n".join(SCENARIOS))
        return 0
    arch = "x86_64"
    if len(args) == 3 and args[0] == "--arch":
        arch = args[1]
        args = args[2:]
    if len(args) != 1 or args[0] not in SCENARIOS or arch not in harness.Build.FOLDERS:
        print("usage: scenarios.py [--arch i686|x86_64] NAME | --list (names: %s)" % ", ".join(SCENARIOS),
              file=sys.stderr)
        return 2
    harness.use(arch)
    try:
        SCENARIOS[args[0]]()
    except (harness.ScenarioFailed, AssertionError) as e:
        print("FAILED %s (%s): %s" % (args[0], arch, e), file=sys.stderr)
        return 1
    print("passed %s (%s)" % (args[0], arch))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
