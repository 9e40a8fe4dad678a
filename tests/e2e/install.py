"""End-to-end scenarios of the installation: the demo project installed for
real and read back (files, install log, registry), and the file phase's
hard cases. scenarios.py runs them with its common checks.
"""
import os
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
    """Runs Wine's reg.exe with ARGS; its output."""
    done = subprocess.run([harness.WINE_RUN, "reg"] + list(args), capture_output=True, text=True,
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
                key, value = line.split("=", 1)
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


def undo_demo():
    """Takes back what an installation of the demo changed, so the next one
    starts from a machine without it (its log records only what it made)."""
    shutil.rmtree(drive_c("Osin Test"), ignore_errors=True)
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
    demo's values, and the final page says it is installed."""
    e = wizard.ENGLISH
    base = DEMO_FOLDER
    for name, options, password in (("install_demo_solid", ["--solid", "--password", wizard.PASSWORD],
                                     wizard.PASSWORD),
                                    ("install_demo_plain", [], "anything")):
        undo_demo()
        setup = pack_folder(name, demo_project(name), options)
        script = walk_to_install(setup, base, password)
        script += ["wait-text %s 120000" % FINISHED, "sync finished", "press 104", "wait-exit 60000"]
        t = run(name, script)
        t.expect(t.message_boxes() == [], "boxes %r" % t.message_boxes())
        wizard.page_with(t, FINISHED)
        folder = drive_c("Osin Test", "Demo")
        for rel in ("readme.txt", os.path.join("Docs", "manual.txt"), "OsinMark.ttf"):
            same_bytes(t, os.path.join(DEMO_DATA, rel), os.path.join(folder, rel))
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
