#!/usr/bin/env python3
"""Times a run started from the screens against the batch command's run of the same site.

Makes a site with ../shared/bench/gen_site.py, then on fresh copies of it in the same run, alternating,
times `tagsmith-batch SITE --main SITE/index.htm` (the whole process) and a run started from the real
screens by `tagsmith-screen-run SITE --main SITE/index.htm` (offscreen: the program starts, the folder
and main page are typed in, the start button is clicked; timed from the click until the run is over).
Prints the medians, the ratio and the processor seconds of each.

    bench/run_screen_bench.py --build-dir build-release               # 5,000 pages, 3 rounds
    bench/run_screen_bench.py --build-dir build-release --pages 20000 --work-dir /dev/shm/screens

Build both first:
    cmake --build build-release --target tagsmith-batch tagsmith-screen-run
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


def batch_run(batch, copy):
    """(seconds, processor seconds) of a whole batch run."""
    start = time.perf_counter()
    before = os.times()
    result = subprocess.run([batch, copy, "--main", os.path.join(copy, "index.htm")],
                            stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
    after = os.times()
    if result.returncode != 0:
        sys.exit(f"tagsmith-batch failed with {result.returncode}:\n{result.stderr.decode(errors='replace')}")
    return time.perf_counter() - start, (after.children_user - before.children_user) + \
        (after.children_system - before.children_system)


def screen_run(program, copy):
    """(seconds, processor seconds) from the click until the run is over, as the program reports them."""
    env = dict(os.environ, QT_QPA_PLATFORM=os.environ.get("QT_QPA_PLATFORM", "offscreen"))
    result = subprocess.run([program, copy, "--main", os.path.join(copy, "index.htm")],
                            stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, env=env)
    if result.returncode != 0:
        sys.exit(f"tagsmith-screen-run failed with {result.returncode}")
    fields = result.stdout.decode().split()
    return float(fields[0]), float(fields[3])


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--build-dir", default=os.path.join(REPO, "build-release"))
    parser.add_argument("--pages", type=int, default=5000)
    parser.add_argument("--rounds", type=int, default=3)
    parser.add_argument("--work-dir", help="where the sites go (default: BUILD_DIR/screen-bench-work)")
    args = parser.parse_args()

    build = os.path.abspath(args.build_dir)
    batch = os.path.join(build, "tagsmith-batch")
    screens = os.path.join(build, "tagsmith-screen-run")
    for program in (batch, screens):
        if not os.access(program, os.X_OK):
            sys.exit(f"no {program}: build tagsmith-batch and tagsmith-screen-run first")

    work = os.path.abspath(args.work_dir or os.path.join(build, "screen-bench-work"))
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(work)
    site = os.path.join(work, "site")
    subprocess.run([sys.executable, os.path.join(SHARED_BENCH, "gen_site.py"), "--pages", str(args.pages),
                    "--quiet", site], check=True)
    print(f"site: {args.pages} pages and the main page")

    tools = {"tagsmith-batch": lambda copy: batch_run(batch, copy),
             "screens": lambda copy: screen_run(screens, copy)}
    results = {name: [] for name in tools}
    for round_number in range(args.rounds):
        for name, run in tools.items():
            copy = os.path.join(work, "copy")
            shutil.rmtree(copy, ignore_errors=True)
            shutil.copytree(site, copy)
            subprocess.run(["sync"], check=True)
            seconds, cpu = run(copy)
            results[name].append((seconds, cpu))
            print(f"round {round_number + 1}: {name:15s} {seconds:7.3f} s  processor {cpu:6.2f} s")
            shutil.rmtree(copy)

    print()
    batch_time = statistics.median(s for s, _ in results["tagsmith-batch"])
    for name, runs in results.items():
        seconds = statistics.median(s for s, _ in runs)
        cpu = statistics.median(c for _, c in runs)
        print(f"{name:15s} median {seconds:7.3f} s  processor {cpu:6.2f} s  ratio {seconds / batch_time:5.2f}")
    shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
