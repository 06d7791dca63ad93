#!/usr/bin/python3
"""Extracts the main text of a folder of web archives (.warc, .warc.gz) and
saved pages on a Dask cluster with the brevanto module: one task per file,
each writing one JSON Lines partition, OUT/part-NNNNN.jsonl, with one object
per page: url, title, text, analysis, encoding, source, warnings.

  dask_extract.py [--scheduler tcp://HOST:PORT] [--workers N] [--classic] IN OUT

Without --scheduler it starts a local cluster of N worker processes (default:
one per CPU) bound to 127.0.0.1. With it, the same job runs on that cluster:
every worker needs the brevanto module installed, and IN and OUT must be
paths that the workers see (a shared file system). Archives are told from
pages by their content. A summary line per file, warnings and failures go to
standard error; the exit status is 1 when a file or a page failed.
"""
import argparse
import json
import os
import sys

GZIP_MAGIC = b"\x1f\x8b"


def is_archive(path):
    with open(path, "rb") as f:
        head = f.read(6)
    return head.startswith(GZIP_MAGIC) or (head.startswith(b"WARC/") and head[5:6].isdigit())


def extract_to_partition(path, out_path, analysis):
    """One task: the pages of one file into one JSON Lines partition, written
    beside it and renamed into place, so that a partition is whole or absent.
    Returns what the client reports."""
    import warnings

    import brevanto

    summary = {"file": path, "partition": out_path, "pages": 0, "failed": 0, "messages": []}

    def line(page, source):
        return json.dumps({"url": page.url, "title": page.title, "text": page.text, "analysis": page.analysis,
                           "encoding": page.encoding, "source": source, "warnings": page.warnings},
                          ensure_ascii=False) + "\n"

    temporary = out_path + ".tmp"
    with open(temporary, "w", encoding="utf-8") as out:
        try:
            if is_archive(path):
                with warnings.catch_warnings(record=True) as caught:
                    warnings.simplefilter("always", brevanto.ArchiveWarning)
                    pages = brevanto.iter_warc(path, analysis=analysis)
                    for page in pages:
                        out.write(line(page, page.source))
                        summary["pages"] += 1
                summary["messages"] += [str(w.message) for w in caught]
                summary["failed"] += pages.counts["failed"]
            else:
                page = brevanto.extract_file(path, analysis=analysis)
                out.write(line(page, path))
                summary["pages"] += 1
        except (OSError, ValueError) as error:
            summary["failed"] += 1
            summary["messages"].append("%s: %s" % (path, error))
    os.replace(temporary, out_path)
    return summary


def input_files(folder):
    """Every regular file under `folder` that is not hidden, in name order."""
    files = []
    for root, dirs, names in os.walk(folder):
        dirs[:] = sorted(d for d in dirs if not d.startswith("."))
        files += [os.path.join(root, n) for n in sorted(names) if not n.startswith(".")]
    return [f for f in files if os.path.isfile(f)]


def main():
    parser = argparse.ArgumentParser(description="Main text of a folder of WARC files and pages, on a Dask cluster.")
    parser.add_argument("--scheduler", help="tcp://HOST:PORT of a running cluster (default: a local one)")
    parser.add_argument("--workers", type=int, default=os.cpu_count(), help="workers of the local cluster")
    parser.add_argument("--classic", action="store_true", help="the Windows server's analysis")
    parser.add_argument("input", help="folder of .warc, .warc.gz and saved pages")
    parser.add_argument("output", help="folder for the JSON Lines partitions")
    args = parser.parse_args()

    from dask.distributed import Client, LocalCluster, as_completed

    files = input_files(args.input)
    if not files:
        print("dask_extract: no files in %s" % args.input, file=sys.stderr)
        return 1
    os.makedirs(args.output, exist_ok=True)
    if args.scheduler:
        cluster = None
        client = Client(args.scheduler)
    else:
        cluster = LocalCluster(n_workers=args.workers, threads_per_worker=1, host="127.0.0.1",
                               dashboard_address=None)
        client = Client(cluster)
    analysis = "classic" if args.classic else "modern"
    try:
        futures = [client.submit(extract_to_partition, os.path.abspath(path),
                                 os.path.abspath(os.path.join(args.output, "part-%05d.jsonl" % i)), analysis,
                                 pure=False)
                   for i, path in enumerate(files)]
        pages = failed = done = 0
        for future in as_completed(futures):
            summary = future.result()
            done += 1
            pages += summary["pages"]
            failed += summary["failed"]
            for message in summary["messages"]:
                print("dask_extract: %s" % message, file=sys.stderr)
            print("[%d/%d] %s: %d pages" % (done, len(files), summary["file"], summary["pages"]), file=sys.stderr)
    finally:
        client.close()
        if cluster is not None:
            cluster.close()
    print("dask_extract: %d pages from %d files into %s, %d failed" % (pages, len(files), args.output, failed),
          file=sys.stderr)
    return 0 if failed == 0 else 1


if __name__ == "__main__":
    sys.exit(main())
