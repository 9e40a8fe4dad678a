"""End-to-end scenario of the uninstaller: two programs installed for real
(the demo, and a second one sharing a DLL with it), each taken back by the
UnOsin.exe their registrations name, and the machine compared with what it
was before: the file tree of drive_c and the whole registry (`regedit /E`).
scenarios.py runs it with its common checks.
"""
import hashlib
import os
import re
import shutil
import subprocess
import time

import harness
import install
import unattended
import wizard

UNINSTALL_KEY = "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\"
SHARED_DLLS = "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs"
SHARED = "C:\\Osin Test\\Shared\\OsinShared.dll"
SECOND_FOLDER = "C:\\Osin Second"
THIRD_FOLDER = "C:\\Osin Third"
REMOVED = "has been removed from your computer"

# What Wine itself changes while programs run and the prefix restarts: its
# own settings, caches and menu files (also seen through HKEY_USERS), the
# display drivers, devices and network cards it records at each start (a
# device's keys come back only when its driver has started again), the
# restart bookkeeping and the temporary folders.
USER = r"(HKEY_CURRENT_USER|HKEY_USERS\\[^\\\]]+)"
WOW = r"HKEY_LOCAL_MACHINE\\Software\\(Wow6432Node\\)?"
VOLATILE_KEYS = re.compile(r"^\[(" + USER + r"\\Software\\Wine|" + WOW + r"Wine"
                           r"|" + USER + r"\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer"
                           r"|" + USER + r"\\Volatile Environment"
                           r"|HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Control\\Session Manager"
                           r"|HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Control\\Video"
                           r"|HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Control\\Class"
                           r"|HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Enum"
                           r"|HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Control\\DeviceClasses"
                           r"|HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Control\\ServiceCurrent"
                           r"|" + WOW + r"Microsoft\\Windows NT\\CurrentVersion\\NetworkCards"
                           r"|HKEY_LOCAL_MACHINE\\Hardware|" + WOW + r"Microsoft\\Cryptography)",
                           re.I)
VOLATILE_FILES = re.compile(r"^(users/[^/]+/(Temp|AppData/Local/Temp)|windows/temp|windows/Installer)(/|$)", re.I)


def registry_snapshot(folder, name):
    """The whole registry as a set of lines "[key] value-line", each key
    also standing alone, without the keys Wine itself keeps changing."""
    path = os.path.join(folder, name + ".reg")
    subprocess.run([harness.WINE_RUN, "regedit", "/E", harness.windows_path(path)], check=True,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=300)
    with open(path, "rb") as f:
        text = f.read().decode("utf-16")
    lines, key, value = set(), None, ""
    for line in text.replace("\r\n", "\n").split("\n"):
        if value:  # a value continued on the next line
            value += line.strip()
            if not line.endswith("\\"):
                lines.add(key + " " + value)
                value = ""
            continue
        if line.startswith("["):
            key = line
            volatile = VOLATILE_KEYS.match(key)
            if not volatile:
                lines.add(key)
        elif line and key and not line.startswith("#") and not VOLATILE_KEYS.match(key):
            if line.endswith("\\"):
                value = line[:-1]
            else:
                lines.add(key + " " + line)
    return lines


def files_snapshot():
    """drive_c as {relative path: digest or "folder"}, without the
    temporary folders."""
    root = install.drive_c()
    tree = {}
    for folder, dirs, files in os.walk(root):
        rel = os.path.relpath(folder, root).replace(os.sep, "/")
        if rel != "." and VOLATILE_FILES.match(rel):
            dirs[:] = []
            continue
        if rel != ".":
            tree[rel] = "folder"
        for name in files:
            path = os.path.join(folder, name)
            if os.path.islink(path) or not os.path.isfile(path):
                continue
            with open(path, "rb") as f:
                tree[(rel + "/" if rel != "." else "") + name] = hashlib.sha1(f.read()).hexdigest()
    return tree


def shared_count():
    """The SharedDLLs count of the shared DLL, or None (its name holds
    blanks, which reg_values does not take)."""
    rc, out = install.reg("query", SHARED_DLLS, "/v", SHARED)
    m = re.search(r"REG_DWORD\s+0x([0-9a-fA-F]+)", out) if rc == 0 else None
    return int(m.group(1), 16) if m else None


def undo_earlier_runs():
    """What an earlier run that failed halfway may have left."""
    install.undo_demo()
    install.reg("delete", SHARED_DLLS, "/v", SHARED, "/f")
    # Windows has the key from its start; a fresh Wine prefix gets it from
    # the first shared file, and the uninstaller leaves the system's key.
    install.reg("add", SHARED_DLLS, "/f")
    for program in ("Osin Demo", "Osin Second"):
        install.reg("delete", UNINSTALL_KEY + program, "/f")
    # Registrations other scenarios left that name the same uninstaller
    # would keep it from removing itself.
    rc, out = install.reg("query", UNINSTALL_KEY.rstrip("\\"), "/s", "/v", "UninstallString")
    key = None
    for line in out.splitlines() if rc == 0 else []:
        if line.startswith("HKEY_"):
            key = line.strip()
        elif "unosin.exe" in line.lower() and key:
            install.reg("delete", key, "/f")
    shutil.rmtree(install.drive_c("Osin Second"), ignore_errors=True)
    shutil.rmtree(install.drive_c("Osin Third"), ignore_errors=True)
    # undo_demo leaves the empty line that set the demo's section off in
    # win.ini; a fresh prefix's file ends without one.
    win_ini = install.drive_c("windows", "win.ini")
    if os.path.exists(win_ini):
        with open(win_ini, "rb") as f:
            text = f.read()
        with open(win_ini, "wb") as f:
            f.write(text.rstrip(b"\r\n") + b"\r\n")
    for name in os.listdir(install.drive_c("windows")):
        if name.lower() == "unosin.exe" or re.match(r"(?i)^uno.*\.tmp$", name):
            os.remove(install.drive_c("windows", name))


def add_shared_dll(folder):
    """The project of FOLDER installs OsinShared.dll as a shared file."""
    with open(os.path.join(folder, "Data", "OsinShared.dll"), "wb") as f:
        f.write(b"MZ" + bytes(range(256)) * 4)
    path = os.path.join(folder, "Presetup", "App.ins")
    with open(path, encoding="cp1252") as f:
        text = f.read()
    text = text.replace("CopyAppFiles=%InstallPath%\n", "CopyAppFiles=%InstallPath%\nSharedFiles=C:\\Osin Test\\Shared\n")
    text += "\n[SharedFiles]\nOsinShared.dll=OsinShared.dll,128\n"
    with open(path, "w", encoding="cp1252", newline="\r\n") as f:
        f.write(text)


def ask_for_uninstaller(folder, program=None):
    """Osin.ini of FOLDER asks for an uninstaller (osin-pack adds it); with
    PROGRAM, the project is a second program: its own name, only the
    destination and start pages, only its files, its log in folders that
    only the log's writing makes."""
    path = os.path.join(folder, "Presetup", "Osin.ini")
    with open(path, encoding="cp1252") as f:
        text = f.read()
    text = text.replace("Uninstall=0", "Uninstall=1")
    if program:
        # In every language.
        text = re.sub(r"ProgramName=.*", "ProgramName=" + program, text)
        text = text.replace("InsFiles=App,System", "InsFiles=App")
        text = text.replace("LogFile=%InstallPath%\\Install.log", "LogFile=%InstallPath%\\Logs\\Setup\\Install.log")
        text = re.sub(r"PreInstallDialogSequence=.*", "PreInstallDialogSequence=DLG_DIR,DLG_START", text)
    with open(path, "w", encoding="cp1252", newline="\r\n") as f:
        f.write(text)


def uninstall_string(program):
    values = install.reg_values(UNINSTALL_KEY + program) or {}
    return values.get("UninstallString", (None, None))[1]


def run_uninstaller(name, script, expected_code):
    """Runs a driver SCRIPT that starts the uninstaller; its transcript,
    after checking its exit code."""
    t = harness.run_scenario(name, script)
    t.expect(t.exit_code == expected_code, "exit code %s, expected %s" % (t.exit_code, expected_code))
    return t


def uninstall_demo(run, pack_folder):
    """Installs the demo and a second program sharing a DLL with it, then
    takes both back with the uninstaller their registrations name (the
    second installed again over itself first): the demo
    with its questions answered, the second silently with one of its files
    held open by a running program. Checked on the way: the shared file's
    count goes back and the second program keeps the DLL while it is
    installed, a missing log is refused with a message, and a file in use
    goes at the restart. After the restart, drive_c and the registry are as
    they were before the first installation."""
    undo_earlier_runs()
    folder = os.path.join(harness.build.out, "uninstall_demo")
    os.makedirs(folder, exist_ok=True)
    files_before = files_snapshot()
    registry_before = registry_snapshot(folder, "before")

    def demo_edit(project):
        ask_for_uninstaller(project)
        add_shared_dll(project)
        # Its shortcut's folder, its INI file and its log named through "..".
        unattended.edited_config(project, b"%ProgramsMenu%\\%ProgramName%",
                                 b"%ProgramsMenu%\\Osin Links\\..\\%ProgramName%", "System.ins")
        unattended.edited_config(project, b"%Windows%\\win.ini", b"%Windows%\\Fonts\\..\\win.ini", "System.ins")
        unattended.edited_config(project, b"%InstallPath%\\Install.log", b"%InstallPath%\\Logs\\..\\Install.log")

    def second_edit(project):
        ask_for_uninstaller(project, "Osin Second")
        add_shared_dll(project)
        # A copy of the uninstaller among its files, which its user starts
        # from there (its target named through a subfolder and "..").
        shutil.copy(os.path.join(os.path.dirname(harness.build.osin), "..", "uninstall", "UnOsin.exe"),
                    os.path.join(project, "Data"))
        path = os.path.join(project, "Presetup", "App.ins")
        with open(path, encoding="cp1252") as f:
            text = f.read()
        with open(path, "w", encoding="cp1252", newline="\r\n") as f:
            f.write(text.replace("[CopyAppFiles]\n", "[CopyAppFiles]\nUnOsin.exe=Docs\\..\\UnOsin.exe\n")
                    .replace("readme.txt=readme.txt\n", "readme.txt=readme.txt,2\n"))
        # Russian lacks the last uninstaller text, which English has.
        path = os.path.join(project, "Presetup", "Rus.lng")
        with open(path, "rb") as f:
            data = f.read()
        with open(path, "wb") as f:
            f.write(re.sub(rb"\r\n19=[^\r\n]*", b"", data))

    setup = pack_folder("uninstall_demo", install.demo_project("uninstall_demo", demo_edit))
    script = install.walk_to_install(setup, install.DEMO_FOLDER)
    script += ["wait-text %s 120000" % install.FINISHED, "press 104", "wait-exit 60000"]
    t = run("uninstall_demo_install", script)
    t.expect(shared_count() == 1, "SharedDLLs count %r after the first installation" % shared_count())
    command = uninstall_string("Osin Demo")
    t.expect(command and command.lower().startswith("c:\\windows\\unosin.exe \""),
             "UninstallString %r" % command)
    # Wine runs every program with an administrator's rights; on Windows a
    # standard user is asked for an administrator's password first, as the
    # uninstaller's manifest requires one.
    with open(install.drive_c("windows", "UnOsin.exe"), "rb") as f:
        t.expect(b'level="requireAdministrator"' in f.read(), "UnOsin.exe asks for no administrator")
    # The setup raises an administrator's rights when its user has them, and
    # runs as a standard user otherwise (CheckAdminRights then refuses).
    with open(setup, "rb") as f:
        t.expect(b'level="highestAvailable"' in f.read(), "the setup asks for no raised rights")

    # The second program's folder typed as a name below the setup's current
    # folder, C:\: its log and registration still name full paths, which
    # the uninstaller takes.
    second = pack_folder("uninstall_second", install.demo_project("uninstall_second", second_edit))
    e = wizard.ENGLISH
    script = ["start " + harness.windows_path(second), "wait-text Setup will install Osin Second 60000",
              "set-text 106 " + SECOND_FOLDER[3:], "press %d" % wizard.NEXT,
              "wait-text %s 30000" % e["start"], "press %d" % wizard.NEXT,
              "wait-text %s 120000" % install.FINISHED, "press 104", "wait-exit 60000"]
    t = run("uninstall_second_install", script, cwd=install.drive_c())
    t.expect(shared_count() == 2, "SharedDLLs count %r after the second installation" % shared_count())
    log = SECOND_FOLDER + "\\Logs\\Setup\\Install.log"
    t.expect((uninstall_string("Osin Second") or "").lower() == ('c:\\windows\\unosin.exe "%s"' % log).lower(),
             "the second program's registration %r" % uninstall_string("Osin Second"))
    records = dict(install.read_log(install.find_file(install.drive_c("Osin Second", "Logs", "Setup"), "Install.log")))
    t.expect(records["CreateDirs"][0][0] == SECOND_FOLDER, "the second program's folders %r" % records["CreateDirs"])
    # Installed again over itself (a repair), in Russian: the count stays,
    # as its uninstallation lowers it once. The registration's values are
    # written anew (these stand for an older release's), and the
    # uninstaller's texts are Russian alone.
    key = UNINSTALL_KEY + "Osin Second"
    install.reg("add", key, "/v", "EstimatedSize", "/t", "REG_DWORD", "/d", "1", "/f")
    install.reg("delete", key, "/v", "NoRepair", "/f")
    again = subprocess.run([harness.WINE_RUN, second, "/VERYSILENT", "/LANG=rus", "/DIR=" + SECOND_FOLDER],
                           timeout=300, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL).returncode
    t.expect(again == 0 and shared_count() == 2, "exit code %s, count %r after the second program's repair" %
             (again, shared_count()))
    t.expect("\\logs\\setup\\install.log" in (uninstall_string("Osin Second") or "").lower(),
             "the second program's log %r" % uninstall_string("Osin Second"))
    texts = dict(dict(install.read_log(install.find_file(install.drive_c("Osin Second", "Logs", "Setup"),
                                                         "Install.log")))["Strings"])
    t.expect("19" not in texts and "Osin Second" in texts["1"] and not texts["1"].isascii(),
             "the uninstaller's texts after the repair in Russian %r" % texts)
    values = install.reg_values(key) or {}
    files = [os.path.join(d, n) for d, _, names in os.walk(install.drive_c("Osin Second")) for n in names
             if n.lower() != "install.log"] + [install.drive_c("Osin Test", "Shared", "OsinShared.dll")]
    # To the nearest KB, as the room the setup asks for.
    size_kb, rest = divmod(sum(os.path.getsize(f) for f in files), 1024)
    size_kb += rest > 512 or (rest == 512 and size_kb % 2 == 1)
    t.expect(values.get("InstallLocation", (0, ""))[1].lower() == SECOND_FOLDER.lower() and
             values.get("EstimatedSize") == ("REG_DWORD", hex(size_kb)) and
             values.get("NoModify") == values.get("NoRepair") == ("REG_DWORD", "0x1") and
             values.get("DisplayIcon", (0, ""))[1].lower() == "c:\\windows\\unosin.exe",
             "the repaired registration %r, %d KB installed" % (values, size_kb))

    # The second program installed into another folder as well: that
    # installation is registered beside the first, under a name of its own,
    # and its own registration takes it back, the first one left whole. It
    # is installed in Russian, whose texts (code page 1251) the uninstaller
    # shows as Russian on this Western system.
    first = uninstall_string("Osin Second")
    code = subprocess.run([harness.WINE_RUN, second, "/VERYSILENT", "/LANG=rus", "/DIR=" + THIRD_FOLDER], timeout=300,
                          stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL).returncode
    other = uninstall_string("Osin Second (2)") or ""
    t.expect(code == 0 and shared_count() == 3 and uninstall_string("Osin Second") == first,
             "exit code %s, count %r, first registration %r" % (code, shared_count(), uninstall_string("Osin Second")))
    t.expect(other.lower().endswith(('"%s\\Logs\\Setup\\Install.log"' % THIRD_FOLDER).lower()) and
             install.reg_values(UNINSTALL_KEY + "Osin Second (2)")["DisplayName"][1] == "Osin Second (2)",
             "the other installation's registration %r" % install.reg_values(UNINSTALL_KEY + "Osin Second (2)"))
    quiet = (install.reg_values(UNINSTALL_KEY + "Osin Second (2)") or {}).get("QuietUninstallString", (None, None))[1]
    t.expect(quiet == other + " /S", "QuietUninstallString %r" % quiet)
    question = "Удалить Osin Second и все его компоненты с вашего компьютера?"
    done = "Программа Osin Second удалена с вашего компьютера."
    t = harness.run_scenario("uninstall_third_remove", ["utf8", "start " + other, "wait-text %s 60000" % question,
                                                        "press 6", "wait-text %s 120000" % done, "press 1",
                                                        "wait-exit 120000"], encoding="utf-8")
    t.expect(t.exit_code == 0, "exit code %s" % t.exit_code)
    boxes = [b for b in t.message_boxes() if b != "MAINICON"]  # (the progress window's icon)
    t.expect(boxes == [question, done], "boxes %r" % boxes)
    # With little to remove, the progress window can come and go between
    # two looks of the driver; when it was seen, it spoke Russian.
    progress = [w.text(101) for w in t.windows if w.text(101)]
    t.expect(all(w.caption == "Удаление Osin Second" for w in t.windows) and
             all(text == "Удаление Osin Second..." for text in progress),
             "the windows in Russian: %r, progress %r" % (sorted(set(w.caption for w in t.windows)), progress))
    t.expect(not os.path.exists(install.drive_c("Osin Third")) and shared_count() == 2 and
             install.reg_values(UNINSTALL_KEY + "Osin Second (2)") is None and
             uninstall_string("Osin Second") == first and
             os.path.exists(install.drive_c("Osin Second", "readme.txt")),
             "after the other installation went: count %r" % shared_count())

    # A log that is not there: a message, and nothing changes.
    t = run_uninstaller("uninstall_no_log", ["start C:\\windows\\UnOsin.exe \"C:\\Osin Test\\nothing.log\"",
                                             "wait-window Error 60000", "press 1 Error", "wait-exit 60000"], 2)
    t.expect(any("Cannot find the install log" in b for b in t.message_boxes()), "boxes %r" % t.message_boxes())

    # The second program silently, by the copy of the uninstaller among its
    # files, its readme held open by a running program: the demo keeps the
    # shared DLL, the copy frees its folder for the restart. The run log
    # says what waits. Updated first while the readme was held, the program
    # has its new readme waiting to take the old one's name at the restart:
    # that copy goes too, or the folder would stay.
    readme = SECOND_FOLDER + "\\readme.txt"
    own = re.sub(r"(?i)^c:\\windows\\unosin\.exe", lambda m: '"%s\\UnOsin.exe"' % SECOND_FOLDER,
                 uninstall_string("Osin Second"))
    updated = []
    update = lambda: updated.append(subprocess.run(
        [harness.WINE_RUN, second, "/VERYSILENT", "/NORESTART", "/DIR=" + SECOND_FOLDER], timeout=300,
        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL).returncode)
    t = harness.run_scenario("uninstall_second_remove",
                             ["lock " + readme, "sync update", "start " + own + " /S /LOG=C:\\unosin.txt",
                              "wait-exit 120000", "unlock"], on_sync={"update": update})
    t.expect(updated == [8] and t.exit_code == 3010, "update %s, uninstaller %s" % (updated, t.exit_code))
    t.expect(t.message_boxes() == [], "boxes %r in a silent run" % t.message_boxes())
    with open(install.drive_c("unosin.txt"), encoding="cp1252") as f:
        lines = f.read().splitlines()
    os.remove(install.drive_c("unosin.txt"))
    t.expect("Removed at the next restart: " + readme in lines and lines[-2:] == ["Removed.", "Exit code 3010"],
             "run log %r" % lines)
    # The shared copy its registration named stays for the demo.
    t.expect(any(line.lower() == "uninstaller kept, as it still serves osin demo: c:\\windows\\unosin.exe"
                 for line in lines), "run log %r" % lines)
    t.expect(shared_count() == 1, "SharedDLLs count %r after the second program went" % shared_count())
    t.expect(os.path.exists(install.drive_c("Osin Test", "Shared", "OsinShared.dll")), "the demo lost its shared DLL")
    t.expect(os.path.exists(install.drive_c("Osin Second", "readme.txt")), "the file in use went at once")
    t.expect(not os.path.exists(install.drive_c("Osin Second", "UnOsin.exe")), "the started copy stays in the folder")
    t.expect(not os.path.exists(install.drive_c("Osin Second", "Docs")), "the second program's Docs folder is left")
    t.expect(uninstall_string("Osin Second") is None, "the second program's registration is left")
    t.expect(os.path.exists(install.drive_c("windows", "UnOsin.exe")), "the demo lost its uninstaller")

    # The demo, as Add or Remove Programs starts it: asked, answered Yes,
    # and asked about the shared DLL no program counts any more: Remove.
    # With the last registration that names it, the shared copy goes too:
    # it runs, so its name is freed and the file waits for the restart.
    t = run_uninstaller("uninstall_demo_remove",
                        ["start " + command + " /LOG=C:\\unosin.txt", "wait-text remove Osin Demo 60000", "press 6",
                         "wait-window Remove shared file 60000", "sync shared", "press 6 Remove shared file",
                         "wait-text %s 120000" % REMOVED, "press 1", "wait-exit 60000"], 0)
    shared = [w for w in t.windows if w.caption == "Remove shared file?"]
    t.expect(shared and shared[0].text(102) == SHARED, "the shared-file question %r" % shared)
    t.expect(not os.path.exists(install.drive_c("Osin Test")), "the demo's folders are left")
    t.expect(install.reg_values(install.DEMO_KEY) is None, "the demo's registry key is left")
    t.expect(uninstall_string("Osin Demo") is None, "the demo's registration is left")
    t.expect(shared_count() is None, "the shared DLL's count is left: %r" % shared_count())
    t.expect(not os.path.exists(install.drive_c("windows", "UnOsin.exe")), "UnOsin.exe is left under its name")
    with open(install.drive_c("unosin.txt"), encoding="cp1252") as f:
        lines = f.read().splitlines()
    os.remove(install.drive_c("unosin.txt"))
    t.expect(any(re.match(r"(?i)uninstaller removed at the next restart, as no program uses it any more: "
                          r"c:\\windows\\unosin\.exe \(now c:\\windows\\uno\w*\.tmp\)$", line) for line in lines),
             "run log %r" % lines)
    with open(install.drive_c("windows", "win.ini"), encoding="cp1252") as f:
        t.expect("[Osin Demo]" not in f.read(), "win.ini keeps the demo's section")

    # The restart performs what waited for it.
    subprocess.run([harness.WINE_RUN, "wineboot", "-r"], check=True, stdout=subprocess.DEVNULL,
                   stderr=subprocess.DEVNULL, timeout=300)
    files_after = files_snapshot()
    changed = sorted(p for p in set(files_before) | set(files_after) if files_before.get(p) != files_after.get(p))
    t.expect(not changed, "drive_c differs from before the installations: %s" % changed[:40])
    registry_after = registry_snapshot(folder, "after")
    t.expect(registry_after == registry_before,
             "the registry differs from before the installations: gone %s, new %s" %
             (sorted(registry_before - registry_after)[:20], sorted(registry_after - registry_before)[:20]))


BESIDE_FOLDER = "C:\\Osin Test\\Beside"
BESIDE_SHARED = "C:\\Osin Test\\Beside Shared\\beside.dll"
WAITING = "Another setup is installing a program"


def beside_setup(name, big, size, extra, noise):
    """A stored setup of the program "Beside Case" (registered, with a
    shared DLL) whose first file is BIG, of SIZE bytes, with the files
    EXTRA beside it; its path."""
    config = (b"[Config]\r\nDefaultInstallPath=" + BESIDE_FOLDER.encode() + b"\r\nInsFiles=Beside\r\nUninstall=1\r\n"
              b"LogFile=%InstallPath%\\Install.log\r\n[Variables]\r\nProgramName=Beside Case\r\n")
    names = (big, "small.txt") + extra
    script = ("[CopyFiles]\r\nFiles=%InstallPath%\r\nShared=" + os.path.dirname(BESIDE_SHARED.replace("\\", "/"))
              .replace("/", "\\") + "\r\n[Files]\r\n" + "".join(n + "=,2\r\n" for n in names) +
              "[Shared]\r\nbeside.dll=,128\r\n").encode()
    data = [("Data/" + big, noise(size, size)), ("Data/beside.dll", b"MZ" + bytes(range(256)))]
    data += [("Data/" + n, n.encode() + b"\r\n") for n in names[1:]]
    with open(os.path.join(install.DEMO, "Presetup", "Enu.lng"), "rb") as f:
        texts = f.read().replace(b"19=Cancel", b"19=Stop waiting")
    return unattended.stored_setup(name, tuple([("Presetup/Osin.ini", config), ("Presetup/Beside.ins", script),
                                                ("Presetup/Enu.lng", texts)] + data))


def beside_gone(t):
    """Nothing of Beside Case is left."""
    left = [p for p in ("Beside", "Beside Shared") if os.path.exists(install.drive_c("Osin Test", p))]
    count = install.reg("query", SHARED_DLLS, "/v", BESIDE_SHARED)[1]
    t.expect(not left and uninstall_string("Beside Case") is None,
             "left: %r, registration %r, shared count %r" % (left, uninstall_string("Beside Case"), count))


def uninstall_beside_setup(noise):
    """Setups and the uninstaller take turns. An update installing while
    the program is removed: the attended uninstaller says it waits and
    may be cancelled (nothing changes), the silent one waits and then
    takes back the update's files too, reading the log the update wrote.
    The other way round, a setup started while the uninstaller removes
    waits for it and installs whole afterwards."""
    for folder in ("Beside", "Beside Shared"):
        shutil.rmtree(install.drive_c("Osin Test", folder), ignore_errors=True)
    install.reg("delete", UNINSTALL_KEY + "Beside Case", "/f")
    first = beside_setup("beside_first", "big.bin", 1 << 20, (), noise)
    # Large enough that the driver sees it extracted.
    update = beside_setup("beside_update", "bigger.bin", 32 << 20, ("new.txt",), noise)
    code = subprocess.run([harness.WINE_RUN, first, "/VERYSILENT"], timeout=300, stdout=subprocess.DEVNULL,
                          stderr=subprocess.DEVNULL).returncode
    command = uninstall_string("Beside Case") or ""
    wanted = ('c:\\windows\\unosin.exe "%s\\install.log"' % BESIDE_FOLDER).lower()
    unattended.expect(code == 0 and command.lower() == wanted,
                      "first installation: exit code %s, registration %r" % (code, command))
    run_log = install.drive_c("unbeside.txt")
    quiet = {}

    def while_update_holds_its_turn():
        t = harness.run_scenario("uninstall_beside_wait", ["start " + command, "wait-text remove Beside Case 60000",
                                                           "press 6", "wait-text %s 60000" % WAITING, "sync waiting",
                                                           "press 2", "wait-exit 60000"])
        t.expect(t.exit_code == 1, "the cancelled wait ended with %s" % t.exit_code)
        t.expect(any(w.text(2) == "Stop waiting" for w in t.windows), "the Cancel button's text from the log")
        quiet["run"] = subprocess.Popen([harness.WINE_RUN, "C:\\windows\\UnOsin.exe", BESIDE_FOLDER + "\\Install.log",
                                         "/S", "/LOG=C:\\unbeside.txt"], stdout=subprocess.DEVNULL,
                                        stderr=subprocess.DEVNULL)
        time.sleep(5)
        t.expect(quiet["run"].poll() is None, "the silent uninstaller did not wait (exit %s)" % quiet["run"].poll())
        t.expect(os.path.exists(install.drive_c("Osin Test", "Beside", "small.txt")) and
                 uninstall_string("Beside Case"), "removed while a setup installs")

    t = harness.run_scenario("uninstall_beside_update", [
        "start %s /SILENT /SUPPRESSMSGBOXES" % harness.windows_path(update), "wait-text Extracting 120000", "suspend",
        "sync held", "resume", "wait-exit 300000"], {"held": while_update_holds_its_turn})
    t.expect(t.exit_code == 0, "the update ended with %s" % t.exit_code)
    code = quiet["run"].wait(timeout=300)
    with open(run_log, encoding="cp1252") as f:
        lines = f.read().splitlines()
    os.remove(run_log)
    t.expect(code == 0 and "Waiting for another setup to finish its installation." in lines and
             "The install log changed meanwhile: read again." in lines, "exit code %s, run log %r" % (code, lines))
    beside_gone(t)

    # A setup started while the uninstaller asks about the shared file
    # (removing, in its turn) waits for it.
    code = subprocess.run([harness.WINE_RUN, first, "/VERYSILENT"], timeout=300, stdout=subprocess.DEVNULL,
                          stderr=subprocess.DEVNULL).returncode
    t.expect(code == 0 and uninstall_string("Beside Case"), "the installation again ended with %s" % code)
    again = {}

    def while_uninstaller_holds_its_turn():
        again["run"] = subprocess.Popen([harness.WINE_RUN, first, "/VERYSILENT"], stdout=subprocess.DEVNULL,
                                        stderr=subprocess.DEVNULL)
        time.sleep(5)
        unattended.expect(again["run"].poll() is None, "the setup did not wait (exit %s)" % again["run"].poll())

    t = harness.run_scenario("uninstall_beside_remove", [
        "start " + command, "wait-text remove Beside Case 60000", "press 6", "wait-window Remove shared file 60000",
        "sync holding", "press 6 Remove shared file", "wait-text %s 120000" % REMOVED, "press 1", "wait-exit 60000"],
        {"holding": while_uninstaller_holds_its_turn})
    t.expect(t.exit_code == 0, "the uninstaller ended with %s" % t.exit_code)
    code = again["run"].wait(timeout=300)
    folder = install.drive_c("Osin Test", "Beside")
    t.expect(code == 0 and sorted(os.listdir(folder)) == ["Install.log", "big.bin", "small.txt"] and
             os.path.exists(install.drive_c("Osin Test", "Beside Shared", "beside.dll")) and
             uninstall_string("Beside Case"), "the setup after the uninstaller: exit code %s, %r" %
             (code, os.listdir(folder) if os.path.exists(folder) else None))
    run_uninstaller("uninstall_beside_last", ["start " + command + " /S", "wait-exit 120000"], 0)
    beside_gone(t)
    for setup in (first, update):
        os.remove(setup)
