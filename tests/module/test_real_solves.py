"""Real solves through the stand-in's HiGHS backend."""

import os
import subprocess
import sys
import textwrap

import pytest

EXAMPLES = os.path.join(os.path.dirname(__file__), "..", "..", "examples")


@pytest.fixture
def quiet(model):
    model.set_optimizer_attr("Silent", True)
    return model


def test_lp_with_known_optimum(quiet):
    m = quiet
    x, y = m.add_variables(2, names=["x", "y"])
    m.add_constraints([[x, y], [x, y]], [[1.0, 2.0], [3.0, 1.0]], [0.0, 0.0], ["<", "<"], [14.0, 18.0])
    m.set_objective([x, y], [3.0, 4.0], 0.0, 1)
    assert m.optimize() == 1
    assert m.get_objective_value() == pytest.approx(32.4)
    assert m.get_var_value(x) == pytest.approx(4.4)
    assert m.get_var_value(y) == pytest.approx(4.8)


def test_mip_with_known_optimum(quiet):
    m = quiet
    # Knapsack: weights 5, 4, 3 with capacity 7, values 10, 7, 5 -> items 1 and 2.
    items = m.add_variables(3, vtypes=["B"] * 3)
    m.add_constraint(items, [5.0, 4.0, 3.0], 0.0, "<", 7.0)
    m.set_objective(items, [10.0, 7.0, 5.0], 0.0, 1)
    assert m.optimize() == 1
    assert m.get_objective_value() == pytest.approx(12.0)
    assert [round(m.get_var_value(i)) for i in items] == [0, 1, 1]


def test_integer_rounding_changes_the_optimum(quiet):
    m = quiet
    x = m.add_variable(vtype="I", ub=10.0)
    m.add_constraint([x], [2.0], 0.0, "<", 7.0)
    m.set_objective([x], [1.0], 0.0, 1)
    assert m.optimize() == 1
    assert m.get_var_value(x) == pytest.approx(3.0)


def test_maximisation_with_objective_constant(quiet):
    m = quiet
    x = m.add_variable(ub=2.0)
    m.set_objective([x], [1.5], 10.0, 1)
    assert m.optimize() == 1
    assert m.get_objective_value() == pytest.approx(13.0)


def test_constraint_constant_moves_to_rhs(quiet):
    m = quiet
    x = m.add_variable()
    m.add_constraint([x], [1.0], 2.0, "<", 5.0)  # x + 2 <= 5
    m.set_objective([x], [1.0], 0.0, 1)
    assert m.optimize() == 1
    assert m.get_var_value(x) == pytest.approx(3.0)


def test_refusals_leave_the_model_as_stated(quiet, trace):
    m = quiet
    a = m.add_variable("a", "C", 0, 1)
    with pytest.raises(RuntimeError, match="^Gurobi refused the new variables: error code 10003$"):
        m.add_variable("b", "X", 0, 2)  # a type code Gurobi does not take
    c = m.add_variable("c", "C", 0, 3)
    assert c == 1
    with pytest.raises(IndexError, match=r"^variable index 99 out of range \(variables: 2\)$"):
        m.add_constraint([a, 99], [1.0, 1.0], 0.0, "<", 0.5)
    # The first row stays; Gurobi refuses the infinite coefficient of the second.
    with pytest.raises(RuntimeError, match="^Gurobi refused constraint 1: error code 10003$"):
        m.add_constraints([[a], [c]], [[1.0], [float("inf")]], [0.0, 0.0], ["<", "<"], [0.5, 1.0])
    m.set_optimizer_attr("MIPGap", 0)
    assert trace.calls("GRBsetdblparam")[-1]["rc"] == 0
    m.set_objective([a, c], [1.0, 1.0], 0.0, 1)
    assert m.optimize() == 1
    assert (m.get_var_value(a), m.get_var_value(c), m.get_var_value(2)) == (0.5, 3.0, None)
    assert m.get_objective_value() == pytest.approx(3.5)


def test_infeasible(quiet):
    m = quiet
    x = m.add_variable(ub=1.0)
    m.add_constraint([x], [1.0], 0.0, ">", 2.0)
    assert m.optimize() == 2
    assert m.get_objective_value() is None
    assert m.get_var_value(x) is None


def test_unbounded(quiet):
    m = quiet
    x = m.add_variable()
    m.set_objective([x], [1.0], 0.0, 1)
    # HiGHS may only prove "infeasible or unbounded" (Gurobi's 4 -> 0).
    assert m.optimize() in (3, 0)
    assert m.get_objective_value() is None


def test_semi_continuous(quiet):
    m = quiet
    x = m.add_variable(vtype="S", lb=2.0, ub=5.0)
    m.add_constraint([x], [1.0], 0.0, "<", 1.5)
    m.set_objective([x], [1.0], 0.0, 1)
    assert m.optimize() == 1
    assert m.get_var_value(x) == pytest.approx(0.0)


def test_time_limit_stops_the_solve(quiet):
    m = quiet
    # A knapsack with many similar items keeps branch and bound busy.
    n = 60
    items = m.add_variables(n, vtypes=["I"] * n, ubs=[3.0] * n)
    weights = [1000.0 + (i * 37) % 101 for i in range(n)]
    m.add_constraint(items, weights, 0.0, "<", sum(weights) * 0.77)
    m.add_constraint(items, [float((i * 13) % 17 + 1) for i in range(n)], 0.0, "<", 300.0)
    m.set_objective(items, [w + (i * 7) % 11 for i, w in enumerate(weights)], 0.0, 1)
    m.set_optimizer_attr("TimeLimit", 0.0)
    assert m.optimize() == 0


def test_previous_solution_stays_until_update(quiet):
    m = quiet
    x = m.add_variable(ub=4.0)
    m.set_objective([x], [1.0], 0.0, 1)
    assert m.optimize() == 1
    m.add_variable()
    assert m.get_var_value(x) == pytest.approx(4.0)
    m.update()
    assert m.get_var_value(x) is None
    assert m.optimize() == 1
    assert m.get_var_value(x) == pytest.approx(4.0)


def test_silent_solve_prints_nothing(standin):
    code = textwrap.dedent(f"""
        import os
        from velkin_gurobi import Model
        m = Model(dll_path={standin!r})
        m.set_optimizer_attr("Silent", True)
        xs = m.add_variables(20, vtypes=["I"] * 20, ubs=[5.0] * 20)
        m.add_constraint(xs, [float(i + 3) for i in range(20)], 0.0, "<", 97.0)
        m.set_objective(xs, [float(i + 5) for i in range(20)], 0.0, 1)
        status = m.optimize()
        os.write(2, str(status).encode())
    """)
    result = subprocess.run([sys.executable, "-c", code], capture_output=True, timeout=120)
    assert result.stderr.decode() == "1"
    assert result.stdout == b""


def test_whole_model_built_in_batches(quiet):
    m = quiet
    sources, sinks = 4, 5
    supply = [30.0, 25.0, 40.0, 20.0]
    demand = [15.0, 20.0, 25.0, 30.0, 10.0]
    flows = m.add_variables(sources * sinks)
    flow = lambda i, j: flows[i * sinks + j]  # noqa: E731
    rows = [[flow(i, j) for j in range(sinks)] for i in range(sources)]
    rows += [[flow(i, j) for i in range(sources)] for j in range(sinks)]
    coeffs = [[1.0] * len(r) for r in rows]
    senses = ["<"] * sources + [">"] * sinks
    indices = m.add_constraints(rows, coeffs, [0.0] * len(rows), senses, supply + demand)
    assert indices == list(range(sources + sinks))
    cost = [float((i + 1) * (j + 2) % 7 + 1) for i in range(sources) for j in range(sinks)]
    m.set_objective(flows, cost, 0.0, 0)
    assert m.optimize() == 1
    values = [m.get_var_value(f) for f in flows]
    assert all(v >= -1e-9 for v in values)
    for j in range(sinks):
        assert sum(values[i * sinks + j] for i in range(sources)) >= demand[j] - 1e-6
    for i in range(sources):
        assert sum(values[i * sinks : (i + 1) * sinks]) <= supply[i] + 1e-6
    assert m.get_objective_value() == pytest.approx(sum(c * v for c, v in zip(cost, values)))


def test_main_example_runs():
    script = os.path.join(EXAMPLES, "facility_location.py")
    result = subprocess.run(
        [sys.executable, script, "--facilities", "6", "--customers", "8"], capture_output=True, text=True, timeout=300
    )
    assert result.returncode == 0, result.stderr
    lines = result.stdout.splitlines()
    assert lines[0] == "Model: 54 variables, 62 constraints"
    assert lines[1] == "Status: optimal"
    assert lines[2].startswith("Total cost: ")
    assert any("open" in line for line in lines[3:])
