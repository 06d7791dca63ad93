#!/usr/bin/env python3
"""Token-level quality of brevanto-extract on the shared corpora, for both
analyses: the modern one (the default) and the classic one (--classic).

Runs the program once per analysis and corpus over every page of the
corpus (one process for all its pages), then compares the text of each
written file, header left out, with the page's ground truth: bag of words,
lower-cased, per page precision, recall and F1, averaged over the pages of
each source and over all pages. A page is lost when its text holds less
than a tenth of the truth's words (recall under 0.1): the article is gone.
Then the pages the modern analysis does worst on, worst first, so that work
goes where it fails most.

Then times one batch of the first corpus' pages repeated to about 3,000
inputs, named from their titles, and prints its wall time against its CPU
time: the files are synced once at the end of a batch, not one by one, so on
a quiet machine the two should be close (the target is at most 1.3).

Rules are kept only when they carry over to pages nobody looked at, so
every corpus splits into two halves by a hash of the page id, the same
halves on every run and machine: --split prints each half's figures per
source, and --half measures one half alone. A rule that helps one half and
hurts the other is tuned to pages, not to the web.

usage: bench/cli_quality.py [PROGRAM] [--corpus DIR]... [--modern-only]
                            [--worst N] [--keep DIR] [--batch COPIES]
                            [--half A|B] [--split]

  --corpus DIR    a corpus folder (manifest.tsv, pages/, truth/); give it
                  again for more; default ../shared/corpus; a relative
                  folder not found here is looked for from the project's
                  root, and from the main worktree's
  --modern-only   run the modern analysis alone
  --worst N       how many of the worst pages to list (default 20, 0: none)
  --keep DIR      keep the written files in DIR/<corpus>/<analysis>/ID.txt
  --batch COPIES  copies of the first corpus in the timed batch (default:
                  about 3,000 pages; 0: no batch)
  --half A|B      measure only the pages of one half of every corpus
  --split         after each corpus' table, the F1 of each half per source
"""
import argparse
import collections
import hashlib
import os
import re
import resource
import shutil
import subprocess
import sys
import tempfile
import time

ANALYSES = [("modern", []), ("classic", ["--classic"])]
ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
DEFAULT_CORPUS = os.path.join("..", "shared", "corpus")
WORD = re.compile(r"\w+", re.UNICODE)
# A page whose text holds less than this share of the truth's words has lost
# its article.
LOST_RECALL = 0.1
# The timed batch has about this many inputs unless --batch says otherwise.
BATCH_PAGES = 3024
HALVES = ("A", "B")

Score = collections.namedtuple("Score", "page source precision recall f1")


def tokens(text):
    return collections.Counter(WORD.findall(text.lower()))


def content_of(output):
    # The header is "url : " and "title : " lines, each followed by an empty
    # line, after an empty first line where lines end in CR LF; the content
    # starts after the empty line that follows the title. Lines may end in
    # CR LF or in LF alone.
    text = output.decode("utf-8", errors="replace").replace("\r\n", "\n")
    at = 0 if text.startswith("title : ") else text.find("\ntitle : ")
    if at < 0:
        return text
    end = text.find("\n\n", at + 1)
    return text[end + 2:] if end >= 0 else ""


def project_roots():
    """The project's root, then the main worktree's when this is another
    worktree of it: ../shared lies beside the main one."""
    roots = [ROOT]
    common = subprocess.run(["git", "-C", ROOT, "rev-parse", "--path-format=absolute", "--git-common-dir"],
                            capture_output=True, text=True)
    if common.returncode == 0:
        main_root = os.path.dirname(common.stdout.strip())
        if main_root != ROOT:
            roots.append(main_root)
    return roots


def locate(corpus):
    """A corpus folder as given, else relative to the project's root (or the
    main worktree's), as ../shared/corpus names it."""
    if os.path.isabs(corpus) or os.path.isdir(corpus):
        return os.path.abspath(corpus)
    for root in project_roots():
        candidate = os.path.normpath(os.path.join(root, corpus))
        if os.path.isdir(candidate):
            return candidate
    sys.exit(f"cli_quality.py: {corpus}: no such corpus folder")


def read_manifest(corpus):
    with open(os.path.join(corpus, "manifest.tsv"), encoding="utf-8") as f:
        rows = [line.rstrip("\n").split("\t") for line in f][1:]
    return [(r[0], r[1]) for r in rows]


def half_of(page):
    """The half a page id falls in: the parity of the first byte of its
    SHA-256, which no page's content or order can move."""
    return HALVES[hashlib.sha256(page.encode("utf-8")).digest()[0] & 1]


def score_page(written, truth, page, source):
    got = tokens(content_of(written))
    want = tokens(truth)
    common = sum((got & want).values())
    p = common / sum(got.values()) if got else 0.0
    r = common / sum(want.values()) if want else 0.0
    f1 = 2 * p * r / (p + r) if p + r else 0.0
    return Score(page, source, p, r, f1)


def run_analysis(program, options, corpus, pages, keep):
    """The score of every page, in manifest order. A page the program did
    not write scores 0."""
    inputs = [os.path.join(corpus, "pages", pid + ".html") for pid, _ in pages]
    with tempfile.TemporaryDirectory() as out:
        run = subprocess.run([program, *options, "--name-from-input", "-d", out] + inputs, capture_output=True)
        if run.returncode != 0:
            sys.stdout.flush()
            sys.stderr.write(run.stderr.decode(errors="replace"))
        scores = []
        for pid, source in pages:
            written_path = os.path.join(out, pid + ".txt")
            written = b""
            if os.path.exists(written_path):
                with open(written_path, "rb") as f:
                    written = f.read()
            with open(os.path.join(corpus, "truth", pid + ".txt"), encoding="utf-8") as f:
                scores.append(score_page(written, f.read(), pid, source))
        if keep:
            shutil.copytree(out, keep, dirs_exist_ok=True)
    return scores


def by_source(scores):
    groups = collections.defaultdict(list)
    for s in scores:
        groups[s.source].append(s)
    groups["all"] = list(scores)
    return groups


def mean(scores, field):
    return sum(getattr(s, field) for s in scores) / len(scores)


def lost(scores):
    return sum(1 for s in scores if s.recall < LOST_RECALL)


def print_table(results):
    """One row per source, then all pages: precision, recall, F1 and lost
    pages of each analysis."""
    names = list(results)
    print("| source | pages | " + " | ".join(f"{a} P | {a} R | {a} F1 | {a} lost" for a in names) + " |")
    print("|---|---:|" + "---:|" * (4 * len(names)))
    groups = {a: by_source(results[a]) for a in names}
    first = groups[names[0]]
    for source in sorted(first, key=lambda s: (s == "all", s)):
        cells = []
        for a in names:
            rows = groups[a][source]
            cells += [f"{mean(rows, k):.3f}" for k in ("precision", "recall", "f1")] + [str(lost(rows))]
        print(f"| {source} | {len(first[source])} | " + " | ".join(cells) + " |")


def print_halves(results):
    """One row per analysis and half: the F1 of each source, of all pages,
    and the lost pages."""
    names = list(results)
    sources = sorted({s.source for s in results[names[0]]})
    print("\n| analysis | half | pages | " + " | ".join(sources) + " | all | lost |")
    print("|---|---|---:|" + "---:|" * (len(sources) + 2))
    for a in names:
        for half in HALVES:
            groups = by_source([s for s in results[a] if half_of(s.page) == half])
            cells = [f"{mean(groups[src], 'f1'):.3f}" if groups.get(src) else "-" for src in sources]
            rows = groups["all"]
            all_f1 = f"{mean(rows, 'f1'):.3f}" if rows else "-"
            print(f"| {a} | {half} | {len(rows)} | " + " | ".join(cells) + f" | {all_f1} | {lost(rows)} |")


def print_worst(scores, count):
    worst = sorted(scores, key=lambda s: (s.f1, s.page))[:count]
    print(f"\n{len(worst)} worst pages (modern):\n")
    print("| page | F1 | P | R |")
    print("|---|---:|---:|---:|")
    for s in worst:
        lost_mark = " (lost)" if s.recall < LOST_RECALL else ""
        print(f"| {s.page}{lost_mark} | {s.f1:.3f} | {s.precision:.3f} | {s.recall:.3f} |")


def time_batch(program, corpus, pages, copies):
    """Wall and CPU seconds of one run over `copies` links to every page."""
    build = os.path.join(ROOT, "build")
    os.makedirs(build, exist_ok=True)
    with tempfile.TemporaryDirectory(dir=build) as work:
        inputs = []
        for copy in range(copies):
            folder = os.path.join(work, "in", str(copy))
            os.makedirs(folder)
            for pid, _ in pages:
                link = os.path.join(folder, pid + ".html")
                os.symlink(os.path.join(corpus, "pages", pid + ".html"), link)
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
    parser = argparse.ArgumentParser(description="Word-level quality of brevanto-extract on the shared corpora.")
    parser.add_argument("program", nargs="?",
                        default=os.path.join(ROOT, "build", "native-release", "cli", "brevanto-extract"))
    parser.add_argument("--corpus", action="append", metavar="DIR",
                        help="a corpus folder; give it again for more (default ../shared/corpus)")
    parser.add_argument("--modern-only", action="store_true", help="run the modern analysis alone")
    parser.add_argument("--worst", type=int, default=20, metavar="N", help="list the N worst pages (modern)")
    parser.add_argument("--keep", metavar="DIR", help="keep the written files under DIR")
    parser.add_argument("--batch", type=int, metavar="COPIES",
                        help="copies of the first corpus in the timed batch (0: none)")
    parser.add_argument("--half", choices=HALVES, help="measure only the pages of one half of every corpus")
    parser.add_argument("--split", action="store_true", help="print the F1 of each half per source")
    args = parser.parse_args()
    corpora = [locate(c) for c in args.corpus or [DEFAULT_CORPUS]]
    analyses = ANALYSES[:1] if args.modern_only else ANALYSES
    for number, corpus in enumerate(corpora):
        pages = read_manifest(corpus)
        if args.half:
            pages = [(pid, source) for pid, source in pages if half_of(pid) == args.half]
        name = os.path.basename(os.path.normpath(corpus))
        results = {}
        for analysis, options in analyses:
            keep = os.path.join(args.keep, name, analysis) if args.keep else None
            results[analysis] = run_analysis(args.program, options, corpus, pages, keep)
        if number > 0:
            print()
        print(f"## {name}: {len(pages)} pages\n")
        print_table(results)
        if args.split:
            print_halves(results)
        if args.worst > 0:
            print_worst(results["modern"], args.worst)

    first_pages = read_manifest(corpora[0])
    copies = args.batch if args.batch is not None else max(1, round(BATCH_PAGES / len(first_pages)))
    if copies > 0:
        count, wall, cpu = time_batch(args.program, corpora[0], first_pages, copies)
        print(f"\nbatch of {count} pages: {wall:.2f} s wall, {cpu:.2f} s CPU, wall/CPU {wall / cpu:.2f}")


if __name__ == "__main__":
    main()
