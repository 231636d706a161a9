"""Public MIPLIB 3 models, shipped in the source distribution of python-mip on PyPI, solved to
optimality against the optimum that distribution states; with --gurobi, Gurobi's answer is
also compared with the stand-in's."""

import pytest

from helpers import gurobi, public_models

# The models whose stated bounds meet, within the trial licence's size limit, that the
# stand-in solves in about two seconds or less.
MODELS = [
    "bell5", "egout", "enigma", "flugpl", "gt2", "khb05250", "lseu", "misc03", "misc06", "mod008",
    "modglob", "p0033", "p0201", "p0282", "p0548", "qnet1_o", "rgn", "set1ch", "stein27", "vpm1",
]  # fmt: skip
# The optima are stated to six significant digits.
STATED = 1e-5
SAME = 1e-6


@pytest.fixture(scope="module")
def models():
    try:
        folder = public_models.fetch()
    except public_models.ModelsUnavailable as error:
        pytest.skip(str(error))
    return folder, public_models.optima(folder)


def solve(library, mps):
    """(module status, objective) of `mps` solved to a zero gap on `library`. A status 0
    (infeasible or unbounded, undecided) is solved again with DualReductions 0."""
    import velkin_gurobi

    model = velkin_gurobi.Model(dll_path=library)
    for name, value in (("Silent", True), ("MIPGap", 0.0), ("TimeLimit", 60.0)):
        model.set_optimizer_attr(name, value)
    public_models.build(model, mps)
    status = model.optimize()
    if status == 0:
        model.set_optimizer_attr("DualReductions", 0)
        status = model.optimize()
    return status, model.get_objective_value()


@pytest.mark.parametrize("name", MODELS)
def test_public_model(models, standin, on_gurobi, name):
    folder, optima = models
    mps = public_models.read_mps(folder / f"{name}.mps.gz")
    status, objective = solve(standin, mps)
    assert status == 1
    assert objective == pytest.approx(optima[name], rel=STATED, abs=1e-9)
    if on_gurobi:
        assert solve(gurobi.standin_library(), mps) == (status, pytest.approx(objective, rel=SAME, abs=1e-9))

