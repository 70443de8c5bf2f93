#!/usr/bin/env python3
"""Measures what the most telling words mode writes on real documentation sites, as a site owner sees it.

Builds one flat site from each documentation folder (the HTML pages Debian's packages install, such as
/usr/share/doc/nodejs/api), runs `tagsmith-batch SITE --main SITE/index.html --top-keywords 15
--page-descriptions --dry-run --report CSV` on it with each build given, and prints per site and in all:

- shared descriptions: the pages whose description stands on more than one page of the site (the same
  navigation bar, copyright line or cookie note on every page), of the pages that got a description;
- no description: the pages that got none (no description tag and no paragraph of their own);
- glued or hashes: the keywords that are no word a reader sees on the page (letters and digits with an
  apostrophe or hyphen between letters; the main page: on any page of the site), such as "postgresfdw"
  from "postgres_fdw", or that are hexadecimal numbers of 8 or more characters with a digit (commit hashes).

    bench/measure_descriptions.py --build-dir build --before-build-dir ../base/build
    bench/measure_descriptions.py --build-dir build /usr/share/doc/valgrind/html

Nothing is written into the folders measured: the run is dry and works on a copy.
"""

import argparse
import csv
import html.parser
import os
import re
import shutil
import subprocess
import sys
import tempfile
from collections import Counter

DEFAULT_FOLDERS = [
    "/usr/share/doc/nodejs/api",
    "/usr/share/doc/valgrind/html",
    "/usr/share/doc/libxslt1-dev/html",
    "/usr/share/doc/lintian/api.html",
]
WORD = re.compile(r"[^\W_]+(?:(?<=[^\W\d_])['\u2019-](?=[^\W\d_])[^\W_]+)*")
HASH = re.compile(r"^(?=.*[0-9])[0-9a-f]{8,}$", re.IGNORECASE)


class TextOf(html.parser.HTMLParser):
    """The text of a page as a reader sees it: no markup, no scripts or styles."""

    def __init__(self):
        super().__init__(convert_charrefs=True)
        self.parts = []
        self.skipped = 0

    def handle_starttag(self, tag, attrs):
        if tag in ("script", "style"):
            self.skipped += 1
        self.parts.append(" ")

    def handle_endtag(self, tag):
        if tag in ("script", "style") and self.skipped:
            self.skipped -= 1
        self.parts.append(" ")

    def handle_data(self, data):
        if not self.skipped:
            self.parts.append(data)


def reader_words(path):
    with open(path, "rb") as f:
        data = f.read()
    try:
        text = data.decode("utf-8")
    except UnicodeDecodeError:
        text = data.decode("cp1252", errors="replace")
    parser = TextOf()
    parser.feed(text)
    parser.close()
    words = set()
    for word in WORD.findall("".join(parser.parts)):
        word = word.replace("\u2019", "'").lower()
        words.add(word)
        if word.endswith("'s"):
            words.add(word[:-2])
    return words


def flat_site(folder, into):
    """Copies the folder's pages into one folder (a page list is one folder), named by their paths."""
    os.makedirs(into)
    for root, _, files in os.walk(folder):
        for name in sorted(files):
            if name.lower().endswith((".htm", ".html")):
                relative = os.path.relpath(os.path.join(root, name), folder)
                shutil.copyfile(os.path.join(root, name), os.path.join(into, relative.replace(os.sep, "_")))
    return into


def measure(batch, site):
    report = os.path.join(os.path.dirname(site), "report.csv")
    argv = [batch, site, "--top-keywords", "15", "--page-descriptions", "--dry-run", "--no-undo", "--quiet",
            "--report", report]
    main = os.path.join(site, "index.html")
    if os.path.exists(main):
        argv += ["--main", main]
    result = subprocess.run(argv, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
    if result.returncode != 0:
        sys.exit(f"{batch} failed with {result.returncode}:\n{result.stderr.decode(errors='replace')}")
    with open(report, newline="", encoding="utf-8") as f:
        rows = list(csv.DictReader(f))
    os.remove(report)
    words = {name: reader_words(os.path.join(site, name)) for name in os.listdir(site)}
    everywhere = set().union(*words.values()) if words else set()
    # The main page of the folder is written once, as the main page.
    pages = [row for row in rows if row["outcome"] not in ("failed", "not-reached")]
    descriptions = Counter(row["description"] for row in pages if row["description"])
    shared = sum(1 for row in pages if row["description"] and descriptions[row["description"]] > 1)
    described = sum(1 for row in pages if row["description"])
    keywords = glued = 0
    for row in pages:
        seen = everywhere if row["main_page"] == "yes" else words[row["page"]]
        for keyword in filter(None, row["keywords"].split(", ")):
            keywords += 1
            if HASH.match(keyword) or keyword.lower() not in seen:
                glued += 1
    return {"pages": len(pages), "described": described, "shared": shared, "keywords": keywords, "glued": glued}


def share(part, whole):
    return f"{part:5d} of {whole:5d} ({100.0 * part / whole if whole else 0.0:5.1f} %)"


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("folders", nargs="*", default=DEFAULT_FOLDERS)
    parser.add_argument("--build-dir", required=True, help="the build whose tagsmith-batch is measured")
    parser.add_argument("--before-build-dir", help="another build measured on the same sites, first")
    args = parser.parse_args()

    builds = [("before", args.before_build_dir)] if args.before_build_dir else []
    builds.append(("after" if args.before_build_dir else "build", args.build_dir))
    folders = [f for f in args.folders if os.path.isdir(f)]
    if not folders:
        sys.exit("no folder to measure: install a documentation package, or name a folder of HTML pages")
    with tempfile.TemporaryDirectory() as work:
        totals = {label: Counter() for label, _ in builds}
        for folder in folders:
            site = flat_site(folder, os.path.join(work, "site"))
            for label, build in builds:
                m = measure(os.path.join(os.path.abspath(build), "tagsmith-batch"), site)
                totals[label].update(m)
                print(f"{folder:36s} {label:6s} shared descriptions {share(m['shared'], m['described'])}  "
                      f"no description {share(m['pages'] - m['described'], m['pages'])}  "
                      f"glued or hashes {share(m['glued'], m['keywords'])}")
            shutil.rmtree(site)
        for label, m in totals.items():
            print(f"{'all':36s} {label:6s} shared descriptions {share(m['shared'], m['described'])}  "
                  f"no description {share(m['pages'] - m['described'], m['pages'])}  "
                  f"glued or hashes {share(m['glued'], m['keywords'])}")


if __name__ == "__main__":
    main()
