#!/usr/bin/env python3
"""The station on a terminal. While it waits for a new port, q typed there
quits and any other line is told why it is not taken. Enter typed while the
updater writes the first converter must not answer the second converter's
first prompt. The Enter is
in the terminal's input before the updater is let go (its gate), so only the
station's discarding of typed-ahead input keeps it from the next prompt; the
q sent at that prompt then quits before the second converter is claimed.

The second part needs a serial port that opens and raises DTR
(pseudo-terminals refuse DTR); exits 77 (skipped) when the machine has none.

usage: station_pty.py TARVEL_CLI FAKE_UPDATER
"""
import fcntl
import json
import os
import pty
import shutil
import subprocess
import sys
import tempfile
import termios
import time

cli, fake_updater = (os.path.abspath(path) for path in sys.argv[1:3])
workspace = tempfile.mkdtemp()
os.makedirs(os.path.join(workspace, "MASTER"))
open(os.path.join(workspace, "MASTER", "sim40917.sim"), "w").close()
shutil.copy(fake_updater, os.path.join(workspace, "Ser_40917_Update.exe"))
queue = os.path.join(workspace, "queue.csv")
log = os.path.join(workspace, "queue.audit.jsonl")
gate = os.path.join(workspace, "gate")
os.environ["TARVEL_UPDATER_EXIT_CODE"] = "0"


def fail(message):
    print("FAIL:", message)
    sys.exit(1)


def read_until(master, process, text, seen=b"", count=1):
    """Reads the terminal until text has appeared count times; all that was read."""
    deadline = time.monotonic() + 60
    while seen.count(text) < count:
        if time.monotonic() > deadline or process.poll() is not None:
            fail(f"never saw {text!r}: {seen.decode(errors='replace')}")
        try:
            seen += os.read(master, 4096)
        except OSError:
            pass
    return seen


# Waiting for a port that never comes: the operator's q ends the wait.
with open(queue, "w") as f:
    f.write("name\nWaiting\n")
empty = os.path.join(workspace, "by-id")
os.makedirs(empty)
master, terminal = pty.openpty()
station = subprocess.Popen([cli, "--workspace", workspace, "station", queue, "--wait-port",
                            "--watch", empty], stdin=terminal, stdout=subprocess.DEVNULL,
                           stderr=terminal)
seen = read_until(master, station, b"(q quits)")
os.write(master, b"x\n")
seen = read_until(master, station, b"only q is taken", seen)
os.write(master, b"q\n")
if station.wait(timeout=60) != 1:
    fail("q while waiting for a port did not end the station with 1")
os.close(master)
os.close(terminal)
os.remove(log)


# A port that opens and raises DTR here.
with open(queue, "w") as f:
    f.write("name\nProbe\n")
listed = json.loads(subprocess.run([cli, "--workspace", workspace, "ports", "--json"],
                                   capture_output=True, text=True).stdout)
port = None
for candidate in (p["name"] for p in listed["ports"] if p["state"] == "free"):
    probe = subprocess.run([cli, "--workspace", workspace, "station", queue, "--port", candidate,
                            "--yes", "--redo", "Probe"], stdin=subprocess.DEVNULL,
                           capture_output=True)
    if probe.returncode == 0:
        port = candidate
        break
if port is None:
    print("no serial port that raises DTR here: skipped")
    sys.exit(77)
os.remove(log)

with open(queue, "w") as f:
    f.write("name\nFirst\nSecond\n")
os.environ["TARVEL_UPDATER_GATE"] = gate
master, terminal = pty.openpty()
station = subprocess.Popen([cli, "--workspace", workspace, "station", queue, "--port", port],
                           stdin=terminal, stdout=subprocess.DEVNULL, stderr=terminal)
seen = b""


def wait_for(text, count=1):
    """Reads the terminal until text has appeared count times in all."""
    global seen
    seen = read_until(master, station, text, seen, count)


def typed_ahead():
    """Whether a line waits in the terminal's input."""
    waiting = bytearray(4)
    fcntl.ioctl(terminal, termios.FIONREAD, waiting)
    return int.from_bytes(waiting, sys.byteorder) > 0


wait_for(b"Enter when done")
os.write(master, b"\n")
wait_for(b"Enter when it blinks")
os.write(master, b"\n")
wait_for(b"Updater running")
os.write(master, b"\n")  # a stray Enter while the updater writes
deadline = time.monotonic() + 60
while not typed_ahead():
    if time.monotonic() > deadline:
        fail("the Enter never reached the terminal's input")
open(gate, "w").close()
wait_for(b"Enter when done", 2)
os.write(master, b"q\n")
station.wait(timeout=60)
with open(log) as f:
    projects = [json.loads(line).get("project") for line in f]
if "Second" in projects:
    fail("the Enter typed during the updater's run answered the next prompt: "
         + seen.decode(errors="replace"))
if "First" not in projects:
    fail("the first converter was not written")
shutil.rmtree(workspace)
print("an Enter typed while the updater ran answered no prompt")
