#!/usr/bin/env python3
"""Loads each page of a golden site written with a site address (SITE_DIR/expected/*.htm*) in a
headless browser and checks that the browser finds in document.head what a link preview is made from:
one canonical link, og:type, og:title, og:url and twitter:card, each once, and the page's own
og: properties not doubled.

usage: browser_sharing_check.py CHROMIUM SITE_DIR
"""

import collections
import html.parser
import pathlib
import sys

from browser_check import dump


class Head(html.parser.HTMLParser):
    """The canonical links and the og: and twitter: properties of the head of a DOM the browser dumped."""

    def __init__(self, dom):
        super().__init__(convert_charrefs=True)
        self.tags = collections.Counter()
        self.values = {}
        self._in_head = False
        self.feed(dom)

    def handle_starttag(self, tag, attrs):
        attrs = dict(attrs)
        if tag == "head":
            self._in_head = True
        elif tag == "body":
            self._in_head = False
        if not self._in_head:
            return
        if tag == "link" and (attrs.get("rel") or "").lower() == "canonical":
            self.tags["canonical"] += 1
            self.values["canonical"] = attrs.get("href")
        elif tag == "meta":
            key = attrs.get("property") or attrs.get("name") or ""
            if key.startswith(("og:", "twitter:")):
                self.tags[key] += 1
                self.values[key] = attrs.get("content")

    def handle_endtag(self, tag):
        if tag == "head":
            self._in_head = False


def main():
    chromium, site = sys.argv[1], pathlib.Path(sys.argv[2]).resolve()
    pages = sorted(p for p in (site / "expected").iterdir() if p.suffix in (".htm", ".html"))
    problems = []
    for page in pages:
        head = Head(dump(chromium, page))
        for key in ("canonical", "og:type", "og:title", "og:url", "twitter:card"):
            if head.tags[key] != 1:
                problems.append(f"{page.name}: {key} in the head {head.tags[key]} times: {dict(head.tags)}")
        if not (head.values.get("og:url") or "").startswith("http"):
            problems.append(f"{page.name}: og:url is no absolute address: {head.values.get('og:url')!r}")
    for problem in problems:
        print(problem)
    print(f"{len(pages)} pages, {len(problems)} problems")
    return 1 if problems or not pages else 0


if __name__ == "__main__":
    sys.exit(main())
