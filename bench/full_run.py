#!/usr/bin/python3
"""A whole collection against the local site with no pause.

usage: bench/full_run.py [--prefectures LIST] [--categories LIST] [--density F]
Runs build/release/bin/valmeric-cli against a fresh valmeric-sitesim and a copy
of the database beside it (the shipped one is never written), follows
its progress lines, and prints plan entries per second, the time per entry
around 1,000 / 10,000 / 50,000 / 100,000 facilities written, and the command
line's peak RSS.
"""
import argparse
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
BIN = os.path.join(ROOT, "build", "release", "bin")
DB = os.path.join(BIN, "db", "hpt_data.db")
PROGRESS = re.compile(r"^\[(\d+)/(\d+)\].*?(\d+) written")


def start_site(work, density):
    port_file = os.path.join(work, "port")
    site = subprocess.Popen([os.path.join(BIN, "valmeric-sitesim"), "--host", "127.0.0.1",
                             "--port", "0", "--port-file", port_file, "--density", density],
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    for _ in range(200):
        if os.path.exists(port_file):
            text = open(port_file).read()
            match = re.search(r"http=(\d+)", text)
            if match:
                return site, int(match.group(1))
        time.sleep(0.05)
    site.kill()
    sys.exit("the local site did not start")


def around(samples, facilities, reach=4):
    """Milliseconds per plan entry and per facility written over the progress
    lines around the moment the written count passed facilities (about two
    seconds of the run)."""
    k = next((i for i, s in enumerate(samples) if s[2] >= facilities), None)
    if k is None:
        return None, None
    (t0, e0, w0), (t1, e1, w1) = samples[max(0, k - reach)], samples[min(len(samples) - 1, k + reach)]
    per_entry = (t1 - t0) * 1000 / (e1 - e0) if e1 > e0 else None
    per_facility = (t1 - t0) * 1000 / (w1 - w0) if w1 > w0 else None
    return per_entry, per_facility


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--prefectures", default="all")
    parser.add_argument("--categories", default="all")
    parser.add_argument("--density", default="1", help="the local site's facilities per city")
    args = parser.parse_args()
    with tempfile.TemporaryDirectory() as work:
        # A run empties the duplicate table and records itself in its database.
        db = os.path.join(work, "hpt_data.db")
        shutil.copy(DB, db)
        site, port = start_site(work, args.density)
        try:
            started = time.monotonic()
            cli = subprocess.Popen([os.path.join(BIN, "valmeric-cli"), "collect",
                                    "--category", args.categories, "--prefecture", args.prefectures,
                                    "--output", os.path.join(work, "out"), "--db", db,
                                    "--pause-ms", "0", "--site-origin", f"http://127.0.0.1:{port}"],
                                   stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
            samples = []
            for line in cli.stderr:
                match = PROGRESS.match(line)
                if match:
                    samples.append((time.monotonic(), int(match.group(1)), int(match.group(3))))
            _, status, usage = os.wait4(cli.pid, 0)
            cli.returncode = os.waitstatus_to_exitcode(status)
            elapsed = time.monotonic() - started
            peak_kib = usage.ru_maxrss
        finally:
            site.terminate()
            site.wait()
    if cli.returncode != 0 or not samples:
        sys.exit(f"the run failed with status {cli.returncode}")
    entries, written = samples[-1][1], samples[-1][2]
    print(f"entries: {entries}, facilities written: {written}, seconds: {elapsed:.1f}")
    print(f"plan entries per second: {entries / elapsed:.0f}")
    print("| facilities written | ms per entry | ms per facility |")
    print("|---:|---:|---:|")
    show = lambda v: "-" if v is None else f"{v:.2f}"
    for mark in (1000, 10000, 50000, 100000):
        per_entry, per_facility = around(samples, mark)
        print(f"| {mark:,} | {show(per_entry)} | {show(per_facility)} |")
    print(f"peak RSS of the command line: {peak_kib / 1024:.1f} MiB")


if __name__ == "__main__":
    main()
