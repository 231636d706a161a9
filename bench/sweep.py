"""The scenario sweep of examples/scenario_sweep.py, CPU-bound: the same facility location
scenarios solved one after another in this process and on a pool of 2 spawned worker
processes. The pool's time includes starting its workers; the speed-up is serial / pool,
both measured in this run. The processor time of each run (this process's and its
workers') shows what parallelism costs whatever else the machine is running.

    python bench/sweep.py [--scale 1.0] [--repeat 5]
"""

from __future__ import annotations

import argparse
import math
import os
import resource
import statistics
import sys
import time

EXAMPLES = os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))), "examples")
WORKERS = 2


def sweep_size(scale):
    """(scenarios, facilities, customers): 32 scenarios of 35 x 50 at scale 1."""
    root = math.sqrt(scale)
    return max(2, round(32 * scale)), max(3, round(35 * root)), max(4, round(50 * root))


def cpu_seconds():
    """Processor time of this process and of its finished children so far."""
    return sum(
        usage.ru_utime + usage.ru_stime
        for usage in (resource.getrusage(resource.RUSAGE_SELF), resource.getrusage(resource.RUSAGE_CHILDREN))
    )


def measure(scale, repeat):
    """{"serial"/"pool": (median seconds, median processor seconds)} and the sweep's size."""
    sys.path.insert(0, EXAMPLES)
    import scenario_sweep

    import velkin_gurobi_standin

    count, facilities, customers = sweep_size(scale)
    sweep = scenario_sweep.Sweep(facilities, customers, 7, 600.0, velkin_gurobi_standin.library_path())
    runs = {
        "serial": lambda: scenario_sweep.run_serially(sweep, count),
        "pool": lambda: scenario_sweep.run_on_pool(sweep, count, WORKERS),
    }
    samples = {name: ([], []) for name in runs}
    outcomes = {}
    for _ in range(repeat):
        for name, run in runs.items():
            started, started_cpu = time.perf_counter(), cpu_seconds()
            outcomes[name] = sorted(run())
            samples[name][0].append(time.perf_counter() - started)
            samples[name][1].append(cpu_seconds() - started_cpu)
    if outcomes["serial"] != outcomes["pool"]:
        raise RuntimeError("the pool's outcomes differ from the serial ones")
    medians = {name: (statistics.median(wall), statistics.median(cpu)) for name, (wall, cpu) in samples.items()}
    return medians, (count, facilities, customers)


def table(scale, repeat):
    medians, (count, facilities, customers) = measure(scale, repeat)
    (serial, serial_cpu), (pool, pool_cpu) = medians["serial"], medians["pool"]
    return "\n".join(
        [
            f"| sweep | serial | {WORKERS} workers | speed-up | serial CPU | {WORKERS} workers CPU |",
            "| --- | ---: | ---: | ---: | ---: | ---: |",
            f"| S1 scenario sweep, {count} x {facilities} facilities x {customers} customers "
            f"| {serial:.2f} s | {pool:.2f} s | {serial / pool:.2f} | {serial_cpu:.2f} s | {pool_cpu:.2f} s |",
            "",
        ]
    )


if __name__ == "__main__":
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--scale", type=float, default=1.0, help="multiplies the scenario count (default 1.0)")
    parser.add_argument("--repeat", type=int, default=5, help="repetitions; the median is reported")
    args = parser.parse_args()
    print(table(args.scale, args.repeat))
