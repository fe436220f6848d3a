#!/usr/bin/env python3
"""Tarvel's start-up against a bare Qt Widgets program, both ending at their
first exposed window, run alternately: CPU (user + system), wall time and
peak memory of each run from wait4, reported as ratios of the medians,
offscreen and on an X server (Xvfb).

usage: bench/startup.py [build folder, default build/release] [runs, default 40]
"""
import os
import statistics
import subprocess
import sys
import tempfile
import time

build = sys.argv[1] if len(sys.argv) > 1 else "build/release"
runs = int(sys.argv[2]) if len(sys.argv) > 2 else 40
programs = {name: os.path.join(build, "bench", "startup_" + name) for name in ("tarvel", "bare")}


def run(program, workspace, environment):
    start = time.monotonic()
    child = subprocess.Popen([program, workspace], env=environment,
                             stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    _, status, usage = os.wait4(child.pid, 0)
    child.returncode = status
    wall = time.monotonic() - start
    return usage.ru_utime + usage.ru_stime, wall, usage.ru_maxrss


def measure(platform, display):
    environment = dict(os.environ, QT_QPA_PLATFORM=platform, DISPLAY=display)
    samples = {name: [] for name in programs}
    with tempfile.TemporaryDirectory() as workspace:
        for _ in range(runs):
            for name, program in programs.items():
                samples[name].append(run(program, workspace, environment))
    medians = {name: [statistics.median(s[i] for s in samples[name]) for i in range(3)]
               for name in programs}
    t, b = medians["tarvel"], medians["bare"]
    print(f"{platform} ({runs} runs each, alternated): "
          f"CPU {t[0] / b[0]:.2f}x ({t[0] * 1000:.1f} / {b[0] * 1000:.1f} ms), "
          f"wall {t[1] / b[1]:.2f}x ({t[1] * 1000:.1f} / {b[1] * 1000:.1f} ms), "
          f"peak memory {t[2] / b[2]:.2f}x ({t[2]} / {b[2]} KiB)")


display = ":97"
xvfb = subprocess.Popen(["Xvfb", display, "-screen", "0", "1024x768x24"],
                        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
try:
    time.sleep(1)
    measure("offscreen", display)
    measure("xcb", display)
finally:
    xvfb.kill()
