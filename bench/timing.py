"""One timed sample (the garbage collector is off while the clock runs), and how times are printed."""

from __future__ import annotations

import gc
import os
import time


def sample(work):
    """Seconds of one work()."""
    gc.disable()
    try:
        started = time.perf_counter()
        work()
        return time.perf_counter() - started
    finally:
        gc.enable()


def sample_fresh(setup, work):
    """Seconds of one work(setup()); the state is made and freed untimed."""
    state = [setup()]
    gc.collect()
    elapsed = sample(lambda: work(state[0]))
    state.clear()
    gc.collect()
    return elapsed


def fmt_time(value):
    """Seconds as the bench's tables print them; "-" for no time."""
    if value is None:
        return "-"
    if value >= 1.0:
        return f"{value:.2f} s"
    if value >= 1e-3:
        return f"{value * 1e3:.1f} ms"
    return f"{value * 1e6:.0f} µs"


def load_average():
    """The machine's load average over 1, 5 and 15 minutes, as the tables print it."""
    one, five, fifteen = os.getloadavg()
    return f"{one:.2f}, {five:.2f}, {fifteen:.2f}"
