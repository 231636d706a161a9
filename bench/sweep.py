"""The scenario sweep of examples/scenario_sweep.py, CPU-bound: the same facility location
scenarios solved one after another in this process and on a pool of 2 spawned worker
processes. The pool's time includes starting its workers; the speed-up is serial / pool,
both measured in this run.

    python bench/sweep.py [--scale 1.0] [--repeat 5]
"""

from __future__ import annotations

import argparse
import math
import os
import statistics
import sys
import time

EXAMPLES = os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))), "examples")
WORKERS = 2


def sweep_size(scale):
    """(scenarios, facilities, customers): 32 scenarios of 35 x 50 at scale 1."""
    root = math.sqrt(scale)
    return max(2, round(32 * scale)), max(3, round(35 * root)), max(4, round(50 * root))


def measure(scale, repeat):
    """Median seconds of the serial sweep and of the pool sweep, and the sweep's size."""
    sys.path.insert(0, EXAMPLES)
    import scenario_sweep

    import velkin_gurobi_standin

    count, facilities, customers = sweep_size(scale)
    sweep = scenario_sweep.Sweep(facilities, customers, 7, 600.0, velkin_gurobi_standin.library_path())
    runs = {
        "serial": lambda: scenario_sweep.run_serially(sweep, count),
        "pool": lambda: scenario_sweep.run_on_pool(sweep, count, WORKERS),
    }
    times = {name: [] for name in runs}
    outcomes = {}
    for _ in range(repeat):
        for name, run in runs.items():
            started = time.perf_counter()
            outcomes[name] = sorted(run())
            times[name].append(time.perf_counter() - started)
    if outcomes["serial"] != outcomes["pool"]:
        raise RuntimeError("the pool's outcomes differ from the serial ones")
    return statistics.median(times["serial"]), statistics.median(times["pool"]), (count, facilities, customers)


def table(scale, repeat):
    serial, pool, (count, facilities, customers) = measure(scale, repeat)
    return "\n".join(
        [
            f"| sweep | serial | {WORKERS} workers | speed-up |",
            "| --- | ---: | ---: | ---: |",
            f"| S1 scenario sweep, {count} x {facilities} facilities x {customers} customers "
            f"| {serial:.2f} s | {pool:.2f} s | {serial / pool:.2f} |",
            "",
        ]
    )


if __name__ == "__main__":
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--scale", type=float, default=1.0, help="multiplies the scenario count (default 1.0)")
    parser.add_argument("--repeat", type=int, default=5, help="repetitions; the median is reported")
    args = parser.parse_args()
    print(table(args.scale, args.repeat))
