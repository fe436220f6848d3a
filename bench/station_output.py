#!/usr/bin/env python3
"""A station whose updater writes 200 MB of output: prints the run's time and
the station's peak memory, which keeps only the output's last 4 KiB while
the file beside the log holds the rest. Needs a port that opens (COM1 is
/dev/ttyS0).

usage: bench/station_output.py [tarvel-cli, default build/release/tarvel-cli] [megabytes, default 200]
"""
import os
import resource
import subprocess
import sys
import tempfile
import time

cli = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else "build/release/tarvel-cli")
megabytes = int(sys.argv[2]) if len(sys.argv) > 2 else 200

workspace = tempfile.mkdtemp()
os.makedirs(os.path.join(workspace, "MASTER"))
open(os.path.join(workspace, "MASTER", "sim40917.sim"), "w").close()
updater = os.path.join(workspace, "Ser_40917_Update.exe")
with open(updater, "w") as f:
    f.write(f'#!/bin/sh\nyes "Writing a block of the device image" | head -c {megabytes << 20}\n')
os.chmod(updater, 0o755)
queue = os.path.join(workspace, "queue.csv")
with open(queue, "w") as f:
    f.write("name\nBig-1\n")

start = time.monotonic()
run = subprocess.run([cli, "--workspace", workspace, "station", queue, "--port", "COM1", "--yes"],
                     stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
elapsed = time.monotonic() - start
# The largest of the waited-for children: the station itself (the updater's
# shell, yes and head are far smaller).
peak = resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss / 1024
folder = os.path.join(workspace, "queue.audit.jsonl.d")
written = sum(os.path.getsize(os.path.join(folder, name)) for name in os.listdir(folder))
print(f"exit {run.returncode}; {written >> 20} MiB of output in the file; {elapsed:.2f} s; "
      f"station's peak memory {peak:.1f} MiB")
subprocess.run(["rm", "-rf", workspace])
