"""Side by side: silent host installs of one payload by two release trees, in turns, into fresh
prefixes in /dev/shm (with UPGRADE=1 the timed install goes over a whole installation).

  ZQ_BEFORE=TREE ZQ_AFTER=TREE tests/bench/journal_cost.py small1k,mixed,small50k [RUNS]

TREE is a host-release build folder holding zq and zqsetup; the payloads are those of
tests/bench/make_payloads.py in build/bench/payloads."""
import os, shutil, statistics, subprocess, sys, time
ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
TREES = {"before": os.environ["ZQ_BEFORE"], "after": os.environ.get("ZQ_AFTER", ROOT + "/build/host-release")}
PAY = ROOT + "/build/bench/payloads"
SCR = "/dev/shm/zq-cost-%d" % os.getuid()
SCRIPT = 'name "Bench"\nshortname "Bench"\noutfile BenchSetup.exe\ninstalldir "$PROGRAMFILES\\Bench"\nprefix Bench\nuninstallpages uninstall\nlanguage English\nuninstalllanguage English\nuninstalllogload "$INSTDIR" Bench_\nfile {p}\n'
def rm(p):
    if os.path.realpath(p).startswith(SCR): shutil.rmtree(p, ignore_errors=True)
runs = int(sys.argv[2]) if len(sys.argv) > 2 else 5
for name in sys.argv[1].split(","):
    setups = {}
    for k, tree in TREES.items():
        d = os.path.join(SCR, name, k); os.makedirs(d, exist_ok=True)
        with open(os.path.join(PAY, name + ".cost.zqs"), "w") as f: f.write(SCRIPT.replace("{p}", name))
        subprocess.run([tree + "/zq", "build", name + ".cost.zqs", "-o", d + "/BenchSetup.exe", "--stub", tree + "/zqsetup"], cwd=PAY, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        setups[k] = d + "/BenchSetup.exe"
    times = {k: [] for k in TREES}
    for i in range(runs):
        for k in TREES:
            prefix = os.path.join(SCR, name, k, "prefix"); rm(prefix)
            if os.environ.get("UPGRADE"):  # the timed run installs over a whole installation
                subprocess.run([setups[k], "/S"], env=dict(os.environ, ZQ_PREFIX=prefix), cwd=os.path.dirname(setups[k]), check=True)
            t = time.perf_counter()
            r = subprocess.run([setups[k], "/S"], env=dict(os.environ, ZQ_PREFIX=prefix), cwd=os.path.dirname(setups[k]))
            times[k].append(time.perf_counter() - t)
            assert r.returncode == 0, (k, r.returncode)
    b, a = statistics.median(times["before"]), statistics.median(times["after"])
    ratios = [x / y for x, y in zip(times["after"], times["before"])]
    print(f"{name}: before {b:.3f} s, after {a:.3f} s (medians of {runs}); after/before median of pairs {statistics.median(ratios):.3f}")
    for k in TREES: rm(os.path.join(SCR, name, k))
