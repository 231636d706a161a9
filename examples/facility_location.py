"""Capacitated facility location: which warehouses to open, and which
customers each one serves, at least cost.

Runs on a real Gurobi installation when one is found (``--dll-path``,
``GUROBI_HOME`` or the standard install paths) and on the bundled stand-in
library otherwise.

    python examples/facility_location.py [--dll-path PATH] [--facilities 20] [--customers 30]
"""

from __future__ import annotations

import argparse
import math
import random
from collections.abc import Sequence

from library_choice import open_model

from velkin_gurobi import Model

STATUS_NAMES = {0: "other", 1: "optimal", 2: "infeasible", 3: "unbounded", 4: "suboptimal"}


# Demand per customer, capacity and fixed cost per facility, cost per unit of
# demand served from facility i to customer j.
Instance = tuple[Sequence[float], list[int], list[int], list[list[float]]]


def make_instance(facilities: int, customers: int, seed: int) -> Instance:
    rng = random.Random(seed)
    sites = [(rng.uniform(0, 100), rng.uniform(0, 100)) for _ in range(facilities)]
    towns = [(rng.uniform(0, 100), rng.uniform(0, 100)) for _ in range(customers)]
    demand = [rng.randint(5, 35) for _ in range(customers)]
    capacity = [rng.randint(60, 160) for _ in range(facilities)]
    fixed_cost = [rng.randint(300, 900) for _ in range(facilities)]
    cost = [[math.dist(s, t) for t in towns] for s in sites]
    return demand, capacity, fixed_cost, cost


def build(
    model: Model, demand: Sequence[float], capacity: list[int], fixed_cost: list[int], cost: list[list[float]]
) -> tuple[list[int], list[list[int]], int]:
    n_fac, n_cust = len(capacity), len(demand)
    opened = model.add_variables(n_fac, names=[f"open_{i}" for i in range(n_fac)], vtypes=["B"] * n_fac)
    # share[i][j]: fraction of customer j's demand served by facility i.
    flat = model.add_variables(
        n_fac * n_cust,
        names=[f"serve_{i}_{j}" for i in range(n_fac) for j in range(n_cust)],
        ubs=[1.0] * (n_fac * n_cust),
    )
    share = [flat[i * n_cust : (i + 1) * n_cust] for i in range(n_fac)]

    rows_vars: list[list[int]] = []
    rows_coeffs: list[list[float]] = []
    senses: list[str] = []
    rhss: list[float] = []
    names: list[str] = []

    def row(variables: list[int], coefficients: list[float], sense: str, rhs: float, name: str) -> None:
        rows_vars.append(variables)
        rows_coeffs.append(coefficients)
        senses.append(sense)
        rhss.append(rhs)
        names.append(name)

    for j in range(n_cust):
        row([share[i][j] for i in range(n_fac)], [1.0] * n_fac, "=", 1.0, f"demand_{j}")
    for i in range(n_fac):
        row(share[i] + [opened[i]], [float(d) for d in demand] + [-float(capacity[i])], "<", 0.0, f"capacity_{i}")
        for j in range(n_cust):
            row([share[i][j], opened[i]], [1.0, -1.0], "<", 0.0, f"link_{i}_{j}")
    model.add_constraints(rows_vars, rows_coeffs, [0.0] * len(senses), senses, rhss, names)

    objective_vars = opened + flat
    objective_coeffs = [float(f) for f in fixed_cost] + [
        cost[i][j] * demand[j] for i in range(n_fac) for j in range(n_cust)
    ]
    model.set_objective(objective_vars, objective_coeffs, 0.0, 0)
    return opened, share, len(senses)


def prepared_model(
    instance: Instance, dll_path: str | None, time_limit: float
) -> tuple[Model, list[int], list[list[int]], int]:
    """The instance built on the chosen library, silent and time-limited, ready to optimise."""
    model = open_model("facility_location", dll_path)
    opened, share, n_rows = build(model, *instance)
    model.set_optimizer_attr("Silent", True)
    model.set_optimizer_attr("TimeLimit", time_limit)
    return model, opened, share, n_rows


def solution_value(model: Model, var: int) -> float:
    value = model.get_var_value(var)
    if value is None:
        raise RuntimeError(f"variable {var} has no value")
    return value


def add_model_arguments(parser: argparse.ArgumentParser) -> None:
    """The options that choose the library, the instance and the time limit."""
    parser.add_argument("--dll-path", help="path of the Gurobi library (default: found automatically)")
    parser.add_argument("--facilities", type=int, default=20)
    parser.add_argument("--customers", type=int, default=30)
    parser.add_argument("--seed", type=int, default=7)
    parser.add_argument("--time-limit", type=float, default=60.0)


def main(argv: list[str] | None = None) -> int:
    parser = argparse.ArgumentParser(description=(__doc__ or "").splitlines()[0])
    add_model_arguments(parser)
    args = parser.parse_args(argv)

    instance = make_instance(args.facilities, args.customers, args.seed)
    demand, capacity, _, _ = instance
    model, opened, share, n_rows = prepared_model(instance, args.dll_path, args.time_limit)

    status = model.optimize()
    print(f"Model: {len(opened) * (1 + len(demand))} variables, {n_rows} constraints")
    print(f"Status: {STATUS_NAMES[status]}")
    objective = model.get_objective_value()
    if objective is None:
        print("No solution found.")
        return 1
    print(f"Total cost: {objective:.2f}")
    for i, y in enumerate(opened):
        if solution_value(model, y) > 0.5:
            served = [j for j, x in enumerate(share[i]) if solution_value(model, x) > 1e-6]
            load = sum(demand[j] * solution_value(model, share[i][j]) for j in served)
            print(f"  facility {i:2d}: open, load {load:6.1f} of {capacity[i]:3d}, serves customers {served}")
    return 0


if __name__ == "__main__":
    raise SystemExit(main())
