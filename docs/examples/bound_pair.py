#!/usr/bin/python3
"""Reads a KinkLab record and plots what it holds.

A run record (kinklab-run --h5 FILE) of a kink and an antikink that captured each other:
u(0, t) over the run and the spectrum of its oscillation over the analysed part, with the
strongest frequency marked. The frequency is printed as "frequency: F" (cycles per unit of
time; the angular frequency is 2 pi F).

A scan record (kinklab-run --scan ... --scan-h5 FILE, or a --scan-merge of the shares): the map
of u(0, t) over the velocities from centre_u, with the edges of a refinement marked, and a line
"runs: N, captured: C, escaped: E" with, when the scan has one, "critical velocity: A .. B".

    /usr/bin/python3 docs/examples/bound_pair.py run.h5 [--from T] [--png FILE]
    /usr/bin/python3 docs/examples/bound_pair.py scan.h5 [--png FILE]

--from T analyses t >= T (default: the second half of the record, after the capture);
--png FILE names the picture (default: the record's name with -bound-pair.png for a run record,
-edges.png for a scan record, so that run.h5 gives run-bound-pair.png and scan.h5 gives
scan-edges.png beside the runner's own scan.png). A picture that KinkLab wrote (its PNG names
KinkLab as its Software) is never written over: the script stops with a message instead.

Needs Debian's python3-h5py, python3-numpy and python3-matplotlib.
"""
import argparse
import os
import struct
import sys

import h5py
import matplotlib

matplotlib.use("Agg")  # no display needed
import matplotlib.pyplot as plt  # noqa: E402
import numpy as np  # noqa: E402


def written_by_kinklab(path):
    """True when `path` is a PNG whose Software text names KinkLab: a picture of the runner or
    the window, which this script must not replace."""
    try:
        with open(path, "rb") as f:
            data = f.read()
    except OSError:
        return False
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        return False
    pos = 8
    while pos + 8 <= len(data):
        (length,) = struct.unpack(">I", data[pos : pos + 4])
        kind = data[pos + 4 : pos + 8]
        if kind == b"tEXt":
            key, _, value = data[pos + 8 : pos + 8 + length].partition(b"\0")
            if key == b"Software" and value.startswith(b"KinkLab"):
                return True
        if kind == b"IEND":
            break
        pos += 12 + length
    return False


def centre_series(record):
    """t and u(0, t) from a run record: the column nearest x = 0."""
    x = record["x"][:]
    column = int(np.argmin(np.abs(x)))
    if abs(x[column]) > record.attrs["dx"] * record.attrs["stride"]:
        sys.exit(f"the record holds no point near x = 0 (nearest: {x[column]})")
    return record["t"][:], record["u"][:, column]


def strongest_frequency(t, u):
    """The frequency of the highest peak of the spectrum of u (its mean taken away), with the
    frequencies and magnitudes of the spectrum. The series is windowed (Hann) and padded to
    eight times its length; the peak is refined by a parabola through its three samples."""
    step = t[1] - t[0]
    if not np.allclose(np.diff(t), step, rtol=1e-9, atol=0):
        sys.exit("the rows of the record are not evenly spaced in t")
    padded = 8 * len(u)
    magnitude = np.abs(np.fft.rfft((u - u.mean()) * np.hanning(len(u)), padded))
    frequencies = np.fft.rfftfreq(padded, step)
    k = 1 + int(np.argmax(magnitude[1:-1]))
    a, b, c = np.log(magnitude[k - 1 : k + 2] + 1e-300)
    shift = 0.5 * (a - c) / (a - 2 * b + c) if a - 2 * b + c != 0 else 0.0
    return (k + shift) * (frequencies[1] - frequencies[0]), frequencies, magnitude


def run_section(record, args):
    t, u = centre_series(record)
    start = args.start if args.start is not None else 0.5 * t[-1]
    part = t >= start
    if part.sum() < 16:
        sys.exit(f"too few rows after t = {start}: {part.sum()}")
    frequency, frequencies, magnitude = strongest_frequency(t[part], u[part])

    figure, (above, below) = plt.subplots(2, 1, figsize=(8, 6), constrained_layout=True)
    above.plot(t, u, lw=0.8, color="tab:blue")
    above.axvspan(t[part][0], t[-1], color="0.9", zorder=0, label="analysed")
    above.set_xlabel("t")
    above.set_ylabel("u(0, t)")
    above.legend(loc="lower left")
    above.set_title(f"{record.attrs['program']}: kind {record.attrs['kind']}, N = {record.attrs['N']}")
    below.plot(frequencies, magnitude, lw=0.8, color="tab:red")
    below.axvline(frequency, color="k", ls="--", lw=0.8)
    below.annotate(f"f = {frequency:.4f}", (frequency, magnitude.max()), xytext=(6, -12),
                   textcoords="offset points")
    below.set_xlim(0, min(frequencies[-1], 6 * frequency))
    below.set_xlabel("frequency (cycles per unit time)")
    below.set_ylabel("|spectrum of u(0, t)|")
    figure.savefig(args.png, dpi=100)

    print(f"frequency: {frequency:.6f}")
    print(f"angular_frequency: {2 * np.pi * frequency:.6f}")
    print(f"analysed: {t[part][0]:.6g} .. {t[-1]:.6g}")
    print(f"picture: {args.png}")


def scan_section(record, args):
    v = record["v"][:]
    t = record["centre_t"][:]
    u = record["centre_u"][:]
    classes = [c.decode() if isinstance(c, bytes) else c for c in record["class"][:]]
    figure, axes = plt.subplots(figsize=(8, 5), constrained_layout=True)
    # Each run's column spans half the way to its neighbours, so refined runs are narrow bands.
    def bounds(centres, half):
        inner = (centres[1:] + centres[:-1]) / 2
        first = centres[0] - (centres[1] - centres[0]) / 2 if len(centres) > 1 else centres[0] - half
        last = centres[-1] + (centres[-1] - centres[-2]) / 2 if len(centres) > 1 else centres[-1] + half
        return np.concatenate(([first], inner, [last]))

    mesh = axes.pcolormesh(bounds(v, 0.005), bounds(t, 0.5), u.T, cmap="coolwarm_r", vmin=-1.2, vmax=1.2,
                           shading="flat")
    figure.colorbar(mesh, ax=axes, label="u(0, t)")
    if "edge_v" in record:
        for low, high in record["edge_v"][:]:
            axes.axvline(0.5 * (low + high), color="k", lw=0.4, alpha=0.5)
    axes.set_xlabel("v")
    axes.set_ylabel("t")
    axes.set_title(f"{record.attrs['program']}: kind {record.attrs['kind']}, N = {record.attrs['N']}, "
                   f"C = {record.attrs['separation']}")
    figure.savefig(args.png, dpi=100)
    captured = sum(c == "capture" for c in classes)
    escaped = sum(c.startswith("escape") for c in classes)
    print(f"runs: {len(v)}, captured: {captured}, escaped: {escaped}")
    # The critical velocity: above it every run escapes after one bounce.
    if classes and classes[-1] == "escape1":
        k = len(classes) - 1
        while k > 0 and classes[k - 1] == "escape1":
            k -= 1
        if k > 0:
            print(f"critical velocity: {v[k - 1]:.12g} .. {v[k]:.12g}")
    print(f"picture: {args.png}")


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("record")
    parser.add_argument("--from", dest="start", type=float, default=None)
    parser.add_argument("--png", default=None)
    args = parser.parse_args()
    stem = args.record[: -len(".h5")] if args.record.endswith(".h5") else args.record
    with h5py.File(args.record, "r") as record:
        # A run record holds its field on the grid; other kinds of record get sections of their own.
        if "u" in record and "t" in record and "x" in record:
            section, suffix = run_section, "-bound-pair.png"
        elif "centre_u" in record and "v" in record:
            section, suffix = scan_section, "-edges.png"
        else:
            sys.exit(f"{args.record}: neither a run record (t, x, u) nor a scan record (v, centre_u)")
        if args.png is None:
            args.png = stem + suffix
        if os.path.abspath(args.png) == os.path.abspath(args.record) or written_by_kinklab(args.png):
            sys.exit(f"{args.png}: written by KinkLab, not replaced; name the picture with --png")
        section(record, args)


if __name__ == "__main__":
    main()
