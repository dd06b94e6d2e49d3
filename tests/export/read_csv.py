#!/usr/bin/python3
"""Reads a CSV file with Python's csv module (an independent RFC 4180
reader) and prints its rows as one JSON list of lists.

usage: read_csv.py FILE
The file must be UTF-8 and every row must end in CR LF; exit status 1 and a
message otherwise.
"""
import csv
import json
import sys


def main():
    with open(sys.argv[1], "rb") as f:
        data = f.read()
    text = data.decode("utf-8")
    if text and not text.endswith("\r\n"):
        print("the last row does not end in CR LF", file=sys.stderr)
        return 1
    rows = list(csv.reader(_records(text), strict=True))
    widths = {len(r) for r in rows}
    if len(widths) > 1:
        print("rows of different widths: %s" % sorted(widths), file=sys.stderr)
        return 1
    json.dump(rows, sys.stdout, ensure_ascii=False)
    return 0


def _records(text):
    # csv.reader wants lines; line breaks inside quoted fields stay in the
    # field when the pieces are fed one after another.
    start = 0
    while start < len(text):
        end = text.find("\n", start)
        end = len(text) if end < 0 else end + 1
        yield text[start:end]
        start = end


if __name__ == "__main__":
    sys.exit(main())
