"""The Python module against the runner: the same numbers for the same inputs, the same refusals,
and a scan that Ctrl-C stops keeping what finished.

Run by CTest with PYTHONPATH at the built package and KINKLAB_RUN naming the runner.
"""
import csv
import io
import os
import signal
import subprocess

import h5py
import numpy as np
import pytest

import kinklab

RUNNER = os.environ["KINKLAB_RUN"]


def runner(args, tmp_path, check=True):
    done = subprocess.run([RUNNER] + args, cwd=tmp_path, capture_output=True, text=True, timeout=600)
    if check:
        assert done.returncode == 0, done.stderr
    return done


def read_csv(path):
    with open(path) as f:
        return list(csv.DictReader(f))


def cell(text):
    return float(text) if text else None


PHI4 = kinklab.Model(kind=1)
SCAN = dict(velocities=(0.2, 0.3, 0.02), N=256, t=100)
SCAN_ARGS = ["--kind", "1", "--scan", "0.2:0.3:0.02", "--N", "256", "--t", "100"]


def test_run_and_refined_scan_give_the_runners_numbers(tmp_path):
    # A single run: every key the runner prints, to the last bit (it prints 17 digits).
    r = kinklab.run(PHI4, [(-5, 0.3), (5, -0.3)], L=10, N=256, t=10, every=40)
    out = runner(["--kink", "-5:0.3", "--kink", "5:-0.3", "--L", "10", "--N", "256", "--t", "10"], tmp_path).stdout
    printed = dict(line.split(": ", 1) for line in out.splitlines())
    for key in ["dx", "dt", "t", "E0", "E", "max_rel_drift", "max_rel_drift_centred", "height", "width", "energy"]:
        assert float(printed[key]) == pytest.approx(r.keys[key], rel=0, abs=1e-3 if key in
                                                    ("height", "width", "energy") else 0), key
    assert int(printed["steps"]) == r.keys["steps"] == len(r.energy)
    assert r.u.shape == (len(r.t), 257) and r.t[0] == 0 and r.t[1] == pytest.approx(40 * r.keys["dt"])
    assert r.energy[-1] == r.keys["E"]
    # The rows are the field: the row at t = 0 is the composed pair, near -1 outside, +1 between.
    assert r.u[0, 0] < -0.99 and r.u[0, 128] > 0.99 and r.u[0, -1] < -0.99

    # A tiny refined scan: its table, traces and edges are the record's, bit for bit.
    s = kinklab.scan(PHI4, refine=1e-3, progress=False, **SCAN)
    runner(SCAN_ARGS + ["--refine", "1e-3", "--scan-h5", "s.h5", "--edges", "e.csv"], tmp_path)
    with h5py.File(tmp_path / "s.h5") as f:
        np.testing.assert_array_equal(s.v, f["v"][:])
        assert list(s.outcome) == [c.decode() if isinstance(c, bytes) else c for c in f["class"][:]]
        np.testing.assert_array_equal(s.bounces, f["bounces"][:])
        for name in ["first_collision", "v_out", "end_distance"]:
            np.testing.assert_array_equal(s.__dict__[name], f[name][:])
        np.testing.assert_array_equal(s.trace, f["centre_u"][:])
        np.testing.assert_array_equal(s.trace_t, f["centre_t"][:])
    edges = read_csv(tmp_path / "e.csv")
    assert [(float(e["v_low"]), float(e["v_high"]), e["class_low"], e["class_high"]) for e in edges] == s.edges
    # phi4's critical velocity lies near 0.26 at this coarse grid; the bracket is the last edge.
    assert s.critical == s.edges[-1][:2] and s.edges[-1][3] == "escape1"
    assert s.critical[1] - s.critical[0] < 1e-3


def test_converged_scan_and_sweep_give_the_runners_tables(tmp_path):
    s = kinklab.scan(PHI4, (0.2, 0.3, 0.02), t=100, refine=2e-3, converge=[256, 512], progress=False)
    done = runner(["--scan", "0.2:0.3:0.02", "--t", "100", "--refine", "2e-3", "--converge", "256,512",
                   "--edges", "e.csv", "--scan-csv", "s.csv"], tmp_path)
    rows = read_csv(tmp_path / "e.csv")
    assert len(rows) == len(s.converged_edges) > 0
    for row, e in zip(rows, s.converged_edges):
        assert (row["class_low"], row["class_high"]) == (e["class_low"], e["class_high"])
        assert [cell(row["v_256"]), cell(row["v_512"])] == e["v"]
        assert cell(row["v_extrapolated"]) == e["extrapolated"] and cell(row["error"]) == e["error"]
    assert s.critical_line in done.stderr
    assert [g.N for g in s.per_grid] == [256, 512] and s.grids == [256, 512]

    w = kinklab.sweep(kinklab.Model(), (1, 2, 1), (0.2, 0.3, 0.05), N=256, t=100, refine=5e-3, progress=False)
    runner(["--scan", "0.2:0.3:0.05", "--sweep-modulation", "1:2:1", "--N", "256", "--t", "100",
            "--refine", "5e-3", "--sweep-csv", "w.csv"], tmp_path)
    table = read_csv(tmp_path / "w.csv")
    np.testing.assert_array_equal(w.values, [float(r["k"]) for r in table])
    for name in ["v_c_low", "v_c_high"]:
        np.testing.assert_array_equal(w.__dict__[name], [cell(r[name]) or np.nan for r in table])
    np.testing.assert_array_equal(w.edges, [int(r["edges"]) for r in table])
    np.testing.assert_array_equal(w.windows, [int(r["windows"]) for r in table])


# Each call and the runner line that says the same: the module's ValueError is the runner's
# refusal without its "kinklab-run: " prefix.
REFUSALS = [
    (lambda: kinklab.Model(potential="u^^2"), ["--kink", "0:0", "--potential", "u^^2"]),
    (lambda: kinklab.Model(kind=7), ["--kink", "0:0", "--kind", "7"]),
    (lambda: kinklab.Model(potential="a*(u^2-1)^2"), ["--kink", "0:0", "--potential", "a*(u^2-1)^2"]),
    (lambda: kinklab.Model(potential="phi6", vacua=[0, 0.5]), ["--kink", "0:0", "--potential", "phi6",
                                                               "--vacua", "0,0.5"]),
    (lambda: kinklab.run(PHI4, [(0, 1.5)]), ["--kind", "1", "--kink", "0:1.5"]),
    (lambda: kinklab.run(PHI4, [(0, 0.5)], N=100000), ["--kind", "1", "--kink", "0:0.5", "--N", "100000"]),
    (lambda: kinklab.scan(PHI4, (0.2, 1.3, 0.02)), ["--kind", "1", "--scan", "0.2:1.3:0.02"]),
    (lambda: kinklab.scan(PHI4, (0.2, 0.3, 0.1), refine=-1), ["--kind", "1", "--scan", "0.2:0.3:0.1",
                                                               "--refine", "-1"]),
    (lambda: kinklab.scan(PHI4, (0.2, 0.3, 0.1), converge=[512, 256], refine=1e-3),
     ["--kind", "1", "--scan", "0.2:0.3:0.1", "--converge", "512,256", "--refine", "0.001"]),
    (lambda: kinklab.scan(PHI4, (0.2, 0.3, 0.1), separation=10, L=12),
     ["--kind", "1", "--scan", "0.2:0.3:0.1", "--separation", "10", "--L", "12"]),
    (lambda: kinklab.sweep(PHI4, (0, 1, 0.5), (0.2, 0.3, 0.1), param="a"),
     ["--kind", "1", "--scan", "0.2:0.3:0.1", "--sweep-param", "a=0.0:1.0:0.5"]),
]


@pytest.mark.parametrize("call,line", REFUSALS)
def test_bad_arguments_raise_the_runners_message(call, line, tmp_path):
    with pytest.raises(ValueError) as raised:
        call()
    refused = runner(line, tmp_path, check=False)
    assert refused.returncode == 2
    assert refused.stderr.strip() == "kinklab-run: " + str(raised.value)
    assert list(tmp_path.iterdir()) == []


def test_arguments_of_the_wrong_type_raise_value_error():
    for call in [lambda: kinklab.Model(kind="one"), lambda: kinklab.run(PHI4, [(0, "fast")]),
                 lambda: kinklab.scan(PHI4, []), lambda: kinklab.scan(PHI4, [0.5, float("nan")]),
                 lambda: PHI4.static_kink(L=-1), lambda: kinklab.run(PHI4, [(0, 0.5)], every=-1)]:
        with pytest.raises(ValueError):
            call()


def test_ctrl_c_stops_a_scan_and_keeps_the_finished_runs():
    velocities = np.linspace(0.1, 0.5, 24)
    seen = []

    def progress(done, total):
        seen.append((done, total))
        if done >= 2:
            os.kill(os.getpid(), signal.SIGINT)

    with pytest.raises(KeyboardInterrupt) as raised:
        kinklab.scan(PHI4, velocities, N=256, t=150, jobs=2, progress=progress)
    part = raised.value.result
    assert isinstance(raised.value, kinklab.ScanInterrupted)
    assert 2 <= len(part.v) < len(velocities) and not part.complete
    assert all(total == len(velocities) for _, total in seen)
    # What finished is what the whole scan gives for those velocities.
    whole = kinklab.scan(PHI4, part.v, N=256, t=150, progress=False)
    np.testing.assert_array_equal(whole.v, part.v)
    assert list(whole.outcome) == list(part.outcome)
    np.testing.assert_array_equal(whole.trace, part.trace)
