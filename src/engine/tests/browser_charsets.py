#!/usr/bin/env python3
"""Loads a page in each legacy charset, holding every byte sequence the program decodes, in a headless
browser and checks that the browser shows the characters the program decoded; and that it shows
U+FFFD for each byte the program refuses in a single-byte charset.

usage: browser_charsets.py CHROMIUM CHARSET_PAGES
(CHARSET_PAGES: the program that writes the pages and their decoded text)
"""

import concurrent.futures
import html.parser
import pathlib
import subprocess
import sys
import tempfile

from browser_check import dump


class Pre(html.parser.HTMLParser):
    """The text of the PRE element of a DOM the browser dumped."""

    def __init__(self, dom):
        super().__init__(convert_charrefs=True)
        self.text = ""
        self._inside = False
        self.feed(dom)

    def handle_starttag(self, tag, attrs):
        self._inside = self._inside or tag == "pre"

    def handle_endtag(self, tag):
        self._inside = self._inside and tag != "pre"

    def handle_data(self, data):
        if self._inside:
            self.text += data


def check(chromium, page):
    shown = Pre(dump(chromium, page)).text
    if page.stem.endswith("-refused"):
        expected = "\ufffd" * len(page.read_bytes().split(b"<pre>")[1].split(b"</pre>")[0])
    else:
        expected = page.with_suffix(".txt").read_text(encoding="utf-8")
    if shown == expected:
        return []
    at = next((i for i, (a, b) in enumerate(zip(shown, expected)) if a != b), min(len(shown), len(expected)))
    return [f"{page.stem}: from character {at} the browser shows {shown[at:at + 4]!r}, "
            f"the program {expected[at:at + 4]!r} ({len(shown)} and {len(expected)} characters)"]


def main():
    chromium, writer = sys.argv[1], sys.argv[2]
    with tempfile.TemporaryDirectory() as folder, concurrent.futures.ThreadPoolExecutor(4) as pool:
        subprocess.run([writer, folder], check=True)
        pages = sorted(pathlib.Path(folder).glob("*.htm"))
        problems = [problem for result in pool.map(lambda page: check(chromium, page), pages) for problem in result]
    for problem in problems:
        print(problem)
    print(f"{len(pages)} pages, {len(problems)} problems")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
