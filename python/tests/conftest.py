"""What the tests of the Python module share: brevanto-extract to compare
with (BREVANTO_EXTRACT), the developer corpus (BREVANTO_CORPUS, else
../shared/corpus/pages beside the repository; tests that need it are skipped
without it), and the pages of our own (tests/pages)."""
import functools
import glob
import json
import os
import subprocess
import sys

import pytest

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
sys.path.insert(0, os.path.join(ROOT, "bench"))  # make_warc

CORPUS = os.environ.get("BREVANTO_CORPUS", os.path.join(ROOT, "..", "shared", "corpus", "pages"))
OWN_PAGES = sorted(glob.glob(os.path.join(ROOT, "tests", "pages", "*", "source.html")))


def corpus_pages():
    return sorted(glob.glob(os.path.join(CORPUS, "*.html")))


needs_corpus = pytest.mark.skipif(not corpus_pages(), reason="no corpus at " + CORPUS)


def extract_program():
    program = os.environ.get("BREVANTO_EXTRACT")
    if not program or not os.access(program, os.X_OK):
        pytest.skip("BREVANTO_EXTRACT does not name the built brevanto-extract")
    return program


@functools.lru_cache(maxsize=None)
def command_line(path, analysis="modern"):
    """What brevanto-extract --format json gives for the page: (text, url,
    title). The modern text is the module's as it is; the classic one is the
    Windows server's file, in CR LF, which the module gives in LF."""
    args = [extract_program(), "--format", "json", "-o", "-"] + (["--classic"] if analysis == "classic" else [])
    done = subprocess.run(args + [path], capture_output=True, check=True)
    page = json.loads(done.stdout)
    text = page["text"] if analysis == "modern" else page["text"].replace("\r\n", "\n")
    return text, page["url"], page["title"]


def command_line_archive(*paths):
    """The JSON objects brevanto-extract writes for the pages of these
    archives and files, by their source."""
    done = subprocess.run([extract_program(), "--format", "jsonl"] + list(paths), capture_output=True)
    assert done.returncode in (0, 1), done.stderr
    objects = [json.loads(line) for line in done.stdout.decode("utf-8").splitlines()]
    return {page["source"]: page for page in objects}


def command_line_error(data, tmp_path, name="page.html"):
    """The message brevanto-extract gives for a page of these bytes."""
    path = tmp_path / name
    path.write_bytes(data)
    done = subprocess.run([extract_program(), "-o", "-", str(path)], capture_output=True, text=True)
    assert done.returncode == 1, done.stderr
    return done.stderr
