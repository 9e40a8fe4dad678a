#!/usr/bin/env python3
"""Install time of the benchmark corpus under Wine against a plain copy.

    scripts/with-wine python3 bench/install/bench_install.py [--arch i686|x86_64]

Builds the corpus (make-corpus.py of the shared material) once, packs it
solid at level 3 as the Data of a project that installs every file, runs the
setup with no pages before the installation and measures from its start to
the final page; then copies the same folder inside the Wine prefix with
xcopy. Prints both times and their ratio, after checking that every file
arrived with its size.
"""
import os
import shutil
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.abspath(os.path.join(HERE, "..", ".."))
sys.path.insert(0, os.path.join(ROOT, "tests", "e2e"))
import harness  # noqa: E402

SHARED = os.environ.get("OSIN_SHARED_DIR") or next(
    p for p in (os.path.join(ROOT, "..", "shared"), os.path.join(ROOT, "..", "..", "shared"))
    if os.path.isdir(os.path.join(p, "corpus")))
PACK = os.path.join(harness.NATIVE, "tools", "pack", "osin-pack")
FINISHED = "has been installed on your computer"


def files_below(folder):
    """Path (lower case) -> size; names that differ only in case (the corpus
    has a few, which Windows keeps as one file) are left out."""
    found, twice = {}, set()
    for top, _, names in os.walk(folder):
        for name in names:
            path = os.path.join(top, name)
            key = os.path.relpath(path, folder).lower()
            if key in found:
                twice.add(key)
            found[key] = os.path.getsize(path)
    return {k: v for k, v in found.items() if k not in twice}


def corpus_setup(work, corpus, default_path, more_config, name, options, keep_project=False):
    """Packs the corpus solid (with OPTIONS) as the Data of a project that
    installs every file into DEFAULT_PATH and keeps the install log an
    uninstaller needs; MORE_CONFIG is added to its [Config]. The setup's
    path; the project folder stays under WORK when KEEP_PROJECT."""
    project = os.path.join(work, "project")
    shutil.rmtree(project, ignore_errors=True)
    os.makedirs(os.path.join(project, "Presetup"))
    shutil.copytree(corpus, os.path.join(project, "Data"), ignore=shutil.ignore_patterns("MANIFEST"))
    shutil.copy(os.path.join(ROOT, "examples", "demo", "Presetup", "Enu.lng"), os.path.join(project, "Presetup"))
    with open(os.path.join(project, "Presetup", "Osin.ini"), "wb") as f:
        f.write(b"[Config]\r\nDefaultInstallPath=" + default_path + b"\r\nInsFiles=Bench\r\n"
                b"LogFile=%InstallPath%\\Install.log\r\n" + more_config + b"[Variables]\r\nProgramName=Corpus\r\n")
    with open(os.path.join(project, "Presetup", "Bench.ins"), "wb") as f:
        f.write(b"[CopyFiles]\r\nAll=%InstallPath%\r\n[All]\r\n*=\r\n")
    setup = os.path.join(work, name)
    subprocess.run([PACK, "build", project, "-o", setup, "--stub", harness.build.osin, "--solid"] + options, check=True,
                   stdout=subprocess.DEVNULL)
    if not keep_project:
        shutil.rmtree(project)
    return setup


def main(args):
    harness.use(args[1] if len(args) == 2 and args[0] == "--arch" else "x86_64")
    work = os.path.join(ROOT, "build", "bench", "install")
    corpus = os.path.join(ROOT, "build", "bench", "corpus")
    if not os.path.isdir(corpus):
        subprocess.run([sys.executable, os.path.join(SHARED, "corpus", "make-corpus.py"), corpus], check=True,
                       stdout=subprocess.DEVNULL)
    setup = corpus_setup(work, corpus, b"C:\\BenchInstall", b"PreInstallDialogSequence=\r\n", "corpus-setup.exe",
                         ["-3"], keep_project=True)
    project = os.path.join(work, "project")
    drive = os.path.join(harness.wine_prefix(), "drive_c")
    target = os.path.join(drive, "BenchInstall")
    copy = os.path.join(drive, "BenchCopy")
    shutil.rmtree(target, ignore_errors=True)
    shutil.rmtree(copy, ignore_errors=True)

    t = harness.run_scenario("bench_install", ["start " + harness.windows_path(setup),
                                               "wait-text %s 600000" % FINISHED, "elapsed", "press 104",
                                               "wait-exit 60000"], timeout=900)
    install_ms = t.elapsed[0]
    wanted = files_below(os.path.join(project, "Data"))
    got = files_below(target)
    missing = [p for p, size in wanted.items() if got.get(p) != size]
    wanted = {p: s for p, s in wanted.items() if p in got}
    if missing:
        print("FAILED: %d files missing or of another size, e.g. %s" % (len(missing), missing[:3]))
        return 1

    begin = time.monotonic()
    subprocess.run([harness.WINE_RUN, "cmd", "/c", "xcopy", "/e", "/i", "/q", "/y",
                    harness.windows_path(os.path.join(project, "Data")), "C:\\BenchCopy"],
                   check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    copy_ms = (time.monotonic() - begin) * 1000
    copied = files_below(copy)
    if any(copied.get(p) != size for p, size in wanted.items()):
        print("FAILED: xcopy did not copy the corpus")
        return 1
    total = sum(wanted.values())
    print("corpus: %d files, %.1f MB; setup %s (solid, -3): %.1f MB" % (
        len(wanted), total / 1e6, os.path.basename(setup), os.path.getsize(setup) / 1e6))
    print("install under Wine, start to final page (%s): %.1f s" % (harness.build.arch, install_ms / 1000))
    print("xcopy of the same files under Wine:              %.1f s" % (copy_ms / 1000))
    print("ratio install / copy:                            %.2f" % (install_ms / copy_ms))
    shutil.rmtree(target, ignore_errors=True)
    shutil.rmtree(copy, ignore_errors=True)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
