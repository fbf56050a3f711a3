#!/usr/bin/python3
"""The change report between two large collections.

usage: bench/diff_run.py [--records N] [--runs R]
Writes two collections of N facilities each (bench/make_diff_pair.cpp: a
twentieth gone, a twentieth changed, as many new), then runs
build/release/bin/valmeric-cli diff on them R times, with the newer file in
CP932 and then in UTF-8, and prints each run's wall time and peak RSS.
Targets for 150,000 against 150,000 records: under 2 s and under 200 MiB.
"""
import argparse
import os
import subprocess
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
BIN = os.path.join(ROOT, "build", "release", "bin")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--records", type=int, default=150000)
    parser.add_argument("--runs", type=int, default=5)
    args = parser.parse_args()
    with tempfile.TemporaryDirectory() as work:
        for encoding in ("cp932", "utf-8"):
            subprocess.run([os.path.join(BIN, "valmeric-make-diff-pair"), work,
                            str(args.records), encoding], check=True)
            sizes = [os.path.getsize(os.path.join(work, f)) / 2**20 for f in ("old.csv", "new.csv")]
            print(f"old.csv CP932 {sizes[0]:.1f} MiB, new.csv {encoding} {sizes[1]:.1f} MiB, "
                  f"{args.records} records each")
            for _ in range(args.runs):
                report = os.path.join(work, "report.csv")
                command = [os.path.join(BIN, "valmeric-cli"), "diff", os.path.join(work, "old.csv"),
                           os.path.join(work, "new.csv"), "--output", report]
                start = time.monotonic()
                child = subprocess.Popen(command, stdout=subprocess.PIPE, stderr=subprocess.PIPE)
                _, status, usage = os.wait4(child.pid, 0)
                seconds = time.monotonic() - start
                out = child.stdout.read().decode()
                if status != 0:
                    sys.exit("valmeric-cli diff failed: " + child.stderr.read().decode())
                counts = out.strip().split("\t")[1:]
                print(f"  {seconds:.2f} s, peak RSS {usage.ru_maxrss / 1024:.1f} MiB, "
                      f"new/changed/gone {'/'.join(counts)}")


if __name__ == "__main__":
    main()
