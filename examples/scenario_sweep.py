"""Facility location solved for many demand scenarios, one model per process.

Scenario k is the facility location instance with every demand scaled by a
factor drawn deterministically from k (scenario 0 is the instance itself). The
scenarios run one after another (--serial), on a pool of local processes
(--workers W, one per core by default) or on a Dask cluster (--dask ADDRESS of
a running scheduler, or --dask local:W to start W worker processes here). Each
process builds and solves its own models; only plain data crosses between
processes: the sweep's settings and the scenario number going out, the status
and the objective coming back. A progress bar runs on standard error; the last
lines on standard output are one per scenario, in scenario order:

    scenario K status S objective V

    python examples/scenario_sweep.py [--scenarios 8] [--serial | --workers W | --dask ADDRESS | --dask local:W]

Needs the distributed extra (Dask and rich): pip install "velkin-gurobi[distributed]".
"""

from __future__ import annotations

import argparse
import concurrent.futures
import multiprocessing
import os
from collections.abc import Iterable, Iterator
from contextlib import ExitStack
from typing import NamedTuple

import facility_location
import library_choice
from facility_location import add_model_arguments, make_instance, prepared_model

EXTRA_MISSING = (
    "scenario_sweep.py needs the distributed extra (Dask and rich): "
    'python -m pip install "velkin-gurobi[distributed]" (".[distributed]" in a source checkout)'
)
LOCAL_CLUSTER_PREFIX = "local:"
# Each model solves on one thread: the processes are what runs in parallel.
SOLVER_THREADS = 1
# Multiples of the golden ratio modulo 1 spread evenly over [0, 1) for any count.
GOLDEN_FRACTION = 0.6180339887498949


class Sweep(NamedTuple):
    """What every scenario shares: plain data, pickled to the worker processes."""

    facilities: int
    customers: int
    seed: int
    time_limit: float
    dll_path: str | None


class Outcome(NamedTuple):
    scenario: int
    status: int
    objective: float | None


def demand_factor(scenario: int) -> float:
    """1 for scenario 0, in [1, 1.5) for the others; the same in every process."""
    return 1.0 + 0.5 * ((scenario * GOLDEN_FRACTION) % 1.0)


def solve_scenario(sweep: Sweep, scenario: int) -> Outcome:
    """Builds and solves one scenario's model in the calling process."""
    demand, capacity, fixed_cost, cost = make_instance(sweep.facilities, sweep.customers, sweep.seed)
    factor = demand_factor(scenario)
    instance = ([d * factor for d in demand], capacity, fixed_cost, cost)
    model, _, _, _ = prepared_model(instance, sweep.dll_path, sweep.time_limit)
    model.set_optimizer_attr("Threads", SOLVER_THREADS)
    status = model.optimize()
    return Outcome(scenario, status, model.get_objective_value())


def run_serially(sweep: Sweep, count: int) -> Iterator[Outcome]:
    for scenario in range(count):
        yield solve_scenario(sweep, scenario)


def run_on_pool(sweep: Sweep, count: int, workers: int) -> Iterator[Outcome]:
    # Spawned workers start from a fresh interpreter: no model, lock or thread
    # of this process is copied into them, as fork would do.
    context = multiprocessing.get_context("spawn")
    with concurrent.futures.ProcessPoolExecutor(max_workers=workers, mp_context=context) as pool:
        futures = [pool.submit(solve_scenario, sweep, scenario) for scenario in range(count)]
        for future in concurrent.futures.as_completed(futures):
            yield future.result()


def run_on_dask(sweep: Sweep, count: int, address: str) -> Iterator[Outcome]:
    try:
        from distributed import Client, LocalCluster, as_completed
    except ImportError:
        raise SystemExit(EXTRA_MISSING) from None

    # Dask's constructors and as_completed carry no annotations.
    with ExitStack() as stack:
        if address.startswith(LOCAL_CLUSTER_PREFIX):
            # One thread per worker: a solve holds the interpreter lock, so a
            # second thread in the same worker would only wait for it.
            workers = int(address.removeprefix(LOCAL_CLUSTER_PREFIX))
            cluster = LocalCluster(  # type: ignore[no-untyped-call]
                n_workers=workers, threads_per_worker=1, processes=True, dashboard_address=None
            )
            client = stack.enter_context(Client(stack.enter_context(cluster)))  # type: ignore[no-untyped-call]
        else:
            client = stack.enter_context(Client(address))  # type: ignore[no-untyped-call]
        # Workers elsewhere need the model's modules; the scheduler only stores them.
        for module in (library_choice, facility_location):
            client.upload_file(module.__file__, load=False)
        futures = [client.submit(solve_scenario, sweep, scenario, pure=False) for scenario in range(count)]
        for future in as_completed(futures):  # type: ignore[no-untyped-call]
            yield future.result()


def with_progress(outcomes: Iterable[Outcome], count: int) -> list[Outcome]:
    """The outcomes in scenario order, with a progress bar on standard error while they arrive."""
    try:
        from rich.console import Console
        from rich.progress import Progress
    except ImportError:
        raise SystemExit(EXTRA_MISSING) from None

    arrived = []
    with Progress(console=Console(stderr=True)) as progress:
        task = progress.add_task("scenarios", total=count)
        for outcome in outcomes:
            arrived.append(outcome)
            progress.advance(task)
    return sorted(arrived)


def main(argv: list[str] | None = None) -> int:
    parser = argparse.ArgumentParser(description=(__doc__ or "").splitlines()[0])
    add_model_arguments(parser)
    parser.add_argument("--scenarios", type=int, default=8)
    mode = parser.add_mutually_exclusive_group()
    mode.add_argument("--serial", action="store_true", help="solve in this process, one after another")
    mode.add_argument("--workers", type=int, help="size of the local process pool (default: one per core)")
    mode.add_argument("--dask", metavar="ADDRESS", help="a Dask scheduler's address, or local:W for W local workers")
    args = parser.parse_args(argv)

    sweep = Sweep(args.facilities, args.customers, args.seed, args.time_limit, args.dll_path)
    count = args.scenarios
    if args.serial:
        where = "in this process"
        outcomes = run_serially(sweep, count)
    elif args.dask:
        where = f"on the Dask cluster {args.dask}"
        outcomes = run_on_dask(sweep, count, args.dask)
    else:
        workers = args.workers or len(os.sched_getaffinity(0))
        where = f"on {workers} worker processes"
        outcomes = run_on_pool(sweep, count, workers)

    print(f"{count} scenarios of {args.facilities} facilities and {args.customers} customers, {where}", flush=True)
    for outcome in with_progress(outcomes, count):
        print(f"scenario {outcome.scenario} status {outcome.status} objective {outcome.objective!r}")
    return 0


if __name__ == "__main__":
    raise SystemExit(main())
