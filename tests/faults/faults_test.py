#!/usr/bin/python3
"""Faults a careful user meets, each from a table: a disk that fills part-way (a file-size limit,
SIGXFSZ ignored), a stop in each phase, a damaged record, two writers of one output, and a closed
standard error. Each case asserts the status, the message, that an older file stays byte for byte
as it was, that the other outputs are written, and that no temporary file is left."""
import os
import resource
import shutil
import signal
import subprocess
import sys
import tempfile
import time

import h5py

RUNNER = sys.argv[1]
failures = []
passed = 0


def check(ok, what):
    global passed
    if ok:
        passed += 1
    else:
        failures.append(what)
        print("FAILED: " + what, flush=True)


def limited(kb):
    def limit():
        signal.signal(signal.SIGXFSZ, signal.SIG_IGN)
        resource.setrlimit(resource.RLIMIT_FSIZE, (kb * 1024, resource.RLIM_INFINITY))
    return limit


def run(args, folder, limit_kb=None, stderr=subprocess.PIPE, timeout=300):
    return subprocess.run([RUNNER] + args, cwd=folder, stdout=subprocess.PIPE, stderr=stderr, text=True,
                          preexec_fn=limited(limit_kb) if limit_kb else None, timeout=timeout)


def read(path):
    with open(path, "rb") as f:
        return f.read()


def temporaries(folder):
    return [n for n in os.listdir(folder) if n.endswith(".tmp")]


SCAN = ["--scan", "0.2:0.3:0.05", "--N", "256", "--t", "60"]
OTHER_SCAN = ["--scan", "0.2:0.3:0.025", "--N", "256", "--t", "60"]
RUN = ["--N", "256", "--kink", "0:0.5", "--t", "20"]
OTHER_RUN = ["--N", "256", "--kink", "0:0.3", "--t", "20"]

# A full disk: (name, the command that makes the older files, the command run again under the
# limit, the limit in kB, the outputs that fail, the outputs still written).
FULL_DISK = [
    ("scan record", SCAN + ["--scan-h5", "a.h5", "--scan-csv", "a.csv"],
     OTHER_SCAN + ["--scan-h5", "a.h5", "--scan-csv", "a.csv"], 20, ["a.h5"], ["a.csv"]),
    ("scan record on a nearly full disk", SCAN + ["--scan-h5", "a.h5", "--scan-csv", "a.csv"],
     OTHER_SCAN + ["--scan-h5", "a.h5", "--scan-csv", "a.csv"], 2, ["a.h5"], ["a.csv"]),
    ("sweep record", SCAN + ["--sweep-modulation", "0:0.5:0.5", "--sweep-h5", "w.h5", "--sweep-csv", "w.csv"],
     OTHER_SCAN + ["--sweep-modulation", "0:0.5:0.5", "--sweep-h5", "w.h5", "--sweep-csv", "w.csv"], 40,
     ["w.h5"], ["w.csv"]),
    ("converged record and edges", SCAN[:2] + ["--t", "60", "--refine", "0.02", "--converge", "256,512",
                                                "--scan-h5", "c.h5", "--edges", "c.csv"],
     OTHER_SCAN[:2] + ["--t", "60", "--refine", "0.01", "--converge", "256,512", "--scan-h5", "c.h5", "--edges",
                       "c.csv"], 30,
     ["c.h5"], ["c.csv"]),
    ("a run's record and movie", RUN + ["--h5", "r.h5", "--movie", "m.gif", "--energy", "e.csv", "--dump", "d.csv"],
     OTHER_RUN + ["--h5", "r.h5", "--movie", "m.gif", "--energy", "e.csv", "--dump", "d.csv"], 100,
     ["r.h5", "m.gif"], ["e.csv", "d.csv"]),
    ("a run's dump", RUN + ["--dump", "d.csv", "--energy", "e.csv"],
     OTHER_RUN + ["--dump", "d.csv", "--energy", "e.csv"], 30, ["d.csv"], ["e.csv"]),
]

for name, first, again, kb, failing, written in FULL_DISK:
    folder = tempfile.mkdtemp(prefix="kinklab-faults-")
    made = run(first, folder)
    check(made.returncode == 0, name + ": the first run: " + made.stderr[-300:])
    before = {f: read(os.path.join(folder, f)) for f in failing + written}
    r = run(again, folder, limit_kb=kb)
    check(r.returncode == 1, "%s: status %d, not 1" % (name, r.returncode))
    for f in failing:
        check(read(os.path.join(folder, f)) == before[f], name + ": the older " + f + " was changed")
        check(any(line.startswith("kinklab-run: cannot write " + f + ": ") and line.endswith(": File too large")
                  for line in r.stderr.splitlines()), name + ": no message for " + f + ": " + r.stderr)
    for f in written:
        check(read(os.path.join(folder, f)) != before[f], name + ": " + f + " was not written")
    if "--kink" in again:
        check("E0:" in r.stdout, name + ": the summary is missing")
    check(temporaries(folder) == [], name + ": temporary files left: %s" % temporaries(folder))
    shutil.rmtree(folder)

# The log on a full disk: the system's reason, no line cut, a status that says so.
folder = tempfile.mkdtemp(prefix="kinklab-faults-")
r = run(RUN + ["--mark", "-2:2", "--log", "lg", "--log-period", "1"], folder, limit_kb=8)
check(r.returncode == 1, "log: status %d, not 1" % r.returncode)
check('Cannot append to the log file "lg.txt": File too large' in r.stderr, "log: the message: " + r.stderr)
text = read(os.path.join(folder, "lg.txt")).decode("latin-1")
records = [line for line in text.splitlines()[1:] if line.strip()]
check(text.endswith("\n") and len(records) > 10 and len(set(len(line) for line in records)) == 1, "log: a line was cut")
shutil.rmtree(folder)


def stopped(args, folder, runs, sig=signal.SIGTERM):
    """Runs the command and stops it once its progress says `runs` runs are done (0: at its
    first line, before any run can finish)."""
    p = subprocess.Popen([RUNNER] + args, cwd=folder, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
    seen = []
    deadline = time.monotonic() + 120
    for line in p.stderr:
        seen.append(line)
        words = line.split()
        if runs == 0 or (len(words) > 2 and words[0] == "scan:" and words[2].rstrip(",") == "done" and
                         int(words[1].split("/")[0]) >= runs) or time.monotonic() > deadline:
            break
    p.send_signal(sig)
    rest = p.stderr.read()
    p.wait(120)
    return p.returncode, "", "".join(seen) + rest


SLOW = ["--scan", "0.1:0.5:0.01", "--N", "1024", "--t", "200", "--jobs", "1"]
# A stop before any run finished writes nothing: the older files stay.
folder = tempfile.mkdtemp(prefix="kinklab-faults-")
for f in ["s.csv", "s.h5", "s.png"]:
    with open(os.path.join(folder, f), "wb") as out:
        out.write(b"older")
# (runs of seconds each in extended precision, so that none can finish before the signal)
status, out, err = stopped(["--scan", "0.1:0.5:0.01", "--N", "4096", "--t", "200", "--precision", "extended",
                            "--jobs", "1", "--scan-csv", "s.csv", "--scan-h5", "s.h5", "--scan-png", "s.png"], folder, 0)
check(status == 128 + signal.SIGTERM, "stop before a run: status %d" % status)
check("no output file is written" in err, "stop before a run: the message: " + err)
check(all(read(os.path.join(folder, f)) == b"older" for f in ["s.csv", "s.h5", "s.png"]),
      "stop before a run: an older file was replaced")

# A converged scan stopped in its first grid keeps the older edges and records the finished
# runs as a record that says it is not complete; the merge refuses it, naming the command that
# completes it, and --from-h5 resumes it to the edges of the scan run in one piece.
with open(os.path.join(folder, "e.csv"), "wb") as out:
    out.write(b"older")
CONVERGED = ["--scan", "0.1:0.5:0.02", "--t", "100", "--refine", "0.01", "--converge", "512,1024"]
status, out, err = stopped(CONVERGED + ["--jobs", "1", "--scan-h5", "c.h5", "--edges", "e.csv"], folder, 3)
check(status == 128 + signal.SIGTERM, "converged stop: status %d" % status)
check(read(os.path.join(folder, "e.csv")) == b"older", "converged stop: the older edges were replaced")
with h5py.File(os.path.join(folder, "c.h5"), "r") as f:
    check(f["N512"].attrs["complete"] == 0 and 0 < len(f["N512/v"]) < 21 and len(f["N1024/v"]) == 0,
          "converged stop: the record does not hold the finished runs as incomplete")
r = run(["--scan-merge", "c.h5", "--scan-csv", "m.csv"], folder)
check(r.returncode == 2 and "c.h5: stopped before it finished (N512: " in r.stderr and
      "complete it by running its command again: kinklab-run --scan" in r.stderr, "converged merge: " + r.stderr)
r = run(["--from-h5", "c.h5", "--refine", "0.01", "--edges", "resumed.csv"], folder)
check(r.returncode == 0 and "scan: resuming c.h5: " in r.stderr, "converged resume: " + r.stderr[-300:])
run(CONVERGED + ["--edges", "whole.csv"], folder)
check(read(os.path.join(folder, "resumed.csv")) == read(os.path.join(folder, "whole.csv")),
      "converged resume: the edges differ from the scan's in one piece")

# A sweep stopped in its first k resumes to the table of the sweep run in one piece.
SWEEP = ["--scan", "0.1:0.5:0.05", "--t", "100", "--N", "512", "--refine", "0.01", "--sweep-modulation", "0:1:0.5"]
status, out, err = stopped(SWEEP + ["--jobs", "1", "--sweep-h5", "w.h5"], folder, 3)
r = run(["--from-h5", "w.h5", "--refine", "0.01", "--sweep-csv", "resumed.csv"], folder)
run(SWEEP + ["--sweep-csv", "whole.csv"], folder)
check(status == 128 + signal.SIGTERM and r.returncode == 0 and "scan: resuming w.h5: " in r.stderr and
      read(os.path.join(folder, "resumed.csv")) == read(os.path.join(folder, "whole.csv")),
      "sweep resume: " + r.stderr[-300:])

# A stopped scan's record: the merge refuses it, --from-h5 resumes it.
status, out, err = stopped(SLOW + ["--scan-h5", "p.h5"], folder, 3)
r = run(["--scan-merge", "p.h5", "--scan-csv", "m.csv"], folder)
check(r.returncode == 2 and "p.h5: stopped before it finished (" in r.stderr, "merge of a stopped share: " + r.stderr)
r = run(["--from-h5", "p.h5", "--refine", "0.05", "--scan-csv", "m.csv"], folder)
check(r.returncode == 0 and "scan: resuming p.h5: " in r.stderr and
      len(read(os.path.join(folder, "m.csv")).splitlines()) >= 42, "resume: " + r.stderr[-400:])
check(temporaries(folder) == [], "stops: temporary files left")
shutil.rmtree(folder)

# Damaged records: a value out of the run's reach, and a flipped bit in a checksummed chunk.
folder = tempfile.mkdtemp(prefix="kinklab-faults-")
run(SCAN + ["--scan-h5", "a.h5"], folder)
shutil.copy(os.path.join(folder, "a.h5"), os.path.join(folder, "b.h5"))
with h5py.File(os.path.join(folder, "b.h5"), "r+") as f:
    f["end_distance"][0] = 984208.07
r = run(["--from-h5", "b.h5", "--refine", "0.01"], folder)
check(r.returncode == 2 and "end_distance 984208.07 lies beyond the run's reach" in r.stderr, "damaged: " + r.stderr)
with h5py.File(os.path.join(folder, "a.h5"), "r") as f:
    offset = f["centre_u"].id.get_chunk_info(0).byte_offset
data = bytearray(read(os.path.join(folder, "a.h5")))
data[offset + 100] ^= 0x10
with open(os.path.join(folder, "c.h5"), "wb") as out:
    out.write(data)
r = run(["--scan-merge", "c.h5", "--scan-csv", "m.csv"], folder)
check(r.returncode == 2 and "c.h5: " in r.stderr, "flipped bit: " + r.stderr)
shutil.rmtree(folder)

# A signal while a record is read ends the read at once: a pipe in the record's place never
# gives the reader its bytes.
folder = tempfile.mkdtemp(prefix="kinklab-faults-")
os.mkfifo(os.path.join(folder, "pipe.h5"))
for args in (["--from-h5", "pipe.h5", "--refine", "0.01"], ["--scan-merge", "pipe.h5"]):
    p = subprocess.Popen([RUNNER] + args, cwd=folder, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
    time.sleep(0.5)
    p.send_signal(signal.SIGINT)
    started = time.monotonic()
    try:
        err = p.communicate(timeout=20)[1]
    except subprocess.TimeoutExpired:
        p.kill()
        err = p.communicate()[1]
    check(p.returncode == 130 and time.monotonic() - started < 5 and "pipe.h5: reading stopped" in err,
          "%s read stopped: status %s, %s" % (args[0], p.returncode, err))
shutil.rmtree(folder)

# Two writers of the same outputs: each file whole, the CSV and the record from the same one, no
# temporary file left.
folder = tempfile.mkdtemp(prefix="kinklab-faults-")
for trial in range(3):
    outputs = ["--scan-csv", "x.csv", "--scan-h5", "x.h5"]
    a = subprocess.Popen([RUNNER] + SCAN + outputs, cwd=folder, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    b = subprocess.Popen([RUNNER, "--scan", "0.21:0.31:0.05"] + SCAN[2:] + outputs, cwd=folder,
                         stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    check(a.wait(120) == 0 and b.wait(120) == 0, "two writers: a status was not 0")
    rows = read(os.path.join(folder, "x.csv")).decode().splitlines()
    with h5py.File(os.path.join(folder, "x.h5"), "r") as f:
        first = float(rows[1].split(",")[0])
        check(len(rows) == 4 and len(f["v"]) == 3 and first in (0.2, 0.21) and f["v"][0] == first,
              "two writers: a CSV from v = %s beside a record from v = %s" % (rows[1], f["v"][0]))
    check(temporaries(folder) == [], "two writers: temporary files left")
shutil.rmtree(folder)

# A closed standard error: the scan goes on and writes its rows.
folder = tempfile.mkdtemp(prefix="kinklab-faults-")
reader, writer = os.pipe()
os.close(reader)
r = run(SCAN + ["--scan-csv", "s.csv"], folder, stderr=writer)
os.close(writer)
check(r.returncode == 0 and len(read(os.path.join(folder, "s.csv")).splitlines()) == 4,
      "closed stderr: status %d" % r.returncode)
shutil.rmtree(folder)

print("%d passed, %d failed" % (passed, len(failures)))
sys.exit(1 if failures else 0)
