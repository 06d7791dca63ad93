#!/usr/bin/env python3
"""Pages per second of brevanto-extract with -j 1 and -j 2 over the pages of
../shared/corpus-large, and its peak memory as the batch grows.

Each round runs the whole batch once with each job count, alternating, into
a fresh folder, and takes wall time, CPU time and peak RSS of the run. The
speed-up is the ratio of the median pages per second; the target is 1.8 on
a 2-core machine. Beside them, in the same rounds, two -j 1 processes run
side by side on half the pages each: the speed-up the machine gives at
that moment to any two workers, which a machine shared with other work
lowers for both alike.

Then the batch is repeated (the same pages under more names) at -j 2:
peak memory should stay flat, since results wait in a window that follows
the number of workers, not the number of pages.

usage: bench/cli_jobs.py [path/to/brevanto-extract] [--rounds N] [--pages DIR]
"""
import glob
import os
import resource
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
PAGES = os.path.join(ROOT, "..", "shared", "corpus-large", "pages")
TARGET = 1.8


def run(program, jobs, inputs, work):
    """Wall seconds, CPU seconds and peak RSS in MB of one batch."""
    out = os.path.join(work, "out")
    shutil.rmtree(out, ignore_errors=True)
    os.mkdir(out)
    start = time.monotonic()
    child = subprocess.Popen([program, "-j", str(jobs), "-d", out] + inputs,
                             stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
    _, status, usage = os.wait4(child.pid, 0)
    wall = time.monotonic() - start
    child.returncode = os.waitstatus_to_exitcode(status)
    errors = child.stderr.read().decode(errors="replace")
    child.stderr.close()
    if child.returncode not in (0, 1):
        sys.exit("brevanto-extract failed (%d): %s" % (child.returncode, errors[-2000:]))
    return wall, usage.ru_utime + usage.ru_stime, usage.ru_maxrss / 1024


def two_processes(program, inputs, work):
    """Wall seconds of two -j 1 runs side by side, half the pages each: how
    much of a second core the machine gives at all right now."""
    half = len(inputs) // 2
    start = time.monotonic()
    children = []
    for part, pages in enumerate((inputs[:half], inputs[half:])):
        out = os.path.join(work, "half%d" % part)
        shutil.rmtree(out, ignore_errors=True)
        os.mkdir(out)
        children.append(subprocess.Popen([program, "-j", "1", "-d", out] + pages,
                                         stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL))
    for child in children:
        child.wait()
    return time.monotonic() - start


def linked(inputs, copies, work):
    """`copies` names for every input, as symbolic links in `work`."""
    names = []
    for copy in range(copies):
        folder = os.path.join(work, "in", str(copy))
        os.makedirs(folder, exist_ok=True)
        for path in inputs:
            link = os.path.join(folder, os.path.basename(path))
            if not os.path.lexists(link):
                os.symlink(os.path.abspath(path), link)
            names.append(link)
    return names


def main():
    args = sys.argv[1:]
    rounds, pages = 5, PAGES
    for flag in ("--rounds", "--pages"):
        if flag in args:
            at = args.index(flag)
            value = args[at + 1]
            del args[at:at + 2]
            if flag == "--rounds":
                rounds = int(value)
            else:
                pages = value
    program = args[0] if args else os.path.join(ROOT, "build", "native-release", "cli", "brevanto-extract")
    inputs = sorted(glob.glob(os.path.join(pages, "*.html")))
    if not inputs:
        sys.exit("no pages in %s" % pages)
    megabytes = sum(os.path.getsize(p) for p in inputs) / 1e6
    print("%d pages, %.1f MB, %d CPUs online, %d rounds" % (len(inputs), megabytes, os.cpu_count(), rounds))

    with tempfile.TemporaryDirectory(dir=os.path.join(ROOT, "build")) as work:
        runs = {1: [], 2: []}
        pairs = []
        run(program, 2, inputs, work)  # the pages into the page cache
        for _ in range(rounds):
            for jobs in (1, 2):
                runs[jobs].append(run(program, jobs, inputs, work))
            pairs.append(two_processes(program, inputs, work))
        print("\n| -j | pages/s (median) | pages/s (best) | CPU s per 100 pages | peak RSS MB |")
        print("|---:|---:|---:|---:|---:|")
        median = {}
        for jobs, results in runs.items():
            walls = [wall for wall, _, _ in results]
            median[jobs] = len(inputs) / statistics.median(walls)
            cpu = statistics.median(c for _, c, _ in results) / len(inputs) * 100
            rss = max(r for _, _, r in results)
            print("| %d | %.0f | %.0f | %.2f | %.0f |" % (jobs, median[jobs], len(inputs) / min(walls), cpu, rss))
        speedup = median[2] / median[1]
        limit = len(inputs) / statistics.median(pairs) / median[1]
        print("| 2 processes of -j 1, half each | %.0f | %.0f | | |"
              % (len(inputs) / statistics.median(pairs), len(inputs) / min(pairs)))
        print("\n-j 2 / -j 1: %.2fx pages/s (target %.1fx: %s); two processes side by side: %.2fx"
              % (speedup, TARGET, "met" if speedup >= TARGET else "missed", limit))
        print("load average during the run: %.2f %.2f %.2f" % os.getloadavg())

        print("\n| batch | pages | -j 2 peak RSS MB |")
        print("|---:|---:|---:|")
        for copies in (1, 8):
            names = linked(inputs, copies, work)
            _, _, rss = run(program, 2, names, work)
            print("| x%d | %d | %.0f |" % (copies, len(names), rss))


if __name__ == "__main__":
    main()
