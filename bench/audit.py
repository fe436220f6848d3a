#!/usr/bin/env python3
"""audit --key of a signed log of 100,000 lines, as a station writes it: for
each row a start, an updater and a result record, then a checkpoint. Prints
the elapsed time and the peak memory of the audit, which reads the log a
piece at a time. Signs with the system's libsodium, as tarvel-cli does.

usage: bench/audit.py [tarvel-cli, default build/release/tarvel-cli] [lines, default 100000]
"""
import ctypes
import hashlib
import json
import os
import resource
import subprocess
import sys
import tempfile
import time

cli = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else "build/release/tarvel-cli")
lines = int(sys.argv[2]) if len(sys.argv) > 2 else 100000

sodium = ctypes.CDLL("libsodium.so.23")
assert sodium.sodium_init() >= 0
folder = tempfile.mkdtemp()
key = os.path.join(folder, "bench.key")
subprocess.run([cli, "keygen", key], check=True, capture_output=True)
with open(key) as f:
    secret = bytes.fromhex(f.read().split()[3])
with open(key + ".pub") as f:
    public = bytes.fromhex(f.read().split()[3])
key_id = hashlib.sha256(public).hexdigest()[:16]


def sign(message):
    signature = ctypes.create_string_buffer(64)
    sodium.crypto_sign_detached(signature, None, message, ctypes.c_ulonglong(len(message)), secret)
    return signature.raw.hex()


log_id = os.urandom(16).hex()
now = "2026-12-10T12:00:00.000Z"
image = "00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F 10 11 12"
log = os.path.join(folder, "queue.audit.jsonl")
prev = None
written = 0
with open(log, "w") as f:
    def put(record):
        global prev, written
        record["prev"] = prev
        line = json.dumps(record, separators=(",", ":"))
        prev = hashlib.sha256(line.encode()).hexdigest()
        f.write(line + "\n")
        written += 1

    row = 0
    while written < lines:
        row += 1
        attempt = {"version": 1, "project": f"Row-{row:06d}", "row": row + 1, "port": "COM1",
                   "device": "/dev/ttyS0", "adapter": None, "image": image,
                   "imageSha256": hashlib.sha256(bytes.fromhex(image.replace(" ", ""))).hexdigest(),
                   "pargenSha256": "", "options": ["FW", "FR", "PW", "PR"], "started": now,
                   "host": "bench", "boot": "b", "user": "bench", "pid": 4121, "pidStart": 1,
                   "tool": "tarvel-cli bench"}
        if written == 0:
            attempt["log"] = log_id
        for event in ("start", "updater", "result"):
            record = dict(attempt, event=event)
            if event == "updater":
                record.update(updaterPid=4122, updaterStarted=2)
            if event == "result":
                record.update(outcome="ok", exitCode=0, ended=now, output="Done.\n")
            put(record)
            attempt.pop("log", None)
        message = f"tarvel-checkpoint 1\n{log_id}\n{written}\n{prev}\n{now}\n".encode()
        put({"version": 1, "event": "checkpoint", "log": log_id, "records": written,
             "head": prev, "time": now, "key": key_id, "signature": sign(message)})

start = time.monotonic()
audit = subprocess.run([cli, "audit", log, "--key", key + ".pub", "--csv"],
                       stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
elapsed = time.monotonic() - start
peak = resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss / 1024
if audit.returncode != 0:
    sys.exit(f"audit failed ({audit.returncode}): {audit.stderr.strip()}")
print(f"audit --key of {written} lines ({os.path.getsize(log) >> 20} MiB): "
      f"{elapsed:.2f} s, peak {peak:.1f} MiB")
if not os.environ.get("BENCH_KEEP"):
    subprocess.run(["rm", "-rf", folder])
else:
    print(folder)
