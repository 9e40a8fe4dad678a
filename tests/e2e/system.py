"""End-to-end scenario of the system changes: the demo project installed
through its pages, everything its System.ins asks for read back the way
Windows programs see it (osin-e2e-readback.exe, built beside the driver),
and the install log checked for the records the uninstaller needs, in
their order. scenarios.py runs it with its common checks.
"""
import json
import os
import shutil
import subprocess

import harness
import install
import wizard

FINISHED = install.FINISHED
# An upgrade: the folder of an older version, whose library is in use, and
# whose name has an apostrophe, which the RunOnce value's name must keep.
FOLDER = "C:\\Osin Test\\Bob's Demo"
DEMO_KEY = ("HKCU", "Software\\Osin Demo")
MARKER_KEY = ("HKCU", "Software\\OsinTests\\RegisterServer")
RUN_ONCE = ("HKLM", "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunOnce")
FONTS = ("HKLM", "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Fonts")
# Another program's settings in win.ini, in a section the demo adds a key
# to: a comment, a line without "=", a quoted value with a comma and a
# later section of the same name must all stay as they are.
WIN_INI_SEEDED = ("[Osin Demo]\r\n; kept by the other program\r\nbare line\r\nQuoted=\"a, b\"\r\n"
                  "[Other]\r\nk=1\r\n[osin demo]\r\nLater=2\r\n")


def readback_program():
    return os.path.join(os.path.dirname(harness.build.driver), "osin-e2e-readback.exe")


def fixture_server():
    return os.path.join(os.path.dirname(os.path.dirname(harness.build.driver)), "platform",
                        "fixture_regserver.dll")


def read_back(name, queries):
    """Asks the read-back program QUERIES (tuples of fields); its answers,
    one list per query."""
    folder = os.path.join(harness.build.out, name)
    os.makedirs(folder, exist_ok=True)
    asked, answered = os.path.join(folder, "queries.txt"), os.path.join(folder, "answers.txt")
    with open(asked, "w", encoding="cp1252", newline="\r\n") as f:
        f.write("".join("\t".join(q) + "\n" for q in queries))
    if os.path.exists(answered):
        os.remove(answered)
    subprocess.run([harness.WINE_RUN, readback_program(), harness.windows_path(asked),
                    harness.windows_path(answered)], check=True, stdout=subprocess.DEVNULL,
                   stderr=subprocess.DEVNULL, timeout=120)
    with open(answered, encoding="utf-8") as f:
        answers = [json.loads(line) for line in f]
    if len(answers) != len(queries):
        raise harness.ScenarioFailed("read back %d answers to %d queries" % (len(answers), len(queries)))
    return answers


def win_ini():
    return install.drive_c("windows", "win.ini")


def undo(name, folder):
    """Takes back what the scenario and the installation changed; the
    delayed renames of FOLDER too, so no later start of the prefix
    performs them. Returns how many renames were dropped."""
    install.undo_demo()
    answers = read_back(name + "-undo", [
        ("delete-key",) + DEMO_KEY, ("delete-key",) + MARKER_KEY,
        ("delete-value",) + RUN_ONCE + (folder + "\\InUse.dll",),
        ("delete-value",) + FONTS + ("OsinMark.ttf",), ("drop-renames", folder)])
    return int(answers[-1][0])


def system_project(name):
    """The demo project, its RunApp kept (the scenario closes the Notepad it
    opens), with its server library staged (the OLE server stand-in of the
    build, which records that it ran, and its line in System.ins, which the
    shipped demo leaves out as it carries no such library) and a second
    server, InUse.dll, that the scenario holds open."""
    folder = install.demo_project(name)
    data, script = os.path.join(folder, "Data"), os.path.join(folder, "Presetup", "System.ins")
    shutil.copy(fixture_server(), os.path.join(data, "DemoServer.dll"))
    shutil.copy(fixture_server(), os.path.join(data, "InUse.dll"))
    with open(os.path.join(install.DEMO, "Presetup", "System.ins"), encoding="cp1252") as f:
        text = f.read()
    line = "OsinMark.ttf=OsinMark.ttf,8\n"
    with open(script, "w", encoding="cp1252", newline="\r\n") as f:
        f.write(text.replace(line, "DemoServer.dll=DemoServer.dll,4\n" + line + "InUse.dll=InUse.dll,4\n"))
    return folder


def lines_of(path):
    with open(path, "rb") as f:
        return f.read().decode("cp1252").split("\r\n")


def install_system_changes(run, pack_folder):
    """The demo installed over an older version whose InUse.dll is held
    open: DemoServer.dll registered at once (its DllRegisterServer ran),
    InUse.dll written under a temporary name and queued under RunOnce with
    the whole path (apostrophe included) as the value's name; the registry
    values (default, string, DWORD over an older value, a text with a
    comma) written and the older version's value deleted; one line added
    to win.ini and nothing else changed there; the font in the Fonts key
    and known to programs started afterwards; the shortcut with every
    field as Windows reads it; Notepad started on the readme; the restart
    page declined. The log holds each change once, in the order made."""
    name = "install_system_changes"
    base = FOLDER
    undo(name, base)
    original_ini = open(win_ini(), "rb").read() if os.path.exists(win_ini()) else b""
    dropped = None
    try:
        t, seeded_ini, fonts_before = install_held(run, pack_folder, name, base, original_ini)
        check(t, name, base, seeded_ini, fonts_before)
    finally:
        dropped = undo(name, base)
        with open(win_ini(), "wb") as f:
            f.write(original_ini)
    t.expect(dropped == 2, "delayed renames of the held library: %d, expected 2" % dropped)


def install_held(run, pack_folder, name, base, original_ini):
    """Seeds what the older version left, holds its library open and walks
    the setup through the installation."""
    seeded_ini = original_ini + WIN_INI_SEEDED.encode("cp1252")
    with open(win_ini(), "wb") as f:
        f.write(seeded_ini)
    # The older version's values: one the scripts delete, one they overwrite.
    install.reg("add", "HKCU\\" + DEMO_KEY[1], "/v", "Obsolete", "/d", "old", "/f")
    install.reg("add", "HKCU\\" + DEMO_KEY[1], "/v", "Runs", "/t", "REG_DWORD", "/d", "5", "/f")
    folder = install_folder()
    os.makedirs(folder)
    held = os.path.join(folder, "InUse.dll")
    with open(held, "wb") as f:
        f.write(b"the older version's library")
    os.utime(held, (978307200, 978307200))  # 2001: older than the one installed
    release = harness.hold_file(held, name)
    try:
        fonts_before = read_back(name + "-before", [("font", "Osin Mark")])
        setup = pack_folder(name, system_project(name), ["--password", wizard.PASSWORD])
        script = install.walk_to_install(setup, base)
        # The held library asks for a restart; the user declines it.
        script += ["wait-text The computer must be restarted 120000", "sync restart", "click 107", "sleep 300",
                   "press %d" % wizard.NEXT, "wait-text %s 60000" % FINISHED, "sync finished", "press 104",
                   "wait-exit 60000"]
        return run(name, script), seeded_ini, fonts_before
    finally:
        release()


def install_folder():
    return install.drive_c("Osin Test", "Bob's Demo")


def check(t, name, base, seeded_ini, fonts_before):
    folder = install_folder()
    t.expect(t.message_boxes() == [], "boxes %r" % t.message_boxes())
    server, in_use = base + "\\DemoServer.dll", base + "\\InUse.dll"
    links = [os.path.join(menu, "Osin Demo", "Read Me.lnk") for menu in wizard.programs_menus()]
    links = [p for p in links if os.path.exists(p)]
    t.expect(len(links) == 1, "the shortcut is in %r" % links)
    link = links[0]
    marker, run_once, default, path, runs, greeting, obsolete, font_value, ini_key, shortcut, font, notepad = (
        read_back(name + "-after", [
            ("value",) + MARKER_KEY + ("Ran",), ("value",) + RUN_ONCE + (in_use,),
            ("value",) + DEMO_KEY + ("",), ("value",) + DEMO_KEY + ("InstallPath",),
            ("value",) + DEMO_KEY + ("Runs",), ("value",) + DEMO_KEY + ("Greeting",),
            ("value",) + DEMO_KEY + ("Obsolete",), ("value",) + FONTS + ("OsinMark.ttf",),
            ("ini", "C:\\windows\\win.ini", "Osin Demo", "InstallPath"), ("link", harness.windows_path(link)),
            ("font", "Osin Mark"), ("window", "Notepad", "15000")]))

    # Servers: one registered now, one queued for the next start.
    t.expect(marker[0] == "REG_SZ" and marker[1].lower() == server.lower(),
             "DllRegisterServer of DemoServer.dll did not run: %r" % marker)
    t.expect(run_once[0] == "REG_SZ" and run_once[1].lower().startswith("c:\\windows\\")
             and run_once[1].endswith("\\regsvr32.exe /s \"%s\"" % in_use), "RunOnce %r" % run_once)
    with open(os.path.join(folder, "InUse.dll"), "rb") as f:
        t.expect(f.read() == b"the older version's library", "the held library was replaced at once")
    waiting = [n for n in os.listdir(folder) if n.lower().startswith("osi") and n.lower().endswith(".tmp")]
    t.expect(len(waiting) == 1, "the new library waits under a temporary name: %r" % os.listdir(folder))
    with open(os.path.join(folder, waiting[0]), "rb") as a, open(fixture_server(), "rb") as b:
        t.expect(a.read() == b.read(), "the waiting library is not the installed one")

    # Registry: default value, string, DWORD over the older 5, the quoted
    # text with its comma; the older version's value gone.
    t.expect(default == ["REG_SZ", "Osin Demo"], "default value %r" % default)
    t.expect(path == ["REG_SZ", base], "InstallPath %r" % path)
    t.expect(runs == ["REG_DWORD", "1"], "Runs %r" % runs)
    t.expect(greeting == ["REG_SZ", "Hello, world"], "Greeting %r" % greeting)
    t.expect(obsolete == ["missing"], "Obsolete %r" % obsolete)

    # win.ini: exactly one line more, in the first of the two sections.
    t.expect(ini_key == ["value", base], "win.ini key %r" % ini_key)
    before = seeded_ini.decode("cp1252").split("\r\n")
    after = lines_of(install.drive_c("windows", "win.ini"))
    added = before.index("Quoted=\"a, b\"") + 1
    t.expect(after == before[:added] + ["InstallPath=" + base] + before[added:],
             "win.ini changed beyond its one new line:\n%s" % "\n".join(after))

    # Fonts: the value (the font lies outside the fonts folder), and the
    # face known to a program started after the installation.
    t.expect(font_value == ["REG_SZ", base + "\\OsinMark.ttf"], "Fonts value %r" % font_value)
    t.expect(fonts_before == [["missing"]] and font == ["present"], "font %r then %r" % (fonts_before, font))

    # The shortcut as the shell reads it: target, arguments, working
    # folder, icon, hot key (Ctrl+Alt+R), show command (normal), no
    # description.
    expected = ["C:\\windows\\notepad.exe", "\"%s\\readme.txt\"" % base, base, "C:\\windows\\notepad.exe", "0",
                str(0x652), "1", ""]
    t.expect([f.lower() for f in shortcut] == [f.lower() for f in expected], "shortcut %r" % shortcut)

    t.expect(notepad[0] == "closed" and "readme" in notepad[1].lower(), "Notepad on the readme: %r" % notepad)

    check_log(t, base, folder, link)


def check_log(t, base, folder, link):
    path = install.find_file(folder, "Install.log")
    t.expect(path, "no install log in %r" % os.listdir(folder))
    log = install.read_log(path)
    sections = [s for s, _ in log]
    entries = dict(log)
    # Each kind once, in the order first written: the file phase (its first
    # file lands in the existing folder, then Docs is made), then the steps
    # in their order: servers, registry, INI, fonts, shortcuts; the folder
    # the shortcut needed joins CreateDirs after the one made before it.
    t.expect(sections == ["CopyFiles", "CreateDirs", "RegServers", "AddReg", "AddIni", "RegFonts", "Shortcuts"],
             "log sections %r" % sections)
    dirs = [k for k, _ in entries["CreateDirs"]]
    t.expect(dirs[0] == base + "\\Docs" and len(dirs) == 2 and dirs[1].lower().endswith(
        "\\start menu\\programs\\osin demo"), "folders logged %r" % dirs)
    # Files and servers in archive order.
    files = ["\\readme.txt", "\\Docs\\manual.txt", "\\DemoServer.dll", "\\OsinMark.ttf", "\\InUse.dll"]
    t.expect(sorted(entries["CopyFiles"]) == sorted((base + f, "") for f in files),
             "files logged %r" % entries["CopyFiles"])
    t.expect(sorted(entries["RegServers"]) == [(base + "\\DemoServer.dll", ""), (base + "\\InUse.dll", "")],
             "servers logged %r" % entries["RegServers"])
    # Runs existed before: overwritten, not logged.
    key = "HKCU\\" + DEMO_KEY[1]
    t.expect(entries["AddReg"] == [(key + "\\", "Osin Demo"), (key + "\\InstallPath", base),
                                   (key + "\\Greeting", "Hello, world"),
                                   ("HKLM\\" + FONTS[1] + "\\OsinMark.ttf", "")],
             "registry logged %r" % entries["AddReg"])
    t.expect([(k.lower(), v) for k, v in entries["AddIni"]] == [("c:\\windows\\win.ini,osin demo,installpath", base)],
             "INI keys logged %r" % entries["AddIni"])
    t.expect(entries["RegFonts"] == [(base + "\\OsinMark.ttf", "")], "fonts logged %r" % entries["RegFonts"])
    t.expect(len(entries["Shortcuts"]) == 1 and entries["Shortcuts"][0][0].lower().endswith(
        "\\osin demo\\read me.lnk"), "shortcuts logged %r" % entries["Shortcuts"])
