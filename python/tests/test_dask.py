"""examples/dask_extract.py on a local cluster of two workers bound to
127.0.0.1, over a folder with a WARC made from the corpus pages, another with
one gzip member per record, and a page: every page comes back once, as the
JSON object brevanto-extract writes for the same archives and page."""
import glob
import json
import os
import subprocess
import sys

import make_warc
from conftest import ROOT, command_line_archive, corpus_pages, needs_corpus

EXAMPLE = os.path.join(ROOT, "examples", "dask_extract.py")


@needs_corpus
def test_dask_example_on_a_local_cluster(tmp_path):
    pages = corpus_pages()
    folder = tmp_path / "in"
    folder.mkdir()
    half = len(pages) // 2
    archives = [str(folder / "a.warc"), str(folder / "b.warc.gz")]
    make_warc.write_archive(archives[0], pages[:half], codings=True)
    make_warc.write_archive(archives[1], pages[half:-1], gzip_members=True, codings=True)
    single = str(folder / os.path.basename(pages[-1]))
    with open(pages[-1], "rb") as source, open(single, "wb") as copy:
        copy.write(source.read())
    out = tmp_path / "out"
    env = dict(os.environ, PYTHONPATH=os.pathsep.join(sys.path))
    done = subprocess.run([sys.executable, EXAMPLE, "--workers", "2", str(folder), str(out)], env=env,
                          capture_output=True, text=True, timeout=600)
    assert done.returncode in (0, 1), done.stderr

    partitions = sorted(glob.glob(str(out / "*.jsonl")))
    assert [os.path.basename(p) for p in partitions] == ["part-00000.jsonl", "part-00001.jsonl", "part-00002.jsonl"]
    records = [json.loads(line) for p in partitions for line in open(p, encoding="utf-8")]
    # The task of each file names it by its absolute path, as here.
    program = command_line_archive(*archives, single)
    by_source = {}
    for record in records:
        assert record["source"] not in by_source, "twice: %s" % record["source"]
        by_source[record["source"]] = record
    assert sorted(by_source) == sorted(program)
    for source, record in by_source.items():
        assert record == program[source], source
    assert len(program) > half and single in program
    assert ("%d pages from 3 files" % len(program)) in done.stderr
    written = len(pages)
    assert done.returncode == (0 if len(program) == written else 1), done.stderr
