#!/usr/bin/env python3
"""New project after a killed apply: N abandoned builds, each with its marker,
documents and image, as a kill -9 leaves them, are cleared by the next
`tarvel-cli new`. Prints the seconds that `new` took.

usage: bench/clear_builds.py [tarvel-cli, default build/release/tarvel-cli] [builds, default 20000]
"""
import os
import secrets
import socket
import subprocess
import sys
import tempfile
import time

cli = sys.argv[1] if len(sys.argv) > 1 else "build/release/tarvel-cli"
count = int(sys.argv[2]) if len(sys.argv) > 2 else 20000
here = os.path.dirname(os.path.abspath(cli))

workspace = tempfile.mkdtemp(dir=os.environ.get("BENCH_DIR", here))
projects = os.path.join(workspace, "PROJECTS")
os.makedirs(projects)
with open("/proc/sys/kernel/random/boot_id") as f:
    boot = f.read().strip()
finished = subprocess.Popen(["true"])
finished.wait()  # a process id that no longer runs
for i in range(count):
    folder = ".tarvel-build-" + secrets.token_hex(8)
    path = os.path.join(projects, folder)
    os.makedirs(os.path.join(path, "bin"))
    with open(os.path.join(path, ".tarvel-build"), "w") as marker:
        marker.write(f"tarvel-build 1\nfolder={folder}\nhost={socket.gethostname()}\nboot={boot}\n"
                     f"pid={finished.pid}\nstart=1\ncreated={int(time.time())}\nproject=P{i}\n")
    for name in ("pargen.xml", "var.xml", "bin/bank.bin"):
        with open(os.path.join(path, name), "w") as document:
            document.write("<x/>")

start = time.monotonic()
subprocess.run([cli, "--workspace", workspace, "new", "Fresh"], check=True)
seconds = time.monotonic() - start
left = len(os.listdir(projects))
print(f"new after {count} abandoned builds: {seconds:.2f} s; entries left: {left}")
subprocess.run(["rm", "-rf", workspace], check=True)
