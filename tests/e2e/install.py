"""End-to-end scenarios of the installation: the demo project installed for
real and read back (files, install log, registry), and the file phase's
hard cases. scenarios.py runs them with its common checks.
"""
import os
import re
import shutil
import subprocess

import harness
import wizard

DEMO = wizard.DEMO
DEMO_DATA = os.path.join(DEMO, "Data")
FINISHED = "has been installed on your computer"


def drive_c(*parts):
    return os.path.join(harness.wine_prefix(), "drive_c", *parts)


def reg(*args):
    """Runs Wine's reg.exe with ARGS, in the registry view of the build's
    programs (a 32-bit setup's HKLM\\Software is the Wow6432Node); its
    output."""
    view = ["/reg:32"] if harness.build.arch == "i686" else []
    done = subprocess.run([harness.WINE_RUN, "reg"] + list(args) + view, capture_output=True, text=True,
                          encoding="cp1252", errors="replace")
    return done.returncode, done.stdout


def reg_values(key):
    """The values of the registry KEY as name -> (type, data), or None when
    the key does not exist."""
    rc, out = reg("query", key)
    if rc != 0:
        return None
    values = {}
    for line in out.splitlines():
        parts = line.strip().split(None, 2) if line.startswith("    ") else []
        if len(parts) >= 2 and parts[1].startswith("REG_"):
            values[parts[0]] = (parts[1], parts[2] if len(parts) > 2 else "")
        elif line.startswith("    (Default)") or line.startswith("    <NO NAME>"):
            rest = line.strip().split(None, 2)
            values[""] = (rest[1], rest[2] if len(rest) > 2 else "")
    return values


def find_file(folder, name):
    """The file NAME in FOLDER, its letter case ignored (the INI store
    creates files with upper-case names), or None."""
    for entry in os.listdir(folder) if os.path.isdir(folder) else []:
        if entry.lower() == name.lower():
            return os.path.join(folder, entry)
    return None


def read_log(path):
    """The install log as [(section, [(key, value)...])] in file order."""
    sections = []
    with open(path, encoding="cp1252") as f:
        for line in f.read().splitlines():
            if line.startswith("[") and line.endswith("]"):
                sections.append((line[1:-1], []))
            elif "=" in line and sections:
                # A record without a value ends in its "=": its key may hold
                # one (a folder the user named so).
                key, value = (line[:-1], "") if line.endswith("=") else line.split("=", 1)
                sections[-1][1].append((key, value))
    return sections


def same_bytes(t, source, target):
    t.expect(os.path.exists(target), "not installed: %s" % target)
    with open(source, "rb") as a, open(target, "rb") as b:
        t.expect(a.read() == b.read(), "%s differs from %s" % (target, source))


def demo_project(name, edit=None):
    """A copy of the demo project under the work folder, without the
    program it runs at the end (Notepad would stay open); EDIT changes the
    copy's folder before it is packed."""
    folder = os.path.join(harness.build.out, "projects", name)
    shutil.rmtree(folder, ignore_errors=True)
    shutil.copytree(DEMO, folder)
    script = os.path.join(folder, "Presetup", "System.ins")
    with open(script, encoding="cp1252") as f:
        text = f.read()
    with open(script, "w", encoding="cp1252", newline="\r\n") as f:
        f.write(text[:text.index("; Shows the readme")])
    if edit:
        edit(folder)
    return folder


def walk_to_install(setup, folder, password=wizard.PASSWORD):
    """The driver's lines that take the demo's pages in English to the
    installation into FOLDER."""
    e = wizard.ENGLISH
    script = ["start " + harness.windows_path(setup)]
    for name in ("language", "welcome"):
        script += ["wait-text %s 60000" % e[name], "press %d" % wizard.NEXT]
    script += ["wait-text %s 30000" % e["license"], "press 105"]
    script += ["wait-text %s 30000" % e["readme"], "press %d" % wizard.NEXT]
    script += ["wait-text %s 30000" % e["password"], "set-text 106 " + password, "press %d" % wizard.NEXT]
    script += ["wait-text %s 30000" % e["dir"], "set-text 106 " + folder, "press %d" % wizard.NEXT]
    script += ["wait-text %s 30000" % e["group"], "press %d" % wizard.NEXT]
    script += ["wait-text %s 30000" % e["start"], "press %d" % wizard.NEXT]
    return script


DEMO_KEY = "HKCU\\Software\\Osin Demo"
DEMO_FOLDER = "C:\\Osin Test\\Demo"


def undo_demo(folder=("Osin Test",)):
    """Takes back what an installation of the demo into FOLDER (below C:)
    changed, so the next one starts from a machine without it (its log
    records only what it made) and the font it added is gone again."""
    shutil.rmtree(drive_c(*folder), ignore_errors=True)
    reg("delete", DEMO_KEY, "/f")
    reg("delete", "HKLM\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Fonts", "/v", "OsinMark.ttf", "/f")
    win_ini = drive_c("windows", "win.ini")
    if os.path.exists(win_ini):
        with open(win_ini, encoding="cp1252") as f:
            lines = f.read().splitlines()
        kept, skipping = [], False
        for line in lines:
            if line.startswith("["):
                skipping = line == "[Osin Demo]"
            if not skipping:
                kept.append(line)
        with open(win_ini, "w", encoding="cp1252", newline="\r\n") as f:
            f.write("\n".join(kept) + "\n")
    for menu in wizard.programs_menus():
        shutil.rmtree(os.path.join(menu, "Osin Demo"), ignore_errors=True)


def install_demo(run, pack_folder):
    """The demo installed twice from a clean machine: packed solid with its
    password, and not solid without one. Each time every file is read back
    byte for byte, the install log holds its sections in the order the
    installation made them with what it made, the registry holds the
    demo's values, and the final page says it is installed. The second
    time the folder is typed with blanks around it, as pasted: they are
    no part of it (a blank before the drive made a folder below the
    current one, blanks after it a message of a full disk)."""
    e = wizard.ENGLISH
    base = DEMO_FOLDER
    for name, options, password, typed in (("install_demo_solid", ["--solid", "--password", wizard.PASSWORD],
                                            wizard.PASSWORD, base),
                                           ("install_demo_plain", [], "anything", "  %s \t " % base)):
        undo_demo()
        setup = pack_folder(name, demo_project(name), options)
        script = walk_to_install(setup, typed, password)
        script += ["wait-text %s 120000" % FINISHED, "sync finished", "press 104", "wait-exit 60000"]
        t = run(name, script)
        t.expect(t.message_boxes() == [], "boxes %r" % t.message_boxes())
        wizard.page_with(t, FINISHED)
        folder = drive_c("Osin Test", "Demo")
        for rel in ("readme.txt", os.path.join("Docs", "manual.txt"), "OsinMark.ttf"):
            same_bytes(t, os.path.join(DEMO_DATA, rel), os.path.join(folder, rel))
        t.expect("Install.log" in os.listdir(folder), "the log named as the project wrote it: %r" % os.listdir(folder))
        log = read_log(find_file(folder, "Install.log"))
        sections = [s for s, _ in log]
        entries = dict(log)
        # Folders first (the destination), then each step's records in the
        # steps' order: files, registry (its key made first), INI, fonts,
        # shortcuts.
        t.expect(sections == ["CreateDirs", "CopyFiles", "CreateKeys", "AddReg", "AddIni", "RegFonts", "Shortcuts"],
                 "log sections %r" % sections)
        t.expect(entries["CreateDirs"][:3] == [("C:\\Osin Test", ""), (base, ""), (base + "\\Docs", "")],
                 "folders logged %r" % entries["CreateDirs"])
        t.expect(sorted(entries["CopyFiles"]) == [(base + "\\Docs\\manual.txt", ""), (base + "\\OsinMark.ttf", ""),
                                                  (base + "\\readme.txt", "")],
                 "files logged %r" % entries["CopyFiles"])
        t.expect(("InstallPath", base) in [(k.split("\\")[-1], v) for k, v in entries.get("AddReg", [])],
                 "registry values logged %r" % entries.get("AddReg"))
        t.expect(entries.get("RegFonts") == [(base + "\\OsinMark.ttf", "")], "fonts logged %r" % entries.get("RegFonts"))
        values = reg_values(DEMO_KEY)
        t.expect(values is not None and values.get("InstallPath", (None, None))[1] == base,
                 "registry values %r" % values)
    undo_demo()



def reg_value(key, name):
    """The data of value NAME of KEY as Wine's reg.exe prints it, or None."""
    rc, out = reg("query", key, "/v", name)
    if rc != 0:
        return None
    for line in out.splitlines():
        m = re.match(r"^    (.*?)    (REG_\w+)    (.*)$", line)
        if m and m.group(1).lower() == name.lower():
            return m.group(3)
    return None


SHARED_DLLS = "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs"
UNINSTALL_KEY = "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Hard Case"
# A folder such as a user may choose: an apostrophe, a comma and an "=",
# each of which means something in a script's fields.
HARD_FOLDER = "C:\\Osin Test\\O'Brien, Inc=1"
CONFLICT = "File version conflict"
KEEP, KEEP_ALL, REPLACE, REPLACE_ALL = 107, 108, 109, 110


def hard_project(fixtures):
    """Files with each flag, four DLLs older than the installed ones, one
    with the keep-installed flag, the uninstaller (a small program with a
    version) and uninstall sections in the script and the language file."""
    with open(os.path.join(DEMO, "Presetup", "Enu.lng"), "rb") as f:
        # A text of the project's own beside the demo's uninstaller texts.
        language = f.read().replace(b"[Uninstall.Strings]\r\n",
                                    b"[Uninstall.Strings]\r\nTitle=Removing %ProgramName%\r\n")
    # No question of its own: the English one stands, not [Dialogs]' Back.
    language = re.sub(rb"\[DLG_VERSIONCONFLICT\]\r\n(.*\r\n)101=[^\r]*\r\n", rb"[DLG_VERSIONCONFLICT]\r\n\1", language)
    config = ("[Config]\r\nDefaultInstallPath=C:\\Osin Test\\Default\r\nInsFiles=Hard\r\n"
              "LogFile=%InstallPath%\\Install.log\r\nUninstall=1\r\nPreInstallDialogSequence=DLG_DIR\r\n"
              "[VersionInfo]\r\n" + "".join("%s.dll=1.5.0.0\r\n" % n for n in "abcd") + "keep.dll=1.5.0.0\r\n"
              "[Variables]\r\nProgramName=Hard Case\r\n")
    # Ext: files on disk beside the setup (the project's own), by a wildcard.
    script = ("[CopyFiles]\r\nFiles=%InstallPath%\r\nExt=%InstallPath%\\Ext\r\n"
              "[Ext]\r\n%SourcePath%\\hard_cases\\Data\\*.txt=,64\r\n"
              "[Files]\r\nplain.txt=\r\nshared.txt=,128\r\n"
              "nolog.txt=,1\r\nexisting.txt=,32\r\nrenamed.txt=other name.txt\r\n"
              + "".join("%s.dll=\r\n" % n for n in "abcd") + "keep.dll=,16\r\n"
              "[Uninstall.Messages]\r\nWhere=%InstallPath%\r\n")
    with open(os.path.join(fixtures, "fixture_v15.dll"), "rb") as f:
        old_dll = f.read()
    with open(os.path.join(fixtures, "fixture_exitcode.exe"), "rb") as f:
        uninstaller = f.read()
    files = {"Presetup/Osin.ini": config.encode("cp1252"), "Presetup/Enu.lng": language,
             "Presetup/Hard.ins": script.encode("cp1252"), "Presetup/UnOsin.exe": uninstaller,
             "Data/plain.txt": b"plain\r\n", "Data/shared.txt": b"shared\r\n", "Data/nolog.txt": b"not logged\r\n",
             "Data/existing.txt": b"new\r\n", "Data/renamed.txt": b"renamed\r\n", "Data/keep.dll": old_dll}
    for n in "abcd":
        files["Data/%s.dll" % n] = old_dll
    return files


def hard_cases(run, packed_setup):
    """Mend 1's folder: every file lands under its own name in a folder
    whose name holds an apostrophe, a comma and an "=", with its flags
    (a shared file counted under its real path, a file not logged, an
    existing file left alone, a renamed one; files on disk by a wildcard,
    under their own names). The version-conflict page
    through its four answers: kept, replaced, "No to all" replacing the
    rest without asking but leaving the keep-installed file; on the second
    run "Yes to all" keeping every one. The uninstaller copied and
    registered, its texts copied into the log; the shared count 2 after two
    installs."""
    fixtures = os.path.join(os.path.dirname(harness.build.osin), "..", "..", "tests", "platform")
    with open(os.path.join(fixtures, "fixture_v20.dll"), "rb") as f:
        new_dll = f.read()
    with open(os.path.join(fixtures, "fixture_v15.dll"), "rb") as f:
        old_dll = f.read()
    folder = drive_c("Osin Test", "O'Brien, Inc=1")
    shared_name = HARD_FOLDER + "\\shared.txt"
    shutil.rmtree(drive_c("Osin Test"), ignore_errors=True)
    reg("delete", SHARED_DLLS, "/v", shared_name, "/f")
    reg("delete", UNINSTALL_KEY, "/f")
    windows_copy = drive_c("windows", "UnOsin.exe")
    if os.path.exists(windows_copy):
        os.remove(windows_copy)
    setup = packed_setup("hard_cases", hard_project(fixtures))

    def installed_newer():
        os.makedirs(folder, exist_ok=True)
        for n in ("a", "b", "c", "d", "keep"):
            with open(os.path.join(folder, n + ".dll"), "wb") as f:
                f.write(new_dll)
        with open(os.path.join(folder, "existing.txt"), "wb") as f:
            f.write(b"old\r\n")

    def walk(answers):
        script = ["start " + harness.windows_path(setup), "wait-text into the folder below 60000",
                  "set-text 106 " + HARD_FOLDER, "press %d" % wizard.NEXT]
        for i, answer in enumerate(answers):
            script += ["wait-%s %s 60000" % ("window" if i == 0 else "new", CONFLICT), "sleep 200",
                       "sync conflict%d" % i, "press %d %s" % (answer, CONFLICT)]
        return script + ["wait-text %s 60000" % FINISHED, "press 104", "wait-exit 60000"]

    installed_newer()
    t = run("hard_cases_first", walk([KEEP, REPLACE, REPLACE_ALL]))
    t.expect(t.message_boxes() == [], "boxes %r" % t.message_boxes())
    names = [w.text(104) for w in t.windows if w.caption == CONFLICT and w.text(104)]
    t.expect(sorted(set(names)) == ["a.dll", "b.dll", "c.dll"], "asked about %r" % names)
    questions = sorted(set(w.text(101) for w in t.windows if w.caption == CONFLICT and w.text(104)))
    t.expect(len(questions) == 1 and questions[0].endswith("Keep existing file?"), "asked %r" % questions)

    def content(name):
        with open(os.path.join(folder, name), "rb") as f:
            return f.read()

    for name, data in (("plain.txt", b"plain\r\n"), ("shared.txt", b"shared\r\n"), ("nolog.txt", b"not logged\r\n"),
                       ("existing.txt", b"old\r\n"), ("other name.txt", b"renamed\r\n"), ("a.dll", new_dll),
                       ("b.dll", old_dll), ("c.dll", old_dll), ("d.dll", old_dll), ("keep.dll", new_dll)):
        t.expect(content(name) == data, "%s holds %r..." % (name, content(name)[:16]))
    t.expect(sorted(os.listdir(folder), key=str.lower) ==
             sorted(["plain.txt", "shared.txt", "nolog.txt", "existing.txt", "other name.txt", "a.dll", "b.dll",
                     "c.dll", "d.dll", "keep.dll", "Ext", os.path.basename(find_file(folder, "Install.log"))],
                    key=str.lower),
             "files in the folder %r" % sorted(os.listdir(folder)))
    log = dict(read_log(find_file(folder, "Install.log")))
    logged = sorted(k for k, _ in log["CopyFiles"])
    copied = ("plain.txt", "shared.txt", "nolog.txt", "existing.txt", "renamed.txt")
    t.expect(sorted(os.listdir(os.path.join(folder, "Ext"))) == sorted(copied), "Ext holds %r" % os.listdir(os.path.join(folder, "Ext")))
    t.expect(logged == sorted([HARD_FOLDER + "\\" + n for n in ("plain.txt", "shared.txt", "other name.txt", "b.dll",
                                                               "c.dll", "d.dll")] +
                              [HARD_FOLDER + "\\Ext\\" + n for n in copied]),
             "files logged %r" % logged)
    t.expect(log.get("SharedFiles") == [(shared_name, "")], "shared files logged %r" % log.get("SharedFiles"))
    t.expect(reg_value(SHARED_DLLS, shared_name) == "0x1", "SharedDLLs count %r" % reg_value(SHARED_DLLS, shared_name))
    same_bytes(t, os.path.join(fixtures, "fixture_exitcode.exe"), windows_copy)
    t.expect(reg_value(UNINSTALL_KEY, "DisplayName") == "Hard Case", "DisplayName")
    uninstall = reg_value(UNINSTALL_KEY, "UninstallString")
    t.expect(uninstall is not None and uninstall.lower() == ('C:\\windows\\UnOsin.exe "%s\\Install.log"' %
                                                             HARD_FOLDER).lower(), "UninstallString %r" % uninstall)
    t.expect((UNINSTALL_KEY, "") in log.get("CreateKeys", []), "uninstall key logged %r" % log.get("CreateKeys"))
    strings = log.get("Strings", [])
    t.expect(strings[:2] == [("Title", "Removing Hard Case"), ("1", "Hard Case Uninstall")],
             "language texts %r" % strings)
    t.expect(log.get("Messages") == [("Where", HARD_FOLDER)], "script texts %r" % log.get("Messages"))

    installed_newer()
    t = run("hard_cases_second", walk([KEEP_ALL]))
    for name in ("a.dll", "b.dll", "c.dll", "d.dll", "keep.dll"):
        t.expect(content(name) == new_dll, "%s was replaced after Yes to all" % name)
    t.expect(reg_value(SHARED_DLLS, shared_name) == "0x2", "SharedDLLs count %r" % reg_value(SHARED_DLLS, shared_name))
    shutil.rmtree(drive_c("Osin Test"), ignore_errors=True)
    reg("delete", SHARED_DLLS, "/v", shared_name, "/f")
    reg("delete", UNINSTALL_KEY, "/f")
    os.remove(windows_copy)


def cancel_large_entry(run, pack_folder, noise):
    """Cancel pressed and confirmed while a large entry replaces an
    installed file: the run ends unfinished without an error box, the old
    file is whole and no temporary file is left beside it. No file was
    written, so the log's folders that the run made are gone again and no
    log is written; the destination, there before, stays."""
    with open(os.path.join(DEMO, "Presetup", "Enu.lng"), "rb") as f:
        language = f.read()
    config = (b"[Config]\r\nDefaultInstallPath=C:\\Osin Test\\Cancel\r\nInsFiles=Big\r\n"
              b"LogFile=%InstallPath%\\Logs\\Setup\\Install.log\r\nPreInstallDialogSequence=\r\n"
              b"[Variables]\r\nProgramName=Big Case\r\n")
    script = b"[CopyFiles]\r\nFiles=%InstallPath%\r\n[Files]\r\nbig.bin=,2\r\n"
    # Stored, so writing it is copying: large enough to take a while even so.
    project = os.path.join(harness.build.out, "projects", "cancel_large")
    shutil.rmtree(project, ignore_errors=True)
    for path, data in (("Presetup/Osin.ini", config), ("Presetup/Enu.lng", language), ("Presetup/Big.ins", script),
                       ("Data/big.bin", noise(4 << 20, 16) * 100)):
        os.makedirs(os.path.dirname(os.path.join(project, path)), exist_ok=True)
        with open(os.path.join(project, path), "wb") as f:
            f.write(data)
    setup = pack_folder("cancel_large", project, ["-0"])
    shutil.rmtree(project, ignore_errors=True)
    folder = drive_c("Osin Test", "Cancel")
    shutil.rmtree(drive_c("Osin Test"), ignore_errors=True)
    os.makedirs(folder)
    old = b"the installed file\r\n" * 1000
    with open(os.path.join(folder, "big.bin"), "wb") as f:
        f.write(old)
    t = run("cancel_large", ["start " + harness.windows_path(setup), "wait-text Extracting big.bin 120000",
                             "press %d" % wizard.CANCEL, "wait-text abort setup 30000", "sync question",
                             "press %d" % wizard.YES, "wait-text %s 60000" % wizard.ENGLISH["notfinish"],
                             "sync unfinished", "press 104", "wait-exit 60000"])
    t.expect([b for b in t.message_boxes() if not b.endswith("abort setup?")] == [],
             "boxes %r" % t.message_boxes())
    with open(os.path.join(folder, "big.bin"), "rb") as f:
        t.expect(f.read() == old, "the installed file changed")
    t.expect(os.listdir(folder) == ["big.bin"], "left beside it: %r" % os.listdir(folder))
    shutil.rmtree(drive_c("Osin Test"), ignore_errors=True)
    os.remove(setup)


PENDING_KEY = "HKLM\\SYSTEM\\CurrentControlSet\\Control\\Session Manager"
REBOOT_PAGE = "must be restarted"


def target_in_use(run, packed_setup):
    """A target held open by a running program: the new file waits beside
    it under a temporary name, replaces it at the next start of Windows
    (a pending rename), and the reboot page follows the installation; its
    No leads to the final page and no restart."""
    with open(os.path.join(DEMO, "Presetup", "Enu.lng"), "rb") as f:
        language = f.read()
    config = (b"[Config]\r\nDefaultInstallPath=C:\\Osin Test\\Held\r\nInsFiles=Held\r\n"
              b"LogFile=%InstallPath%\\Install.log\r\nPreInstallDialogSequence=\r\n"
              b"[Variables]\r\nProgramName=Held Case\r\n")
    script = b"[CopyFiles]\r\nFiles=%InstallPath%\r\n[Files]\r\nheld.txt=held.exe,2\r\nfree.txt=\r\n"
    setup = packed_setup("in_use", {"Presetup/Osin.ini": config, "Presetup/Enu.lng": language,
                                    "Presetup/Held.ins": script, "Data/held.txt": b"new\r\n",
                                    "Data/free.txt": b"free\r\n"})
    folder = drive_c("Osin Test", "Held")
    shutil.rmtree(drive_c("Osin Test"), ignore_errors=True)
    os.makedirs(folder)
    # A running program's file cannot be replaced: the program installed
    # there runs, and goes on running until the setup has ended. (Wine's
    # ping, run for a minute after a pause of three seconds, once ran out
    # on a busy machine before the setup reached the file, which then took
    # its place without a reboot page.)
    release = harness.run_from(os.path.join(folder, "held.exe"), "in_use")
    with open(os.path.join(folder, "held.exe"), "rb") as f:
        old = f.read()
    reg("delete", PENDING_KEY, "/v", "PendingFileRenameOperations", "/f")
    try:
        t = run("in_use", ["start " + harness.windows_path(setup), "wait-text %s 120000" % REBOOT_PAGE,
                           "sync reboot", "click 107", "sleep 500", "press %d" % wizard.NEXT,
                           "wait-text %s 60000" % FINISHED, "press 104", "wait-exit 60000"])
    finally:
        release()
    pending = reg_value(PENDING_KEY, "PendingFileRenameOperations") or ""
    reg("delete", PENDING_KEY, "/v", "PendingFileRenameOperations", "/f")
    reboot = wizard.page_with(t, REBOOT_PAGE)
    t.expect(reboot.text(106) and reboot.text(107), "reboot page %r" % reboot)
    with open(os.path.join(folder, "held.exe"), "rb") as f:
        t.expect(f.read() == old, "the held file changed")
    with open(os.path.join(folder, "free.txt"), "rb") as f:
        t.expect(f.read() == b"free\r\n", "the free file")
    temps = [n for n in os.listdir(folder) if n.lower().startswith("osi") and n.lower().endswith(".tmp")]
    t.expect(len(temps) == 1, "temporary files %r" % os.listdir(folder))
    with open(os.path.join(folder, temps[0]), "rb") as f:
        t.expect(f.read() == b"new\r\n", "the waiting file")
    t.expect(temps[0].lower() in pending.lower() and "held.exe" in pending.lower(), "pending renames %r" % pending)
    shutil.rmtree(drive_c("Osin Test"), ignore_errors=True)


BAD_FOLDER = "C:\\Osin Test\\Bad"
FULL_FOLDER = "C:\\Osin Full"
NOT_FINISHED = wizard.ENGLISH["notfinish"]


def bad_input_project(noise):
    """Small files that the disk's free space counts by their bytes but a
    volume stores a cluster each, then a large file that an installation
    replaces; a read-only file; an INI key and, after it, a shortcut. The
    configuration names a script that does not exist, and the script holds
    a section no one reads and a line without "=", which change nothing."""
    with open(os.path.join(DEMO, "Presetup", "Enu.lng"), "rb") as f:
        language = f.read()
    config = (b"[Config]\r\nDefaultInstallPath=" + BAD_FOLDER.encode() + b"\r\nInsFiles=Bad,Missing\r\n"
              b"LogFile=%InstallPath%\\Install.log\r\nPreInstallDialogSequence=DLG_DIR\r\n"
              b"[Variables]\r\nProgramName=Bad Case\r\n")
    script = (b"[Unknown]\r\nzbig.bin=elsewhere\r\n[CopyFiles]\r\nFiles=%InstallPath%\r\n"
              b"[Files]\r\nreadonly.txt=\r\nno equals sign\r\ns*.txt=\r\nzbig.bin=\r\n"
              b"[AddIni]\r\nIniLines=%InstallPath%\\app.ini,Options\r\n[IniLines]\r\nColor=blue\r\n"
              b"[Shortcuts]\r\nLinks=%InstallPath%\\Menu\r\n[Links]\r\nApp=\"%Windows%\\notepad.exe\"\r\n")
    files = {"Presetup/Osin.ini": config, "Presetup/Enu.lng": language, "Presetup/Bad.ins": script,
             "Data/readonly.txt": b"new read-only\r\n", "Data/zbig.bin": noise(600 << 10, 17)}
    for i in range(300):
        files["Data/s%03d.txt" % i] = b"s"
    return files


def seed_older(folder):
    """The older version's files in FOLDER (a Linux path): the large file,
    a read-only file and an INI file."""
    os.makedirs(folder, exist_ok=True)
    old = {"zbig.bin": b"the older large file\r\n" * 4000, "readonly.txt": b"old read-only\r\n",
           "app.ini": b"[Options]\r\nColor=red\r\n"}
    for name, data in old.items():
        path = os.path.join(folder, name)
        if os.path.exists(path):
            os.chmod(path, 0o644)
        with open(path, "wb") as f:
            f.write(data)
        os.utime(path, (978307200, 978307200))  # 2001: older than the ones installed
    os.chmod(os.path.join(folder, "readonly.txt"), 0o444)
    return old


def expect_left_alone(t, folder, old, names):
    """The files NAMES of FOLDER hold their OLD bytes, and no temporary file
    lies beside them."""
    for name in names:
        with open(os.path.join(folder, name), "rb") as f:
            t.expect(f.read() == old[name], "%s changed" % name)
    temps = [n for n in os.listdir(folder) if n.lower().endswith(".tmp")]
    t.expect(temps == [], "temporary files left: %r" % temps)


def bad_input(run, packed_setup, noise):
    """Errors that end a step, and bad input, over an older installation:
    each shows one box that names the file and leaves every old file whole;
    a failed step leads to the page saying the program is not installed.

    The install script locked while the setup runs: nothing is installed
    from the empty script it would read. The INI file locked: the step ends
    there, the key is neither written nor logged, and the shortcut step
    after it does not run; the files before it (a read-only one replaced)
    are in. The large file's data damaged: its old copy stays. The setup
    file cut short in them: the run stops before it writes a file. The disk full
    while the large file is written (a small volume mounted as a folder of
    drive C): its old copy stays."""
    setup = packed_setup("bad_input", bad_input_project(noise), options=["-0"])
    folder = drive_c("Osin Test", "Bad")
    shutil.rmtree(drive_c("Osin Test"), ignore_errors=True)
    old = seed_older(folder)

    def walk(setup, target, box):
        return ["start " + harness.windows_path(setup), "wait-text into the folder below 60000", "sync dir",
                "set-text 106 " + target, "press %d" % wizard.NEXT, "wait-text %s 120000" % box, "sync box",
                "press 1"] + ([] if box.startswith(("Cannot open", "The archive is cut short")) else
                              ["wait-text %s 60000" % NOT_FINISHED, "press 104"]) + ["wait-exit 60000"]

    def one_box(t, text):
        boxes = t.message_boxes()
        t.expect(len(boxes) == 1 and text in boxes[0], "boxes %r, expected one with %r" % (boxes, text))

    # The script, held open by another program from the moment the pages
    # show until the box: the clean-up before the box cannot remove it,
    # which is the holder's doing; the test removes it.
    held = []

    def lock_script():
        fresh = [n for n in os.listdir(harness.wine_temp_dir()) if n not in temp_before]
        scripts = [os.path.join(harness.wine_temp_dir(), n, "Bad.ins") for n in fresh]
        scripts = [s for s in scripts if os.path.exists(s)]
        if len(scripts) != 1:
            raise AssertionError("the control files' folder: %r" % fresh)
        held.append((scripts[0], harness.hold_file(scripts[0], "bad_input_script", alone=True)))

    def unlock_script():
        while held:
            script, release = held.pop()
            release()
            left = os.listdir(os.path.dirname(script))
            shutil.rmtree(os.path.dirname(script))
            if left != ["Bad.ins"]:
                raise AssertionError("the clean-up left %r" % left)

    temp_before = set(os.listdir(harness.wine_temp_dir()))
    try:
        t = run("bad_input_script", walk(setup, BAD_FOLDER, "Cannot open file"),
                {"dir": lock_script, "box": unlock_script})
    finally:
        unlock_script()
    boxes = [b.lower() for b in t.message_boxes()]
    t.expect(len(boxes) == 1 and boxes[0].startswith("cannot open file ") and boxes[0].endswith("\\bad.ins"),
             "boxes %r, expected one naming the script" % boxes)
    t.expect(sorted(os.listdir(folder)) == sorted(old), "installed from an empty script: %r" % os.listdir(folder))
    expect_left_alone(t, folder, old, old)

    # The INI file held open: its step fails after the files went in.
    t = run("bad_input_ini",
            ["lock " + BAD_FOLDER + "\\app.ini"] + walk(setup, BAD_FOLDER, "Error on changing ini-file!"))
    one_box(t, "Error on changing ini-file!")
    one_box(t, BAD_FOLDER + "\\app.ini")
    wizard.page_with(t, NOT_FINISHED)
    expect_left_alone(t, folder, old, ["app.ini"])
    with open(os.path.join(folder, "zbig.bin"), "rb") as f:
        t.expect(f.read() == noise(600 << 10, 17), "the large file was not replaced")
    with open(os.path.join(folder, "readonly.txt"), "rb") as f:
        t.expect(f.read() == b"new read-only\r\n", "the read-only file was not replaced")
    installed = set(n.lower() for n in os.listdir(folder))
    small = {"s%03d.txt" % i for i in range(300)}
    t.expect(installed == {"app.ini", "readonly.txt", "zbig.bin", "install.log"} | small,
             "the folder holds %r" % sorted(installed)[:8])
    log = dict(read_log(find_file(folder, "Install.log")))
    t.expect("AddIni" not in log and "Shortcuts" not in log, "logged after the failed step: %r" % sorted(log))
    t.expect(not os.path.exists(os.path.join(folder, "Menu")), "the shortcut step ran after the failed one")

    # The large entry's data damaged in the setup file, then cut short.
    with open(setup, "rb") as f:
        data = bytearray(f.read())
    at = data.index(noise(600 << 10, 17)[:64]) + 1000
    for case, wait, box in (("damaged", "Can't extract file", 'Can\'t extract file "%s\\zbig.bin".' % BAD_FOLDER),
                            ("truncated", "The archive is cut short",
                             "The archive is cut short: the file is incomplete or damaged.")):
        broken = os.path.join(os.path.dirname(setup), "bad_input_%s.exe" % case)
        with open(broken, "wb") as f:
            f.write(data[:at] + bytes([data[at] ^ 0xFF]) + data[at + 1:] if case == "damaged" else data[:at])
        shutil.rmtree(folder)
        old = seed_older(folder)
        t = run("bad_input_" + case, walk(broken, BAD_FOLDER, wait))
        one_box(t, box)
        expect_left_alone(t, folder, old, ["zbig.bin", "app.ini"] if case == "damaged" else list(old))
        if case == "truncated":
            t.expect(sorted(os.listdir(folder)) == sorted(old), "written: %r" % sorted(os.listdir(folder))[:8])
        os.remove(broken)
    # A folder in the large file's place, not empty: it cannot give way at a
    # restart either, so the error comes now and the folder stays whole.
    shutil.rmtree(folder)
    old = seed_older(folder)
    big = os.path.join(folder, "zbig.bin")
    os.remove(big)
    os.makedirs(big)
    with open(os.path.join(big, "inner.txt"), "wb") as f:
        f.write(b"inner\r\n")
    t = run("bad_input_folder", walk(setup, BAD_FOLDER, "Can't extract file"))
    one_box(t, 'Can\'t extract file "%s\\zbig.bin".' % BAD_FOLDER)
    expect_left_alone(t, folder, old, ["app.ini"])
    t.expect(os.listdir(big) == ["inner.txt"], "the folder in the file's place holds %r" % os.listdir(big))
    shutil.rmtree(drive_c("Osin Test"), ignore_errors=True)

    # A volume that takes no new folder (mounted read-only): the box names
    # the destination and the system's reason, not a full disk (the volume
    # has room for the files, which are measured first).
    full = drive_c("Osin Full")
    os.makedirs(full, exist_ok=True)
    mounted = subprocess.run(["mount", "-t", "tmpfs", "-o", "ro,size=16m", "tmpfs", full], capture_output=True,
                             text=True)
    if mounted.returncode != 0:
        harness.skip("read_only", "a read-only volume is needed, and mounting one failed: %s" % mounted.stderr.strip())
    else:
        try:
            t = run("bad_input_read_only", walk(setup, FULL_FOLDER + "\\App", "Access denied."))
            one_box(t, FULL_FOLDER + "\\App\r\n\r\nAccess denied.")
        finally:
            subprocess.run(["umount", full])

    # The disk full: room for the files' bytes, not for a cluster each.
    mounted = subprocess.run(["mount", "-t", "tmpfs", "-o", "size=1600k", "tmpfs", full], capture_output=True,
                             text=True)
    if mounted.returncode != 0:
        os.rmdir(full)
        harness.skip("full_disk", "a small volume is needed, and mounting one failed: %s" % mounted.stderr.strip())
        return
    try:
        old = seed_older(full)
        t = run("bad_input_full", walk(setup, FULL_FOLDER, "Can't extract file"))
        one_box(t, 'Can\'t extract file "%s\\zbig.bin".' % FULL_FOLDER)
        expect_left_alone(t, full, old, ["zbig.bin", "app.ini"])
    finally:
        subprocess.run(["umount", full])
        os.rmdir(full)
