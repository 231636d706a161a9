"""One timed sample: the garbage collector is off while the clock runs."""

from __future__ import annotations

import gc
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
