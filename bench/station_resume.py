#!/usr/bin/env python3
"""A station resuming a queue of 1000 rows whose log holds 2000 records: 999
rows provisioned (start and ok result each) and the last one's attempt
interrupted (start and updater of a station that no longer runs). Prints the
milliseconds from the program's start to the prompt for the pending row
(applying the queue, which changes nothing, reading and checking the chain,
recording the interruption, finding the row): the median of five runs.

usage: bench/station_resume.py [tarvel-cli, default build/release/tarvel-cli] [rows, default 1000]
"""
import hashlib
import json
import os
import socket
import subprocess
import sys
import tempfile
import time
from datetime import datetime

cli = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else "build/release/tarvel-cli")
rows = int(sys.argv[2]) if len(sys.argv) > 2 else 1000

workspace = tempfile.mkdtemp()
queue = os.path.join(workspace, "queue.csv")
log = os.path.join(workspace, "queue.audit.jsonl")
names = [f"Row-{i:04d}" for i in range(1, rows + 1)]
with open(queue, "w") as f:
    f.write("name\n" + "".join(name + "\n" for name in names))
# What the station checks for before the first converter.
os.makedirs(os.path.join(workspace, "MASTER"))
open(os.path.join(workspace, "MASTER", "sim40917.sim"), "w").close()
updater = os.path.join(workspace, "Ser_40917_Update.exe")
with open(updater, "w") as f:
    f.write("#!/bin/sh\n")
os.chmod(updater, 0o755)
subprocess.run([cli, "--workspace", workspace, "apply", queue], check=True, capture_output=True)
image = json.loads(subprocess.run([cli, "--workspace", workspace, "image", names[0], "--json"],
                                  check=True, capture_output=True).stdout)["bytes"]
image_sha = hashlib.sha256(bytes.fromhex(image.replace(" ", ""))).hexdigest()
with open("/proc/sys/kernel/random/boot_id") as f:
    boot = f.read().strip()
gone = subprocess.Popen(["true"])
gone.wait()  # a process id that no longer runs

prev = None
now = datetime.utcnow().strftime("%Y-%m-%dT%H:%M:%S.000Z")
with open(log, "w") as f:
    for row, name in enumerate(names, start=2):
        last = name == names[-1]
        events = ["start", "updater"] if last else ["start", "result"]
        for event in events:
            record = {"version": 1, "event": event, "project": name, "row": row, "port": "COM1",
                      "device": "/dev/ttyS0", "adapter": None, "image": image,
                      "imageSha256": image_sha, "pargenSha256": "", "options": ["FW", "FR", "PW", "PR"],
                      "started": now, "host": socket.gethostname(), "boot": boot, "user": "bench",
                      "pid": gone.pid, "pidStart": 1, "tool": "tarvel-cli 1.102"}
            if event == "result":
                record.update({"outcome": "ok", "exitCode": 0, "ended": now, "output": ""})
            if event == "updater":
                record.update({"updaterPid": gone.pid, "updaterStarted": 1})
            record["prev"] = prev
            line = json.dumps(record, separators=(",", ":"))
            prev = hashlib.sha256(line.encode()).hexdigest()
            f.write(line + "\n")

with open(log, "rb") as f:
    records = f.read()
prompt = f"{names[-1]} ({rows} of {rows})".encode()
timings = []
for attempt in range(5):
    with open(log, "wb") as f:  # each run records the interruption: start from the same log
        f.write(records)
    started = time.monotonic()
    station = subprocess.Popen([cli, "--workspace", workspace, "station", queue, "--port", "COM1"],
                               stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                               stderr=subprocess.PIPE)
    for line in station.stderr:
        if prompt in line:
            timings.append((time.monotonic() - started) * 1000)
            break
    station.communicate()
    if len(timings) < attempt + 1:
        sys.exit(f"the station never asked for {names[-1]}")
print(" ".join(f"{t:.0f}" for t in timings))
timings.sort()
lines = records.count(b"\n")
print(f"{rows} rows, {lines} records before the run: the pending row found "
      f"{timings[2]:.1f} ms after the start (median of 5; fastest {timings[0]:.1f} ms)")
if not os.environ.get("BENCH_KEEP"): subprocess.run(["rm", "-rf", workspace])
else: print(workspace)
