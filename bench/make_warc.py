#!/usr/bin/python3
"""Writes a web archive (WARC 1.1) of saved pages, as a crawler would have
recorded fetching them: per page a request, the HTTP response, and a metadata
record, after one warcinfo record.

  make_warc.py [--gzip] [--codings] [--size MB] OUT PAGE...

--gzip     one gzip member per record (a .warc.gz)
--codings  bodies in turn plain, chunked, gzip, and chunked gzip, so that every
           transfer and content coding a reader must undo is in the archive
--size MB  repeat the pages until the archive holds at least MB megabytes

Each page's URL is https://pages.example/NAME, NAME its file name (its folder
and file name when file names repeat; "/N" appended on repeats); its HTTP Content-Type names no charset, so that a reader
decides the encoding as it does for the file itself. Used by the tests, the
fuzz seeds and the archive benchmark; the archive is written where OUT says,
never into the source tree by the scripts that call it.
"""
import argparse
import gzip
import os
import sys
import uuid

BASE_URL = "https://pages.example/"
CHUNK = 4096
CODINGS = ("plain", "chunked", "gzip", "chunked-gzip")


def page_names(pages):
    """Each page's name: its file name, or its folder and file name when file
    names repeat (tests/pages/*/source.html)."""
    names = [os.path.basename(path) for path in pages]
    if len(set(names)) == len(names):
        return names
    return [os.path.basename(os.path.dirname(os.path.abspath(path))) + "/" + name for path, name in zip(pages, names)]


def record(kind, block, fields):
    head = ["WARC/1.1", "WARC-Type: " + kind, "WARC-Record-ID: <urn:uuid:%s>" % uuid.uuid4(),
            "WARC-Date: 2024-01-01T00:00:00Z"]
    head += ["%s: %s" % item for item in fields]
    head.append("Content-Length: %d" % len(block))
    return ("\r\n".join(head) + "\r\n\r\n").encode() + block + b"\r\n\r\n"


def chunked(body):
    out = bytearray()
    for at in range(0, len(body), CHUNK):
        piece = body[at:at + CHUNK]
        out += b"%x\r\n" % len(piece) + piece + b"\r\n"
    return bytes(out) + b"0\r\n\r\n"


def http_response(body, coding):
    headers = ["HTTP/1.1 200 OK", "Content-Type: text/html"]
    if coding in ("gzip", "chunked-gzip"):
        body = gzip.compress(body, mtime=0)
        headers.append("Content-Encoding: gzip")
    if coding in ("chunked", "chunked-gzip"):
        body = chunked(body)
        headers.append("Transfer-Encoding: chunked")
    else:
        headers.append("Content-Length: %d" % len(body))
    return ("\r\n".join(headers) + "\r\n\r\n").encode() + body


def page_records(url, body, coding):
    host = url.split("/")[2]
    request = ("GET /%s HTTP/1.1\r\nHost: %s\r\n\r\n" % (url.split("/", 3)[3], host)).encode()
    fields = [("WARC-Target-URI", url)]
    yield record("request", request, fields + [("Content-Type", "application/http; msgtype=request")])
    yield record("response", http_response(body, coding),
                 fields + [("Content-Type", "application/http; msgtype=response")])
    yield record("metadata", b"fetchTimeMs: 1\r\n", fields + [("Content-Type", "application/warc-fields")])


def write_archive(out, pages, gzip_members=False, codings=False, size_mb=0):
    """Writes the archive; returns the (url, path) of every page, in order."""
    written = []
    total = 0
    with open(out, "wb") as sink:
        def put(data):
            nonlocal total
            data = gzip.compress(data, mtime=0) if gzip_members else data
            sink.write(data)
            total += len(data)

        put(record("warcinfo", b"software: make_warc.py\r\n", [("Content-Type", "application/warc-fields")]))
        names = page_names(pages)
        repeat = 0
        while True:
            for path, name in zip(pages, names):
                with open(path, "rb") as f:
                    body = f.read()
                url = BASE_URL + name + ("" if repeat == 0 else "/%d" % repeat)
                coding = CODINGS[len(written) % len(CODINGS)] if codings else "plain"
                for data in page_records(url, body, coding):
                    put(data)
                written.append((url, path))
            repeat += 1
            if not pages or total >= size_mb * 1000 * 1000:
                return written


def main():
    parser = argparse.ArgumentParser(description="Writes a WARC archive of saved pages.")
    parser.add_argument("--gzip", action="store_true", help="one gzip member per record")
    parser.add_argument("--codings", action="store_true", help="chunked and gzip bodies in turn")
    parser.add_argument("--size", type=float, default=0, help="repeat the pages up to this many MB")
    parser.add_argument("out")
    parser.add_argument("pages", nargs="+")
    args = parser.parse_args()
    written = write_archive(args.out, args.pages, args.gzip, args.codings, args.size)
    print("%s: %d pages, %d bytes" % (args.out, len(written), os.path.getsize(args.out)), file=sys.stderr)


if __name__ == "__main__":
    main()
