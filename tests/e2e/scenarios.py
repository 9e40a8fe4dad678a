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
import struct
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import harness  # noqa: E402
import install  # noqa: E402
import unattended  # noqa: E402
import uninstall  # noqa: E402
import pixels  # noqa: E402
import rarcraft  # noqa: E402
import system  # noqa: E402
import wizard  # noqa: E402

PACK = os.path.join(harness.NATIVE, "tools", "pack", "osin-pack")


def ui_probe():
    """The test program of the user-interface pieces, beside the driver."""
    return os.path.join(os.path.dirname(harness.build.driver), "osin-e2e-ui.exe")


def work_dir():
    return os.path.join(harness.build.out, "projects")


def write(path, data):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)


def noise(size, seed):
    """Bytes that no compressor shrinks, the same on every run."""
    return random.Random(seed).randbytes(size)


# The runs that only show how the control files come and go end without
# the final page, which would wait for its OK. Without pages they install
# (nothing, having no scripts) into a folder of the prefix, not into the
# default "Test" below the current folder.
CHECK_FOLDER = b"[Config]\r\nDefaultInstallPath=C:\\Osin Test\\Check\r\n"
NO_FINAL_PAGE = CHECK_FOLDER + b"[Display]\r\nShowFinalDialog=0\r\n"


def packed_setup(name, files, password=None, options=()):
    """osin-pack build of a project folder made of FILES (path -> bytes),
    with OPTIONS."""
    project = os.path.join(work_dir(), name)
    shutil.rmtree(project, ignore_errors=True)
    for path, data in files.items():
        write(os.path.join(project, path), data)
    setup = os.path.join(work_dir(), name + ".exe")
    subprocess.run([PACK, "build", project, "-o", setup, "--stub", harness.build.osin] +
                   (["--password", password] if password else []) + list(options), check=True,
                   stdout=subprocess.DEVNULL)
    return setup


def enciphered_entries(setup):
    """Names of the entries osin-pack lists as enciphered, in archive order."""
    listing = subprocess.run([PACK, "list", setup], check=True, capture_output=True, text=True).stdout
    row = re.compile(r"^\s*\d+\s+\d+\s+(?:stored|RAR 2\.0)\s+[-S]E\s+\S+ \S+"  # sizes, method, flags, time
                     r"\s+[0-9A-F]{8}\s+[0-9A-F]{8}\s+(.*)$")  # attributes, CRC, name
    return [m.group(1) for m in map(row.match, listing.splitlines()) if m]
def pack_folder(name, project, options=()):
    """osin-pack build of the project folder PROJECT, with OPTIONS."""
    setup = os.path.join(work_dir(), name + ".exe")
    os.makedirs(work_dir(), exist_ok=True)
    subprocess.run([PACK, "build", project, "-o", setup, "--stub", harness.build.osin] + list(options), check=True,
                   stdout=subprocess.DEVNULL)
    return setup


def crafted_setup(name, entries):
    """osin.exe followed by a hand-made archive of ENTRIES."""
    setup = os.path.join(work_dir(), name + ".exe")
    with open(harness.build.osin, "rb") as f:
        write(setup, f.read() + rarcraft.archive(entries))
    return setup


def temp_entries():
    return set(os.listdir(harness.wine_temp_dir()))


def run(name, script, on_sync=None, env=None, encoding="cp1252", cwd=None):
    """Runs the scenario and applies the checks every scenario shares."""
    before = temp_entries()
    transcript = harness.run_scenario(name, script, on_sync, env=env, encoding=encoding, cwd=cwd)
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
        "Presetup/Osin.ini": NO_FINAL_PAGE,
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

    def look_while_extracting():
        # The window shows before the first file is written: wait, while the
        # large last file keeps it up, until both small ones are there.
        deadline = time.time() + 60
        while True:
            fresh = temp_entries() - before
            if len(fresh) > 1:
                raise AssertionError("expected one new folder in the temporary path, found %s" % sorted(fresh))
            folder = os.path.join(harness.wine_temp_dir(), next(iter(fresh))) if fresh else None
            missing = [p for p in ("Osin.ini", os.path.join("Sub", "x.txt"))
                       if not folder or not os.path.isfile(os.path.join(folder, p))]
            if not missing:
                break
            if time.time() > deadline:
                raise AssertionError("%s not extracted into %s" % (missing, folder))
            time.sleep(0.005)
        seen["folder"] = folder

    def look_while_paused():
        folder = seen["folder"]
        if os.path.exists(os.path.join(folder, "app.txt")) or os.path.exists(os.path.join(folder, "Data")):
            raise AssertionError("an application file was extracted with the control files")

    t = run("presetup_extracted_and_removed",
            ["start " + harness.windows_path(setup), "wait-window initializing 60000", "sync extracting",
             "suspend", "sync paused", "resume", "wait-exit 120000"],
            {"extracting": look_while_extracting, "paused": look_while_paused})
    init = t.seen(caption="Ostrel Installer initializing...")
    t.expect(init, "the initialization window was not seen")
    t.expect(init[0].controls.get(101, ("",))[0] == "msctls_progress32", "no progress bar 101")
    t.expect(not t.message_boxes(), "unexpected boxes %r" % t.message_boxes())
    t.expect(not os.path.exists(seen["folder"]), "the control files' folder is still there")


SIGNED_TEXTS = (b"[Strings]\r\n1=Abort?\r\n12=Incorrect password!\r\n[Dialogs]\r\n102=Next >\r\n103=Cancel\r\n"
                b"[DLG_PASSWORD]\r\n105=Signed setup password:\r\n")


SIGNED_SCRIPT = b"[CopyFiles]\r\nAppFiles=%InstallPath%\r\n[AppFiles]\r\n*.*=\r\n"


def signed_setup():
    """A setup signed with Authenticode verifies in both forms of key (a
    certificate made now with its PEM key, and a PKCS#12 file with its
    password) and still finds its archive behind the signature: the
    PKCS#12 one checks the password of its enciphered entries and installs
    every Data file byte for byte. osin-pack reads every entry of both
    signed files."""
    keys = os.path.join(work_dir(), "signing")
    shutil.rmtree(keys, ignore_errors=True)
    os.makedirs(keys)
    cert, key, pfx = (os.path.join(keys, n) for n in ("cert.pem", "key.pem", "cert.p12"))
    subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", key, "-out", cert,
                    "-days", "2", "-subj", "/CN=Osin Test Publisher", "-addext", "extendedKeyUsage=codeSigning"],
                   check=True, capture_output=True)
    subprocess.run(["openssl", "pkcs12", "-export", "-out", pfx, "-inkey", key, "-in", cert, "-passout", "pass:pfx"],
                   check=True, capture_output=True)
    project = os.path.join(work_dir(), "signed")
    shutil.rmtree(project, ignore_errors=True)
    config = NO_FINAL_PAGE.replace(b"[Config]\r\n", b"[Config]\r\nPreInstallDialogSequence=DLG_PASSWORD\r\n"
                                   b"InsFiles=App\r\n")
    data = {"Data/app.txt": b"application file\r\n", "Data/Sub/noise.bin": noise(300000, 3),
            "Data/Sub/text.txt": b"signed and installed\r\n" * 5000}
    for path, content in dict({"Presetup/Osin.ini": config, "Presetup/Enu.lng": SIGNED_TEXTS,
                               "Presetup/App.ins": SIGNED_SCRIPT}, **data).items():
        write(os.path.join(project, path), content)

    def verify(setup):
        done = subprocess.run(["osslsigncode", "verify", "-in", setup, "-CAfile", cert], capture_output=True,
                              text=True)
        if done.returncode != 0 or "Signature verification: ok" not in done.stdout:
            raise AssertionError("osslsigncode verify of %s:\n%s%s" % (setup, done.stdout, done.stderr))
        test = subprocess.run([PACK, "test", setup, "-p", "pw"], capture_output=True, text=True).stdout
        if "7 ok, 0 failed" not in test:
            raise AssertionError("osin-pack test of %s:\n%s" % (setup, test))

    verify(pack_folder("signed-pem", project, ["--password", "pw", "--sign", cert, "--key", key]))
    setup = pack_folder("signed", project, ["--password", "pw", "--sign", pfx, "--sign-password", "pfx"])
    verify(setup)
    target = os.path.join(harness.wine_prefix(), "drive_c", "Osin Test", "Check")
    shutil.rmtree(target, ignore_errors=True)
    t = run("signed_setup", ["start " + harness.windows_path(setup), "wait-text Signed setup 60000", "sync password",
                             "set-text 106 wrong", "press 102", "wait-text Incorrect password! 30000", "press 1",
                             "wait-text Signed setup 30000", "set-text 106 pw", "press 102", "wait-exit 60000"])
    t.expect(t.message_boxes() == ["Incorrect password!"], "boxes %r" % t.message_boxes())
    for path, content in data.items():
        installed = os.path.join(target, *path.split("/")[1:])
        t.expect(os.path.isfile(installed), "not installed: %s" % installed)
        with open(installed, "rb") as f:
            t.expect(f.read() == content, "%s differs from the project's file" % installed)
    shutil.rmtree(target, ignore_errors=True)


def no_archive():
    """osin.exe without an archive reports it and leaves nothing behind."""
    expect_single_box(run("no_archive", error_box_script(harness.build.osin)), "Cannot open archive!")


def damaged_entry():
    """A control file whose data do not match its checksum stops the run.
    Before it, a folder as archivers before unpack version 20 mark it on
    MS-DOS (by its attribute alone) is passed over, so the file inside it is
    written."""
    setup = crafted_setup("damaged", [
        rarcraft.file_entry("Presetup\\Osin.ini", NO_FINAL_PAGE),
        rarcraft.file_entry("Presetup\\Sub", b"", attributes=0x10, host_os=0, unpack_version=15),
        rarcraft.file_entry("Presetup\\Sub\\x.txt", b"x", host_os=0, unpack_version=15),
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
        rarcraft.file_entry("Presetup\\Osin.ini", NO_FINAL_PAGE),
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
    setup = packed_setup("bare-name", {"Presetup/Osin.ini": NO_FINAL_PAGE,
                                       "Presetup/zz-large.bin": noise(8 << 20, 2)})
    t = run("started_by_bare_name",
            ["start-named setup " + harness.windows_path(setup), "wait-window initializing 60000",
             "wait-exit 120000"])
    t.expect(not t.message_boxes(), "unexpected boxes %r" % t.message_boxes())


def ini(text):
    return text.replace("\n", "\r\n").encode()


# WM_PAINT: the background is held once its first paint is done.
HOLD_PAINTED = "hold OsinMainWindow 15"


def background_shot(name, files, desktop=None):
    """Runs a packed project whose background shows, holds it once the
    background is painted, and returns the screenshot (cropped to the
    desktop when the run has one of its own) and the transcript."""
    # The title is the ProgramName variable ("Setup" here, or the variable's
    # own name when a project has none).
    config = files["Presetup/Osin.ini"].replace(b"[Display]\r\n", b"[Display]\r\nShowFinalDialog=0\r\n", 1)
    files["Presetup/Osin.ini"] = CHECK_FOLDER + config + b"[Variables]\r\nProgramName=Setup\r\n"
    setup = packed_setup(name, files)
    script = ([("desktop osin-%s %dx%d" % (name, desktop[0], desktop[1]))] if desktop else []) + [
        HOLD_PAINTED, "start " + harness.windows_path(setup), "wait-held 60000", "sync painted", "release",
        "wait-exit 60000"]
    t = run(name, script)
    t.expect(not t.message_boxes(), "unexpected boxes %r" % t.message_boxes())
    path = os.path.join(t.folder, "painted.png")
    image = pixels.load(path, *desktop) if desktop else pixels.load(path)
    return image, t


def held_ms(t):
    """Milliseconds from the start to the moment the program held."""
    return [int(l.split()[1]) for l in t.text.splitlines() if l.startswith("HELD ")][0]


def expect_gradient_rows(t, image, rows, step=1, skip=lambda x, y: False):
    """Every pixel of every STEP-th row is its row's colour, but where SKIP."""
    for y in range(0, image.height, step):
        for x, got in enumerate(image.row(y)):
            if got != rows[y] and not skip(x, y):
                t.fail("pixel (%d, %d) is %r, the band rule gives %r" % (x, y, got, rows[y]))


def pixels_of(image, color, box):
    left, top, right, bottom = box
    return [(x, y) for y in range(top, bottom) for x, p in enumerate(image.row(y, left, right), left) if p == color]


TITLE_BOX = (0, 0, 280, 100)  # left, top, right, bottom: where the title "Setup" may draw


def in_box(box):
    return lambda x, y: box[0] <= x < box[2] and box[1] <= y < box[3]


def background_default_gradient():
    """ShowMainWindow=1 and nothing else: on a 1024x768 screen 256 bands of
    three rows from black to $FF8000, every pixel as the band rule says,
    and the title "Setup" in its default blue at the top left."""
    image, t = background_shot("background_default_gradient",
                               {"Presetup/Osin.ini": ini("[Display]\nShowMainWindow=1\n")}, (1024, 768))
    expect_gradient_rows(t, image, pixels.gradient_rows(768, 0, 0xFF8000), 3, in_box(TITLE_BOX))
    blue = pixels_of(image, (0, 0, 255), TITLE_BOX)
    t.expect(blue, "no title pixels in $FF0000 at the top left")
    t.expect(min(x for x, _ in blue) >= 20 and min(y for _, y in blue) >= 20,
             "the title starts above or left of (20, 20)")
    print("background painted %d ms after the start (a desktop of its own made first)" % held_ms(t))


def tile_pixel(x, y):
    return (2 * x + 40, 2 * y + 50, (7 * x + 3 * y) & 0xFF)


def background_tiled():
    """A 100x100 background bitmap is tiled from the top left corner over the
    whole 1024x768 screen (11 x 8 copies, the last ones cut), every pixel."""
    files = {"Presetup/Osin.ini": ini("[Display]\nShowMainWindow=1\nShowMainTitle=0\nBackgroundBitmap=tile.bmp\n"),
             "Presetup/tile.bmp": pixels.bmp(100, 100, tile_pixel)}
    image, t = background_shot("background_tiled", files, (1024, 768))
    tile = [[tile_pixel(x, y) for x in range(100)] for y in range(100)]
    for y in range(768):
        row, expected = image.row(y), tile[y % 100]
        for x in range(1024):
            if row[x] != expected[x % 100]:
                t.fail("pixel (%d, %d) is %r, the tile has %r" % (x, y, row[x], expected[x % 100]))


MAGENTA = (255, 0, 255)


def static_pixel(x, y):
    """A 40x30 static bitmap: magenta (transparent) on a diagonal lattice."""
    return MAGENTA if (x + y) % 5 == 0 else (200, 10 + 24 * (x // 4), 20 + 21 * (y // 3))


def indexed(palette):
    return lambda x, y: palette.index(static_pixel(x, y))


def static_bitmaps():
    """The four corner bitmaps in four formats, an opaque one, one of 8-bit
    runs, and damaged ones that must draw nothing."""
    palette = sorted({static_pixel(x, y) for x in range(40) for y in range(30)})
    good = {"tl.bmp": pixels.bmp(40, 30, indexed(palette), bits=8, palette=palette),
            "tr.bmp": pixels.bmp(40, 30, static_pixel),
            "bl.bmp": pixels.bmp(40, 30, static_pixel, bits=32, top_down=True),
            "br.bmp": pixels.bmp(40, 30, static_pixel, top_down=True),
            "opaque.bmp": pixels.bmp(40, 30, static_pixel),
            "runs.bmp": pixels.rle8(40, 30, indexed(palette), palette)}
    whole = pixels.bmp(40, 30, static_pixel)
    rle = bytearray(good["runs.bmp"])
    rle[34:38] = struct.pack("<I", len(rle))  # the runs' size: more bytes than the file holds
    two_bits = bytearray(pixels.bmp(8, 8, lambda x, y: 0, bits=8, palette=[(0, 0, 0)]))
    two_bits[28] = 2
    damaged = {"cut.bmp": whole[:-7], "text.bmp": b"[Display]\r\nnot a bitmap\r\n", "rle.bmp": bytes(rle),
               "two.bmp": bytes(two_bits)}
    return good, damaged


def background_static_bitmaps():
    """Static bitmaps anchored at each corner (10, 12 from its edges) with
    magenta transparent, an opaque one, one of 8-bit runs, damaged ones
    left out; a custom gradient shows through every transparent pixel and
    everywhere else; the title and its shadow 3 pixels down and right in
    their colours."""
    good, damaged = static_bitmaps()
    config = ("[Display]\nShowMainWindow=1\nGradientTopColor=$204080\nGradientBottomColor=$80FF00\n"
              "MainTitleFont=Arial,24,$00FF00,B\nMainTitleShadow=1\nMainTitleShadowColor=$0000FF\n"
              "[StaticBitmap]\nTopLeft=tl.bmp,300,12,0,$FF00FF\nTopRight=tr.bmp,10,12,1,$FF00FF\n"
              "BottomLeft=bl.bmp,10,12,2,$FF00FF\nBottomRight=br.bmp,10,12,3,16711935\n"
              "Opaque=opaque.bmp,500,400\nRuns=runs.bmp,400,300,0,$FF00FF\nMissing=missing.bmp,600,400,0,$FF00FF\n"
              "Cut=cut.bmp,600,400\nText=text.bmp,600,400\nRle=rle.bmp,600,400\nTwoBits=two.bmp,600,400\n")
    files = {"Presetup/Osin.ini": ini(config)}
    files.update(("Presetup/" + name, data) for name, data in list(good.items()) + list(damaged.items()))
    image, t = background_shot("background_static_bitmaps", files)
    w, h = image.width, image.height
    rows = pixels.gradient_rows(h, 0x204080, 0x80FF00)
    boxes = {(300, 12): True, (w - 10 - 40, 12): True, (10, h - 12 - 30): True, (w - 50, h - 42): True,
             (500, 400): False, (400, 300): True}
    for (bx, by), transparent in boxes.items():
        for y in range(30):
            for x in range(40):
                want = static_pixel(x, y)
                if transparent and want == MAGENTA:
                    want = rows[by + y]
                got = image.at(bx + x, by + y)
                t.expect(got == want, "static bitmap at (%d, %d): pixel (%d, %d) is %r, expected %r"
                         % (bx, by, x, y, got, want))
    covered = lambda x, y: in_box(TITLE_BOX)(x, y) or any(bx <= x < bx + 40 and by <= y < by + 30 for bx, by in boxes)
    expect_gradient_rows(t, image, rows, 1, covered)
    green = pixels_of(image, (0, 255, 0), TITLE_BOX)
    red = pixels_of(image, (255, 0, 0), TITLE_BOX)
    t.expect(green and red, "title (green) or shadow (red) missing")
    t.expect(min(x for x, _ in green) >= 20 and min(y for _, y in green) >= 20, "the title starts before (20, 20)")
    for axis in (0, 1):
        t.expect(max(p[axis] for p in red) == max(p[axis] for p in green) + 3,
                 "the shadow does not reach 3 pixels beyond the title along axis %d" % axis)
    print("background painted %d ms after the start" % held_ms(t))


def background_damaged_bitmap():
    """A truncated background bitmap: the gradient is drawn instead, no box.
    A colour written 0xFF is no number in the configuration: the title
    keeps its default black instead of turning red."""
    config = ("[Display]\nShowMainWindow=1\nBackgroundBitmap=cut.bmp\nGradientTopColor=$FFFFFF\n"
              "MainTitleFont=Arial,24,0xFF,B\n")
    cut = pixels.bmp(100, 100, tile_pixel)[:5000]
    image, t = background_shot("background_damaged_bitmap", {"Presetup/Osin.ini": ini(config),
                                                             "Presetup/cut.bmp": cut})
    expect_gradient_rows(t, image, pixels.gradient_rows(image.height, 0xFFFFFF, 0xFF8000), 2, in_box(TITLE_BOX))
    t.expect(pixels_of(image, (0, 0, 0), TITLE_BOX), "no black title")
    t.expect(not pixels_of(image, (255, 0, 0), TITLE_BOX), "a red title: 0xFF was read as a number")


def probe(name, script, on_sync=None):
    """Runs the test program of the user-interface pieces; returns the
    transcript and the lines it wrote."""
    results = os.path.join(harness.build.out, name + "-results.txt")
    if os.path.exists(results):
        os.remove(results)
    script[0] = script[0].replace("RESULTS", harness.windows_path(results))
    t = harness.run_scenario(name, script, on_sync)
    t.expect(t.exit_code == 0, "exit code %s" % t.exit_code)
    with open(results) as f:
        return t, [line.split() for line in f]


def message_window():
    """A two-letter message: the text control is 50 pixels wide (the
    minimum), the window that plus its margin, centred. A long message: 300
    pixels, wrapped at blanks into lines each centred in the control, the
    block centred vertically, the window centred. Hidden at once after 750
    ms minimum: it stays about 750 ms; hidden 2 s later: it goes at once."""
    t, lines = probe("message_window", ["start %s message RESULTS" % harness.windows_path(ui_probe()),
                                        "wait-held 30000", "sync short", "release", "wait-held 30000",
                                        "sync long", "release", "wait-exit 60000"])
    got = {line[0]: line[1:] for line in lines}
    sw, sh = map(int, got["screen"])
    rects = {}
    for name in ("short", "long"):
        v = list(map(int, got[name][1:5] + got[name][6:10]))
        rects[name] = (v[:4], v[4:])
    margins = set()
    for name, width in (("short", 50), ("long", 300)):
        (wl, wt, wr, wb), (tl, tt, tr, tb) = rects[name]
        t.expect(tr - tl == width, "%s: the text control is %d wide, expected %d" % (name, tr - tl, width))
        margins.add((wr - wl) - (tr - tl))
        t.expect(wl == (sw - (wr - wl)) // 2 and wt == (sh - (wb - wt)) // 2, "%s: window not centred" % name)
        # On the screen: what is not the black root lies inside the window
        # (its frame is the window manager's, and there is none) and is
        # centred.
        image = pixels.load(os.path.join(t.folder, name + ".png"))
        lit = [(x, y) for y in range(sh) for x, p in enumerate(image.row(y)) if p != (0, 0, 0)]
        left, right = min(x for x, _ in lit), max(x for x, _ in lit)
        top, bottom = min(y for _, y in lit), max(y for _, y in lit)
        t.expect(wl <= left and right < wr and wt <= top and bottom < wb,
                 "%s: something is drawn outside the window" % name)
        t.expect(abs(left - (sw - 1 - right)) <= 1 and abs(top - (sh - 1 - bottom)) <= 1,
                 "%s: the window is not centred on the screen (%d..%d, %d..%d)" % (name, left, right, top, bottom))
        # Runs of rows with dark text pixels; runs of 5 rows and more are
        # the lines' bodies (a line's descenders may stand apart below it).
        ink = [[x for x, p in enumerate(image.row(y, tl, tr), tl) if max(p) < 100] for y in range(tt, tb)]
        runs, current = [], None
        for y, xs in enumerate(ink, tt):
            if xs and current is None:
                current = [y, y, min(xs), max(xs)]
                runs.append(current)
            elif xs:
                current[1], current[2], current[3] = y, min(current[2], min(xs)), max(current[3], max(xs))
            else:
                current = None
        groups = [r for r in runs if r[1] - r[0] >= 4]
        want_lines = 1 if name == "short" else 3
        t.expect(len(groups) >= want_lines, "%s: %d lines of text, expected at least %d" % (name, len(groups),
                                                                                            want_lines))
        for top, bottom, left, right in groups:
            t.expect(abs((left - tl) - (tr - 1 - right)) <= 3, "%s: a line is not centred (%d..%d in %d..%d)"
                     % (name, left, right, tl, tr))
        groups = runs
        t.expect(abs((groups[0][0] - tt) - (tb - 1 - groups[-1][1])) <= 4, "%s: the text is not centred "
                 "vertically" % name)
    t.expect(len(margins) == 1, "the margin around the text changed: %r" % margins)
    at_once, later = int(got["hide-at-once"][0]), int(got["hide-later"][0])
    t.expect(745 <= at_once <= 1000, "hidden at once: it stayed %d ms more, expected about 750" % at_once)
    t.expect(later < 100, "hidden 2 s later: it took %d ms, expected at once" % later)
    print("minimum display time: %d ms (hidden at once), %d ms (hidden after 2 s)" % (at_once, later))


def folder_browser_creates_and_reopens():
    """The extra button asks for a name, creates the folder below the
    selection and reopens the browser on it; OK returns it. A name the file
    system refuses first reopens the browser where it was.

    The test folder lies on the prefix's drive C:, where nothing else
    writes: Wine's browser selects a path only while no folder on the way
    changes (the build folder does all the time)."""
    tree = os.path.join(harness.wine_prefix(), "drive_c", "osin-browse")
    shutil.rmtree(tree, ignore_errors=True)
    os.makedirs(os.path.join(tree, "Apps"))
    start = "C:\\osin-browse\\Apps"
    created = os.path.join(tree, "Apps", "New")

    def folder_made():
        if not os.path.isdir(created):
            raise AssertionError("%s was not created" % created)

    t, lines = probe("folder_browser_creates_and_reopens",
                     ["start %s browse RESULTS %s" % (harness.windows_path(ui_probe()), start),
                      "wait-window Choose a folder 30000", "sleep 500", "sync browser",
                      "click 100 Choose a folder", "wait-window Create directory 30000",
                      "set-text 101 bad:name*", "press 102 Create directory", "wait-gone Create directory 30000",
                      "wait-new Choose a folder 30000", "sleep 500",
                      "click 100 Choose a folder", "wait-window Create directory 30000",
                      "set-text 101 New", "sync name", "press 102 Create directory", "wait-gone Create directory 30000",
                      "wait-new Choose a folder 30000", "sleep 500", "sync reopened", "press 1 Choose a folder",
                      "wait-exit 30000"], {"reopened": folder_made})
    browsers = t.seen(caption="Choose a folder")
    t.expect(browsers and browsers[0].text(100) == "Create...", "no Create... button on the browser")
    names = t.seen(caption="Create directory")
    t.expect(names and names[0].text(102) == "OK" and names[0].text(103) == "Cancel", "the name query's buttons")
    t.expect(lines == [["OK", start + "\\New"]], "browse gave %r" % lines)


def folder_browser_cancel():
    """Cancel returns nothing: false, the path as it was. A folder not made
    yet (a destination, commonly) opens the browser on the nearest folder
    that exists, which OK returns, not on no folder at all."""
    start = harness.windows_path(harness.build.out)
    t, lines = probe("folder_browser_cancel",
                     ["start %s browse RESULTS %s" % (harness.windows_path(ui_probe()), start),
                      "wait-window Choose a folder 30000", "press 2 Choose a folder", "wait-exit 30000"])
    t.expect(lines == [["CANCEL", start]], "browse gave %r" % lines)
    # On drive C: for the reason folder_browser_creates_and_reopens gives.
    tree = os.path.join(harness.wine_prefix(), "drive_c", "osin-browse-later")
    shutil.rmtree(tree, ignore_errors=True)
    os.makedirs(os.path.join(tree, "Apps"))
    later = "C:\\osin-browse-later\\Apps\\New\\Deeper"
    t, lines = probe("folder_browser_not_made_yet",
                     ["start %s browse RESULTS %s" % (harness.windows_path(ui_probe()), later),
                      "wait-window Choose a folder 30000", "sleep 500", "sync browser", "press 1 Choose a folder",
                      "wait-exit 30000"])
    t.expect(lines == [["OK", "C:\\osin-browse-later\\Apps"]], "browse gave %r" % lines)


def demo_english():
    wizard.walk_english(run, pack_folder)


def demo_russian():
    wizard.walk_russian(run, pack_folder)


def demo_russian_western():
    wizard.walk_russian_western(run, pack_folder)


def run_ends():
    wizard.run_ends(run, packed_setup)


def install_demo():
    install.install_demo(run, pack_folder)


def install_hard_cases():
    install.hard_cases(run, packed_setup)


def install_target_in_use():
    install.target_in_use(run, packed_setup)


def install_cancelled():
    install.cancel_large_entry(run, pack_folder, noise)


def install_system_changes():
    system.install_system_changes(run, pack_folder)


def install_bad_input():
    install.bad_input(run, packed_setup, noise)


def uninstall_demo():
    uninstall.uninstall_demo(run, pack_folder)


def uninstall_beside_setup():
    uninstall.uninstall_beside_setup(noise)


def unattended_demo():
    unattended.unattended_demo(pack_folder, temp_entries)


def unattended_silent():
    unattended.unattended_silent(noise, temp_entries)


def unattended_no_room():
    unattended.unattended_no_room(temp_entries)


def unattended_side_by_side():
    unattended.unattended_side_by_side(noise, temp_entries)


SCENARIOS = {f.__name__: f for f in (presetup_extracted_and_removed, signed_setup, no_archive, damaged_entry,
                                     too_little_space, traversal_entry, started_by_bare_name,
                                     background_default_gradient, background_tiled, background_static_bitmaps,
                                     background_damaged_bitmap, message_window, folder_browser_creates_and_reopens,
                                     folder_browser_cancel, demo_english, demo_russian, demo_russian_western, run_ends,
                                     install_demo, install_hard_cases, install_cancelled, install_target_in_use,
                                     install_system_changes, install_bad_input, uninstall_demo,
                                     uninstall_beside_setup, unattended_demo, unattended_silent, unattended_no_room,
                                     unattended_side_by_side)}


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
    harness.write_results(args[0], arch)
    print("passed %s (%s)" % (args[0], arch))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
