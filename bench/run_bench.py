#!/usr/bin/env python3
"""Times a whole tagsmith-batch run against the floor of an in-place page rewriter.

Makes a site with ../shared/bench/gen_site.py, then on fresh copies of it in the same run times
`tagsmith-batch SITE --main SITE/index.htm` (keeping undo data, as by default, in the build folder),
the same with its undo data on the site's file system ("undo same fs"),
`tagsmith-batch SITE --main SITE/index.htm --no-undo` and `floor_rewrite SITE --main SITE/index.htm`
(the least work that still replaces every page atomically), taking turns. Prints pages/s, MB/s,
the ratio to the floor and the peak memory (maximum resident set) of each run, and the cost of
the undo data (the run with it against the run without, round by round). Every run starts from the same
state: the copy's undo data of earlier rounds is forgotten first (untimed), so that runs ten deep and
the size budget do not make later rounds slower than the first.

    bench/run_bench.py --build-dir build-release            # 20,000 pages, 3 rounds
    bench/run_bench.py --build-dir build-release --pages 100000 --rounds 1
    bench/run_bench.py --build-dir build-release --top-keywords 15 --rounds 5   # both keyword modes
    bench/run_bench.py --build-dir build-release --site-url https://example.org/ --rounds 5
                                                  # with a site address against without, round by round
    # the most telling words with each page's own description against another build's, alone:
    bench/run_bench.py --build-dir build-release --top-keywords 15 --page-descriptions \
        --baseline-build ../base/build-release --only-top --rounds 7

Build tagsmith-batch as Release first:
    cmake -S . -B build-release -G Ninja -DCMAKE_BUILD_TYPE=Release
    cmake --build build-release --target tagsmith-batch
"""

import argparse
import os
import shutil
import statistics
import subprocess
import sys
import time

REPO = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
SHARED_BENCH = os.path.normpath(os.path.join(REPO, "..", "shared", "bench"))


def run_timed(argv, work):
    """Runs a program; returns (seconds, peak resident memory in MB, processor seconds).

    The peak is measured by /usr/bin/time: a child forked from Python would count Python's own
    memory up to the exec.
    """
    report = os.path.join(work, "maxrss")
    start = time.perf_counter()
    result = subprocess.run(["/usr/bin/time", "-f", "%U %S %M", "-o", report] + argv,
                            stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
    elapsed = time.perf_counter() - start
    if result.returncode != 0:
        sys.exit(f"{argv[0]} failed with {result.returncode}:\n{result.stderr.decode(errors='replace')}")
    with open(report) as f:
        user, system, peak_kb = f.read().split()[-3:]
    return elapsed, int(peak_kb) / 1024.0, float(user) + float(system)


def site_size(folder):
    pages = 0
    size = 0
    for name in os.listdir(folder):
        path = os.path.join(folder, name)
        if not name.startswith(".") and name.lower().endswith((".htm", ".html")) and os.path.isfile(path):
            pages += 1
            size += os.path.getsize(path)
    return pages, size


def print_ratios(label, runs, against):
    """Round by round against the other program's run of the same round."""
    ratios = [r[0] / a[0] for r, a in zip(runs, against)]
    cpu_ratios = [r[2] / a[2] for r, a in zip(runs, against)]
    print(f"{label}: median time ratio {statistics.median(ratios):.2f} "
          f"(rounds: {', '.join(f'{r:.2f}' for r in ratios)}), "
          f"median processor time ratio {statistics.median(cpu_ratios):.2f}")


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--build-dir", default=os.path.join(REPO, "build-release"))
    parser.add_argument("--pages", type=int, default=20000)
    parser.add_argument("--rounds", type=int, default=3)
    parser.add_argument("--encoding", default="windows-1252")
    parser.add_argument("--work-dir", help="where the sites go (default: BUILD_DIR/bench-work)")
    parser.add_argument("--top-keywords", type=int, default=0,
                        help="also time a run with the N most telling words as keywords (every page read first)")
    parser.add_argument("--site-url", help="also time a run with this site address (sharing tags and sitemap)")
    parser.add_argument("--page-descriptions", action="store_true",
                        help="the run with the most telling words also gives each page its own description")
    parser.add_argument("--baseline-build", help="also time that build's tagsmith-batch with the most telling "
                        "words, in turns with this one's, and print the ratio")
    parser.add_argument("--only-top", action="store_true",
                        help="time only the runs with the most telling words (with --top-keywords)")
    args = parser.parse_args()

    build = os.path.abspath(args.build_dir)
    batch = os.path.join(build, "tagsmith-batch")
    if not os.access(batch, os.X_OK):
        sys.exit(f"no {batch}: build tagsmith-batch first")
    floor = os.path.join(build, "floor_rewrite")
    subprocess.run(["g++", "-O2", "-std=c++17", "-o", floor, os.path.join(SHARED_BENCH, "floor_rewrite.cpp")],
                   check=True)

    work = os.path.abspath(args.work_dir or os.path.join(build, "bench-work"))
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(work)
    site = os.path.join(work, "site")
    subprocess.run([sys.executable, os.path.join(SHARED_BENCH, "gen_site.py"), "--pages", str(args.pages),
                    "--encoding", args.encoding, "--quiet", site], check=True)
    pages, size = site_size(site)
    main_size = os.path.getsize(os.path.join(site, "index.htm"))
    pages += 1  # the main page is processed a second time
    size += main_size
    print(f"site: {pages - 1} pages and the main page again, {size / 1e6:.1f} MB")

    # The program keeps its data (and so its undo data) beside itself where it may write there: a copy
    # of it in the work folder keeps its undo data on the site's file system, as where the site and
    # the home folder share a disk, and the old pages are kept as links instead of compressed copies.
    beside = os.path.join(work, "beside")
    os.makedirs(beside)
    shutil.copy2(batch, beside)
    batch_beside = os.path.join(beside, "tagsmith-batch")

    tools = {
        "tagsmith-batch": lambda copy: [batch, copy, "--main", os.path.join(copy, "index.htm")],
        "undo same fs": lambda copy: [batch_beside, copy, "--main", os.path.join(copy, "index.htm")],
        "--no-undo": lambda copy: [batch, copy, "--main", os.path.join(copy, "index.htm"), "--no-undo"],
        "floor_rewrite": lambda copy: [floor, copy, "--main", os.path.join(copy, "index.htm")],
    }
    if args.top_keywords:
        top = ["--top-keywords", str(args.top_keywords)] + (["--page-descriptions"] if args.page_descriptions else [])
        if args.only_top:
            tools = {}
        tools["tagsmith-top"] = lambda copy: [batch, copy, "--main", os.path.join(copy, "index.htm")] + top
        if args.baseline_build:
            baseline = os.path.join(os.path.abspath(args.baseline_build), "tagsmith-batch")
            tools["baseline-top"] = lambda copy: [baseline, copy, "--main", os.path.join(copy, "index.htm")] + top
    if args.site_url:
        tools["tagsmith-site"] = lambda copy: [batch, copy, "--main", os.path.join(copy, "index.htm"),
                                               "--site-url", args.site_url]
    results = {name: [] for name in tools}
    for round_number in range(args.rounds):
        for name, argv in tools.items():
            copy = os.path.join(work, "copy")
            shutil.rmtree(copy, ignore_errors=True)
            shutil.copytree(site, copy)
            for program in (batch, batch_beside):
                subprocess.run([program, "--forget", copy], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            subprocess.run(["sync"], check=True)
            seconds, peak, cpu = run_timed(argv(copy), work)
            results[name].append((seconds, peak, cpu))
            print(f"round {round_number + 1}: {name:15s} {seconds:7.3f} s  cpu {cpu:7.3f} s  peak {peak:6.1f} MB")
            shutil.rmtree(copy)

    print()
    floor_time = statistics.median(s for s, _, _ in results.get("floor_rewrite", [(float("nan"), 0, 0)]))
    for name, runs in results.items():
        seconds = statistics.median(s for s, _, _ in runs)
        cpu = statistics.median(c for _, _, c in runs)
        peak = max(p for _, p, _ in runs)
        print(f"{name:15s} median {seconds:7.3f} s  cpu {cpu:7.3f} s  {pages / seconds:9.0f} pages/s  "
              f"{size / 1e6 / seconds:7.1f} MB/s  ratio {seconds / floor_time:5.2f}  peak memory {peak:6.1f} MB")

    pairs = [("tagsmith-batch", "--no-undo", "undo data / --no-undo"),
             ("undo same fs", "--no-undo", "undo data on the site's file system / --no-undo"),
             ("tagsmith-top", "baseline-top", "most telling words, this build / baseline"),
             ("tagsmith-top", "tagsmith-batch", "most telling words / every word"),
             ("tagsmith-site", "tagsmith-batch", "with a site address / without")]
    for name, other, label in pairs:
        if name in results and other in results:
            print_ratios(label, results[name], results[other])
    shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
