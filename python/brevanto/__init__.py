"""The main text of web pages: the analysis of brevanto-extract for Python.

    import brevanto
    page = brevanto.extract(open("article.html", "rb").read())
    print(page.title, page.text)
    for page in brevanto.iter_warc("crawl.warc.gz"):
        print(page.source, page.url, len(page.text))

Bytes are read as a browser reads them (a byte-order mark, else the encoding
given, else a <meta> charset, else UTF-8 when valid, else windows-1252); a str
is a page already decoded. The analysis runs without the interpreter lock, so
threads extract pages in parallel. Bad input raises ValueError with the
message brevanto-extract gives.
"""
import os
import warnings

from ._brevanto import DEFAULT_RECORD_LIMIT, Page, WarcPages as _WarcPages, extract_bytes as _extract_bytes
from ._brevanto import file_url as _file_url

__all__ = ["ArchiveWarning", "Page", "WarcPages", "extract", "extract_file", "iter_warc"]

ANALYSES = ("modern", "classic")


class ArchiveWarning(UserWarning):
    """Something in a web archive that cost records or a page: damage, or a
    page with nothing to analyse. Reading went on with the next record."""


def _check_analysis(analysis):
    if analysis not in ANALYSES:
        raise ValueError('analysis must be "modern" or "classic", not %r' % (analysis,))


def extract(html, url=None, title=None, encoding=None, analysis="modern"):
    """The main text of one page.

    html      the page: bytes (decoded as a browser would, `encoding` first
              after a byte-order mark), or str (already decoded)
    url       the URL for the result (default: the page's own, if it names one)
    title     the title (default: the page's <title>)
    encoding  the page's encoding label, for bytes only
    analysis  "modern" (default) or "classic", the Windows server's own
    """
    _check_analysis(analysis)
    if isinstance(html, str):
        if encoding is not None:
            raise TypeError("encoding applies to bytes; a str is already decoded")
        data, label = html.encode("utf-8", "surrogatepass"), "utf-8"
    elif isinstance(html, (bytes, bytearray, memoryview)):
        data, label = bytes(html), encoding or ""
    else:
        raise TypeError("html must be bytes or str, not %s" % type(html).__name__)
    return _extract_bytes(data, label, url, title, "", analysis)


def extract_file(path, url=None, title=None, encoding=None, analysis="modern"):
    """The main text of the saved page at `path`, read as brevanto-extract
    reads a file: its URL, unless the page or `url` names one, is the file's
    file:// URL."""
    _check_analysis(analysis)
    with open(path, "rb") as f:
        data = f.read()
    return _extract_bytes(data, encoding or "", url, title, _file_url(os.fsencode(path)), analysis)


class WarcPages:
    """The HTML pages of a web archive (.warc or .warc.gz, told by content),
    read as a stream. Each is a Page with .source, .record_id and .offset,
    read as brevanto-extract reads it: its URL the one it was fetched from,
    its bytes decoded after a byte-order mark by `encoding` when given, else
    by the charset it was served with, else as a browser decides. Damage and
    pages without text are reported as ArchiveWarning, and reading goes on;
    `counts` says how many records were read, skipped and lost."""

    def __init__(self, path, analysis="modern", record_limit=DEFAULT_RECORD_LIMIT, encoding=None):
        _check_analysis(analysis)
        self._file = open(path, "rb")
        try:
            self._pages = _WarcPages(self._file.fileno(), os.fsdecode(path), analysis, encoding or "", record_limit)
        except BaseException:
            self._file.close()
            raise
        self.warnings = []

    def __iter__(self):
        return self

    def __next__(self):
        if self._file.closed:
            raise StopIteration
        page = self._pages.next()
        for message in self._pages.take_warnings():
            self.warnings.append(message)
            warnings.warn(message, ArchiveWarning, stacklevel=2)
        if page is None:
            self.close()
            raise StopIteration
        return page

    @property
    def counts(self):
        """records read whole, pages given, failed (HTML without text), skipped
        (not HTML pages), damaged (lost to damage)."""
        return self._pages.counts()

    def close(self):
        self._file.close()

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()


def iter_warc(path, analysis="modern", record_limit=DEFAULT_RECORD_LIMIT, encoding=None):
    """The HTML pages of the web archive at `path`, one Page each; see
    WarcPages."""
    return WarcPages(path, analysis, record_limit, encoding)
