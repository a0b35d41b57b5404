#!/usr/bin/python3
"""The numpy peer of one collision run (../shared/peer/numpy_collision.py) with the force of a
modulated well of the family, W = 0.25 (u^2 - 1)^2 (cos(k (u - 0.3)) + 1.5) / 2.5: the same
leapfrog, box and trace, the force's cosine and sine evaluated on the whole array each step, as
a physicist would add them. The start is the peer's tanh pair, which leaves the cost unchanged.
Prints seconds per run. Usage: numpy_modulated_collision.py [N=1024] [t=200] [runs=2] [k=0.9]"""
import sys, time
import numpy as np
C = 0.818535277187
def collide(v, dx, tend, k, x0=10.0):
    dt = C * dx; X = tend + x0 + 20; n = 2 * int(X / dx) + 1; h = n // 2
    x = (np.arange(n) - h) * dx; g = np.sqrt(1 - v * v)
    K = lambda s: np.tanh(s / np.sqrt(2.0))
    f = lambda t: K((x + x0 - v * t) / g) - K((x - x0 + v * t) / g) - 1
    u, up = f(0.0), f(-dt); un = np.empty_like(u); c2 = C * C; dt2 = dt * dt
    trace = np.empty(int(tend / dt))
    for s in range(len(trace)):
        uc = u[1:-1]; w = uc * uc - 1; z = k * (uc - 0.3)
        force = uc * w * (np.cos(z) + 1.5) / 2.5 - w * w * (0.25 * k) * np.sin(z) / 2.5
        un[1:-1] = c2 * ((u[2:] - 2 * uc) + u[:-2]) + (2 * uc - up[1:-1]) - dt2 * force
        un[0] = un[-1] = -1.0
        up, u, un = u, un, up
        trace[s] = u[h]
    return trace
if __name__ == "__main__":
    N = int(sys.argv[1]) if len(sys.argv) > 1 else 1024
    tend = float(sys.argv[2]) if len(sys.argv) > 2 else 200.0
    runs = int(sys.argv[3]) if len(sys.argv) > 3 else 2
    k = float(sys.argv[4]) if len(sys.argv) > 4 else 0.9
    dx = 40.0 / N  # the grid of a scan with L = 20
    t0 = time.perf_counter()
    for j in range(runs): collide(0.2 + 0.01 * j, dx, tend, k)
    print(f"numpy collision: {(time.perf_counter() - t0) / runs:.3f} s per run (N={N}, t={tend:g}, k={k:g})")
