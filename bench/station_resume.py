#!/usr/bin/env python3
"""A station resuming a queue of 1000 rows whose log holds 2000 records: 999
rows provisioned (start and ok result each) and the last one's attempt
interrupted (start and updater of a station that no longer runs). Prints the
milliseconds from the program's start to the prompt for the pending row
(applying the queue, which changes nothing, reading and checking the chain,
recording the interruption, finding the row), and from the log's opening.
Measured under strace, which only slows it.

usage: bench/station_resume.py [tarvel-cli, default build/release/tarvel-cli] [rows, default 1000]
"""
import hashlib
import json
import os
import re
import socket
import subprocess
import sys
import tempfile
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

trace = os.path.join(workspace, "trace.txt")
subprocess.run(["strace", "-ttt", "-e", "trace=execve,openat,write", "-s", "64", "-o", trace, cli,
                "--workspace", workspace, "station", queue, "--port", "COM1"],
               stdin=subprocess.DEVNULL, capture_output=True)
started = opened = prompted = None
with open(trace) as f:
    for line in f:
        stamp = float(line.split()[0])
        started = started or stamp
        if opened is None and "openat(" in line and "queue.audit.jsonl\"" in line:
            opened = stamp
        if prompted is None and re.search(rf'write\(2, "{names[-1]} \({rows} of {rows}\)', line):
            prompted = stamp
records = sum(1 for _ in open(log))
print(f"{rows} rows, {records - 1} records before the run: the pending row found "
      f"{(prompted - started) * 1000:.1f} ms after the start, "
      f"{(prompted - opened) * 1000:.1f} ms after the log was opened")
if not os.environ.get("BENCH_KEEP"): subprocess.run(["rm", "-rf", workspace])
else: print(workspace)
