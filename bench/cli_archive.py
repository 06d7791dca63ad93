#!/usr/bin/python3
"""brevanto-extract over a web archive of real pages against the same pages
as files: megabytes of pages per second, pages per second and peak memory.

The pages of ../shared/corpus-large are repeated into a WARC of at least
200 MB (bench/make_warc.py), into one with a gzip member per record, and into
one whose bodies come in every transfer and content coding in turn, all
written in build/bench-archive (never committed; made once, then reused). The
files are the same pages in the same order, named on the command line. Every
run writes JSON Lines to a file, so that both do the same work after reading;
each figure is the median of the rounds.

MB/s counts the bytes of the pages (the HTML as saved), the same for every
input; the archive's own MB/s counts its file. Every archive run comes right
after a run of the files, and the ratio of the two is taken at once, so that
load from elsewhere weighs on both alike; the ratio reported is the median of
these pairs. The target: at -j 2 the archive goes at least at the MB/s of the
files. CPU seconds per 100 pages, which other load hardly moves, show what
reading the archive costs.

usage: bench/cli_archive.py [path/to/brevanto-extract] [--rounds N] [--size MB] [--pages DIR]
"""
import glob
import json
import os
import statistics
import subprocess
import sys
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(ROOT, "bench"))
import make_warc  # noqa: E402

PAGES = os.path.join(ROOT, "..", "shared", "corpus-large", "pages")
WORK = os.path.join(ROOT, "build", "bench-archive")
# The archives, by name: one gzip member per record, and bodies in every
# transfer and content coding in turn (chunked, gzip, both).
KINDS = {".warc": (False, False), ".warc.gz": (True, False), "-coded.warc": (False, True)}


def archives(pages, size_mb):
    """The archives of the pages repeated up to `size_mb` MB of pages, by
    name, and the page files in their order; made once for these pages and
    size."""
    manifest = os.path.join(WORK, "manifest.json")
    key = {"pages": pages, "size": size_mb}
    paths = {name: os.path.join(WORK, "pages" + name) for name in KINDS}
    if os.path.exists(manifest):
        with open(manifest) as f:
            made = json.load(f)
        if made["key"] == key and all(os.path.exists(path) for path in paths.values()):
            return paths, made["files"]
    os.makedirs(WORK, exist_ok=True)
    print("making %s (%d MB of pages)..." % (", ".join(paths.values()), size_mb), file=sys.stderr)
    written = make_warc.write_archive(paths[".warc"], pages, size_mb=size_mb)
    files = [path for _, path in written]
    for name, (gzip_members, codings) in KINDS.items():
        if name != ".warc":
            make_warc.write_archive(paths[name], files, gzip_members=gzip_members, codings=codings)
    with open(manifest, "w") as f:
        json.dump({"key": key, "files": files}, f)
    return paths, files


def run(program, jobs, inputs):
    """Wall seconds, CPU seconds, peak RSS in MB and the pages written of one
    run."""
    out = os.path.join(WORK, "out.jsonl")
    start = time.monotonic()
    child = subprocess.Popen([program, "-j", str(jobs), "--format", "jsonl", "-f", "-o", out] + inputs,
                             stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
    _, status, usage = os.wait4(child.pid, 0)
    wall = time.monotonic() - start
    errors = child.stderr.read().decode(errors="replace")
    child.stderr.close()
    if os.waitstatus_to_exitcode(status) not in (0, 1):
        sys.exit("brevanto-extract failed: %s" % errors[-2000:])
    with open(out, "rb") as f:
        written = sum(1 for _ in f)
    return wall, usage.ru_utime + usage.ru_stime, usage.ru_maxrss / 1024, written


def main():
    args = sys.argv[1:]
    settings = {"--rounds": 5, "--size": 200, "--pages": PAGES}
    for flag in list(settings):
        if flag in args:
            at = args.index(flag)
            settings[flag] = type(settings[flag])(args[at + 1])
            del args[at:at + 2]
    program = args[0] if args else os.path.join(ROOT, "build", "native-release", "cli", "brevanto-extract")
    pages = sorted(glob.glob(os.path.join(settings["--pages"], "*.html")))
    if not pages:
        sys.exit("no pages in %s" % settings["--pages"])
    paths, files = archives(pages, settings["--size"])
    page_mb = sum(os.path.getsize(p) for p in files) / 1e6
    inputs = {"files": (files, page_mb)}
    for name, path in paths.items():
        inputs[name] = ([path], os.path.getsize(path) / 1e6)
    print("%d pages (%d distinct), %.0f MB of pages; %s; %d CPUs online, %d rounds"
          % (len(files), len(pages), page_mb,
             ", ".join("%s %.0f MB" % (name, inputs[name][1]) for name in paths), os.cpu_count(),
             settings["--rounds"]))

    # Each archive run follows a run of the files, and their ratio is taken
    # at once: what else the machine runs weighs on both alike.
    runs = {(name, jobs): [] for name in inputs for jobs in (1, 2)}
    ratios = {(name, jobs): [] for name in paths for jobs in (1, 2)}
    for given, _ in inputs.values():
        run(program, 2, given)  # into the page cache
    for _ in range(settings["--rounds"]):
        for jobs in (2, 1):
            for name in paths:
                before = run(program, jobs, files)
                runs["files", jobs].append(before)
                runs[name, jobs].append(run(program, jobs, inputs[name][0]))
                ratios[name, jobs].append(before[0] / runs[name, jobs][-1][0])

    print("\n| input | -j | pages written | MB/s of pages | MB/s of the input | pages/s | CPU s per 100 pages "
          "| peak RSS MB |")
    print("|---|---:|---:|---:|---:|---:|---:|---:|")
    rate = {}
    for (name, jobs), results in runs.items():
        wall = statistics.median(r[0] for r in results)
        cpu = statistics.median(r[1] for r in results)
        rss = max(r[2] for r in results)
        written = results[0][3]
        rate[name, jobs] = page_mb / wall
        print("| %s | %d | %d | %.1f | %.1f | %.0f | %.3f | %.0f |"
              % (name, jobs, written, page_mb / wall, inputs[name][1] / wall, written / wall,
                 cpu / written * 100, rss))
    print()
    for name in paths:
        ratio = statistics.median(ratios[name, 2])
        print("%s / files at -j 2: %.2fx MB/s of pages, median of the pairs (target 1.0x: %s); at -j 1: %.2fx; "
              "%s -j 2 / -j 1: %.2fx" % (name, ratio, "met" if ratio >= 1.0 else "missed",
                                         statistics.median(ratios[name, 1]), name, rate[name, 2] / rate[name, 1]))
    print("load average during the run: %.2f %.2f %.2f" % os.getloadavg())


if __name__ == "__main__":
    main()
