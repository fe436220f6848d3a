#!/usr/bin/env python3
"""The CPU of one `tarvel-cli show` against /bin/true, alternated, as the
ratio of the medians of many pairs (user + system time from wait4).

usage: bench/cli_show.py [tarvel-cli, default build/release/tarvel-cli] [pairs, default 100]
"""
import os
import statistics
import subprocess
import sys
import tempfile

cli = sys.argv[1] if len(sys.argv) > 1 else "build/release/tarvel-cli"
pairs = int(sys.argv[2]) if len(sys.argv) > 2 else 100


def cpu(command):
    child = subprocess.Popen(command, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    _, _, usage = os.wait4(child.pid, 0)
    return usage.ru_utime + usage.ru_stime


with tempfile.TemporaryDirectory() as workspace:
    subprocess.run([cli, "--workspace", workspace, "new", "P"], check=True)
    show, true = [], []
    for _ in range(pairs):
        show.append(cpu([cli, "--workspace", workspace, "show", "P"]))
        true.append(cpu(["/bin/true"]))
s, t = statistics.median(show), statistics.median(true)
print(f"tarvel-cli show: {s * 1000:.2f} ms CPU, /bin/true: {t * 1000:.2f} ms, ratio {s / t:.2f}x "
      f"(medians of {pairs} alternated pairs)")
