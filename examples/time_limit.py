"""A model stopped by its time limit: split items into a "yes" group so that
each of several weighted totals lands as close as possible to its target.

Instances like this are easy to get near but very hard to prove optimal, so
the solve ends at the time limit with status 0 ("other") and, usually, an
incumbent: the best solution found so far, readable as usual. With no
incumbent (for example with ``--time-limit 0``) the values are None.

Runs on a real Gurobi installation when one is found (``--dll-path``,
``GUROBI_HOME`` or the standard install paths) and on the bundled stand-in
library otherwise.

    python examples/time_limit.py [--dll-path PATH] [--time-limit 1.0] [--seed 1]
"""

from __future__ import annotations

import argparse
import random

from library_choice import open_model

STATUS_NAMES = {0: "other", 1: "optimal", 2: "infeasible", 3: "unbounded", 4: "suboptimal"}
ITEMS, TOTALS = 40, 5


def make_instance(seed: int) -> tuple[list[list[int]], list[int]]:
    """Weights of every item in each total, and each total's target (half its weights)."""
    rng = random.Random(seed)
    weights = [[rng.randint(0, 99) for _ in range(ITEMS)] for _ in range(TOTALS)]
    return weights, [sum(row) // 2 for row in weights]


def main(argv: list[str] | None = None) -> int:
    parser = argparse.ArgumentParser(description="A MIP stopped by its time limit")
    parser.add_argument("--dll-path", help="path of the Gurobi library (default: found automatically)")
    parser.add_argument("--time-limit", type=float, default=1.0, help="seconds (default 1.0)")
    parser.add_argument("--seed", type=int, default=1)
    args = parser.parse_args(argv)

    weights, targets = make_instance(args.seed)
    model = open_model("time_limit", args.dll_path)
    model.set_optimizer_attr("Silent", True)
    model.set_optimizer_attr("TimeLimit", args.time_limit)

    chosen = model.add_variables(ITEMS, names=[f"item_{j}" for j in range(ITEMS)], vtypes=["B"] * ITEMS)
    # total_i + below_i - above_i = target_i; the objective is the sum of the deviations.
    below = model.add_variables(TOTALS, names=[f"below_{i}" for i in range(TOTALS)])
    above = model.add_variables(TOTALS, names=[f"above_{i}" for i in range(TOTALS)])
    model.add_constraints(
        [chosen + [below[i], above[i]] for i in range(TOTALS)],
        [[float(w) for w in weights[i]] + [1.0, -1.0] for i in range(TOTALS)],
        [0.0] * TOTALS,
        ["="] * TOTALS,
        [float(t) for t in targets],
    )
    model.set_objective(below + above, [1.0] * (2 * TOTALS), 0.0, 0)  # 0: minimise

    status = model.optimize()
    print(f"Status: {status} ({STATUS_NAMES[status]})")
    deviation = model.get_objective_value()
    if deviation is None:
        print("No incumbent: the time limit came before any solution was found.")
        return 0
    picked = [j for j, x in enumerate(chosen) if (model.get_var_value(x) or 0.0) > 0.5]
    totals = [sum(row[j] for j in picked) for row in weights]
    print(f"Incumbent: total deviation {round(deviation)}")
    print(f"Items: {picked}")
    for total, target in zip(totals, targets, strict=True):
        print(f"  total {total} for target {target}")
    return 0


if __name__ == "__main__":
    raise SystemExit(main())
