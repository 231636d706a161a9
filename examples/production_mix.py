"""Production mix (a linear programme): how much of each product a workshop
makes in a week to earn the most, given its hours of labour, machine time and
timber.

Runs on a real Gurobi installation when one is found (``--dll-path``,
``GUROBI_HOME`` or the standard install paths) and on the bundled stand-in
library otherwise.

    python examples/production_mix.py [--dll-path PATH]
"""

from __future__ import annotations

import argparse

from library_choice import open_model

STATUS_NAMES = {0: "other", 1: "optimal", 2: "infeasible", 3: "unbounded", 4: "suboptimal"}

# Profit per unit, and the weekly market limit on each product.
PRODUCTS = {"chair": (45.0, 40.0), "table": (80.0, 20.0), "shelf": (30.0, 50.0)}
# Per unit of chair, table, shelf; then the amount available per week.
RESOURCES = {
    "labour hours": ([2.0, 5.0, 1.5], 160.0),
    "machine hours": ([1.0, 2.0, 1.0], 80.0),
    "timber (m)": ([3.0, 8.0, 4.0], 300.0),
}


def main(argv: list[str] | None = None) -> int:
    parser = argparse.ArgumentParser(description="Production mix LP")
    parser.add_argument("--dll-path", help="path of the Gurobi library (default: found automatically)")
    args = parser.parse_args(argv)

    model = open_model("production_mix", args.dll_path)
    model.set_optimizer_attr("Silent", True)
    names = list(PRODUCTS)
    # Continuous quantities between 0 and the market limit.
    made = model.add_variables(len(names), names=names, ubs=[limit for _, limit in PRODUCTS.values()])
    model.add_constraints(
        [made] * len(RESOURCES),
        [use for use, _ in RESOURCES.values()],
        [0.0] * len(RESOURCES),
        ["<"] * len(RESOURCES),
        [available for _, available in RESOURCES.values()],
        names=list(RESOURCES),
    )
    model.set_objective(made, [profit for profit, _ in PRODUCTS.values()], 0.0, 1)  # 1: maximise

    status = model.optimize()
    print(f"Status: {STATUS_NAMES[status]}")
    profit = model.get_objective_value()
    if profit is None:
        print("No solution found.")
        return 1
    print(f"Profit: {profit:.2f}")
    quantities = [model.get_var_value(v) or 0.0 for v in made]
    for name, quantity in zip(names, quantities, strict=True):
        print(f"  {name}: {quantity:.2f}")
    for resource, (use, available) in RESOURCES.items():
        used = sum(u * q for u, q in zip(use, quantities, strict=True))
        print(f"  {resource}: {used:.2f} of {available:.2f} used")
    return 0


if __name__ == "__main__":
    raise SystemExit(main())
