#!/usr/bin/env python3
"""apply of N new projects from one CSV, against the per-step loop (new, set
and image per project, one process each) and against the floor of the same
writes (the same files, each written once, one sync for all). Each in a fresh
workspace on the same file system.

usage: bench/apply.py [tarvel-cli, default build/release/tarvel-cli] [projects, default 1000]
"""
import os
import subprocess
import sys
import tempfile
import time

cli = sys.argv[1] if len(sys.argv) > 1 else "build/release/tarvel-cli"
count = int(sys.argv[2]) if len(sys.argv) > 2 else 1000
here = os.path.dirname(os.path.abspath(cli))


def timed(action):
    start = time.monotonic()
    action()
    return time.monotonic() - start


def run(*arguments):
    subprocess.run([cli, *arguments], check=True, stdout=subprocess.DEVNULL)


def fresh():
    return tempfile.mkdtemp(dir=os.environ.get("BENCH_DIR", here))


def apply():
    workspace = fresh()
    with open(os.path.join(workspace, "fleet.csv"), "w") as csv:
        csv.write("name,rtu.baud,ascii.parity,rtu.timeout\n")
        for i in range(count):
            csv.write(f"P{i},19200,EVEN,{i % 60000}\n")
    run("--workspace", workspace, "apply", os.path.join(workspace, "fleet.csv"))


def per_step():
    workspace = fresh()
    for i in range(count):
        run("--workspace", workspace, "new", f"P{i}")
        run("--workspace", workspace, "set", f"P{i}", "rtu.baud=19200", "ascii.parity=EVEN",
            f"rtu.timeout={i % 60000}")
        run("--workspace", workspace, "image", f"P{i}")


def floor():
    workspace = fresh()
    projects = os.path.join(workspace, "PROJECTS")
    os.makedirs(projects)
    for i in range(count):
        folder = os.path.join(projects, f"P{i}")
        os.makedirs(os.path.join(folder, "bin"))
        for name, size in (("pargen.xml", 330), ("var.xml", 13), ("bin/bank.bin", 19)):
            with open(os.path.join(folder, name), "wb") as f:
                f.write(b"x" * size)
    os.sync()


results = {name: timed(action) for name, action in
           (("apply", apply), ("per-step loop", per_step), ("floor", floor))}
for name, seconds in results.items():
    print(f"{name}: {seconds:.2f} s for {count} projects "
          f"({seconds / count * 1000:.2f} ms a project)")
print(f"apply is {results['per-step loop'] / results['apply']:.1f}x faster than the per-step loop "
      f"and {results['apply'] / results['floor']:.1f}x the floor")
