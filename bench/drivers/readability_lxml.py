"""readability-lxml over every page in one process: first a pass that writes
each page's text, then timed rounds until the budget is spent.

    readability_lxml.py OUTDIR BUDGET_SECONDS LIST   (LIST: path TAB charset per line)
"""
import json
import os
import sys
import time

import lxml.html
from readability import Document


def extract(html):
    summary = Document(html).summary(html_partial=True)
    return lxml.html.fromstring(summary).text_content() if summary.strip() else ""


def main():
    out_dir, budget, listing = sys.argv[1], float(sys.argv[2]), sys.argv[3]
    pages = []
    for line in open(listing, encoding="utf-8"):
        path, charset = line.rstrip("\n").split("\t")[:2]
        raw = open(path, "rb").read()
        pages.append((path, len(raw), raw.decode(charset, errors="replace")))
    for path, _, html in pages:
        name = os.path.splitext(os.path.basename(path))[0]
        try:
            text = extract(html)
        except Exception as error:  # a page the tool fails on scores nothing
            print(f"{name}: {error}", file=sys.stderr)
            text = ""
        with open(os.path.join(out_dir, name + ".txt"), "w", encoding="utf-8") as out:
            out.write(text)
    total = sum(size for _, size, _ in pages)
    start, cpu, rounds = time.perf_counter(), time.process_time(), 0
    while True:
        for _, _, html in pages:
            try:
                extract(html)
            except Exception:
                pass
        rounds += 1
        if time.perf_counter() - start >= budget:
            break
    print(json.dumps({"bytes": total, "rounds": rounds, "seconds": time.perf_counter() - start,
                      "cpu": time.process_time() - cpu}))


main()
