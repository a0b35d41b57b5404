"""KinkLab in Python: kinks and antikinks of u_tt - u_xx = -dW/du, their runs and collision scans.

    import kinklab
    phi4 = kinklab.Model(kind=1)
    s = kinklab.scan(phi4, (0.18, 0.30, 0.002), refine=1e-4, converge=[512, 1024])
    print(s.critical)            # (v_c, error) extrapolated to dx -> 0

Every function takes the arguments of the runner kinklab-run by their meaning, reads them with
the runner's own reader (a bad one raises ValueError with the runner's message) and runs them
with the same code, so that the numbers are those kinklab-run gives. Runs go on other threads
with the interpreter free; Ctrl-C stops a scan and raises ScanInterrupted (a KeyboardInterrupt)
with the finished runs on it. See docs/python.md.
"""
import warnings as _warnings

import numpy as _np

from . import _kinklab

__version__ = _kinklab.__version__
__all__ = ["Model", "StaticKink", "Run", "Scan", "Sweep", "ScanInterrupted", "run", "scan", "sweep"]


def _num(x):
    """A number as the runner reads it: the shortest text that gives the same double."""
    if isinstance(x, bool) or not isinstance(x, (int, float, _np.integer, _np.floating)):
        raise ValueError(f"not a number: {x!r}")
    return str(int(x)) if isinstance(x, (int, _np.integer)) else repr(float(x))


def _int(x, name):
    if isinstance(x, bool) or not isinstance(x, (int, _np.integer)):
        raise ValueError(f"{name} must be a whole number, not {x!r}")
    return str(int(x))


class Model:
    """A potential W(u) and the vacua its chains pass through.

    Model(kind=1..4)                      the family's kinds (the default: kind 1)
    Model(modulation=k)                   the family's well at any k
    Model(potential="phi4" | "phi6" | "sine-gordon" | formula in u,
          params={"a": 1.0}, vacua=[0, 1, 0])
    """

    def __init__(self, kind=None, modulation=None, potential=None, params=None, vacua=None):
        args = []
        if kind is not None:
            args += ["--kind", _int(kind, "kind")]
        if modulation is not None:
            args += ["--modulation", _num(modulation)]
        if potential is not None:
            if not isinstance(potential, str):
                raise ValueError(f"potential must be a name or a formula, not {potential!r}")
            args += ["--potential", potential]
        for name, value in (params or {}).items():
            args += ["--param", f"{name}={_num(value)}"]
        if vacua is not None:
            args += ["--vacua", ",".join(v if isinstance(v, str) else _num(v) for v in vacua)]
        self.kind, self.modulation, self.potential = kind, modulation, potential
        self.params = dict(params or {})
        self.vacua = None if vacua is None else list(vacua)
        self._args = args
        _kinklab.check(self._line())  # refused here, with the runner's message, rather than at the first run

    def _line(self):
        """A run of the model's chain at rest (one kink per pair of neighbouring vacua), which
        the runner's reader checks the model with."""
        kinks = 1 if self.vacua is None else max(1, len(self.vacua) - 1)
        line = self.args()
        for i in range(kinks):
            line += ["--kink", f"{_num(-5 + 10 * (i + 0.5) / kinks)}:0"]
        return line

    def args(self):
        """The runner's options that choose this model."""
        return list(self._args)

    def __repr__(self):
        return "kinklab.Model(" + " ".join(self._args) + ")"

    def static_kink(self, L=10.0, N=2000):
        """The static kink (the chain's first) at N + 1 points of [-L, L]."""
        d = _kinklab.static_kink(self._line(), float(L), int(N))
        return StaticKink(**d)


class _Record:
    def __init__(self, **fields):
        self.__dict__.update(fields)

    def __repr__(self):
        return f"{type(self).__name__}({', '.join(sorted(self.__dict__))})"


class StaticKink(_Record):
    """x, u (numpy arrays); height (steepest slope), width (full width at half slope), energy
    (the window's static energy) and rest_mass (the integral of sqrt(2 W))."""


class Run(_Record):
    """t (row times), x (the N + 1 grid points of [-L, L]), u (a row per time), step_t and energy
    (the total energy after every step), keys (what kinklab-run prints: E0, E,
    max_rel_drift_centred, ...), stopped."""


class Scan(_Record):
    """A scan's table as numpy arrays, in velocity order: v, outcome ("capture", "none",
    "escape1", ..., "through"), bounces, first_collision, v_out, end_distance, vacuum_between
    (NaN where there is none); trace (u(0, t) of each run on trace_t); edges (v_low, v_high,
    class_low, class_high). Refined: critical, the bracket (v_low, v_high) of the critical
    velocity. Converged: grids, per_grid (a Scan per grid), converged_edges (each edge's
    velocity per grid, extrapolated, and its error) and critical = (v_c, error)."""


class Sweep(_Record):
    """values (the swept k or parameter), v_c_low, v_c_high, edges, windows (the runner's
    --sweep-csv columns) and scans (a Scan per value)."""


class ScanInterrupted(KeyboardInterrupt):
    """Ctrl-C during a scan or a run: `result` holds what finished (a Scan, a Sweep or a Run)."""

    def __init__(self, message, result):
        super().__init__(message)
        self.result = result


def _progress(progress, unit):
    """The callback the compiled half calls with (done, total): the one given, a tqdm bar when
    progress is True (or None and tqdm is installed), or none."""
    if callable(progress):
        return progress, None
    if progress is False:
        return None, None
    try:
        from tqdm.auto import tqdm
    except ImportError:
        if progress:
            raise ValueError("progress=True needs tqdm; give a callback (done, total) instead")
        return None, None
    bar = tqdm(total=0, unit=unit)

    def show(done, total):
        bar.total = total
        bar.n = done
        bar.refresh()

    return show, bar


def _with_progress(call, progress, unit):
    show, bar = _progress(progress, unit)
    try:
        return call(show)
    finally:
        if bar is not None:
            bar.close()


def _warn(d):
    for w in d.get("warnings", []):
        _warnings.warn(w, RuntimeWarning, stacklevel=3)


def _raise_interrupt(d, result, what):
    exc = d.get("interrupt")
    if exc is None:
        return result
    if isinstance(exc, KeyboardInterrupt):
        raise ScanInterrupted(f"{what} stopped; the finished part is on .result", result) from exc
    raise exc


def run(model, kinks, L=None, N=None, t=None, precision=None, every=0, threads=0, rotator=None,
        progress=False):
    """One run of a chain: kinks = [(c, v), ...], each a kink at c with velocity v (antikinks
    alternate as the runner's chain does); rotator = (kF_Re, kF_Im, kD, qL, qR) adds the
    localised oscillation. Rows of u every `every` steps (0: none) and the energy after every
    step; keys holds what kinklab-run prints."""
    args = model.args() + _common_args(L=L, N=N, t=t, precision=precision)
    if threads:
        args += ["--threads", _int(threads, "threads")]
    for c, v in kinks:
        args += ["--kink", f"{_num(c)}:{_num(v)}"]
    if rotator is not None:
        args += ["--rotator", ",".join(_num(q) for q in rotator)]
    if isinstance(every, bool) or not isinstance(every, (int, _np.integer)):
        raise ValueError(f"every must be a whole number of steps, not {every!r}")
    d = _with_progress(lambda show: _kinklab.run(args, int(every), show), progress, "‰")
    _warn(d)
    r = Run(t=d["t"], x=d["x"], u=d["u"], step_t=d["step_t"], energy=d["energy"], keys=d["keys"],
            stopped=d["stopped"])
    return _raise_interrupt(d, r, "run")


def _velocity_args(velocities):
    """--scan for a grid (v0, v1, dv), or for velocities given one by one (run as given; the
    runner's checks see their range)."""
    if isinstance(velocities, tuple) and len(velocities) == 3:
        return ["--scan", ":".join(_num(v) for v in velocities)], []
    vs = [float(v) for v in _np.atleast_1d(_np.asarray(velocities, dtype=float))]
    if not vs:
        raise ValueError("no velocities")
    lo, hi = min(vs), max(vs)
    step = hi - lo if hi > lo else max(lo, 1e-12)
    return ["--scan", f"{_num(lo)}:{_num(hi)}:{_num(step)}"], vs


def _common_args(L, N, t, precision, separation=None):
    """The options given; those left None keep the runner's defaults."""
    args = []
    if separation is not None:
        args += ["--separation", _num(separation)]
    if L is not None:
        args += ["--L", _num(L)]
    if N is not None:
        args += ["--N", _int(N, "N")]
    if t is not None:
        args += ["--t", _num(t)]
    if precision is not None:
        args += ["--precision", str(precision)]
    return args


def _study_args(model, velocities, separation, L, N, t, precision, jobs, threads, refine, converge):
    args = model.args()
    scan_args, given = _velocity_args(velocities)
    args += scan_args + _common_args(L=L, N=N, t=t, precision=precision, separation=separation)
    if jobs:
        args += ["--jobs", _int(jobs, "jobs")]
    if threads:
        args += ["--threads", _int(threads, "threads")]
    if refine is not None:
        args += ["--refine", _num(refine)]
    if converge is not None:
        args += ["--converge", ",".join(_int(n, "converge") for n in converge)]
    return args, given


def _scan_of(piece, trace_t):
    s = Scan(v=piece["v"], outcome=_np.array(piece["outcome"], dtype=str),
             bounces=_np.array(piece["bounces"], dtype=int), first_collision=piece["first_collision"],
             v_out=piece["v_out"], end_distance=piece["end_distance"], vacuum_between=piece["vacuum_between"],
             trace=piece["trace"], trace_t=trace_t, edges=list(piece["edges"]), N=piece["N"],
             complete=piece["complete"], critical=None)
    if piece["refined"]:  # the edge above which every run escapes after one bounce (or passes through)
        s.critical = None if piece["critical"] is None else tuple(piece["critical"])
    return s


def _scans_of(d):
    """Every scan of a study, value by value, grid by grid."""
    return [_scan_of(p, d["trace_t"]) for p in d["scans"]]


def _converged(scans, conv, grids):
    s = scans[-1]
    full = Scan(**s.__dict__)
    full.grids = list(grids)
    full.per_grid = scans
    full.converged_edges = conv["edges"] if conv else []
    full.critical_line = conv["critical_line"] if conv else None
    full.critical = None
    if conv and conv["critical"] is not None:
        e = conv["edges"][conv["critical"]]
        if e["extrapolated"] is not None:
            full.critical = (e["extrapolated"], e["error"])
    return full


def scan(model, velocities, separation=None, L=None, N=None, t=None, precision=None, jobs=0, threads=0,
         refine=None, converge=None, progress=None):
    """A collision scan: a kink at -separation moving right with v and an antikink at +separation
    moving left, for every v of `velocities` — a grid (v0, v1, dv) as the runner's --scan, or
    any sequence. `refine=TOL` bisects the edges between runs of different class; with
    `converge=[N1, N2, ...]` the refined scan runs at every grid and its edges are extrapolated
    to dx -> 0. jobs: runs at once (0: every CPU). progress: a callback (done, total), True for a
    tqdm bar, False for none (None: a bar when tqdm is installed)."""
    args, given = _study_args(model, velocities, separation, L, N, t, precision, jobs, threads, refine, converge)
    d = _with_progress(lambda show: _kinklab.scan(args, given, show), progress, "run")
    _warn(d)
    scans = _scans_of(d)
    if converge is None:
        result = scans[0] if scans else None
    else:
        result = _converged(scans, d["converged"][0] if d["converged"] else None, d["grids"])
    return _raise_interrupt(d, result, "scan")


def sweep(model, values, velocities, param=None, separation=None, L=None, N=None, t=None, precision=None,
          jobs=0, threads=0, refine=None, converge=None, progress=None):
    """The scan at every value (k0, k1, dk) of the family's k (param=None) or of the formula's
    parameter `param`: the runner's --sweep-modulation and --sweep-param, and its table."""
    if not (isinstance(values, tuple) and len(values) == 3):
        raise ValueError("values must be (first, last, step), as the runner's --sweep-modulation K0:K1:DK")
    args, given = _study_args(model, velocities, separation, L, N, t, precision, jobs, threads, refine, converge)
    swept = ":".join(_num(v) for v in values)
    args += ["--sweep-param", f"{param}={swept}"] if param is not None else ["--sweep-modulation", swept]
    d = _with_progress(lambda show: _kinklab.scan(args, given, show), progress, "run")
    _warn(d)
    scans = _scans_of(d)
    per = max(1, len(d["grids"]))
    by_value = []
    for i in range(0, len(scans), per):
        group = scans[i:i + per]
        if converge is None:
            by_value.append(group[0])
        else:
            conv = d["converged"][i // per] if i // per < len(d["converged"]) else None
            by_value.append(_converged(group, conv, d["grids"]))
    rows = d["rows"]
    nan = float("nan")
    result = Sweep(name=d["swept"], values=_np.array([r[0] for r in rows], dtype=float),
                   v_c_low=_np.array([nan if r[1] is None else r[1] for r in rows], dtype=float),
                   v_c_high=_np.array([nan if r[2] is None else r[2] for r in rows], dtype=float),
                   edges=_np.array([r[3] for r in rows], dtype=int),
                   windows=_np.array([r[4] for r in rows], dtype=int), scans=by_value)
    return _raise_interrupt(d, result, "sweep")
