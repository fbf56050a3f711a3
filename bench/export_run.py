#!/usr/bin/python3
"""The Excel workbook of a large collection.

usage: bench/export_run.py [--records N] [--runs R]
Writes a collection of N facilities in CP932 and one in UTF-8
(bench/make_diff_pair.cpp), then runs build/release/bin/valmeric-cli export
on each R times and prints each run's wall time, peak RSS and the workbook's
size against the CSV's. Target for 150,000 records: a few tens of MiB.
"""
import argparse
import os
import subprocess
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
BIN = os.path.join(ROOT, "build", "release", "bin")


def export(csv, runs):
    book = csv[:-4] + ".xlsx"
    for _ in range(runs):
        command = [os.path.join(BIN, "valmeric-cli"), "export", csv, "--db", "/nonexistent"]
        start = time.monotonic()
        child = subprocess.Popen(command, stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        _, status, usage = os.wait4(child.pid, 0)
        seconds = time.monotonic() - start
        if status != 0:
            sys.exit("valmeric-cli export failed: " + child.stderr.read().decode())
        print(f"  {seconds:.2f} s, peak RSS {usage.ru_maxrss / 1024:.1f} MiB, workbook "
              f"{os.path.getsize(book) / 2**20:.1f} MiB")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--records", type=int, default=150000)
    parser.add_argument("--runs", type=int, default=3)
    args = parser.parse_args()
    with tempfile.TemporaryDirectory() as work:
        subprocess.run([os.path.join(BIN, "valmeric-make-diff-pair"), work,
                        str(args.records), "utf-8"], check=True)
        for name, encoding in (("old.csv", "CP932"), ("new.csv", "UTF-8")):
            csv = os.path.join(work, name)
            print(f"{name} {encoding} {os.path.getsize(csv) / 2**20:.1f} MiB, ~{args.records} records")
            export(csv, args.runs)


if __name__ == "__main__":
    main()
