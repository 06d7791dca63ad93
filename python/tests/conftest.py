"""What the tests of the Python module share: brevanto-extract to compare
with (BREVANTO_EXTRACT), the developer corpus (BREVANTO_CORPUS, else
../shared/corpus/pages beside the repository; tests that need it are skipped
without it), and the pages of our own (tests/pages)."""
import functools
import glob
import json
import os
import re
import subprocess
import sys

import pytest

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
sys.path.insert(0, os.path.join(ROOT, "bench"))  # make_warc

CORPUS = os.environ.get("BREVANTO_CORPUS", os.path.join(ROOT, "..", "shared", "corpus", "pages"))
OWN_PAGES = sorted(glob.glob(os.path.join(ROOT, "tests", "pages", "*", "source.html")))
# The header of a text file: an empty line in the classic format, then the
# URL and title lines, each followed by an empty line in the classic format.
HEADER = re.compile(r"\A\n?url : ([^\n]*)\n\n?title : ([^\n]*)\n\n?")


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
    """What brevanto-extract gives for the page: (text, url, title), its text
    with LF line ends and without the header."""
    args = [extract_program(), "-o", "-"] + (["--classic"] if analysis == "classic" else [])
    if "--format" in subprocess.run([extract_program(), "--help"], capture_output=True, text=True).stdout:
        done = subprocess.run(args + ["--format", "json", path], capture_output=True, check=True)
        page = json.loads(done.stdout)
        return page["text"].replace("\r\n", "\n"), page["url"], page["title"]
    done = subprocess.run(args + [path], capture_output=True, check=True)
    file = done.stdout.decode("utf-8", "replace").replace("\r\n", "\n")
    header = HEADER.match(file)
    assert header, "no header in the output for " + path
    return file[header.end():], header.group(1), header.group(2)


def command_line_error(data, tmp_path, name="page.html"):
    """The message brevanto-extract gives for a page of these bytes."""
    path = tmp_path / name
    path.write_bytes(data)
    done = subprocess.run([extract_program(), "-o", "-", str(path)], capture_output=True, text=True)
    assert done.returncode == 1, done.stderr
    return done.stderr
