#!/usr/bin/env python3
"""The gain of a bench of fixtures: tarvel-cli-fakeports (tarvel-cli on the
tests' serial layer, COM1 to COM16 always there) provisions a queue of 64
rows with --yes and the stand-in updater taking 2 s, once with 1 fixture and
once with 8. Each run's log is checked with tarvel-cli audit. The last line
reads "fixtures: 8 vs 1: N.NNx rows per minute".

With --two-benches, it then runs two benches of 8 fixtures at once on one
queue of 1000 rows (the updater taking no time) and checks that no row was
written twice.

usage: bench/station_fixtures.py [--build DIR] [--two-benches]
       (DIR: the build of scripts/test.sh, build/debug, by default)
"""
import argparse
import collections
import json
import os
import shutil
import subprocess
import sys
import tempfile
import time

parser = argparse.ArgumentParser()
parser.add_argument("--build", default="build/debug")
parser.add_argument("--two-benches", action="store_true")
options = parser.parse_args()
build = os.path.abspath(options.build)
station = os.path.join(build, "tests", "tarvel-cli-fakeports")
cli = os.path.join(build, "tarvel-cli")
updater = os.path.join(build, "tests", "fake_updater")
for program in (station, cli, updater):
    if not os.access(program, os.X_OK):
        sys.exit(f"{program} is missing: build the tests first (scripts/test.sh)")


def workspace_with_queue(rows):
    folder = tempfile.mkdtemp()
    os.makedirs(os.path.join(folder, "MASTER"))
    open(os.path.join(folder, "MASTER", "sim40917.sim"), "w").close()
    shutil.copy(updater, os.path.join(folder, "Ser_40917_Update.exe"))
    with open(os.path.join(folder, "queue.csv"), "w") as f:
        f.write("name\n" + "".join(f"CNV-{i:04d}\n" for i in range(1, rows + 1)))
    return folder


def bench_file(folder, name, ports):
    path = os.path.join(folder, name)
    with open(path, "w") as f:
        f.write("fixture,port\n" + "".join(f"F{port},COM{port}\n" for port in ports))
    return path


def start_station(folder, bench, sleep_ms):
    environment = dict(os.environ, TARVEL_UPDATER_EXIT_CODES="0",
                       TARVEL_UPDATER_SLEEP_MS=str(sleep_ms))
    # Into a file: two stations at once must never wait on a full pipe.
    err = open(bench + ".err", "w+")
    process = subprocess.Popen([station, "--workspace", folder, "station",
                                os.path.join(folder, "queue.csv"), "--fixtures", bench, "--yes",
                                "--ui", "lines"],
                               stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=err,
                               env=environment)
    process.err = err
    return process


def finish(process):
    process.wait()
    if process.returncode != 0:
        process.err.seek(0)
        sys.exit(f"the station ended with {process.returncode}:\n{process.err.read()[-2000:]}")
    process.err.close()


def audited_results(folder):
    log = os.path.join(folder, "queue.audit.jsonl")
    check = subprocess.run([cli, "audit", log], capture_output=True, text=True)
    if check.returncode != 0:
        sys.exit(f"audit refused the log:\n{check.stdout}{check.stderr}")
    with open(log) as f:
        return [record for record in map(json.loads, f) if record["event"] == "result"]


def rows_per_minute(fixtures, rows=64, sleep_ms=2000):
    folder = workspace_with_queue(rows)
    bench = bench_file(folder, "bench.csv", range(1, fixtures + 1))
    started = time.monotonic()
    finish(start_station(folder, bench, sleep_ms))
    elapsed = time.monotonic() - started
    done = sum(record["outcome"] == "ok" for record in audited_results(folder))
    shutil.rmtree(folder)
    if done != rows:
        sys.exit(f"{fixtures} fixtures wrote {done} of {rows} rows")
    print(f"{fixtures} fixture(s): {rows} rows in {elapsed:.1f} s, "
          f"{rows / elapsed * 60:.1f} rows per minute")
    return rows / elapsed * 60


def two_benches(rows=1000):
    folder = workspace_with_queue(rows)
    benches = [bench_file(folder, "left.csv", range(1, 9)),
               bench_file(folder, "right.csv", range(9, 17))]
    started = time.monotonic()
    for process in [start_station(folder, bench, 0) for bench in benches]:
        finish(process)
    results = audited_results(folder)
    shutil.rmtree(folder)
    written = collections.Counter(r["project"] for r in results if r["outcome"] == "ok")
    twice = [project for project, count in written.items() if count > 1]
    print(f"two benches of 8 on {rows} rows: {len(written)} written in "
          f"{time.monotonic() - started:.1f} s, {len(twice)} written twice")
    if twice or len(written) != rows:
        sys.exit(1)


one = rows_per_minute(1)
eight = rows_per_minute(8)
if options.two_benches:
    two_benches()
print(f"fixtures: 8 vs 1: {eight / one:.2f}x rows per minute")
