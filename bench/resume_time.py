#!/usr/bin/python3
"""How long a resume takes to get going: from the start of valmeric-cli collect
--resume to its first request, for a run that has written many facilities.

usage: bench/resume_time.py [--facilities 100000] [--density 3] [--repeat 3] [--cli PATH]

Starts a fresh valmeric-sitesim on 127.0.0.1 (its pools --density times the
usual size, so that first pages hold more) and a copy of the shipped database, runs a collection of all categories and prefectures with
--pause-ms 0 until its journal records --facilities written facilities, and
kills it (SIGKILL). Then, --repeat times, starts --resume against a stand-in
site that only notes when the first request arrives, and kills it there.
Prints the facilities and CSV bytes taken up and the times (best and worst).
"""
import argparse
import http.server
import os
import signal
import sqlite3
import subprocess
import sys
import tempfile
import threading
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from run_vs_fetch import BIN, copy_database, start_site  # noqa: E402


def recorded(db):
    """(facilities written, CSV bytes, entries done) as the journal has them, or None."""
    try:
        connection = sqlite3.connect(f"file:{db}?mode=ro", uri=True, timeout=5)
        try:
            return connection.execute(
                "SELECT FacilitiesWritten, CsvBytes, EntriesDone FROM T03_Run").fetchone()
        finally:
            connection.close()
    except sqlite3.Error:
        return None


def build_unfinished_run(cli, work, db, port, facilities):
    command = [cli, "collect", "--category", "all", "--prefecture", "all",
               "--output", os.path.join(work, "out"), "--db", db, "--pause-ms", "0", "--quiet",
               "--site-origin", f"http://127.0.0.1:{port}"]
    run = subprocess.Popen(command, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    deadline = time.monotonic() + 600
    try:
        while time.monotonic() < deadline:
            state = recorded(db)
            if state and state[0] >= facilities:
                return state
            if run.poll() is not None:
                sys.exit(f"the run ended (status {run.returncode}) before {facilities} facilities")
            time.sleep(0.2)
        sys.exit("the run did not write enough facilities in 10 minutes")
    finally:
        run.send_signal(signal.SIGKILL)
        run.wait()


class FirstRequest(http.server.BaseHTTPRequestHandler):
    arrived = None  # threading.Event, set by the first request

    def do_GET(self):  # noqa: N802 (the name http.server calls)
        FirstRequest.arrived.set()
        self.send_response(503)
        self.send_header("Content-Length", "0")
        self.end_headers()

    def log_message(self, *args):
        pass


def time_to_first_request(cli, db):
    FirstRequest.arrived = threading.Event()
    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), FirstRequest)
    thread = threading.Thread(target=server.serve_forever, daemon=True)
    thread.start()
    try:
        command = [cli, "collect", "--resume", "--db", db, "--pause-ms", "0", "--quiet",
                   "--retry-delays-ms", "60000", "--site-origin",
                   f"http://127.0.0.1:{server.server_address[1]}"]
        started = time.monotonic()
        run = subprocess.Popen(command, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
        if not FirstRequest.arrived.wait(60):
            run.kill()
            sys.exit("no request within 60 s: " + run.communicate()[1].decode(errors="replace"))
        elapsed = time.monotonic() - started
        run.send_signal(signal.SIGKILL)
        run.wait()
        return elapsed
    finally:
        server.shutdown()
        server.server_close()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--facilities", type=int, default=100000)
    parser.add_argument("--density", default="3")
    parser.add_argument("--repeat", type=int, default=3)
    parser.add_argument("--cli", default=os.path.join(BIN, "valmeric-cli"))
    args = parser.parse_args()
    with tempfile.TemporaryDirectory() as work:
        db = copy_database(work)
        site, port = start_site(work, ("--density", args.density))
        try:
            state = build_unfinished_run(args.cli, work, db, port, args.facilities)
        finally:
            site.terminate()
            site.wait()
        times = [time_to_first_request(args.cli, db) for _ in range(args.repeat)]
        after = recorded(db)
    if after != state:
        sys.exit(f"the journal moved while timing: {state} -> {after}")
    written, csv_bytes, entries = state
    print(f"unfinished run: {written} facilities, {csv_bytes} CSV bytes, {entries} entries done")
    print(f"resume to first request: best {min(times):.3f} s, worst {max(times):.3f} s")


if __name__ == "__main__":
    main()
