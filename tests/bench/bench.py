#!/usr/bin/env python3
"""Whole-program benchmark: zq build and the engine against makensis and its setups.

  tests/bench/bench.py [--runs N] [--payloads mixed,small1k,small50k,dlls] [--no-wine]
  tests/bench/bench.py --payloads big4x72,big400 --no-wine   # the peak memory of large entries

Run by `./make.sh bench`, which builds the trees first. Uses build/host-release (zq, the host
engine, the inflate-and-write floor) and build/win32 (the Windows engine), or the trees named
by ZQ_BENCH_HOST and ZQ_BENCH_WIN. Works in
build/bench: payloads (made once), setups, a Wine prefix of its own, fresh install folders
(the host's in /dev/shm).
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

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
HOST = os.path.abspath(os.environ.get("ZQ_BENCH_HOST", os.path.join(ROOT, "build", "host-release")))
WIN = os.path.abspath(os.environ.get("ZQ_BENCH_WIN", os.path.join(ROOT, "build", "win32")))
WORK = os.path.join(ROOT, "build", "bench")
PREFIX = os.path.join(WORK, "wineprefix")
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
    if os.path.islink(real):
        sys.exit("refusing to delete %s: a link" % path)
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
    """jobs: name -> (prepare, command builder). Returns name -> list of (wall, cpu, rss)."""
    results = {name: [] for name in jobs}
    for _ in range(runs):
        for name, (prepare, command) in jobs.items():
            if prepare:
                prepare()
            cmd, env, cwd = command()
            results[name].append(run(cmd, env, cwd))
    return results


def wine_env():
    env = dict(os.environ)
    env.update(WINEPREFIX=PREFIX, WINEARCH="win32", WINEDEBUG="-all", WINEDLLOVERRIDES="mscoree,mshtml=")
    return env


def desktop_processes():
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
        if first.lower().endswith(b"\\explorer.exe") and ("WINEPREFIX=" + PREFIX).encode() in environ:
            found.append(pid)
    return found


def alone():
    """Waits (at most 10 s) until the desktop process of the run before has ended, so each install
    starts as it would on its own: the process would otherwise be shared by whichever setup came
    next, and a setup that needs none would pass the cost of starting it to the other."""
    for _ in range(100):
        if not desktop_processes():
            return
        time.sleep(0.1)


def files_in(folder):
    return sum(len(f) for _, _, f in os.walk(folder))


class Bench:
    def __init__(self, runs, wine):
        self.runs = runs
        self.wine = wine
        self.results = {}
        self.lines = []

    def say(self, text):
        print(text, flush=True)
        self.lines.append(text)

    def figure(self, key, value):
        self.results[key] = value

    def build_setups(self, name):
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
        host_setup = os.path.join(base, "host", "BenchSetup.exe")
        for d in ("win", "host"):
            os.makedirs(os.path.join(base, d), exist_ok=True)
        jobs = {
            "zq": (None, lambda: ([zq, "build", name + ".zqs", "-o", win_setup, "--stub",
                                   os.path.join(WIN, "zqsetup.exe")], None, scripts)),
            "makensis": (None, lambda: (["makensis", "-V1", name + ".nsi"], None, scripts)),
        }
        r = in_turns(self.runs, jobs)
        run([zq, "build", name + ".zqs", "-o", host_setup, "--stub", os.path.join(HOST, "zqsetup")], cwd=scripts)
        zq_wall, ns_wall = median([x[0] for x in r["zq"]]), median([x[0] for x in r["makensis"]])
        zq_size, ns_size = os.path.getsize(win_setup), os.path.getsize(nsis_setup)
        self.say("%-9s build: zq %.2f s, makensis %.2f s, ratio %.2f; setup %s vs %s bytes"
                 % (name, zq_wall, ns_wall, zq_wall / ns_wall, f"{zq_size:,}", f"{ns_size:,}"))
        self.figure(name + ".build.zq_s", zq_wall)
        self.figure(name + ".build.makensis_s", ns_wall)
        self.figure(name + ".build.ratio", zq_wall / ns_wall)
        self.figure(name + ".setup_bytes.zq", zq_size)
        self.figure(name + ".setup_bytes.nsis", ns_size)
        return win_setup, host_setup, nsis_setup

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
                                   os.path.join(WIN, "zqsetup.exe")], None, scripts)),
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

        def job(key, setup):
            return (lambda: (safe_rmtree(folders[key]), alone()),
                    lambda: (["wine", setup, "/S", "/D=C:\\bench\\" + key], env, None))

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
        jobs = {
            "zq": (lambda: (safe_rmtree(folders["zq"]), alone()),
                   lambda: (["wine", win_setup, "/S", "/D=C:\\bench\\zq"], env, None)),
            "nsis": (lambda: (safe_rmtree(folders["nsis"]), alone()),
                     lambda: (["wine", nsis_setup, "/S", "/D=C:\\bench\\nsis"], env, None)),
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
        for step in ("host_install_s", "host_uninstall_s", "build.zq_s", "wine_install.zq_s"):
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
    args = parser.parse_args()
    for tool in (os.path.join(HOST, "zq"), os.path.join(HOST, "zqsetup"), os.path.join(WIN, "zqsetup.exe"),
                 os.path.join(HOST, "bench", "inflate_write_bound")):
        if not os.path.isfile(tool):
            sys.exit("%s is missing: run ./make.sh bench, which builds it" % tool)
    if shutil.which("makensis") is None:
        sys.exit("makensis is missing (Debian package nsis; ./make.sh bench installs it)")
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
    if wine:
        env = wine_env()
        if not os.path.isfile(os.path.join(PREFIX, "system.reg")):
            print("making a Wine prefix in build/bench/wineprefix", flush=True)
            subprocess.run(["wineboot", "-i"], env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        # One server for every run, so no run pays for starting it.
        subprocess.Popen(["wineserver", "-p"], env=env).wait()
    bench = Bench(args.runs, wine)
    bench.say("%d runs of each, in turns; medians (%d cores)" % (args.runs, os.cpu_count()))
    engine = os.path.getsize(os.path.join(WIN, "zqsetup.exe"))
    bench.say("engine    zqsetup.exe %s bytes, target 716,800: %s"
              % (f"{engine:,}", "met" if engine <= 716800 else "not met"))
    bench.figure("engine_bytes", engine)
    try:
        for name in names:
            if name in MEMORY_PAYLOADS:
                bench.host_installs(name, bench.host_setup(name))
                continue
            win_setup, host_setup, nsis_setup = bench.build_setups(name)
            if wine:
                bench.wine_installs(name, win_setup, nsis_setup)
            bench.host_installs(name, host_setup)
            if name in ("mixed", "dlls"):
                solid_win, solid_host, nsis_lzma = bench.solid_setups(name)
                if wine:
                    bench.wine_solid_installs(name, solid_win, nsis_lzma, nsis_setup)
                bench.host_solid_install(name, solid_host)
        bench.per_file()
    finally:
        if wine:
            subprocess.run(["wineserver", "-k"], env=wine_env())
    with open(os.path.join(WORK, "results.json"), "w") as f:
        json.dump(bench.results, f, indent=1, sort_keys=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
