#!/usr/bin/env python3
"""Replaces the text between named markers of a Markdown page, written as
<!-- begin NAME (bench/page.sh) --> and <!-- end NAME -->, with the contents
of files. The page is written to a file beside it and renamed over it, so
that a failure leaves it as it was.
Usage: splice.py PAGE NAME FILE [NAME FILE...]
"""
import os
import sys


def splice(text, name, content):
    begin = f"<!-- begin {name} (bench/page.sh) -->"
    end = f"<!-- end {name} -->"
    start = text.find(begin)
    stop = text.find(end)
    if start < 0 or stop < start:
        sys.exit(f"splice.py: no markers for {name}: {begin} ... {end}")
    return text[: start + len(begin)] + "\n" + content.rstrip("\n") + "\n" + text[stop:]


def main():
    if len(sys.argv) < 4 or len(sys.argv) % 2 != 0:
        sys.exit(__doc__)
    page = sys.argv[1]
    with open(page) as f:
        text = f.read()
    for name, path in zip(sys.argv[2::2], sys.argv[3::2]):
        with open(path) as f:
            text = splice(text, name, f.read())
    partial = page + ".new"
    with open(partial, "w") as f:
        f.write(text)
    os.replace(partial, page)


if __name__ == "__main__":
    main()
