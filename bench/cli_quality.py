#!/usr/bin/env python3
"""Token-level quality of brevanto-extract on the shared corpus, for both
analyses: the modern one (the default) and the classic one (--classic).

Runs the program once per analysis over every page of ../shared/corpus/pages
(one process for all pages), then compares the text of each written file,
header left out, with the page's ground truth: bag of words, lower-cased, per
page precision, recall and F1, averaged over the pages of each source and
over all pages.

Then times one batch of the corpus pages repeated to about 3,000 inputs,
named from their titles, and prints its wall time against its CPU time: the
files are synced once at the end of a batch, not one by one, so on a quiet
machine the two should be close (the target is at most 1.3).

usage: bench/cli_quality.py [path/to/brevanto-extract] [--batch COPIES]
"""
ANALYSES = [("modern", []), ("classic", ["--classic"])]
import collections
import os
import re
import resource
import subprocess
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
CORPUS = os.path.join(ROOT, "..", "shared", "corpus")
WORD = re.compile(r"\w+", re.UNICODE)


def tokens(text):
    return collections.Counter(WORD.findall(text.lower()))


def content_of(output):
    # The header is the empty first line, "url : ", "title : " and their
    # empty lines; the content starts after the second empty line pair.
    text = output.decode("utf-8", errors="replace")
    at = text.find("\r\ntitle : ")
    if at < 0:
        return text
    end = text.find("\r\n\r\n", at + 2)
    return text[end + 4:] if end >= 0 else ""


def time_batch(program, pages, copies):
    """Wall and CPU seconds of one run over `copies` links to every page."""
    with tempfile.TemporaryDirectory(dir=os.path.join(ROOT, "build")) as work:
        inputs = []
        for copy in range(copies):
            folder = os.path.join(work, "in", str(copy))
            os.makedirs(folder)
            for pid, _ in pages:
                link = os.path.join(folder, pid + ".html")
                os.symlink(os.path.join(CORPUS, "pages", pid + ".html"), link)
                inputs.append(link)
        out = os.path.join(work, "out")
        os.mkdir(out)
        before = resource.getrusage(resource.RUSAGE_CHILDREN)
        start = time.monotonic()
        run = subprocess.run([program, "-d", out] + inputs, capture_output=True)
        wall = time.monotonic() - start
        after = resource.getrusage(resource.RUSAGE_CHILDREN)
        if run.returncode != 0:
            sys.stderr.write(run.stderr.decode(errors="replace")[-2000:])
        cpu = (after.ru_utime - before.ru_utime) + (after.ru_stime - before.ru_stime)
        return len(inputs), wall, cpu


def main():
    args = sys.argv[1:]
    copies = 42
    if "--batch" in args:
        at = args.index("--batch")
        copies = int(args[at + 1])
        del args[at:at + 2]
    program = args[0] if args else os.path.join(ROOT, "build", "native-release", "cli", "brevanto-extract")
    with open(os.path.join(CORPUS, "manifest.tsv"), encoding="utf-8") as f:
        rows = [line.rstrip("\n").split("\t") for line in f][1:]
    pages = [(r[0], r[1]) for r in rows]
    inputs = [os.path.join(CORPUS, "pages", pid + ".html") for pid, _ in pages]
    scores = {}  # analysis -> source -> [(precision, recall, F1)]
    for analysis, options in ANALYSES:
        by_source = scores[analysis] = collections.defaultdict(list)
        with tempfile.TemporaryDirectory() as out:
            run = subprocess.run([program, *options, "--name-from-input", "-d", out] + inputs, capture_output=True)
            if run.returncode != 0:
                sys.stderr.write(run.stderr.decode(errors="replace"))
            for pid, source in pages:
                with open(os.path.join(out, pid + ".txt"), "rb") as f:
                    got = tokens(content_of(f.read()))
                with open(os.path.join(CORPUS, "truth", pid + ".txt"), encoding="utf-8") as f:
                    want = tokens(f.read())
                common = sum((got & want).values())
                p = common / sum(got.values()) if got else 0.0
                r = common / sum(want.values()) if want else 0.0
                f1 = 2 * p * r / (p + r) if p + r else 0.0
                by_source[source].append((p, r, f1))
                by_source["all"].append((p, r, f1))

    def mean(values, k):
        return sum(v[k] for v in values) / len(values)

    names = [analysis for analysis, _ in ANALYSES]
    print("| source | pages | " + " | ".join(f"{a} precision | {a} recall | {a} F1" for a in names) + " |")
    print("|---|---:|" + "---:|" * (3 * len(names)))
    first = scores[names[0]]
    for source in sorted(first, key=lambda s: (s == "all", s)):
        cells = [f"{mean(scores[a][source], k):.3f}" for a in names for k in range(3)]
        print(f"| {source} | {len(first[source])} | " + " | ".join(cells) + " |")

    if copies > 0:
        count, wall, cpu = time_batch(program, pages, copies)
        print(f"\nbatch of {count} pages: {wall:.2f} s wall, {cpu:.2f} s CPU, wall/CPU {wall / cpu:.2f}")


if __name__ == "__main__":
    main()
