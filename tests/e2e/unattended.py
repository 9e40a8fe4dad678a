"""End-to-end scenarios of unattended installs: the setup program started
with switches the way an administrator's tool starts it, without the
driver, and judged by its exit code, its run log and what it left."""
import glob
import os
import shutil
import signal
import subprocess
import time

import harness
import install
import rarcraft
import wizard

FOLDER = "C:\\Osin Test\\Unattended, Inc"
GROUP = "Unattended Group"
RUS_PROGRAM = "Osin Demo"


def expect(condition, why):
    if not condition:
        raise harness.ScenarioFailed(why)


def run_setup(setup, name, *switches):
    """Runs SETUP with SWITCHES and a run log; (exit code, log lines).
    Wine's own words go beside the log (NAME.wine.txt)."""
    log = os.path.join(harness.build.out, "unattended", name + ".log")
    os.makedirs(os.path.dirname(log), exist_ok=True)
    if os.path.exists(log):
        os.remove(log)
    args = [harness.WINE_RUN, setup] + list(switches) + ["/LOG=" + harness.windows_path(log)]
    with open(os.path.join(os.path.dirname(log), name + ".wine.txt"), "w+b") as said:
        code = subprocess.run(args, timeout=300, stdout=subprocess.DEVNULL, stderr=said).returncode
        said.seek(0)
        wine = said.read().decode("utf-8", "replace").strip()
    harness.await_wine_restart()
    # The setup makes its log before anything else and writes it whole
    # before it ends: no log means it never ran, an empty one that it
    # ended without writing what it kept for it. Both fail here, saying
    # which, not as a missing line.
    expect(os.path.exists(log), "%s: no run log (exit code %s): the setup did not run%s" %
           (name, code, "; Wine said: " + wine[-1500:] if wine else ""))
    with open(log, encoding="cp1251") as f:
        lines = f.read().splitlines()
    expect(lines, "%s: the run log is empty (exit code %s): the setup ended without writing it" % (name, code))
    return code, lines


def expect_run(setup, name, switches, code, needed):
    """The run ends with CODE and its log holds every line of NEEDED (a
    line ending in "..." stands for any line beginning with it)."""
    got, lines = run_setup(setup, name, *switches)
    for line in needed:
        found = any(l.startswith(line[:-3]) for l in lines) if line.endswith("...") else line in lines
        expect(found, "%s: no line %r in the run log %r" % (name, line, lines))
    expect(got == code, "%s: exit code %s, expected %s; log %r" % (name, got, code, lines))
    expect(lines[-1:] == ["Exit code %d" % code], "%s: log ends %r" % (name, lines[-1:]))
    return lines


def machine_untouched(name):
    expect(not os.path.exists(install.drive_c("Osin Test")), "%s: the destination was made" % name)
    expect(install.reg_values(install.DEMO_KEY) is None, "%s: the registry was changed" % name)


def group_shortcuts(project):
    """The demo's shortcut goes to the program group the user names."""
    script = os.path.join(project, "Presetup", "System.ins")
    with open(script, encoding="cp1252") as f:
        text = f.read()
    with open(script, "w", encoding="cp1252", newline="") as f:
        f.write(text.replace("%ProgramsMenu%\\%ProgramName%", "%ProgramsMenu%\\%ProgramGroup%"))


def edited_config(project, old, new, name="Osin.ini"):
    config = os.path.join(project, "Presetup", name)
    with open(config, "rb") as f:
        data = f.read()
    expect(old in data, "the demo's %s has no %r" % (name, old))
    with open(config, "wb") as f:
        f.write(data.replace(old, new, 1))


def unattended_demo(pack_folder, temp_entries):
    """The demo installed with /VERYSILENT: wrong switches, an unoffered
    language and a missing or wrong password each end with 1 before the
    machine is touched; the real run installs in Russian into the folder
    and group given; a second run over it keeps the newer and the same
    files and leaves the restart it needs to the caller (8); a program run
    first that refuses or cannot start gives 2, an unusable destination 4
    (a /DIR whose variable the project lacks among them),
    and so does a setup cut short, before the machine is touched. Then a
    setup of files packed by the RAR archiver itself (real_rar_data)."""
    install.undo_demo()
    before = temp_entries()
    secret = ["--solid", "--password", wizard.PASSWORD]
    project = install.demo_project("unattended", group_shortcuts)
    # Without the password message in its language file the English one stands.
    edited_config(project, b"12=Incorrect password!\r\n", b"", "Enu.lng")
    setup = pack_folder("unattended", project, secret)
    quiet = "/VERYSILENT"
    key = "/PASSWORD=" + wizard.PASSWORD
    for name, switches, line in (
            ("bad_switch", [quiet, "/BOGUS", key], "Error: Unknown switch: /BOGUS"),
            ("relative_dir", ["/DIR=Apps\\Demo", quiet], "Error: Not a full path: /DIR=Apps\\Demo"),
            ("no_language", [quiet, "/LANG=DEU", key], "Error: Language not offered: DEU"),
            ("no_password", [quiet], "Error: Incorrect password!"),
            ("wrong_password", [quiet, "/PASSWORD=wrong", "/LANG=ENU"], "Error: Incorrect password!")):
        expect_run(setup, name, switches, 1, [line])
        machine_untouched(name)
    # Cut short in a download: the last entries are gone, and so is the end.
    cut = os.path.join(os.path.dirname(setup), "unattended_cut.exe")
    with open(setup, "rb") as f, open(cut, "wb") as c:
        c.write(f.read()[:-14])
    expect_run(cut, "cut", [quiet, key], 4, ["Error: The archive is cut short: the file is incomplete or damaged."])
    machine_untouched("cut")
    os.remove(cut)

    data = install.DEMO_DATA
    files = [FOLDER + "\\" + n for n in ("readme.txt", "Docs\\manual.txt", "OsinMark.ttf")]
    expect_run(setup, "installed", [quiet, "/DIR=" + FOLDER + "\\", "/GROUP=" + GROUP, "/LANG=rus", key], 0,
               ["Command line: ...", "Language: RUS", "Destination folder: " + FOLDER] +
               ["Written: " + f for f in files] + ["Installed."])
    target = install.drive_c("Osin Test", "Unattended, Inc")
    for rel in ("readme.txt", os.path.join("Docs", "manual.txt"), "OsinMark.ttf"):
        with open(os.path.join(data, rel), "rb") as a, open(os.path.join(target, rel), "rb") as b:
            expect(a.read() == b.read(), "%s differs" % rel)
    values = install.reg_values(install.DEMO_KEY) or {}
    expect(values.get("InstallPath", (None, None))[1] == FOLDER, "registry values %r" % values)
    links = [m for menu in wizard.programs_menus() for m in glob.glob(os.path.join(menu, GROUP, "*.lnk"))]
    expect(len(links) == 1, "shortcuts in the group: %r" % links)

    # The second run: the readme changed and dated later stays, the rest is
    # the same; the configuration now wants a restart.
    readme = os.path.join(target, "readme.txt")
    with open(readme, "wb") as f:
        f.write(b"edited by the user\r\n")
    later = time.time() + 86400 * 365
    os.utime(readme, (later, later))
    project = install.demo_project("unattended_again", group_shortcuts)
    edited_config(project, b"NeedReboot=0", b"NeedReboot=1")
    again = pack_folder("unattended_again", project, secret)
    expect_run(again, "again", [quiet, "/NORESTART", "/DIR=" + FOLDER, key], 8,
               ["Skipped, newer installed: " + files[0],
                "Skipped, same: " + files[1],
                "Restart needed, left out by /NORESTART."])
    with open(readme, "rb") as f:
        expect(f.read() == b"edited by the user\r\n", "the newer installed readme was replaced")
    # Without /NORESTART the machine goes down, and the log says why.
    expect_run(again, "restart", [quiet, "/DIR=" + FOLDER, key], 0, ["Restarting Windows.", "Installed."])

    project = install.demo_project("unattended_refused")
    edited_config(project, b"[Config]", b"[PreRunApp]\r\nRefuse=cmd.exe,/c exit 1,,0\r\n[Config]")
    refused = pack_folder("unattended_refused", project, secret)
    expect_run(refused, "refused", [quiet, key], 2, ["Not installed."])
    # One that cannot start: the shell's box about it would wait for nobody.
    project = install.demo_project("unattended_missing")
    edited_config(project, b"[Config]", b"[PreRunApp]\r\nGone=C:\\Osin Test\\gone.exe,,,1,Checking...\r\n[Config]")
    missing = pack_folder("unattended_missing", project, secret)
    expect_run(missing, "missing", [quiet, key], 2, ["Cannot start: C:\\Osin Test\\gone.exe", "Not installed."])
    # A destination on a drive that does not exist, one whose name the
    # system would cut, one where a file stands, one whose variable the
    # project lacks (mistyped; it would land below the setup's current
    # folder): the installation began and failed, and the log names the
    # folder and the system's reason, not a full disk.
    blocker = install.drive_c("Osin Test", "Blocker")
    with open(blocker, "wb") as f:
        f.write(b"a file, not a folder\r\n")
    entries = sorted(os.listdir(install.drive_c("Osin Test")))
    for name, folder in (("no_drive", "Q:\\Nowhere"), ("dots", FOLDER + ".."), ("file", "C:\\Osin Test\\Blocker"),
                         ("unknown_variable", "%ProgramFile%\\Demo")):
        lines = expect_run(setup, name, [quiet, key, "/DIR=" + folder], 4, ["Error: %s ..." % folder])
        expect(not any("free disk space" in l for l in lines), "%s: reported as a full disk: %r" % (name, lines))
    expect(sorted(os.listdir(install.drive_c("Osin Test"))) == entries, "a destination was made")
    os.remove(blocker)

    real_rar_data(quiet)

    for menu in wizard.programs_menus():
        shutil.rmtree(os.path.join(menu, GROUP), ignore_errors=True)
    install.undo_demo()
    left = temp_entries() - before
    expect(not left, "left in the temporary folder: %s" % sorted(left))
    for name in ("unattended", "unattended_again", "unattended_refused", "unattended_missing"):
        os.remove(os.path.join(os.path.dirname(setup), name + ".exe"))


def real_rar_data(quiet):
    """Application files packed by the RAR archiver itself, in a solid
    archive: the entries passed over are decoded all the same (one of them
    enciphered), so the ones copied come out whole with the right password;
    with a wrong one the enciphered file fails and the run ends with 4."""
    # The team's shared material: named, or beside the checkout or its worktree folder.
    shared = [os.environ.get("OSIN_SHARED_DIR", ""), os.path.join(harness.ROOT, "..", "shared"),
              os.path.join(harness.ROOT, "..", "..", "shared")]
    samples = [os.path.join(s, "rar-samples") for s in shared if os.path.isdir(os.path.join(s, "rar-samples"))][0]

    def sample(name):
        with open(os.path.join(samples, name), "rb") as f:
            return f.read()

    folder = "C:\\Osin Test\\Real RAR"
    config = b"[Config]\r\nInsFiles=App\r\nDefaultInstallPath=" + folder.encode() + b"\r\n"
    script = b"[CopyFiles]\r\nFiles=%InstallPath%\r\n[Files]\r\np5_solid.bin=\r\nFILE2.TXT=\r\n"
    with open(os.path.join(install.DEMO, "Presetup", "Enu.lng"), "rb") as f:
        language = f.read()
    entries = [rarcraft.file_entry("Presetup\\App.ins", script), rarcraft.file_entry("Presetup\\Enu.lng", language),
               rarcraft.file_entry("Presetup\\Osin.ini", config)]
    entries += rarcraft.entries_of(sample("rar20-solid.rar"), "Data\\")
    entries += rarcraft.entries_of(sample("rar202-comment-psw.rar"), "Data\\")
    setup = os.path.join(harness.build.out, "projects", "unattended_real_rar.exe")
    with open(harness.build.osin, "rb") as f, open(setup, "wb") as out:
        out.write(f.read() + rarcraft.archive(entries, solid=True))
    target = install.drive_c("Osin Test", "Real RAR")
    expect_run(setup, "real_rar", [quiet, "/PASSWORD=password"], 0,
               ["Written: %s\\%s" % (folder, n) for n in ("p5_solid.bin", "FILE2.TXT")] + ["Installed."])
    for name, data in (("p5_solid.bin", sample("rar20-methods-original.bin")), ("FILE2.TXT", b"file2\r\n")):
        with open(os.path.join(target, name), "rb") as f:
            expect(f.read() == data, "%s differs" % name)
    shutil.rmtree(target)
    expect_run(setup, "real_rar_wrong", [quiet, "/PASSWORD=wrong"], 4, ['Error: Can\'t extract file "FILE1.TXT".'])
    expect(not os.path.exists(os.path.join(target, "FILE2.TXT")), "a wrong password wrote FILE2.TXT")
    shutil.rmtree(target, ignore_errors=True)
    os.remove(setup)


def unattended_no_room(temp_entries):
    """Files that claim more than the disk holds end the run before any file
    is written (4), and nothing is left of the destination: its folders and
    the log's are only made once the room is there. A temporary folder that
    cannot be made is named with the system's reason; one that is missing is
    made and taken back."""
    before = temp_entries()
    shutil.rmtree(install.drive_c("Osin Test"), ignore_errors=True)
    stat = os.statvfs(install.drive_c())
    claim = 0xFFFFFFF0
    names = ["part%03d.bin" % i for i in range(stat.f_bavail * stat.f_frsize // claim + 2)]
    with open(os.path.join(install.DEMO, "Presetup", "Enu.lng"), "rb") as f:
        # Without its message the language file still leaves the reason told.
        language = f.read().replace(b"4=Insufficient free disk space!\r\n", b"")
    config = (b"[Config]\r\nDefaultInstallPath=C:\\Osin Test\\No Room\\App\r\nInsFiles=Room\r\n"
              b"LogFile=%InstallPath%\\Logs\\Install.log\r\n")
    script = b"[CopyFiles]\r\nFiles=%InstallPath%\r\n[Files]\r\n" + b"".join(n.encode() + b"=,2\r\n" for n in names)
    entries = [rarcraft.file_entry("Presetup\\Osin.ini", config), rarcraft.file_entry("Presetup\\Enu.lng", language),
               rarcraft.file_entry("Presetup\\Room.ins", script)]
    entries += [rarcraft.file_entry("Data\\" + n, b"x", unpacked_size=claim) for n in names]
    setup = os.path.join(harness.build.out, "projects", "unattended_no_room.exe")
    os.makedirs(os.path.dirname(setup), exist_ok=True)
    with open(harness.build.osin, "rb") as f, open(setup, "wb") as out:
        out.write(f.read() + rarcraft.archive(entries))
    expect_run(setup, "no_room", ["/VERYSILENT"], 4, ["Error: Insufficient free disk space!"])
    expect(not os.path.exists(install.drive_c("Osin Test")), "the destination was made")
    # A temporary folder that cannot hold a folder (here a file by its
    # name) is named with the system's reason, not taken for a full disk.
    log = os.path.join(harness.build.out, "unattended", "no_temp.log")
    if os.path.exists(log):
        os.remove(log)
    temp = harness.windows_path(setup)
    command = "set TEMP=%s&& set TMP=%s&& %s /VERYSILENT /LOG=%s" % (temp, temp, temp, harness.windows_path(log))
    code = subprocess.run([harness.WINE_RUN, "cmd", "/c", command], timeout=300, stdout=subprocess.DEVNULL,
                          stderr=subprocess.DEVNULL).returncode
    with open(log, encoding="cp1252") as f:
        lines = f.read().splitlines()
    expect(code == 1 and lines[1].startswith("Error: " + temp + "\\") and lines[-1] == "Exit code 1",
           "a temporary folder that cannot be made: exit code %s, log %r" % (code, lines))
    expect(not os.path.exists(install.drive_c("Osin Test")), "the destination was made")
    # A temporary folder that does not exist yet is made with its parents
    # for the run, and all of them go again at its end. One too long to
    # hold the control files below it is passed over for C:\Temp; one of
    # a user named in a script the ANSI code page lacks is used by its
    # short name. Each run reaches the installation (4), not the end at the
    # control files (1). Wine reads the command in the locale's character
    # set, which must hold the user's name.
    name = "\u0416\u0430\u043d\u043d\u0430"
    shutil.rmtree(install.drive_c("Osin Temp"), ignore_errors=True)
    os.makedirs(install.drive_c("Osin Temp", name))

    def remains():
        made = [os.path.relpath(os.path.join(d, n), install.drive_c("Osin Temp"))
                for d, ds, fs in os.walk(install.drive_c("Osin Temp")) for n in ds + fs]
        fallback = install.drive_c("Temp")
        return made, sorted(os.listdir(fallback)) if os.path.isdir(fallback) else None

    before_runs = remains()
    for temp in ("C:\\Osin Temp\\Made", ("C:\\Osin Temp" + "\\Long folder" * 20)[:248], "C:\\Osin Temp\\" + name):
        command = "set TEMP=%s&& set TMP=%s&& %s /VERYSILENT" % (temp, temp, harness.windows_path(setup))
        code = subprocess.run([harness.WINE_RUN, "cmd", "/c", command], timeout=300, stdout=subprocess.DEVNULL,
                              stderr=subprocess.DEVNULL, env=dict(os.environ, LC_ALL="C.UTF-8")).returncode
        expect(code == 4 and remains() == before_runs,
               "a temporary folder %s: exit code %s, left %r" % (temp, code, remains()))
    shutil.rmtree(install.drive_c("Osin Temp"))
    os.remove(setup)
    left = temp_entries() - before
    expect(not left, "left in the temporary folder: %s" % sorted(left))


def stored_setup(name, files):
    """A setup packed without compression from FILES (path, bytes) and,
    unless they hold texts of their own, the demo's English texts; its
    path."""
    project = os.path.join(harness.build.out, "projects", name)
    shutil.rmtree(project, ignore_errors=True)
    with open(os.path.join(install.DEMO, "Presetup", "Enu.lng"), "rb") as f:
        files = (("Presetup/Enu.lng", f.read()),) + files
    for path, data in files:
        os.makedirs(os.path.dirname(os.path.join(project, path)), exist_ok=True)
        with open(os.path.join(project, path), "wb") as f:
            f.write(data)
    setup = project + ".exe"
    subprocess.run([install_pack(), "build", project, "-o", setup, "--stub", harness.build.osin, "-0"],
                   check=True, stdout=subprocess.DEVNULL)
    shutil.rmtree(project, ignore_errors=True)
    return setup


def half_written(folder, size):
    """Whether a file in FOLDER holds more than nothing and less than SIZE."""
    for path in glob.glob(os.path.join(folder, "*")):
        try:
            if 0 < os.path.getsize(path) < size:
                return True
        except OSError:
            pass
    return False


def unattended_side_by_side(noise, temp_entries):
    """Two unattended runs of one setup started together into one folder,
    as two deployment jobs may: the second waits for the first's
    installation, so both end with 0, the file is whole, and the install
    log keeps the records of both (each run writes back the log as it read
    it, so overlapping runs lost the first one's records). A run with
    windows tells the user it waits. Then a run
    killed while it writes, and one after it, started from a folder named
    in another script."""
    before = temp_entries()
    config = (b"[Config]\r\nDefaultInstallPath=C:\\Osin Test\\Side\r\nInsFiles=Side\r\n"
              b"LogFile=%InstallPath%\\Install.log\r\n[Variables]\r\nProgramName=Side Case\r\n")
    script = (b"[CopyFiles]\r\nFiles=%InstallPath%\r\n[Files]\r\nbig.bin=,2\r\nsmall.txt=,2\r\n"
              b"[AddIni]\r\nSideIni=%InstallPath%\\side.ini,Options\r\n[SideIni]\r\nKey=Value\r\n")
    big = noise(16 << 20, 21) * 4
    setup = stored_setup("side_by_side", (("Presetup/Osin.ini", config), ("Presetup/Side.ins", script),
                                          ("Data/big.bin", big), ("Data/small.txt", b"small\r\n")))
    shutil.rmtree(install.drive_c("Osin Test"), ignore_errors=True)
    runs = [subprocess.Popen([harness.WINE_RUN, setup, "/VERYSILENT"], stdout=subprocess.DEVNULL,
                             stderr=subprocess.DEVNULL) for _ in (1, 2)]
    codes = [r.wait(timeout=300) for r in runs]
    expect(codes == [0, 0], "exit codes %r" % codes)
    folder = install.drive_c("Osin Test", "Side")
    with open(os.path.join(folder, "big.bin"), "rb") as f:
        expect(f.read() == big, "big.bin is not whole")
    with open(os.path.join(folder, "Install.log"), encoding="cp1252") as f:
        records = f.read().splitlines()
    needed = ["C:\\Osin Test\\Side\\" + n
              for n in ("big.bin=", "small.txt=", "side.ini=", "side.ini,Options,Key=Value")]
    expect(all(n in records for n in needed), "the install log lost records: %r" % records)

    # A run with windows, started while another installs (here the driver
    # holds the turn), says why it waits, then installs once the turn is
    # free.
    shutil.rmtree(folder)
    log = os.path.join(harness.build.out, "unattended", "waits.log")
    os.makedirs(os.path.dirname(log), exist_ok=True)
    waiting = "Waiting for another installation to finish..."
    t = harness.run_scenario("side_by_side_waits", [
        "own OsinSetup", "start %s /SILENT /LOG=%s" % (harness.windows_path(setup), harness.windows_path(log)),
        "wait-window initializing 60000", "wait-gone initializing 60000", "sleep 3000", "sync waiting", "unlock",
        "wait-exit 300000"], on_sync={"waiting": lambda: expect(not os.path.exists(folder), "it did not wait")})
    with open(log, encoding="cp1252") as f:
        lines = f.read().splitlines()
    t.expect(t.exit_code == 0 and os.path.getsize(os.path.join(folder, "big.bin")) == len(big) and
             waiting in lines, "the run that waited: exit code %s, log %r" % (t.exit_code, lines))

    # A run killed halfway through the large file, as the power going would
    # end it, leaves no part under the file's name, so the next run writes
    # it whole instead of keeping a part it takes for a newer copy.
    shutil.rmtree(folder)
    run = subprocess.Popen([harness.WINE_RUN, setup, "/VERYSILENT"], stdout=subprocess.DEVNULL,
                           stderr=subprocess.DEVNULL)
    deadline = time.time() + 120
    while not half_written(folder, len(big)):
        expect(run.poll() is None and time.time() < deadline, "the large file was not seen half written")
        time.sleep(0.005)
    for pid in filter(str.isdigit, os.listdir("/proc")):
        try:
            with open("/proc/%s/cmdline" % pid, "rb") as f:
                if b"side_by_side.exe" in f.read():
                    os.kill(int(pid), signal.SIGKILL)
        except OSError:
            pass
    run.wait(timeout=60)
    # Its control files stay behind, as nothing ran its clean-up.
    for name in temp_entries() - before:
        shutil.rmtree(os.path.join(harness.wine_temp_dir(), name))
    target = os.path.join(folder, "big.bin")
    expect(not os.path.exists(target) or os.path.getsize(target) == len(big), "a killed run left part of big.bin")
    # Started from a folder in letters the ANSI code page lacks, as a
    # download in another script is, the setup still finds itself.
    foreign = os.path.join(os.path.dirname(setup), "Загрузки", "Установка.exe")
    os.makedirs(os.path.dirname(foreign), exist_ok=True)
    shutil.copy(setup, foreign)
    code, lines = run_setup(foreign, "after_kill", "/VERYSILENT")
    shutil.rmtree(os.path.dirname(foreign))
    expect(code == 0, "the run after a killed one: exit code %s, log %r" % (code, lines))
    with open(target, "rb") as f:
        expect(f.read() == big, "the run after a killed one did not write big.bin whole")
    shutil.rmtree(install.drive_c("Osin Test"), ignore_errors=True)
    os.remove(setup)
    left = temp_entries() - before
    expect(not left, "left in the temporary folder: %s" % sorted(left))


def unattended_silent(noise, temp_entries):
    """/SILENT shows the progress page alone, no background and no other
    page; with /SUPPRESSMSGBOXES its Cancel needs no answer and ends the
    run with 5, the installed file whole. /? lists the switches (0); an
    unknown switch names itself in a box over that list and ends with 1,
    the machine untouched."""
    before = temp_entries()
    config = (b"[Config]\r\nDefaultInstallPath=C:\\Osin Test\\Big\r\nInsFiles=Big\r\n"
              b"PreInstallDialogSequence=DLG_WELCOME,DLG_DIR\r\n[Variables]\r\nProgramName=Big Case\r\n")
    setup = stored_setup("unattended_big", (
        ("Presetup/Osin.ini", config),
        ("Presetup/Big.ins", b"[CopyFiles]\r\nFiles=%InstallPath%\r\n[Files]\r\nbig.bin=,2\r\n"),
        ("Data/big.bin", noise(4 << 20, 18) * 60)))
    folder = install.drive_c("Osin Test", "Big")
    shutil.rmtree(install.drive_c("Osin Test"), ignore_errors=True)
    os.makedirs(folder)
    old = b"the installed file\r\n" * 1000
    with open(os.path.join(folder, "big.bin"), "wb") as f:
        f.write(old)
    log = os.path.join(harness.build.out, "unattended", "silent.log")
    os.makedirs(os.path.dirname(log), exist_ok=True)
    start = "start %s /SILENT /SUPPRESSMSGBOXES /LOG=%s" % (harness.windows_path(setup), harness.windows_path(log))
    t = harness.run_scenario("unattended_silent", [start, "wait-text Extracting big.bin 120000",
                                                   "press %d" % wizard.CANCEL, "wait-exit 60000"])
    t.expect(t.exit_code == 5, "exit code %s, expected 5" % t.exit_code)
    t.expect(not t.seen(cls="OsinMainWindow"), "the background was shown")
    t.expect(not [w for w in t.windows if any("Welcome" in c[1] for c in w.controls.values())],
             "a page before the installation was shown")
    t.expect(t.message_boxes() == [], "boxes %r" % t.message_boxes())
    with open(os.path.join(folder, "big.bin"), "rb") as f:
        t.expect(f.read() == old, "the installed file changed")
    with open(log, encoding="cp1252") as f:
        lines = f.read().splitlines()
    t.expect(lines[-2:] == ["Not installed.", "Exit code 5"], "log ends %r" % lines[-2:])

    t = harness.run_scenario("unattended_help", ["start %s /?" % harness.windows_path(setup),
                                                 "wait-window Setup 60000", "press 1 Setup", "wait-exit 60000"])
    t.expect(t.exit_code == 0, "/? ended with %s" % t.exit_code)
    t.expect(any("/VERYSILENT" in b and "/NORESTART" in b for b in t.message_boxes()), "boxes %r" % t.message_boxes())
    shutil.rmtree(install.drive_c("Osin Test"), ignore_errors=True)
    t = harness.run_scenario("unattended_bad", ["start %s /SILENT /DIR=C:\\Osin Test\\Big" % harness.windows_path(setup),
                                                "wait-window Error 60000", "press 1 Error", "wait-exit 60000"])
    t.expect(t.exit_code == 1, "a bad switch ended with %s" % t.exit_code)
    boxes = t.message_boxes()
    t.expect(len(boxes) == 1 and boxes[0].startswith("Unknown switch: Test\\Big\r\n\r\n/SILENT, /VERYSILENT"), "boxes %r" % boxes)
    t.expect(not os.path.exists(install.drive_c("Osin Test")), "the bad switch changed the machine")
    os.remove(setup)
    left = temp_entries() - before
    t.expect(not left, "left in the temporary folder: %s" % sorted(left))


def install_pack():
    return os.path.join(harness.NATIVE, "tools", "pack", "osin-pack")
