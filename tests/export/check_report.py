#!/usr/bin/python3
"""Loads an HTML report in headless Chromium, with no network, and checks
what the browser made of it.

usage: check_report.py REPORT EXPECTED_JSON [SCREENSHOT_PNG]

EXPECTED_JSON: {"tables": {"<table id>": [rows, deleted rows], ...},
                "texts": [text that must appear in some cell, ...],
                "images": number of <img> elements}
Checks that the browser loads the file, that each table has its rows (and
its rows marked deleted), that every text appears as text (so markup in a
record stays inert), and that the page refers to nothing outside itself:
every image is a data: URI and there is no script, link, frame or url().
With SCREENSHOT_PNG, also saves a screenshot of the page there.
Scripts stay on in the browser: headless Chromium reads the DOM and takes
screenshots through them, and with them off it answers nothing. That the
report reads the same with scripts off follows from the check that it has
no script element at all.
Exit status 0 when all holds.
"""
import html.parser
import json
import os
import shutil
import subprocess
import sys
import tempfile


class Dom(html.parser.HTMLParser):
    def __init__(self):
        super().__init__(convert_charrefs=True)
        self.tables = {}
        self.table = None
        self.in_tbody = False
        self.cells = []
        self.cell = None
        self.images = []
        self.external = []

    def handle_starttag(self, tag, attrs):
        a = dict(attrs)
        if tag == "table":
            self.table = a.get("id", "")
            self.tables[self.table] = [0, 0]
        elif tag == "tbody":
            self.in_tbody = True
        elif tag == "tr" and self.in_tbody and self.table is not None:
            self.tables[self.table][0] += 1
            if "deleted" in (a.get("class") or "").split():
                self.tables[self.table][1] += 1
        elif tag in ("td", "th"):
            self.cell = ""
        elif tag == "img":
            self.images.append(a.get("src") or "")
        if tag in ("script", "link", "iframe", "object", "embed", "base"):
            self.external.append(tag)
        for name in ("href", "srcset", "background"):
            if name in a:
                self.external.append("%s=%s" % (name, a[name]))

    def handle_endtag(self, tag):
        if tag == "tbody":
            self.in_tbody = False
        elif tag == "table":
            self.table = None
        elif tag in ("td", "th") and self.cell is not None:
            self.cells.append(self.cell)
            self.cell = None

    def handle_data(self, data):
        if self.cell is not None:
            self.cell += data


def chromium(args, home):
    browser = shutil.which("chromium") or shutil.which("chromium-browser")
    if not browser:
        raise SystemExit("chromium is not installed (scripts/debian-packages.txt lists it)")
    cmd = [browser, "--headless", "--no-sandbox", "--disable-gpu", "--no-first-run",
           # Containers often have a small /dev/shm.
           "--disable-dev-shm-usage",
           "--user-data-dir=" + os.path.join(home, "profile"),
           # Any name lookup fails: a reference outside the file loads nothing.
           "--host-resolver-rules=MAP * ~NOTFOUND"]
    cmd += args
    env = dict(os.environ, HOME=home)
    return subprocess.run(cmd, capture_output=True, timeout=120, env=env, check=True).stdout


def main():
    report = os.path.abspath(sys.argv[1])
    with open(sys.argv[2]) as f:
        expected = json.load(f)
    url = "file://" + report
    problems = []
    with tempfile.TemporaryDirectory() as home:
        dom_text = chromium(["--dump-dom", url], home).decode("utf-8")
        if len(sys.argv) > 3:
            chromium(["--hide-scrollbars", "--window-size=1200,900",
                      "--screenshot=" + os.path.abspath(sys.argv[3]), url], home)
            if not os.path.getsize(sys.argv[3]):
                problems.append("no screenshot")
    dom = Dom()
    dom.feed(dom_text)
    if "<h1>" not in dom_text:
        problems.append("the browser did not load the report")
    for table, (rows, deleted) in expected.get("tables", {}).items():
        got = dom.tables.get(table)
        if got is None:
            problems.append("no table %r" % table)
        elif got != [rows, deleted]:
            problems.append("table %r: %d rows, %d deleted; expected %d, %d" %
                            (table, got[0], got[1], rows, deleted))
    for text in expected.get("texts", []):
        if not any(text in cell for cell in dom.cells):
            problems.append("text %r is in no cell" % text)
    if "images" in expected and len(dom.images) != expected["images"]:
        problems.append("%d images, expected %d" % (len(dom.images), expected["images"]))
    problems += ["image not inline: %s" % src[:40] for src in dom.images
                 if not src.startswith("data:image/")]
    problems += ["refers outside itself: %s" % e for e in dom.external]
    if "url(" in dom_text:
        problems.append("a style refers to a url()")
    for p in problems:
        print(p)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
