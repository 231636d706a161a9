"""Project selection (a mixed-integer programme with binary variables): which
projects to fund from a fixed budget to earn the most, where some projects
need another one to be funded as well and two of them exclude each other.

Runs on a real Gurobi installation when one is found (``--dll-path``,
``GUROBI_HOME`` or the standard install paths) and on the bundled stand-in
library otherwise.

    python examples/project_selection.py [--dll-path PATH] [--budget 100]
"""

from __future__ import annotations

import argparse

from library_choice import open_model

STATUS_NAMES = {0: "other", 1: "optimal", 2: "infeasible", 3: "unbounded", 4: "suboptimal"}

# Cost and expected return of each project.
PROJECTS = {
    "warehouse": (40.0, 62.0),
    "fleet": (25.0, 35.0),
    "software": (15.0, 28.0),
    "training": (10.0, 12.0),
    "solar": (30.0, 41.0),
    "robotics": (35.0, 58.0),
}
# (a, b): project a can only be funded together with project b.
REQUIRES = [("robotics", "software"), ("fleet", "warehouse")]
# Projects of which at most one can be funded.
EXCLUSIVE = ("warehouse", "solar")


def main(argv: list[str] | None = None) -> int:
    parser = argparse.ArgumentParser(description="Project selection MIP")
    parser.add_argument("--dll-path", help="path of the Gurobi library (default: found automatically)")
    parser.add_argument("--budget", type=float, default=100.0)
    args = parser.parse_args(argv)

    model = open_model("project_selection", args.dll_path)
    model.set_optimizer_attr("Silent", True)
    names = list(PROJECTS)
    # One binary variable per project: 1 funds it.
    fund = dict(zip(names, model.add_variables(len(names), names=names, vtypes=["B"] * len(names)), strict=True))

    costs = [cost for cost, _ in PROJECTS.values()]
    model.add_constraint(list(fund.values()), costs, 0.0, "<", args.budget, name="budget")
    for project, needed in REQUIRES:
        # fund[project] <= fund[needed]
        model.add_constraint(
            [fund[project], fund[needed]], [1.0, -1.0], 0.0, "<", 0.0, name=f"{project}_needs_{needed}"
        )
    model.add_constraint([fund[p] for p in EXCLUSIVE], [1.0, 1.0], 0.0, "<", 1.0, name="one_of")
    model.set_objective(list(fund.values()), [gain for _, gain in PROJECTS.values()], 0.0, 1)  # 1: maximise

    status = model.optimize()
    print(f"Status: {STATUS_NAMES[status]}")
    total = model.get_objective_value()
    if total is None:
        print("No solution found.")
        return 1
    chosen = [p for p in names if (model.get_var_value(fund[p]) or 0.0) > 0.5]
    # Gurobi reports the empty selection's return as -0.0; adding 0.0 makes it 0.00.
    print(f"Return: {total + 0.0:.2f}")
    print(f"Cost: {sum(PROJECTS[p][0] for p in chosen):.2f} of {args.budget:.2f}")
    print(f"Funded: {', '.join(chosen) or 'nothing'}")
    return 0


if __name__ == "__main__":
    raise SystemExit(main())
