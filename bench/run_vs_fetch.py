#!/usr/bin/python3
"""A whole collection next to a bare fetch of the same result pages.

usage: bench/run_vs_fetch.py [--prefectures 13] [--categories all] [--repeat 3] [--strace]
                            [--cli PATH]

Starts a fresh valmeric-sitesim on 127.0.0.1, then, in turn:
- runs build/release/bin/valmeric-cli collect with --pause-ms 0 on a copy of
  the database beside it (the shipped one is never written);
- fetches every result page of the same plan one after another with Python's
  http.client, a new connection for each page, asking for gzip as the command
  line does, and unpacks and throws the bodies away.
Prints both times, plan entries per second and the ratio (best of --repeat).
With --strace it also runs the command line once under strace -f -c and
prints the futex calls per plan entry.
"""
import argparse
import gzip
import http.client
import os
import re
import shutil
import sqlite3
import subprocess
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
BIN = os.path.join(ROOT, "build", "release", "bin")
DB = os.path.join(BIN, "db", "hpt_data.db")


def start_site(work, extra=()):
    port_file = os.path.join(work, "port")
    site = subprocess.Popen([os.path.join(BIN, "valmeric-sitesim"), "--host", "127.0.0.1",
                             "--port", "0", "--port-file", port_file, *extra],
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    for _ in range(200):
        if os.path.exists(port_file):
            match = re.search(r"http=(\d+)", open(port_file).read())
            if match:
                return site, int(match.group(1))
        time.sleep(0.05)
    site.kill()
    sys.exit("the local site did not start")


def codes(text, last):
    return list(range(1, last + 1)) if text == "all" else [int(c) for c in text.split(",")]


def plan_paths(path, prefectures, categories):
    """The result page paths of the plan, in the order a run asks for them."""
    db = sqlite3.connect(f"file:{path}?mode=ro", uri=True)
    try:
        return read_plan(db, prefectures, categories)
    finally:
        db.close()


def read_plan(db, prefectures, categories):
    subs = [row[0] for row in db.execute(
        "SELECT SubCtgrCode FROM T02_Category WHERE CtgrCode IN (%s) ORDER BY ID"
        % ",".join(map(str, categories)))]
    cities = db.execute(
        "SELECT AreaCode, CityCode FROM T01_City WHERE AreaCode IN (%s) ORDER BY AreaCode, CityCode"
        % ",".join(map(str, prefectures))).fetchall()
    return [f"/doko/kekka.php/{area:02d}{city:03d}{sub}/" for area, city in cities for sub in subs]


def bare_fetch(port, paths):
    started = time.monotonic()
    for path in paths:
        connection = http.client.HTTPConnection("127.0.0.1", port)
        connection.request("GET", path, headers={"Accept-Encoding": "gzip, deflate"})
        response = connection.getresponse()
        body = response.read()
        if response.getheader("Content-Encoding") == "gzip":
            gzip.decompress(body)
        connection.close()
    return time.monotonic() - started


def copy_database(work):
    """A copy of the shipped database in work: a run empties its duplicate table
    and records itself there."""
    db = os.path.join(work, "hpt_data.db")
    shutil.copy(DB, db)
    return db


def whole_run(port, work, args, wrapper=()):
    command = [*wrapper, args.cli, "collect",
               "--category", args.categories, "--prefecture", args.prefectures,
               "--output", os.path.join(work, "out"), "--db", os.path.join(work, "hpt_data.db"),
               "--pause-ms", "0", "--quiet",
               "--site-origin", f"http://127.0.0.1:{port}"]
    started = time.monotonic()
    run = subprocess.run(command, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
    elapsed = time.monotonic() - started
    if run.returncode != 0:
        sys.exit(f"the run failed with status {run.returncode}: {run.stderr[-2000:]}")
    return elapsed, run.stderr


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--prefectures", default="13")
    parser.add_argument("--categories", default="all")
    parser.add_argument("--repeat", type=int, default=3)
    parser.add_argument("--strace", action="store_true")
    parser.add_argument("--cli", default=os.path.join(BIN, "valmeric-cli"),
                        help="the command line to time (another build, say)")
    args = parser.parse_args()
    with tempfile.TemporaryDirectory() as work:
        db = copy_database(work)
        paths = plan_paths(db, codes(args.prefectures, 47), codes(args.categories, 10))
        site, port = start_site(work)
        try:
            runs = [whole_run(port, work, args)[0] for _ in range(args.repeat)]
            fetches = [bare_fetch(port, paths) for _ in range(args.repeat)]
            futex = None
            if args.strace:
                _, report = whole_run(port, work, args, ("strace", "-f", "-c", "-e", "trace=futex"))
                match = re.search(r"^\s*[\d.]+\s+[\d.]+\s+\d+\s+(\d+)\s+(?:\d+\s+)?futex$", report, re.M)
                futex = int(match.group(1)) if match else 0
        finally:
            site.terminate()
            site.wait()
    run, fetch = min(runs), min(fetches)
    print(f"plan entries: {len(paths)}")
    print(f"whole run:  {run:.2f} s  ({len(paths) / run:.0f} entries/s)")
    print(f"bare fetch: {fetch:.2f} s  ({len(paths) / fetch:.0f} pages/s)")
    print(f"ratio: {run / fetch:.2f}")
    if futex is not None:
        print(f"futex calls: {futex} ({futex / len(paths):.1f} per entry)")


if __name__ == "__main__":
    main()
