#!/usr/bin/python3
"""The critical velocity of the phi^4 kink-antikink pair, extrapolated to dx -> 0 with its error.

A refined scan at two grids through the Python module; prints "v_c = V +- E" and draws the map
of u(0, t) over the finest grid's velocities, the critical velocity's band marked.

    PYTHONPATH=build/python /usr/bin/python3 docs/examples/critical_velocity.py [--png FILE]
        [--scan V0 V1 DV] [--refine TOL] [--converge N1,N2,...] [--t T]

Needs the built module (build/python) and Debian's python3-numpy and python3-matplotlib.
"""
import argparse

import matplotlib
matplotlib.use("Agg")
import matplotlib.pyplot as plt

import kinklab

ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
ap.add_argument("--scan", nargs=3, type=float, default=[0.18, 0.30, 0.005], metavar=("V0", "V1", "DV"))
ap.add_argument("--refine", type=float, default=1e-4)
ap.add_argument("--converge", default="512,1024")
ap.add_argument("--t", type=float, default=200)
ap.add_argument("--png", default="phi4-critical.png")
a = ap.parse_args()

# The study: ten lines from the question to the number with its error bar.
phi4 = kinklab.Model(kind=1)
s = kinklab.scan(phi4, tuple(a.scan), t=a.t, refine=a.refine,
                 converge=[int(n) for n in a.converge.split(",")], progress=False)
v_c, error = s.critical
print(f"v_c = {v_c:.5f} +- {error:.1g}")

fig, ax = plt.subplots(figsize=(7, 4))
ax.pcolormesh(s.v, s.trace_t, s.trace.T, cmap="coolwarm", vmin=-1, vmax=1, shading="nearest")
ax.axvspan(v_c - error, v_c + error, color="black", alpha=0.3, label=f"$v_c$ = {v_c:.5f} ± {error:.1g}")
ax.set(xlabel="v", ylabel="t", title=f"φ⁴: u(0, t) after the collision (N = {s.N})")
ax.legend(loc="upper left")
fig.savefig(a.png, dpi=120, bbox_inches="tight")
print(f"map: {a.png}")
