"""The Linux side of the end-to-end tests.

A scenario runs a real setup program under wine64 through the driver
(osin-e2e-driver.exe), both from one Windows build: i686 (build/win32, the
build that ships) or x86_64 (build/win64), chosen with use(). The driver
follows the program's windows and obeys a small script (see driver.cpp);
this side answers the driver's "sync" points (screenshots with ImageMagick's
`import -window root`, checks of the file system while the program is
paused) and parses the transcript into windows and controls the test can
look at.

Everything a scenario leaves is kept under build/e2e/<arch>/<scenario>/: the
script, the transcript, the driver's output and the screenshots. A failed
expectation raises ScenarioFailed with the transcript attached.

The caller provides the Wine environment (scripts/with-wine: WINEPREFIX,
DISPLAY, a running wineserver); scripts/wine-run starts the driver.
"""
import os
import re
import shutil
import subprocess
import time

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
NATIVE = os.path.join(ROOT, "build", "native")
WINE_RUN = os.path.join(ROOT, "scripts", "wine-run")


class Build:
    """The Windows build whose programs a scenario runs."""

    FOLDERS = {"i686": "win32", "x86_64": "win64"}

    def __init__(self, arch):
        folder = os.path.join(ROOT, "build", self.FOLDERS[arch])
        self.arch = arch
        self.osin = os.path.join(folder, "src", "setup", "osin.exe")
        self.driver = os.path.join(folder, "tests", "e2e", "osin-e2e-driver.exe")
        self.out = os.path.join(ROOT, "build", "e2e", arch)


build = Build("x86_64")


def use(arch):
    global build
    build = Build(arch)


class ScenarioFailed(AssertionError):
    pass


# Parts of the running scenario this machine cannot do, each "case: reason".
skipped = []


def skip(case, reason):
    """Reports the part CASE of the scenario skipped for REASON: the test
    summary counts it, so it never passes silently."""
    skipped.append((case, reason))
    print("skipped %s: %s" % (case, reason))


def write_results(name, arch):
    """The scenario's results where the test summary looks for a program's
    own (test-results/<ctest name>.xml), when parts of it were skipped: the
    scenario passed as one case, each skipped part as another."""
    if not skipped:
        return
    from xml.sax.saxutils import quoteattr
    test = "e2e_%s_%s" % (arch, name)
    cases = ['<testcase classname=%s name=%s/>' % (quoteattr(test), quoteattr(name))]
    cases += ['<testcase classname=%s name=%s result="skipped"><skipped message=%s/></testcase>' %
              (quoteattr(test), quoteattr(case), quoteattr(reason)) for case, reason in skipped]
    folder = os.path.join(NATIVE, "test-results")
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, test + ".xml"), "w") as f:
        f.write("<testsuites><testsuite>%s</testsuite></testsuites>\n" % "".join(cases))


def windows_path(path):
    """A Linux path as Wine's programs see it (drive Z: is the root)."""
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def hold_file(path, name, alone=False):
    """Holds the file PATH open from a Windows program of the build (the
    readback program), as a running program would: others may read it
    unless ALONE, no one may write or delete it. NAME names the folder of
    its signal files. Returns the function that lets go of it."""
    return _hold(_readback(), ["--hold-alone" if alone else "--hold", windows_path(path)], name,
                 "%s could not be held open" % path)


def run_from(path, name):
    """Runs a copy of the readback program placed at PATH, as the program
    installed there running: until the returned function ends it, its file
    is in use. Returns once it runs, so the file is in use before anything
    that follows may meet it (a program started beside it could otherwise
    overtake it on a busy machine)."""
    shutil.copy(_readback(), path)
    return _hold(path, ["--run"], name, "%s could not be run" % path)


def _readback():
    return os.path.join(os.path.dirname(build.driver), "osin-e2e-readback.exe")


def _hold(program, args, name, failure):
    out = os.path.join(build.out, name + "-hold")
    shutil.rmtree(out, ignore_errors=True)
    os.makedirs(out)
    ready, stop = os.path.join(out, "ready"), os.path.join(out, "stop")
    holder = subprocess.Popen([WINE_RUN, program] + args + [windows_path(ready), windows_path(stop)],
                              stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    def release():
        open(stop, "w").close()
        holder.wait(timeout=60)

    for _ in range(300):
        if os.path.exists(ready) or holder.poll() is not None:
            break
        time.sleep(0.1)
    if not os.path.exists(ready):
        release()
        raise ScenarioFailed(failure)
    return release


def program_files():
    """The folder the build's programs know as %ProgramFiles%: a 32-bit
    program on 64-bit Windows is given the (x86) one."""
    return "Program Files (x86)" if build.arch == "i686" else "Program Files"


def wine_prefix():
    return os.environ.get("WINEPREFIX", os.path.join(ROOT, "build", "wineprefix"))


def await_wine_restart(timeout=120):
    """A program that restarts Windows ends before Wine's restart does: the
    restart goes on in the background and ends every program of the prefix,
    the next one run included. Waits until no restart of this prefix runs."""
    mark = b"WINEPREFIX=" + os.fsencode(wine_prefix()) + b"\0"
    end = time.time() + timeout
    while True:
        running = []
        for pid in filter(str.isdigit, os.listdir("/proc")):
            try:
                with open("/proc/%s/cmdline" % pid, "rb") as f:
                    if b"wineboot" not in f.read().lower():
                        continue
                with open("/proc/%s/environ" % pid, "rb") as f:
                    if mark in f.read():
                        running.append(pid)
            except OSError:  # ended meanwhile, or not ours
                continue
        if not running:
            return
        if time.time() > end:
            raise ScenarioFailed("Wine's restart still runs after %d s (processes %s)" % (timeout, running))
        time.sleep(0.2)


def wine_temp_dir():
    """The Linux folder behind the Windows temporary folder of the prefix."""
    users = os.path.join(wine_prefix(), "drive_c", "users")
    for user in sorted(os.listdir(users)) if os.path.isdir(users) else []:
        for temp in (os.path.join(users, user, "Temp"), os.path.join(users, user, "AppData", "Local", "Temp")):
            if user != "Public" and os.path.isdir(temp):
                return temp
    raise ScenarioFailed("no temporary folder in the Wine prefix %s" % wine_prefix())


class Window:
    def __init__(self, handle, cls, caption):
        self.handle, self.cls, self.caption = handle, cls, caption
        self.controls = {}  # id -> (class, text); a list box's text is its items, see items()
        self.rect = None  # (x, y, width, height) on the screen
        self.hidden = set()  # ids of controls that are not visible

    def text(self, control_id):
        return self.controls.get(control_id, (None, None))[1]

    def items(self, control_id):
        """A list box's items, and the selected one (or None)."""
        text = self.text(control_id) or ""
        items = text.split("|") if text else []
        selected = [i[1:] for i in items if i.startswith("*")]
        return [i.lstrip("*") for i in items], (selected[0] if selected else None)

    def __repr__(self):
        return "Window(%r, %r, %r)" % (self.cls, self.caption, self.controls)


def _unescape(s):
    return re.sub(r"\\(.)", lambda m: {"n": "\n", "r": "\r"}.get(m.group(1), m.group(1)), s)


class Transcript:
    """What the driver saw: every distinct appearance of every window."""

    def __init__(self, text, driver_rc, folder):
        self.text = text
        self.driver_rc = driver_rc
        self.folder = folder
        self.windows = []
        self.exit_code = None
        self.errors = []
        self.screen = None
        self.elapsed = []  # what each "elapsed" step measured, in ms
        current = None
        for line in text.splitlines():
            if line.startswith("WINDOW "):
                m = re.match(r"WINDOW (\S+) class=(.*) caption=(.*)$", line)
                current = Window(m.group(1), _unescape(m.group(2)), _unescape(m.group(3)))
                self.windows.append(current)
            elif line.startswith("CONTROL ") and current is not None:
                m = re.match(r"CONTROL (\S+) id=(-?\d+) visible=(\d) class=(.*?) text=(.*)$", line)
                current.controls[int(m.group(2))] = (_unescape(m.group(4)), _unescape(m.group(5)))
                if m.group(3) == "0":
                    current.hidden.add(int(m.group(2)))
            elif line.startswith("RECT ") and current is not None:
                current.rect = tuple(int(v) for v in line.split()[2:6])
            elif line.startswith("ELAPSED "):
                self.elapsed.append(int(line.split()[1]))
            elif line.startswith("SCREEN "):
                self.screen = tuple(int(v) for v in line.split()[1:3])
            elif line.startswith("EXIT "):
                self.exit_code = int(line.split()[1])
            elif line.startswith("ERROR "):
                self.errors.append(line[6:])

    def seen(self, caption=None, cls=None):
        """Every captured appearance of windows matching caption/class."""
        return [w for w in self.windows
                if (caption is None or caption in w.caption) and (cls is None or w.cls == cls)]

    def message_boxes(self):
        """Texts of the message boxes that appeared, in order, without repeats."""
        texts = []
        for w in self.windows:
            text = w.text(0xFFFF)
            if w.cls == "#32770" and text and (not texts or texts[-1] != text):
                texts.append(text)
        return texts

    def fail(self, why):
        raise ScenarioFailed("%s\n--- transcript (%s) ---\n%s" % (why, self.folder, self.text))

    def expect(self, condition, why):
        if not condition:
            self.fail(why)


def take_screenshot(folder, name):
    path = os.path.join(folder, name + ".png")
    subprocess.run(["import", "-window", "root", path], check=False,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=60)
    return path


def run_scenario(name, script, on_sync=None, timeout=300, env=None, encoding="cp1252", cwd=None):
    """Runs SCRIPT (a list of driver command lines) as scenario NAME.

    on_sync maps sync names to functions called while the driver waits
    (the program paused or not, as the script arranged); every sync point
    also takes a screenshot named after it. ENV adds variables to the
    driver's environment (LANG picks Wine's locale, and with it the ANSI
    code page the transcript is written in: ENCODING). CWD (a Linux path)
    is the driver's current folder, and so the started program's. Returns
    the Transcript.
    """
    if not os.path.exists(build.driver):
        raise ScenarioFailed("driver not built: %s" % build.driver)
    if not os.environ.get("DISPLAY"):
        # Without a display every window wait would only time out, a minute each.
        raise ScenarioFailed("no X display: run the end-to-end tests through scripts/with-wine "
                             "(make check does), e.g. scripts/with-wine ctest --test-dir build/native -L e2e")
    folder = os.path.join(build.out, name)
    shutil.rmtree(folder, ignore_errors=True)
    ack = os.path.join(folder, "ack")
    os.makedirs(ack)
    script_path = os.path.join(folder, "script.txt")
    with open(script_path, "w", encoding=encoding) as f:
        f.write("\n".join(script) + "\n")
    transcript_path = os.path.join(folder, "transcript.txt")
    log_path = os.path.join(folder, "driver.log")
    sync_errors = []
    rc = _drive(script_path, transcript_path, ack, log_path, folder, on_sync, sync_errors, timeout, env, cwd)
    if rc != 0 and not _nonempty(transcript_path):
        # The driver writes its first line before it does anything, so an
        # empty transcript means Wine never ran it (a start-up hiccup of the
        # Wine server, seen once among many full runs): nothing of the
        # program under test has run yet, and one more try is safe.
        with open(log_path) as log:
            first_try = "--- first try: exit %s before the driver's first line ---\n%s" % (rc, log.read())
        rc = _drive(script_path, transcript_path, ack, log_path, folder, on_sync, sync_errors, timeout, env, cwd)
        with open(log_path, "a") as log:
            log.write(first_try)
    text = open(transcript_path, encoding=encoding, errors="replace").read() if os.path.exists(transcript_path) else ""
    transcript = Transcript(text, rc, folder)
    if sync_errors:
        transcript.fail("checks at sync points failed: " + "; ".join(sync_errors))
    if rc != 0 or transcript.errors:
        with open(log_path, errors="replace") as log:
            said = log.read().strip()[-2000:]
        transcript.fail("driver failed (exit %s): %s%s" % (rc, "; ".join(transcript.errors),
                                                           "\n--- driver.log ---\n" + said if said else ""))
    return transcript


def _nonempty(path):
    return os.path.exists(path) and os.path.getsize(path) > 0


def _drive(script_path, transcript_path, ack, log_path, folder, on_sync, sync_errors, timeout, env, cwd):
    if os.path.exists(transcript_path):
        os.remove(transcript_path)
    with open(log_path, "w") as log:
        driver = subprocess.Popen(
            [WINE_RUN, build.driver, windows_path(script_path), windows_path(transcript_path), windows_path(ack)],
            stdout=subprocess.PIPE, stderr=log, text=True, env=dict(os.environ, **(env or {})), cwd=cwd)
        for line in driver.stdout:
            log.write(line)
            if line.startswith("SYNC "):
                point = line.split(None, 1)[1].strip()
                take_screenshot(folder, point)
                try:
                    if on_sync and point in on_sync:
                        on_sync[point]()
                except Exception as e:  # reported after the run ends cleanly
                    sync_errors.append("%s: %s" % (point, e))
                open(os.path.join(ack, point), "w").close()
        return driver.wait(timeout=timeout)
