#!/usr/bin/env python3
"""kill -9 trials: tarvel-cli's writers (set, image, new, copy, apply) are
killed at random moments, half of the time with every system call slowed
down by strace, so that kills land inside each step. After every kill:

- every project folder is whole (pargen.xml, var.xml, bin) or absent;
- every document parses (tarvel-cli show) and every image has 4 or 19 bytes;
- after the next write of the same kind, which runs to its end, nothing is
  left over: no build folder, no build marker, no temporary file.

usage: tests/crash/kill_trials.py TARVEL-CLI [seconds, default 60] [start of the random choices]
Exits 1 when a trial breaks one of these.
"""
import os
import random
import shutil
import signal
import subprocess
import sys
import tempfile
import time

cli = os.path.abspath(sys.argv[1])
budget = float(sys.argv[2]) if len(sys.argv) > 2 else 60.0
first_choice = int(sys.argv[3]) if len(sys.argv) > 3 else random.randrange(1 << 30)
chance = random.Random(first_choice)
slowing = shutil.which("strace")
workspace = tempfile.mkdtemp(prefix="tarvel-kill-")
projects = os.path.join(workspace, "PROJECTS")
existing = ["P1", "P2", "P3"]
fresh_names = (f"N{i}" for i in range(1 << 30))
problems = []


def run(arguments, check=True):
    done = subprocess.run([cli, "--workspace", workspace, *arguments], capture_output=True,
                          text=True)
    if check and done.returncode != 0:
        problems.append(f"{' '.join(arguments)} failed: {done.stderr.strip()}")
    return done


def some_values():
    return (chance.choice(["1200", "9600", "19200", "115200"]), chance.choice(["NONE", "ODD", "EVEN"]),
            str(chance.randrange(60001)))


def apply_file():
    path = os.path.join(workspace, "fleet.csv")
    with open(path, "w") as csv:
        csv.write("name,rtu.baud,ascii.parity,rtu.timeout\n")
        for name in existing + [f"A{i}" for i in range(5)]:
            csv.write(name + "," + ",".join(some_values()) + "\n")
    return path


def command(kind):
    baud, parity, timeout = some_values()
    if kind == "set":
        return ["set", chance.choice(existing), f"rtu.baud={baud}", f"ascii.parity={parity}",
                f"rtu.timeout={timeout}"]
    if kind == "image":
        return ["image", chance.choice(existing)]
    if kind == "new":
        return ["new", next(fresh_names)]
    if kind == "copy":
        return ["copy", chance.choice(existing), next(fresh_names)]
    return ["apply", apply_file()]


def group_still_runs(group):
    """Whether a process of the group lives on (a zombie has ended)."""
    for entry in os.listdir("/proc"):
        if not entry.isdigit():
            continue
        try:
            with open(f"/proc/{entry}/stat") as stat:
                fields = stat.read().rsplit(")", 1)[1].split()
        except OSError:
            continue
        if int(fields[2]) == group and fields[0] not in ("Z", "X"):
            return True
    return False


def killed(arguments, slowed):
    prefix = [slowing, "-f", "-o", "/dev/null", "-e", "inject=all:delay_exit=3000"] if slowed else []
    process = subprocess.Popen(prefix + [cli, "--workspace", workspace, *arguments],
                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                               start_new_session=True)
    time.sleep(chance.uniform(0, 0.4 if slowed else 0.03))
    try:
        os.killpg(process.pid, signal.SIGKILL)
    except ProcessLookupError:
        pass
    process.wait()
    # A traced program dies a moment after its tracer; until then its build
    # is rightly taken for one in progress.
    deadline = time.monotonic() + 5
    while group_still_runs(process.pid) and time.monotonic() < deadline:
        time.sleep(0.01)


def project_folders():
    folders = []
    for top, names, _ in os.walk(projects):
        for name in list(names):
            path = os.path.join(top, name)
            if name == "bin" or name.startswith(".tarvel-build-"):
                names.remove(name)
            elif os.path.exists(os.path.join(path, "pargen.xml")) or os.path.isdir(os.path.join(path, "bin")):
                folders.append(path)
    return folders


def check_whole(after):
    for folder in project_folders():
        name = os.path.relpath(folder, projects)
        for part in ("pargen.xml", "var.xml", "bin"):
            if not os.path.exists(os.path.join(folder, part)):
                problems.append(f"after {after}: {name} has no {part}")
        if run(["show", name], check=False).returncode != 0:
            problems.append(f"after {after}: {name}'s document does not parse")
        image = os.path.join(folder, "bin", "bank.bin")
        if os.path.exists(image) and os.path.getsize(image) not in (4, 19):
            problems.append(f"after {after}: {name}'s image has {os.path.getsize(image)} bytes")


def unmarked_build(path):
    """A build folder killed before its marker was whole: empty, or its marker cut short."""
    entries = os.listdir(path)
    if not entries:
        return True
    marker = os.path.join(path, ".tarvel-build")
    if entries != [".tarvel-build"] or not os.path.isfile(marker):
        return False
    with open(marker) as text:
        lines = text.read().split("\n")
    return len(lines) != 9 or lines[-1] != ""


def clear_aged_unmarked_builds():
    """An unmarked build is cleared only once some minutes old: younger, it may be
    one whose marker is being written. Age those the kill left; a new clears them."""
    aged = False
    for top, names, _ in os.walk(projects):
        for name in names:
            path = os.path.join(top, name)
            if name.startswith(".tarvel-build-") and unmarked_build(path):
                an_hour_ago = time.time() - 3600
                os.utime(path, (an_hour_ago, an_hour_ago))
                aged = True
    if aged:
        run(command("new"))


def check_no_leftovers(after):
    clear_aged_unmarked_builds()
    for top, names, files in os.walk(projects):
        for entry in names + files:
            if entry.startswith(".tarvel-build") or (entry.startswith(".") and entry != ".tarvel-lock"):
                problems.append(f"after {after}: {os.path.relpath(os.path.join(top, entry), projects)} is left")


def next_write(kind, arguments):
    """The same kind of write, to its end: it clears what the kill left."""
    if kind in ("new", "copy"):
        run(command(kind))
    elif kind == "apply":
        run(["apply", apply_file()])
    else:
        run(arguments)
        if kind == "image":  # a set would clear a document's leftovers too
            run(["set", arguments[1], "mode=0"])
    if kind in ("set", "image", "apply"):
        for name in existing:  # the lock of each project clears its own
            run(["image", name])


def main():
    for name in existing:
        run(["new", name])
    start = time.monotonic()
    trials = slowed_trials = 0
    while time.monotonic() - start < budget and not problems:
        kind = chance.choice(["set", "image", "new", "copy", "apply"])
        arguments = command(kind)
        slowed = bool(slowing) and chance.random() < 0.5
        killed(arguments, slowed)
        trials += 1
        slowed_trials += slowed
        after = f"trial {trials}, {' '.join(arguments)} killed{' (slowed)' if slowed else ''}"
        check_whole(after)
        next_write(kind, arguments)
        check_whole(after + ", then the next write")
        check_no_leftovers(after + ", then the next write")
    print(f"{trials} kill -9 trials ({slowed_trials} with slowed system calls), "
          f"random start {first_choice}: "
          f"{len(problems)} problems")
    for problem in problems[:20]:
        print("  " + problem)
    shutil.rmtree(workspace, ignore_errors=True)
    return 1 if problems else 0


sys.exit(main())
