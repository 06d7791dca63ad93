"""examples/dask_extract.py on a local cluster of two workers bound to
127.0.0.1, over a folder with a WARC made from the corpus pages, another with
one gzip member per record, and a page: every record comes back once, with
the text brevanto-extract gives for its page."""
import glob
import json
import os
import subprocess
import sys

import make_warc
from conftest import ROOT, command_line, corpus_pages, needs_corpus

EXAMPLE = os.path.join(ROOT, "examples", "dask_extract.py")


@needs_corpus
def test_dask_example_on_a_local_cluster(tmp_path):
    pages = corpus_pages()
    folder = tmp_path / "in"
    folder.mkdir()
    half = len(pages) // 2
    written = make_warc.write_archive(str(folder / "a.warc"), pages[:half], codings=True)
    written += make_warc.write_archive(str(folder / "b.warc.gz"), pages[half:-1], gzip_members=True, codings=True)
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
    expected = {url: path for url, path in written}
    expected[None] = pages[-1]
    seen = {}
    for record in records:
        key = None if record["source"] == single else record["url"]
        assert key not in seen, "twice: %s" % key
        seen[key] = record
    # Exactly the pages brevanto-extract can read come back: the others are
    # reported, not written.
    readable = {key for key, path in expected.items() if command_line_ok(path)}
    assert set(seen) == readable
    for key, record in seen.items():
        assert record["text"] == command_line(expected[key])[0], key
        assert record["analysis"] == "modern" and isinstance(record["warnings"], list)
    assert ("%d pages from 3 files" % len(readable)) in done.stderr
    assert done.returncode == (0 if len(readable) == len(expected) else 1), done.stderr


def command_line_ok(path):
    try:
        command_line(path)
        return True
    except subprocess.CalledProcessError:
        return False
