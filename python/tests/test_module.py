"""The Python module gives what brevanto-extract gives, raises what it
reports, and gives the same from many threads as from one."""
import concurrent.futures
import os
import warnings

import pytest

import brevanto
import make_warc
from conftest import OWN_PAGES, command_line, command_line_archive, command_line_error, corpus_pages, needs_corpus


@needs_corpus
@pytest.mark.parametrize("analysis", ["modern", "classic"])
def test_corpus_as_the_command_line_gives_it(analysis):
    differ = []
    for path in corpus_pages():
        page = brevanto.extract_file(path, analysis=analysis)
        if (page.text, page.url, page.title) != command_line(path, analysis):
            differ.append(os.path.basename(path))
    assert not differ, "%d pages differ from brevanto-extract: %s" % (len(differ), differ[:5])


def test_bytes_str_and_the_arguments():
    markup = "<title>Caf\u00e9</title><p>Un caf\u00e9 serr\u00e9, s'il vous pla\u00eet.</p>"
    cases = [
        # html, arguments, text, title, url, encoding
        (markup.encode("utf-8"), {}, "Un caf\u00e9 serr\u00e9, s'il vous pla\u00eet.\n", "Caf\u00e9", "", "UTF-8"),
        (markup.encode("cp1252"), {}, None, "Caf\u00e9", "", "windows-1252"),
        (markup.encode("cp1252"), {"encoding": "latin1"}, None, "Caf\u00e9", "", "windows-1252"),
        (markup.encode("utf-16"), {}, None, "Caf\u00e9", "", "UTF-16LE"),
        (markup, {}, None, "Caf\u00e9", "", "UTF-8"),
        (bytearray(markup.encode("utf-8")), {"url": "https://a.example/", "title": "  Own  title "}, None,
         "Own title", "https://a.example/", "UTF-8"),
    ]
    for html, arguments, text, title, url, encoding in cases:
        page = brevanto.extract(html, **arguments)
        assert page.text == (text or cases[0][2]), arguments
        assert (page.title, page.url, page.encoding, page.analysis) == (title, url, encoding, "modern"), arguments
        assert page.source is None and page.warnings == []


def test_errors_are_exceptions(tmp_path):
    # Bad pages: the message is brevanto-extract's.
    for data in [b"", b"\x7fELF\x02\x01\x01\x00\x00\x00\x00\x00" * 20, b"<html><body>  </body></html>"]:
        with pytest.raises(ValueError) as raised:
            brevanto.extract(data)
        assert str(raised.value) in command_line_error(data, tmp_path)
    with pytest.raises(ValueError, match="no-such-label"):
        brevanto.extract(b"<p>x", encoding="no-such-label")
    # Bad calls.
    calls = [
        (lambda: brevanto.extract(b"<p>x", analysis="fancy"), ValueError, "analysis"),
        (lambda: brevanto.extract(42), TypeError, "bytes or str"),
        (lambda: brevanto.extract("<p>x", encoding="utf-8"), TypeError, "already decoded"),
        (lambda: brevanto.extract_file(tmp_path / "missing.html"), FileNotFoundError, "missing"),
        (lambda: brevanto.extract_file(tmp_path), IsADirectoryError, ""),
        (lambda: brevanto.iter_warc(OWN_PAGES[0]), ValueError, "not a WARC archive"),
    ]
    for call, error, message in calls:
        with pytest.raises(error, match=message):
            call()


def test_threads_give_what_one_gives():
    pages = (corpus_pages() or OWN_PAGES) * 2
    def extract(path):
        page = brevanto.extract_file(path)
        return page.text, page.title, page.url, page.encoding
    alone = [extract(path) for path in pages]
    with concurrent.futures.ThreadPoolExecutor(4) as pool:
        assert list(pool.map(extract, pages)) == alone


def test_archive_pages_are_the_files_pages(tmp_path):
    """Each page of an archive is its page as a file, and what
    brevanto-extract gives for that record."""
    pages = corpus_pages() or OWN_PAGES
    for gzip_members in (False, True):
        archive = str(tmp_path / ("pages.warc.gz" if gzip_members else "pages.warc"))
        written = make_warc.write_archive(archive, pages, gzip_members=gzip_members, codings=True)
        with warnings.catch_warnings(record=True) as caught:
            warnings.simplefilter("always")
            reader = brevanto.iter_warc(archive)
            got = {page.url: page for page in reader}
        program = command_line_archive(archive)
        assert sorted(program) == sorted(page.source for page in got.values())
        for page in got.values():
            assert program[page.source] == {"url": page.url, "title": page.title, "text": page.text,
                                            "analysis": "modern", "encoding": page.encoding,
                                            "source": page.source, "warnings": page.warnings}, page.source
        failed = [url for url, path in written if url not in got]
        assert len(got) + len(failed) == len(written)
        assert reader.counts == {"records": 3 * len(written) + 1, "pages": len(got), "failed": len(failed),
                                 "skipped": 2 * len(written) + 1, "damaged": 0}
        assert len(caught) == len(failed) and all(w.category is brevanto.ArchiveWarning for w in caught)
        for url, path in written:
            if url in got:
                assert got[url].text == brevanto.extract_file(path).text, url
                assert got[url].source.startswith(archive + ":%d <urn:uuid:" % got[url].offset)


def test_damage_in_an_archive_is_a_warning(tmp_path):
    archive = tmp_path / "cut.warc.gz"
    written = make_warc.write_archive(str(archive), OWN_PAGES[:3], gzip_members=True)
    archive.write_bytes(archive.read_bytes()[:-40])
    with pytest.warns(brevanto.ArchiveWarning, match=r"cut\.warc\.gz:\d+: the gzip member breaks off"):
        urls = [page.url for page in brevanto.iter_warc(archive)]
    assert urls == [url for url, _ in written]


def test_archive_charset_in_the_browser_order(tmp_path):
    words = "\u041f\u0440\u0438\u0432\u0435\u0442 \u043c\u0438\u0440"  # Cyrillic, in windows-1251 or KOI8-R
    cases = [
        # Content-Type of the response, the page's bytes, the encoding read
        ("text/html; charset=windows-1251", b"<p>" + words.encode("cp1251"), "windows-1251"),
        ('text/html; charset="KOI8-R"', b'<meta charset="windows-1251"><p>' + words.encode("koi8_r"), "KOI8-R"),
        ("text/html; charset=no-such-label", b'<meta charset="koi8-r"><p>' + words.encode("koi8_r"), "KOI8-R"),
        ("text/html; charset=koi8-r", b"\xef\xbb\xbf<p>" + words.encode("utf-8"), "UTF-8"),
    ]
    archive = tmp_path / "charsets.warc"
    with open(archive, "wb") as out:
        for n, (content_type, body, _) in enumerate(cases):
            http = b"HTTP/1.1 200 OK\r\nContent-Type: " + content_type.encode() + b"\r\n\r\n" + body
            out.write(make_warc.record("response", http, [("WARC-Target-URI", "https://a.example/%d" % n)]))
    pages = list(brevanto.iter_warc(archive))
    assert [(p.url, p.encoding, words in p.text) for p in pages] == [
        ("https://a.example/%d" % n, encoding, True) for n, (_, _, encoding) in enumerate(cases)]
    assert [page["encoding"] for page in command_line_archive(str(archive)).values()] == [p.encoding for p in pages]
    # The caller's encoding comes after a byte-order mark, before the HTTP
    # charset.
    assert [p.encoding for p in brevanto.iter_warc(archive, encoding="koi8-r")] == ["KOI8-R"] * 3 + ["UTF-8"]
    with pytest.raises(ValueError, match="unknown encoding 'no-such-label'"):
        brevanto.iter_warc(archive, encoding="no-such-label")
