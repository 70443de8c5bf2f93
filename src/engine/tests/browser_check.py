#!/usr/bin/env python3
"""Loads each golden page in UTF-16 or another charset in a headless browser, before and after its
run (NAME.src.htm and NAME.expected.htm), and checks that the browser shows the same body and, in the
head of the page after the run, the new META lines with their texts as characters.

usage: browser_check.py CHROMIUM DATA_DIR
"""

import concurrent.futures
import html.parser
import json
import pathlib
import shutil
import subprocess
import sys
import tempfile

FLAGS = [
    "--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
    "--disable-background-networking", "--disable-component-update", "--disable-sync",
]


class Page(html.parser.HTMLParser):
    """The META NAME tags and the text of the body of a DOM the browser dumped."""

    def __init__(self, dom):
        super().__init__(convert_charrefs=True)
        self.metas = {}  # name: (content, in the head)
        self.body = ""
        self.text = ""
        self._in_body = False
        self.feed(dom)

    def handle_starttag(self, tag, attrs):
        attrs = dict(attrs)
        if tag == "body":
            self._in_body = True
        if tag == "meta" and "name" in attrs:
            self.metas.setdefault(attrs["name"].lower(), (attrs.get("content"), not self._in_body))

    def handle_data(self, data):
        self.text += data
        if self._in_body:
            self.body += data


def dump(chromium, path):
    profile = tempfile.mkdtemp(prefix="tagsmith-browser-")
    try:
        result = subprocess.run([chromium, *FLAGS, "--user-data-dir=" + profile, "--dump-dom", path.as_uri()],
                                capture_output=True, timeout=120, check=True)
        return result.stdout.decode("utf-8")
    finally:
        shutil.rmtree(profile, ignore_errors=True)


def check(chromium, work, source):
    name = source.name[: -len(".src.htm")]
    options = json.loads(source.with_name(name + ".json").read_text())
    if "note" in options:
        return []  # read as Windows-1252 on purpose: the browser reads it otherwise
    before = work / (name + ".before.htm")
    after = work / (name + ".after.htm")
    shutil.copyfile(source, before)
    shutil.copyfile(source.with_name(name + ".expected.htm"), after)
    old, new = Page(dump(chromium, before)), Page(dump(chromium, after))
    problems = []
    if not old.body.strip() or old.body.strip() != new.body.strip():
        problems.append(f"{name}: the body shows other characters:\n  before {old.body!r}\n  after  {new.body!r}")
    # A page without a head gets the block at its end, which a browser takes into the body.
    in_head = "no-head" not in name
    keywords, keywords_in_head = new.metas.get("keywords", (None, False))
    if not keywords or keywords == "old" or keywords_in_head != in_head:
        problems.append(f"{name}: no new keywords line in the head: {new.metas}")
    else:
        # Each keyword is made of characters of the page (a word may leave out some, such as "ß").
        shown = set(old.text.lower())
        for word in keywords.split(", "):
            if not set(word.lower()) <= shown:
                problems.append(f"{name}: keyword {word!r} shows characters the page does not have")
    description = options.get("description")
    if description is not None and new.metas.get("description", (None,))[0] != description:
        problems.append(f"{name}: description shown as {new.metas.get('description')!r}, not {description!r}")
    return problems


def main():
    chromium, data = sys.argv[1], pathlib.Path(sys.argv[2])
    sources = sorted(data.glob("*.src.htm"))
    if not sources:
        print("no golden pages in", data)
        return 1
    with tempfile.TemporaryDirectory() as folder, concurrent.futures.ThreadPoolExecutor(4) as pool:
        results = pool.map(lambda source: check(chromium, pathlib.Path(folder), source), sources)
        problems = [problem for result in results for problem in result]
    for problem in problems:
        print(problem)
    print(f"{len(sources)} pages, {len(problems)} problems")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
