#!/usr/bin/env python3
"""A bench run end to end with the real tarvel-cli: a queue of three, the
station killed with kill -9 while the second converter's updater runs, then
restarted while that updater still runs; the second converter then fails
once (exit code 2) and passes on the next run. The stand-in updater keeps a
copy of every bank.bin it is handed.

Checks: the killed attempt is recorded interrupted, its updater (which
holds the port's claim) waited for, never
signalled; no other row is written twice; each copy is its project's image
byte for byte; audit finds the chain whole, and one changed byte breaks it.

Needs a serial port that opens and raises DTR (pseudo-terminals refuse DTR);
exits 77 (skipped) when the machine has none.

Then, trials times: a station killed the moment its updater starts (before
or after the log names the updater) and resumed at once; the resume must wait
for that updater, so that no two updater runs on the port overlap.

usage: station_kill.py TARVEL_CLI [TRIALS, default 20]
"""
import fcntl
import glob
import json
import os
import signal
import subprocess
import sys
import tempfile
import time

cli = os.path.abspath(sys.argv[1])
trials = int(sys.argv[2]) if len(sys.argv) > 2 else 20
workspace = tempfile.mkdtemp()
copies = os.path.join(workspace, "copies")
control = os.path.join(workspace, "control")
os.makedirs(copies)
os.makedirs(control)
os.makedirs(os.path.join(workspace, "MASTER"))
open(os.path.join(workspace, "MASTER", "sim40917.sim"), "w").close()
updater = os.path.join(workspace, "Ser_40917_Update.exe")
with open(updater, "w") as f:
    f.write(f"""#!/bin/sh
running="{workspace}/running-$(printf %s "$1" | tr -c A-Za-z0-9 _)"
mkdir "$running" 2>/dev/null || touch "{workspace}/overlap"
for last; do :; done
project=$(basename "$(dirname "$last")")
cp "${{last}}bank.bin" "{copies}/$(date +%s%N)-$project.bin"
echo "updater for $project"
set -- $(head -n 1 "{control}/$project")
sed -i 1d "{control}/$project"
sleep "${{1:-0}}"
rmdir "$running"
exit "${{2:-0}}"
""")
os.chmod(updater, 0o755)
queue = os.path.join(workspace, "queue.csv")
log = os.path.join(workspace, "queue.audit.jsonl")


def plan(project, *runs):
    """Each run of the project's updater: seconds asleep, exit code."""
    with open(os.path.join(control, project), "w") as f:
        f.write("".join(f"{sleep} {code}\n" for sleep, code in runs))


def station(port, *more, **popen):
    return subprocess.Popen([cli, "--workspace", workspace, "station", queue, "--port", port,
                             "--yes", *more], stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                            stderr=subprocess.PIPE, text=True, **popen)


def records():
    with open(log) as f:
        return [json.loads(line) for line in f]


def outcomes(project):
    return [r["outcome"] for r in records() if r["project"] == project and r["event"] == "result"]


def fail(message):
    print("FAIL:", message)
    sys.exit(1)


# The ports that open and raise DTR here.
with open(queue, "w") as f:
    f.write("name\nProbe\n")
plan("Probe", (0, 0))
usable = []
listed = json.loads(subprocess.run([cli, "ports", "--json"], capture_output=True, text=True).stdout)
for candidate in (p["name"] for p in listed["ports"] if p["state"] == "free"):
    plan("Probe", (0, 0))
    if station(candidate, "--redo", "Probe").wait() == 0:
        usable.append(candidate)
if not usable:
    print("no serial port that raises DTR here: skipped")
    sys.exit(77)
port = usable[0]
os.remove(log)
for copy in glob.glob(os.path.join(copies, "*")):
    os.remove(copy)

with open(queue, "w") as f:
    f.write("name,rtu.baud\nLine-1,9600\nLine-2,19200\nLine-3,38400\n")
plan("Line-1", (0, 0))
plan("Line-2", (3, 0), (0, 2), (0, 0))
plan("Line-3", (0, 0))
first = station(port)
deadline = time.monotonic() + 60
while not (os.path.exists(log) and any(r["event"] == "updater" and r["project"] == "Line-2"
                                       for r in records())):
    if time.monotonic() > deadline or first.poll() is not None:
        fail("the second converter's updater never ran: " + first.stderr.read())
    time.sleep(0.05)
first.send_signal(signal.SIGKILL)
first.wait()

second = station(port)
out, err = second.communicate(timeout=120)
if second.returncode != 1:
    fail(f"the restart ended with {second.returncode}, not 1: {err}")
# The killed station's updater holds the port's claim, and the log names it:
# either makes the restart wait.
if "still runs on" not in err and "is in use by the station of" not in err:
    fail("the restart did not wait for the killed attempt's updater: " + err)
third = station(port)
out, err = third.communicate(timeout=120)
if third.returncode != 0:
    fail(f"the third run ended with {third.returncode}, not 0: {err}")

expected = {"Line-1": ["ok"], "Line-2": ["interrupted", "failed", "ok"], "Line-3": ["ok"]}
for project, wanted in expected.items():
    if outcomes(project) != wanted:
        fail(f"{project}: outcomes {outcomes(project)}, not {wanted}")
written = {project: 0 for project in expected}
for copy in sorted(glob.glob(os.path.join(copies, "*.bin"))):
    project = os.path.basename(copy).split("-", 1)[1][:-len(".bin")]
    written[project] += 1
    with open(copy, "rb") as a, open(os.path.join(workspace, "PROJECTS", project, "bin",
                                                  "bank.bin"), "rb") as b:
        if a.read() != b.read():
            fail(f"{copy} is not {project}'s image")
if written != {"Line-1": 1, "Line-2": 3, "Line-3": 1}:
    fail(f"images written: {written}")

audit = subprocess.run([cli, "audit", log], capture_output=True, text=True)
if audit.returncode != 0:
    fail("audit: " + audit.stderr)
with open(log, "rb") as f:
    text = bytearray(f.read())
text[text.index(b'"Line-1"') + 2] ^= 1  # one byte of the first line
with open(log, "wb") as f:
    f.write(text)
audit = subprocess.run([cli, "audit", log], capture_output=True, text=True)
if audit.returncode != 1 or f"{log}: line 1 was changed or removed: line 2 does not follow it" not in audit.stderr:
    fail("a changed byte went unseen: " + audit.stderr)

# Two stations on two ports share one queue and its log: no row twice.
if len(usable) >= 2:
    os.remove(log)
    names = [f"Pair-{i}" for i in range(1, 9)]
    with open(queue, "w") as f:
        f.write("name\n" + "".join(name + "\n" for name in names))
    for name in names:
        plan(name, (0.2, 0))
    pair = [station(usable[0]), station(usable[1])]
    ended = [p.communicate(timeout=120) for p in pair]
    if [p.returncode for p in pair] != [0, 0]:
        fail("two stations: " + " / ".join(err for out, err in ended))
    starts = [r["project"] for r in records() if r["event"] == "start"]
    if sorted(starts) != names:
        fail(f"two stations took rows {sorted(starts)}")
    if len({r["pid"] for r in records()}) != 2:
        fail("one station did all the work")
    print("two stations shared the queue without a row taken twice")

def copies_of(project):
    return len(glob.glob(os.path.join(copies, f"*-{project}.bin")))


# Killed the moment the updater starts, resumed at once. Once the start is
# in the log, this script takes the log's lock, as a slow writer would: the
# station then often cannot name its updater before it is killed.
with open(queue, "w") as f:
    f.write("name\nTrial\n")
unnamed = 0
for trial in range(trials):
    if os.path.exists(log):
        os.remove(log)
    plan("Trial", (0.3, 0), (0.3, 0))
    before = copies_of("Trial")
    first = station(port)
    deadline = time.monotonic() + 60
    while not (os.path.exists(log) and records()):
        if time.monotonic() > deadline or first.poll() is not None:
            fail(f"trial {trial}: no start: " + first.stderr.read())
        time.sleep(0.001)
    with open(log, "rb") as held:
        fcntl.flock(held, fcntl.LOCK_EX)
        while copies_of("Trial") == before:
            if time.monotonic() > deadline or first.poll() is not None:
                fail(f"trial {trial}: the updater never ran: " + first.stderr.read())
            time.sleep(0.002)
        first.send_signal(signal.SIGKILL)
        first.wait()
    unnamed += not any(r["event"] == "updater" for r in records())
    second = station(port)
    out, err = second.communicate(timeout=120)
    if second.returncode != 0:
        fail(f"trial {trial}: the resume ended with {second.returncode}: {err}")
    if os.path.exists(os.path.join(workspace, "overlap")):
        fail(f"trial {trial}: two updater runs overlapped on {port}: {err}")
    if outcomes("Trial") != ["interrupted", "ok"] or copies_of("Trial") != before + 2:
        fail(f"trial {trial}: outcomes {outcomes('Trial')}, {copies_of('Trial') - before} runs")
print(f"{trials} stations killed as their updater started ({unnamed} before the log named it): "
      "each resume waited for it")
subprocess.run(["rm", "-rf", workspace])
print("killed, resumed and audited: every row written as often as planned")
