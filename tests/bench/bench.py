#!/usr/bin/env python3
"""Whole-program benchmark: zq build and the engine against makensis and its setups, and the
64-bit engine against a Windows Installer package of the same files (wixl, msiexec).

  tests/bench/bench.py [--runs N] [--payloads mixed,small1k,small50k,dlls] [--no-wine] [--no-solid]
  tests/bench/bench.py --payloads big4x72,big400 --no-wine   # the peak memory of large entries

Run by `./make.sh bench`, which builds the trees first. Uses build/host-release (zq, the host
engine, the inflate-and-write floor), build/win32 (the 32-bit Windows engine) and build/win64
(the 64-bit one), or the trees named by ZQ_BENCH_HOST, ZQ_BENCH_WIN and ZQ_BENCH_WIN64. Works in
build/bench: payloads (made once), setups, a Wine prefix of its own per architecture
(wineprefix, wineprefix64), fresh install folders (the host's in /dev/shm).
32-bit programs (NSIS's setups, the 32-bit engine) run only where the machine runs them (the
32-bit loader /usr/lib/wine/wine starts); elsewhere their builds and sizes are still compared.
The 64-bit peer: for each payload, a package of the same tree built by `wixl --arch x64` and
installed by Wine's `msiexec /i ... /qn`, beside the 64-bit setup's `/S`; both go to fresh folders
in the win64 prefix, and every install is checked to hold each payload file at its size.
Each pair of programs runs in turns, N times; the figures are medians, and each ratio is
ours over the peer's. The memory payloads (big4x72: four files of 72 MB, big400: one of 400 MB,
half text and half random bytes; made only when named) are built for the host engine alone and
installed on the host: their figure is the install's peak memory, beside its time and the floor's. The results also go to build/bench/results.json.
"""
import argparse
import json
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time
import uuid
from xml.sax.saxutils import quoteattr

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.realpath(__file__))))
HOST = os.path.abspath(os.environ.get("ZQ_BENCH_HOST", os.path.join(ROOT, "build", "host-release")))
WIN = os.path.abspath(os.environ.get("ZQ_BENCH_WIN", os.path.join(ROOT, "build", "win32")))
WIN64 = os.path.abspath(os.environ.get("ZQ_BENCH_WIN64", os.path.join(ROOT, "build", "win64")))
WORK = os.path.join(ROOT, "build", "bench")
PREFIX = os.path.join(WORK, "wineprefix")
PREFIX64 = os.path.join(WORK, "wineprefix64")
# The loaders, never the `wine` wrapper: it takes the 32-bit loader whenever wine32 is
# installed, even where no 32-bit program can start.
WINE32 = "/usr/lib/wine/wine"
WINE64 = "/usr/lib/wine/wine64"
# Host installs go to memory when it can: creating tens of thousands of files over the ones
# deleted a moment before makes the disk's file system search its inode tables, and that
# cost, not the programs', would be measured.
SCRATCH = os.path.join("/dev/shm", "zq-bench-%d" % os.getuid()) if os.path.isdir("/dev/shm") else WORK

ZQ_SCRIPT = """name "Bench"
shortname "Bench"
outfile BenchSetup.exe
installdir "$PROGRAMFILES\\Bench"
prefix Bench
uninstallpages uninstall
language English
uninstalllanguage English
uninstalllogload "$INSTDIR" Bench_
compression {compression}
file {payload}
"""

NSIS_SCRIPT = """Unicode true
Name "Bench"
OutFile "{out}"
InstallDir "$PROGRAMFILES\\BenchNsis"
RequestExecutionLevel admin
SetCompressor {compressor}
Section
  SetOutPath "$INSTDIR"
  File /r "{payload}\\*"
  WriteUninstaller "$INSTDIR\\uninst.exe"
SectionEnd
Section Uninstall
  RMDir /r "$INSTDIR"
SectionEnd
"""


# The 64-bit peer's source: the payload's folders under ProgramFiles64Folder\BenchMsi (INSTALLDIR,
# which msiexec's command line sets), one 64-bit component per file (its key path), one feature.
WXS = """<?xml version="1.0" encoding="utf-8"?>
<Wix xmlns="http://schemas.microsoft.com/wix/2006/wi">
 <Product Id="{product}" Name="BenchMsi" Language="1033" Version="1.0.0" Manufacturer="Bench"
          UpgradeCode="{upgrade}">
  <Package InstallerVersion="500" Compressed="yes" InstallScope="perMachine"/>
  <Media Id="1" Cabinet="payload.cab" EmbedCab="yes"/>
  <Directory Id="TARGETDIR" Name="SourceDir">
   <Directory Id="ProgramFiles64Folder">
    <Directory Id="INSTALLDIR" Name="BenchMsi">
{tree}    </Directory>
   </Directory>
  </Directory>
  <Feature Id="All" Level="1">
{refs}  </Feature>
 </Product>
</Wix>
"""


def msi_code(name, what):
    """A fixed GUID per payload, so the bench can remove the product it installed (msiexec /x)."""
    return "{%s}" % str(uuid.uuid5(uuid.NAMESPACE_URL, "zq-bench/%s/%s" % (what, name))).upper()


def write_wxs(path, payload, name):
    tree, refs = [], []

    def relative(file):  # wixl takes sources relative to its working folder (the .wxs's, here)
        return os.path.relpath(file, os.path.dirname(os.path.abspath(path)))

    def walk(folder):
        entries = sorted(os.scandir(folder), key=lambda e: e.name)
        for e in entries:
            if e.is_file(follow_symlinks=False):
                n = len(refs) + 1
                tree.append('<Component Id="c%d" Guid="*" Win64="yes"><File Id="f%d" Name=%s Source=%s '
                            'KeyPath="yes"/></Component>\n' % (n, n, quoteattr(e.name), quoteattr(relative(e.path))))
                refs.append('<ComponentRef Id="c%d"/>\n' % n)
        for e in entries:
            if e.is_dir(follow_symlinks=False):
                tree.append('<Directory Id="d%d" Name=%s>\n' % (len(tree), quoteattr(e.name)))
                walk(e.path)
                tree.append("</Directory>\n")

    walk(os.path.abspath(payload))
    with open(path, "w") as f:
        f.write(WXS.format(product=msi_code(name, "product"), upgrade=msi_code(name, "upgrade"),
                           tree="".join(tree), refs="".join(refs)))


DEFAULT_PAYLOADS = "mixed,small1k,small50k,dlls"
MEMORY_PAYLOADS = ("big4x72", "big400")
GENERATED = ("mixed", "small1k", "small50k") + MEMORY_PAYLOADS


# Real Windows programs for the solid figures: Wine's own i386 DLLs, taken by name until the
# next would pass DLL_BYTES.
WINE_DLLS = "/usr/lib/i386-linux-gnu/wine/i386-windows"
DLL_BYTES = 180 * 1000 * 1000


def make_dll_payload(folder):
    if os.path.isdir(folder):
        return
    if not os.path.isdir(WINE_DLLS):
        sys.exit("%s is missing (Debian package wine32)" % WINE_DLLS)
    part = folder + ".part"
    shutil.rmtree(part, ignore_errors=True)
    os.makedirs(part)
    total = 0
    for name in sorted(os.listdir(WINE_DLLS)):
        path = os.path.join(WINE_DLLS, name)
        if not os.path.isfile(path) or os.path.islink(path):
            continue
        size = os.path.getsize(path)
        if total + size > DLL_BYTES:
            continue
        shutil.copyfile(path, os.path.join(part, name))
        total += size
    os.rename(part, folder)


def safe_rmtree(path):
    """Removes a folder this benchmark made: only inside build/bench, never through a link."""
    real = os.path.abspath(path)
    if not any(real.startswith(root + os.sep) for root in (WORK, SCRATCH)):
        sys.exit("refusing to delete %s: outside %s and %s" % (path, WORK, SCRATCH))
    # No link anywhere on the way (a Wine prefix holds z: -> /), the folder itself included.
    if os.path.islink(real) or os.path.realpath(os.path.dirname(real)) != os.path.dirname(real):
        sys.exit("refusing to delete %s: a link or reached through one" % path)
    # An uninstall's finaliser may still be finishing in there for a moment after it returned.
    for attempt in range(50):
        if not os.path.isdir(real):
            return
        try:
            shutil.rmtree(real)  # unlinks links inside, never descends through them
        except OSError:
            if attempt == 49:
                raise
            time.sleep(0.1)


def run(cmd, env=None, cwd=None):
    """Runs to the end; returns (wall seconds, user+system CPU seconds, peak RSS in MB)."""
    with tempfile.TemporaryFile() as errors:  # a file, so a talkative program never blocks on a pipe
        start = time.perf_counter()
        proc = subprocess.Popen(cmd, env=env, cwd=cwd, stdout=subprocess.DEVNULL, stderr=errors)
        _, status, usage = os.wait4(proc.pid, 0)
        wall = time.perf_counter() - start
        proc.returncode = os.waitstatus_to_exitcode(status)
        errors.seek(0)
        err = errors.read().decode(errors="replace")
    if proc.returncode != 0:
        sys.exit("%s ended with %d\n%s" % (" ".join(cmd), proc.returncode, err[-2000:]))
    return wall, usage.ru_utime + usage.ru_stime, usage.ru_maxrss / 1024.0


def median(values):
    return statistics.median(values) if values else float("nan")


def in_turns(runs, jobs):
    """jobs: name -> (prepare, command builder[, check after each run, untimed]).
    Returns name -> list of (wall, cpu, rss)."""
    results = {name: [] for name in jobs}
    for _ in range(runs):
        for name, job in jobs.items():
            prepare, command = job[:2]
            if prepare:
                prepare()
            cmd, env, cwd = command()
            results[name].append(run(cmd, env, cwd))
            if len(job) > 2 and job[2]:
                job[2]()
    return results


def runs_32bit():
    """Whether the machine starts 32-bit programs (a kernel may have them turned off)."""
    try:
        return subprocess.run([WINE32, "--version"], stdout=subprocess.DEVNULL,
                              stderr=subprocess.DEVNULL).returncode == 0
    except OSError:
        return False


def wine_env(prefix=PREFIX, arch="win32"):
    env = dict(os.environ)
    env.update(WINEPREFIX=prefix, WINEARCH=arch, WINEDEBUG="-all", WINEDLLOVERRIDES="mscoree,mshtml=")
    return env


def payload_files(name):
    """Relative path -> size of every file of a payload."""
    root = os.path.join(WORK, "payloads", name)
    found = {}
    for top, _, files in os.walk(root):
        for f in files:
            path = os.path.join(top, f)
            found[os.path.relpath(path, root)] = os.path.getsize(path)
    return found


def check_installed(folder, expected, who):
    """Stops the bench unless every payload file lies in folder at its size: an install that
    failed quickly must not be timed as one."""
    wrong = [rel for rel, size in sorted(expected.items())
             if not os.path.isfile(os.path.join(folder, rel)) or os.path.getsize(os.path.join(folder, rel)) != size]
    if wrong:
        sys.exit("%s left %d of the payload's %d files missing or of another size in %s (first: %s)"
                 % (who, len(wrong), len(expected), folder, wrong[0]))


def tree_bytes(folder):
    return sum(os.path.getsize(os.path.join(top, f)) for top, _, files in os.walk(folder) for f in files)


def desktop_processes(prefix):
    """The bench prefix's desktop processes (explorer.exe) still running: the first program that
    needs the desktop starts one, and Wine keeps it a moment after the last such program ended.
    (The prefix's services run as long as its server; they are no run's.)"""
    found = []
    for pid in os.listdir("/proc"):
        if not pid.isdigit():
            continue
        try:
            with open("/proc/%s/cmdline" % pid, "rb") as f:
                first = f.read().split(b"\0")[0]
            with open("/proc/%s/environ" % pid, "rb") as f:
                environ = f.read().split(b"\0")
        except OSError:
            continue
        if first.lower().endswith(b"\\explorer.exe") and ("WINEPREFIX=" + prefix).encode() in environ:
            found.append(pid)
    return found


def alone(prefix=PREFIX):
    """Waits (at most 10 s) until the desktop process of the run before has ended, so each install
    starts as it would on its own: the process would otherwise be shared by whichever setup came
    next, and a setup that needs none would pass the cost of starting it to the other."""
    for _ in range(100):
        if not desktop_processes(prefix):
            return
        time.sleep(0.1)


def files_in(folder):
    return sum(len(f) for _, _, f in os.walk(folder))


class Bench:
    def __init__(self, runs, wine, engine32, engine64):
        self.runs = runs
        self.wine = wine
        self.engine32 = engine32  # build/win32/zqsetup.exe, or None where it is not built
        self.engine64 = engine64  # build/win64/zqsetup.exe, or None
        # The engine of the setups set beside NSIS's (32-bit programs both): the 64-bit one
        # where no 32-bit engine is built.
        self.stub = engine32 or engine64
        self.results = {}
        self.lines = []

    def say(self, text):
        print(text, flush=True)
        self.lines.append(text)

    def figure(self, key, value):
        self.results[key] = value

    def build_setups(self, name):
        """Times zq build against makensis, and the 64-bit setup's against wixl's package."""
        base = os.path.join(WORK, name)
        os.makedirs(base, exist_ok=True)
        # The scripts sit beside the payload folder: zq build never follows a link into one.
        scripts = os.path.join(WORK, "payloads")
        nsis_setup = os.path.join(base, "NsisSetup.exe")
        with open(os.path.join(scripts, name + ".zqs"), "w") as f:
            f.write(ZQ_SCRIPT.replace("{payload}", name).replace("{compression}", "zlib"))
        with open(os.path.join(scripts, name + ".nsi"), "w") as f:
            f.write(NSIS_SCRIPT.replace("{payload}", name).replace("{out}", nsis_setup).replace("{compressor}", "zlib"))
        zq = os.path.join(HOST, "zq")
        win_setup = os.path.join(base, "win", "BenchSetup.exe")
        win64_setup = os.path.join(base, "win64", "BenchSetup.exe")
        host_setup = os.path.join(base, "host", "BenchSetup.exe")
        msi = os.path.join(base, "BenchMsi.msi")
        for d in ("win", "win64", "host"):
            os.makedirs(os.path.join(base, d), exist_ok=True)
        jobs = {
            "zq": (None, lambda: ([zq, "build", name + ".zqs", "-o", win_setup, "--stub", self.stub],
                                  None, scripts)),
            "makensis": (None, lambda: (["makensis", "-V1", name + ".nsi"], None, scripts)),
        }
        if self.engine64:
            with open(os.path.join(scripts, name + "-x64.zqs"), "w") as f:
                f.write(ZQ_SCRIPT.replace("{payload}", name).replace("{compression}", "zlib")
                        + "architecture x64\n")
            write_wxs(os.path.join(scripts, name + ".wxs"), os.path.join(scripts, name), name)
            jobs["zq64"] = (None, lambda: ([zq, "build", name + "-x64.zqs", "-o", win64_setup, "--stub",
                                            self.engine64], None, scripts))
            jobs["wixl"] = (None, lambda: (["wixl", "--arch", "x64", "-o", msi, name + ".wxs"], None, scripts))
        r = in_turns(self.runs, jobs)
        run([zq, "build", name + ".zqs", "-o", host_setup, "--stub", os.path.join(HOST, "zqsetup")], cwd=scripts)
        zq_wall, ns_wall = median([x[0] for x in r["zq"]]), median([x[0] for x in r["makensis"]])
        zq_size, ns_size = os.path.getsize(win_setup), os.path.getsize(nsis_setup)
        self.say("%-9s build: zq %.2f s, makensis %.2f s, ratio %.2f; setup %s vs %s bytes%s"
                 % (name, zq_wall, ns_wall, zq_wall / ns_wall, f"{zq_size:,}", f"{ns_size:,}",
                    "" if self.engine32 else " (the 64-bit engine: no 32-bit one built)"))
        self.figure(name + ".build.zq_s", zq_wall)
        self.figure(name + ".build.makensis_s", ns_wall)
        self.figure(name + ".build.ratio", zq_wall / ns_wall)
        self.figure(name + ".setup_bytes.zq", zq_size)
        self.figure(name + ".setup_bytes.nsis", ns_size)
        if not self.engine64:
            return win_setup, None, host_setup, nsis_setup, None
        zq_wall, wx_wall = median([x[0] for x in r["zq64"]]), median([x[0] for x in r["wixl"]])
        zq_size, msi_size = os.path.getsize(win64_setup), os.path.getsize(msi)
        self.say("%-9s 64-bit build: zq %.2f s, wixl %.2f s, ratio %.2f; setup %s vs msi %s bytes, ratio %.3f"
                 % (name, zq_wall, wx_wall, zq_wall / wx_wall, f"{zq_size:,}", f"{msi_size:,}", zq_size / msi_size))
        self.figure(name + ".build64.zq_s", zq_wall)
        self.figure(name + ".build64.wixl_s", wx_wall)
        self.figure(name + ".build64.ratio", zq_wall / wx_wall)
        self.figure(name + ".setup_bytes.zq64", zq_size)
        self.figure(name + ".setup_bytes.msi", msi_size)
        self.figure(name + ".setup_bytes.ratio_msi", zq_size / msi_size)
        return win_setup, win64_setup, host_setup, nsis_setup, msi

    def host_setup(self, name):
        """The setup of a memory payload, for the host engine only (no peer, no Wine)."""
        scripts = os.path.join(WORK, "payloads")
        host_setup = os.path.join(WORK, name, "host", "BenchSetup.exe")
        os.makedirs(os.path.dirname(host_setup), exist_ok=True)
        with open(os.path.join(scripts, name + ".zqs"), "w") as f:
            f.write(ZQ_SCRIPT.replace("{payload}", name).replace("{compression}", "zlib"))
        wall, _, rss = run([os.path.join(HOST, "zq"), "build", name + ".zqs", "-o", host_setup, "--stub",
                            os.path.join(HOST, "zqsetup")], cwd=scripts)
        size = os.path.getsize(host_setup)
        self.say("%-9s build: zq %.2f s (peak %.0f MB); setup %s bytes" % (name, wall, rss, f"{size:,}"))
        self.figure(name + ".build.zq_s", wall)
        self.figure(name + ".setup_bytes.zq", size)
        return host_setup

    def solid_setups(self, name):
        """zq build with compression solid against makensis with SetCompressor /SOLID lzma."""
        base = os.path.join(WORK, name)
        scripts = os.path.join(WORK, "payloads")
        nsis_setup = os.path.join(base, "NsisLzmaSetup.exe")
        with open(os.path.join(scripts, name + "-solid.zqs"), "w") as f:
            f.write(ZQ_SCRIPT.replace("{payload}", name).replace("{compression}", "solid"))
        with open(os.path.join(scripts, name + "-lzma.nsi"), "w") as f:
            f.write(NSIS_SCRIPT.replace("{payload}", name).replace("{out}", nsis_setup)
                    .replace("{compressor}", "/SOLID lzma"))
        zq = os.path.join(HOST, "zq")
        win_setup = os.path.join(base, "win-solid", "BenchSetup.exe")
        host_setup = os.path.join(base, "host-solid", "BenchSetup.exe")
        for d in ("win-solid", "host-solid"):
            os.makedirs(os.path.join(base, d), exist_ok=True)
        jobs = {
            "zq": (None, lambda: ([zq, "build", name + "-solid.zqs", "-o", win_setup, "--stub",
                                   self.stub], None, scripts)),
            "makensis": (None, lambda: (["makensis", "-V1", name + "-lzma.nsi"], None, scripts)),
        }
        r = in_turns(self.runs, jobs)
        run([zq, "build", name + "-solid.zqs", "-o", host_setup, "--stub", os.path.join(HOST, "zqsetup")],
            cwd=scripts)
        zq_wall, ns_wall = median([x[0] for x in r["zq"]]), median([x[0] for x in r["makensis"]])
        zq_size, ns_size = os.path.getsize(win_setup), os.path.getsize(nsis_setup)
        self.say("%-9s solid build: zq %.2f s, makensis /SOLID lzma %.2f s, ratio %.2f; "
                 "setup %s vs %s bytes, ratio %.3f"
                 % (name, zq_wall, ns_wall, zq_wall / ns_wall, f"{zq_size:,}", f"{ns_size:,}", zq_size / ns_size))
        self.figure(name + ".solid.build.zq_s", zq_wall)
        self.figure(name + ".solid.build.makensis_s", ns_wall)
        self.figure(name + ".solid.build.ratio", zq_wall / ns_wall)
        self.figure(name + ".solid.setup_bytes.zq", zq_size)
        self.figure(name + ".solid.setup_bytes.nsis_lzma", ns_size)
        self.figure(name + ".solid.setup_bytes.ratio", zq_size / ns_size)
        return win_setup, host_setup, nsis_setup

    def wine_solid_installs(self, name, win_setup, nsis_lzma, nsis_zlib):
        drive = os.path.join(PREFIX, "drive_c")
        folders = {k: os.path.join(drive, "bench", k) for k in ("zq", "lzma", "zlib")}
        env = wine_env()
        expected = payload_files(name)

        def job(key, setup):
            return (lambda: (safe_rmtree(folders[key]), alone()),
                    lambda: ([WINE32, setup, "/S", "/D=C:\\bench\\" + key], env, None),
                    lambda: check_installed(folders[key], expected, key))

        r = in_turns(self.runs, {"zq": job("zq", win_setup), "lzma": job("lzma", nsis_lzma),
                                 "zlib": job("zlib", nsis_zlib)})
        zq, lz, zl = (median([x[0] for x in r[k]]) for k in ("zq", "lzma", "zlib"))
        self.say("%-9s solid silent install under Wine: zq %.2f s, NSIS /SOLID lzma %.2f s (ratio %.2f), "
                 "NSIS zlib %.2f s (ratio %.2f)" % (name, zq, lz, zq / lz, zl, zq / zl))
        self.figure(name + ".solid.wine_install.zq_s", zq)
        self.figure(name + ".solid.wine_install.nsis_lzma_s", lz)
        self.figure(name + ".solid.wine_install.nsis_zlib_s", zl)
        self.figure(name + ".solid.wine_install.ratio_lzma", zq / lz)
        self.figure(name + ".solid.wine_install.ratio_zlib", zq / zl)
        for f in folders.values():
            safe_rmtree(f)

    def host_solid_install(self, name, host_setup):
        base = os.path.join(WORK, name)
        os.makedirs(SCRATCH, exist_ok=True)
        prefix = os.path.join(SCRATCH, name + "-solid-prefix")
        r = in_turns(self.runs, {"install": (lambda: safe_rmtree(prefix),
                                             lambda: ([host_setup, "/S"], dict(os.environ, ZQ_PREFIX=prefix),
                                                      base))})
        ins, rss = median([x[0] for x in r["install"]]), max(x[2] for x in r["install"])
        self.say("%-9s solid host install %.2f s (CPU %.2f s, peak %.0f MB)"
                 % (name, ins, median([x[1] for x in r["install"]]), rss))
        self.figure(name + ".solid.host_install_s", ins)
        self.figure(name + ".solid.host_install_peak_mb", rss)
        safe_rmtree(prefix)

    def wine_installs(self, name, win_setup, nsis_setup):
        drive = os.path.join(PREFIX, "drive_c")
        folders = {"zq": os.path.join(drive, "bench", "zq"), "nsis": os.path.join(drive, "bench", "nsis")}
        env = wine_env()
        expected = payload_files(name)
        jobs = {
            "zq": (lambda: (safe_rmtree(folders["zq"]), alone()),
                   lambda: ([WINE32, win_setup, "/S", "/D=C:\\bench\\zq"], env, None),
                   lambda: check_installed(folders["zq"], expected, "our setup")),
            "nsis": (lambda: (safe_rmtree(folders["nsis"]), alone()),
                     lambda: ([WINE32, nsis_setup, "/S", "/D=C:\\bench\\nsis"], env, None),
                     lambda: check_installed(folders["nsis"], expected, "NSIS's setup")),
        }
        r = in_turns(self.runs, jobs)
        zq_wall, ns_wall = median([x[0] for x in r["zq"]]), median([x[0] for x in r["nsis"]])
        self.say("%-9s silent install under Wine: zq %.2f s, NSIS %.2f s, ratio %.2f (%d and %d files)"
                 % (name, zq_wall, ns_wall, zq_wall / ns_wall, files_in(folders["zq"]), files_in(folders["nsis"])))
        self.figure(name + ".wine_install.zq_s", zq_wall)
        self.figure(name + ".wine_install.nsis_s", ns_wall)
        self.figure(name + ".wine_install.ratio", zq_wall / ns_wall)
        for f in folders.values():
            safe_rmtree(f)

    def wine64_installs(self, name, setup, msi):
        """The 64-bit setup's silent install against msiexec's of the wixl package, in the win64
        prefix. Before each msiexec run the product is removed (msiexec /x, untimed), so that
        every run is a first install, as every run of ours is."""
        drive = os.path.join(PREFIX64, "drive_c")
        folders = {"zq": os.path.join(drive, "bench", "zq"), "msiexec": os.path.join(drive, "bench", "msi")}
        env = wine_env(PREFIX64, "win64")
        expected = payload_files(name)

        def remove_msi():
            subprocess.run([WINE64, "msiexec", "/x", msi_code(name, "product"), "/qn"], env=env,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            safe_rmtree(folders["msiexec"])
            alone(PREFIX64)

        jobs = {
            "zq": (lambda: (safe_rmtree(folders["zq"]), alone(PREFIX64)),
                   lambda: ([WINE64, setup, "/S", "/D=C:\\bench\\zq"], env, None),
                   lambda: check_installed(folders["zq"], expected, "our 64-bit setup")),
            "msiexec": (remove_msi,
                        lambda: ([WINE64, "msiexec", "/i", "Z:" + msi.replace("/", "\\"), "/qn",
                                  "INSTALLDIR=C:\\bench\\msi"], env, None),
                        lambda: check_installed(folders["msiexec"], expected, "msiexec")),
        }
        r = in_turns(self.runs, jobs)
        zq_wall, ms_wall = median([x[0] for x in r["zq"]]), median([x[0] for x in r["msiexec"]])
        ratio = zq_wall / ms_wall
        self.say("%-9s silent install under 64-bit Wine: zq %.2f s, msiexec %.2f s, ratio %.2f "
                 "(%d and %d files, %s and %s bytes)%s"
                 % (name, zq_wall, ms_wall, ratio, files_in(folders["zq"]), files_in(folders["msiexec"]),
                    f"{tree_bytes(folders['zq']):,}", f"{tree_bytes(folders['msiexec']):,}",
                    "; goal at most 0.5: %s" % ("met" if ratio <= 0.5 else "not met") if name == "mixed" else ""))
        self.figure(name + ".wine64_install.zq_s", zq_wall)
        self.figure(name + ".wine64_install.msiexec_s", ms_wall)
        self.figure(name + ".wine64_install.ratio", ratio)
        remove_msi()
        safe_rmtree(folders["zq"])

    def host_installs(self, name, host_setup):
        base = os.path.join(WORK, name)
        os.makedirs(SCRATCH, exist_ok=True)
        prefix = os.path.join(SCRATCH, name + "-prefix")
        floor = os.path.join(SCRATCH, name + "-floor")
        inst = os.path.join(prefix, "drive_c", "Program Files", "Bench")

        def install():
            env = dict(os.environ, ZQ_PREFIX=prefix)
            return [host_setup, "/S"], env, base

        def uninstall():
            env = dict(os.environ, ZQ_PREFIX=prefix)
            return [os.path.join(inst, "Bench_Uninstall.exe"), "/S"], env, base

        jobs = {
            "install": (lambda: safe_rmtree(prefix), install),
            "floor": (lambda: safe_rmtree(floor),
                      lambda: ([os.path.join(HOST, "bench", "inflate_write_bound"), host_setup, floor], None, None)),
        }
        r = in_turns(self.runs, jobs)
        files = files_in(inst)
        un = in_turns(self.runs, {"uninstall": (lambda: (safe_rmtree(prefix), run([host_setup, "/S"],
                                                                                   dict(os.environ, ZQ_PREFIX=prefix),
                                                                                   base)), uninstall)})
        ins, flo = median([x[0] for x in r["install"]]), median([x[0] for x in r["floor"]])
        rss = max(x[2] for x in r["install"])
        uns = median([x[0] for x in un["uninstall"]])
        self.say("%-9s host install %.2f s (CPU %.2f s, peak %.0f MB), floor %.2f s, ratio %.2f; "
                 "uninstall %.2f s; %d files"
                 % (name, ins, median([x[1] for x in r["install"]]), rss, flo, ins / flo, uns, files))
        self.figure(name + ".host_install_s", ins)
        self.figure(name + ".host_install_peak_mb", rss)
        self.figure(name + ".floor_s", flo)
        self.figure(name + ".host_install.ratio_to_floor", ins / flo)
        self.figure(name + ".host_uninstall_s", uns)
        self.figure(name + ".files", files)
        safe_rmtree(prefix)
        safe_rmtree(floor)

    def per_file(self):
        small, big = "small1k", "small50k"
        if small + ".files" not in self.results or big + ".files" not in self.results:
            return
        for step in ("host_install_s", "host_uninstall_s", "build.zq_s", "wine_install.zq_s", "wine64_install.zq_s"):
            a, b = self.results.get(small + "." + step), self.results.get(big + "." + step)
            if a is None or b is None:
                continue
            per_a = a / self.results[small + ".files"]
            per_b = b / self.results[big + ".files"]
            self.say("per file, %-18s 1,000 files %.3f ms, 50,000 files %.3f ms, ratio %.2f"
                     % (step, per_a * 1000, per_b * 1000, per_b / per_a))
            self.figure("per_file." + step + ".ratio", per_b / per_a)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("--payloads", default=DEFAULT_PAYLOADS)
    parser.add_argument("--no-wine", action="store_true", help="host figures and builds only")
    parser.add_argument("--no-solid", action="store_true",
                        help="leave out the solid setups of mixed and dlls (makensis /SOLID lzma takes minutes)")
    args = parser.parse_args()
    for tool in (os.path.join(HOST, "zq"), os.path.join(HOST, "zqsetup"),
                 os.path.join(HOST, "bench", "inflate_write_bound")):
        if not os.path.isfile(tool):
            sys.exit("%s is missing: run ./make.sh bench, which builds it" % tool)
    runs32 = runs_32bit()
    engine32, engine64 = os.path.join(WIN, "zqsetup.exe"), os.path.join(WIN64, "zqsetup.exe")
    if runs32 and not os.path.isfile(engine32):
        sys.exit("%s is missing: run ./make.sh bench, which builds it" % engine32)
    engine32 = engine32 if os.path.isfile(engine32) else None
    engine64 = engine64 if os.path.isfile(engine64) else None
    if not engine32 and not engine64:
        sys.exit("neither %s nor %s is built" % (os.path.join(WIN, "zqsetup.exe"), os.path.join(WIN64, "zqsetup.exe")))
    if shutil.which("makensis") is None:
        sys.exit("makensis is missing (Debian package nsis; ./make.sh bench installs it)")
    if engine64 and shutil.which("wixl") is None:
        sys.exit("wixl is missing (Debian package wixl)")
    names = args.payloads.split(",")
    unknown = [n for n in names if n not in GENERATED and n != "dlls"]
    if unknown:
        sys.exit("no payload named %s" % ", ".join(unknown))
    generated = [n for n in names if n in GENERATED]
    if generated:
        subprocess.run([sys.executable, os.path.join(ROOT, "tests", "bench", "make_payloads.py"),
                        os.path.join(WORK, "payloads"), ",".join(generated)], check=True)
    if "dlls" in names:
        make_dll_payload(os.path.join(WORK, "payloads", "dlls"))
    wine = not args.no_wine and any(n not in MEMORY_PAYLOADS for n in names)
    wine32, wine64 = wine and runs32, wine and engine64 is not None
    prefixes = [(PREFIX, "win32", WINE32)] * wine32 + [(PREFIX64, "win64", WINE64)] * wine64
    for prefix, arch, loader in prefixes:
        env = wine_env(prefix, arch)
        if not os.path.isfile(os.path.join(prefix, "system.reg")):
            print("making a Wine prefix in %s" % os.path.relpath(prefix, ROOT), flush=True)
            subprocess.run([loader, "wineboot", "-i"], env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        # One server for every run, so no run pays for starting it.
        subprocess.Popen(["wineserver", "-p"], env=env).wait()
    bench = Bench(args.runs, wine, engine32, engine64)
    bench.say("%d runs of each, in turns; medians (%d cores)" % (args.runs, os.cpu_count()))
    if not runs32:
        bench.say("this machine runs no 32-bit programs: NSIS setups and the 32-bit engine are not run; "
                  "builds, sizes, host installs and the 64-bit engine under Wine are measured")
    if engine32:
        engine = os.path.getsize(engine32)
        bench.say("engine    zqsetup.exe %s bytes, target 786,432: %s"
                  % (f"{engine:,}", "met" if engine <= 786432 else "not met"))
        bench.figure("engine_bytes", engine)
    if engine64:
        engine = os.path.getsize(engine64)
        bench.say("engine    64-bit zqsetup.exe %s bytes" % f"{engine:,}")
        bench.figure("engine64_bytes", engine)
    try:
        for name in names:
            if name in MEMORY_PAYLOADS:
                bench.host_installs(name, bench.host_setup(name))
                continue
            win_setup, win64_setup, host_setup, nsis_setup, msi = bench.build_setups(name)
            if wine32:
                bench.wine_installs(name, win_setup, nsis_setup)
            if wine64:
                bench.wine64_installs(name, win64_setup, msi)
            bench.host_installs(name, host_setup)
            if name in ("mixed", "dlls") and not args.no_solid:
                solid_win, solid_host, nsis_lzma = bench.solid_setups(name)
                if wine32:
                    bench.wine_solid_installs(name, solid_win, nsis_lzma, nsis_setup)
                bench.host_solid_install(name, solid_host)
        bench.per_file()
    finally:
        for prefix, arch, _ in prefixes:
            subprocess.run(["wineserver", "-k"], env=wine_env(prefix, arch))
    with open(os.path.join(WORK, "results.json"), "w") as f:
        json.dump(bench.results, f, indent=1, sort_keys=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
