#!/usr/bin/env python3
"""Unattended install time of the benchmark corpus: an Osin setup run with
/VERYSILENT /DIR=... against NSIS installers of the same files run with
/S /D=... (SetCompressor /SOLID zlib, and /SOLID lzma), under Wine.

    scripts/with-wine python3 bench/unattended/bench_unattended.py

Every run gets a fresh Wine prefix (a copy of one made for the benchmark,
started once before the clock runs, so no run pays for the prefix's first
start); the clock measures the installer's process from start to exit. The
runs of the three installers take turns, BENCH_RUNS rounds (default 5),
and every run is checked to have installed every file with its size.
Prints the medians, the wall-time ratios Osin / NSIS and the size ratios of
the installers. The x86_64 osin.exe is used: the machine's kernel may not
run 32-bit programs, and NSIS's amd64 stubs are its peers.
"""
import os
import shutil
import statistics
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.abspath(os.path.join(HERE, "..", ".."))
sys.path.insert(0, os.path.join(ROOT, "tests", "e2e"))
sys.path.insert(0, os.path.join(ROOT, "bench", "install"))
import harness  # noqa: E402
from bench_install import SHARED, corpus_setup, files_below  # noqa: E402

WINE = "/usr/lib/wine/wine64"
RUNS = int(os.environ.get("BENCH_RUNS", "5"))
NSIS_SCRIPT = """Unicode true
Target amd64-unicode
SetCompressor /SOLID {compressor}
Name "Corpus"
OutFile "{out}"
InstallDir "C:\\NsisDefault"
RequestExecutionLevel user
Section
  SetOutPath "$INSTDIR"
  File /r "{corpus}/*"
SectionEnd
"""


def wine_env(prefix):
    return dict(os.environ, WINEPREFIX=prefix, WINEDEBUG="-all", WINEDLLOVERRIDES="mscoree,mshtml=")


def osin_setup(work, corpus):
    """The corpus packed solid at the default level as a project that
    installs every file."""
    return corpus_setup(work, corpus, b"C:\\OsinDefault", b"", "osin-corpus.exe", [])


def nsis_setup(work, corpus, compressor):
    out = os.path.join(work, "nsis-%s.exe" % compressor)
    script = os.path.join(work, "nsis-%s.nsi" % compressor)
    with open(script, "w") as f:
        f.write(NSIS_SCRIPT.format(compressor=compressor, out=out, corpus=corpus))
    subprocess.run(["makensis", "-V1", script], check=True, stdout=subprocess.DEVNULL)
    return out


def timed_run(template, prefix, command, folder, wanted):
    """Seconds COMMAND takes in a fresh copy of TEMPLATE, after checking
    that it installed WANTED into FOLDER (below drive C:)."""
    shutil.rmtree(prefix, ignore_errors=True)
    subprocess.run(["cp", "-a", template, prefix], check=True)
    env = wine_env(prefix)
    subprocess.run([WINE, "cmd", "/c", "exit"], env=env, check=True, stdout=subprocess.DEVNULL,
                   stderr=subprocess.DEVNULL)
    begin = time.monotonic()
    code = subprocess.run([WINE] + command, env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL).returncode
    seconds = time.monotonic() - begin
    got = files_below(os.path.join(prefix, "drive_c", folder))
    missing = [p for p, size in wanted.items() if got.get(p) != size]
    subprocess.run(["wineserver", "-k"], env=env, check=False)
    subprocess.run(["wineserver", "-w"], env=env, check=False)
    shutil.rmtree(prefix, ignore_errors=True)
    if code != 0 or missing:
        raise SystemExit("FAILED: %s ended with %d, %d files missing, e.g. %s" % (command[0], code, len(missing),
                                                                                missing[:3]))
    return seconds


def main():
    harness.use("x86_64")
    work = os.path.join(ROOT, "build", "bench", "unattended")
    corpus = os.path.join(ROOT, "build", "bench", "corpus")
    if not os.path.isdir(corpus):
        subprocess.run([sys.executable, os.path.join(SHARED, "corpus", "make-corpus.py"), corpus], check=True,
                       stdout=subprocess.DEVNULL)
    os.makedirs(work, exist_ok=True)
    template = os.path.join(work, "template")
    subprocess.run([os.path.join(ROOT, "scripts", "wine-prefix")], env=wine_env(template), check=True)
    subprocess.run(["wineserver", "-k"], env=wine_env(template), check=False)
    subprocess.run(["wineserver", "-w"], env=wine_env(template), check=False)
    setups = {"osin": osin_setup(work, corpus), "nsis zlib": nsis_setup(work, corpus, "zlib"),
              "nsis lzma": nsis_setup(work, corpus, "lzma")}
    wanted = files_below(corpus)
    wanted.pop("manifest", None)
    commands = {"osin": ("Osin", ["/VERYSILENT", "/DIR=C:\\Osin"]), "nsis zlib": ("Nsis", ["/S", "/D=C:\\Nsis"]),
                "nsis lzma": ("Nsis", ["/S", "/D=C:\\Nsis"])}
    times = {name: [] for name in setups}
    prefix = os.path.join(work, "prefix")
    for _ in range(RUNS):
        for name, setup in setups.items():
            folder, switches = commands[name]
            times[name].append(timed_run(template, prefix, [harness.windows_path(setup)] + switches, folder, wanted))
    median = {name: statistics.median(t) for name, t in times.items()}
    size = {name: os.path.getsize(setup) for name, setup in setups.items()}
    print("corpus: %d files, %.1f MB; %d runs each, each in a fresh Wine prefix (x86_64 osin.exe)" % (
        len(wanted), sum(wanted.values()) / 1e6, RUNS))
    for name in setups:
        print("%-10s %12s bytes  median %6.2f s  (runs: %s)" % (name, format(size[name], ","), median[name],
                                                                ", ".join("%.2f" % t for t in times[name])))
    for peer in ("nsis zlib", "nsis lzma"):
        print("osin / %s: wall time %.3f, installer size %.3f" % (peer, median["osin"] / median[peer],
                                                                  size["osin"] / size[peer]))
    shutil.rmtree(template, ignore_errors=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
