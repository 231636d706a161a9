import gc
import math
import os
import re
import tempfile

import pytest

from helpers import gurobi
from helpers.standin import LIBRARY_VARIABLE, LIVE, library_path, read_trace

STANDIN_VARIABLES = (
    "GRB_STANDIN_TRACE",
    "GRB_STANDIN_FAIL",
    "GRB_STANDIN_SCRIPT_STATUS",
    "GRB_STANDIN_SCRIPT_X",
    "GRB_STANDIN_SCRIPT_OBJVAL",
)


class Trace:
    """The stand-in's call trace, read back as a list of dicts."""

    def __init__(self, path):
        self.path = path

    def calls(self, *fns):
        """The calls made, without the stand-in's unload lines unless asked for."""
        calls = read_trace(self.path) if os.path.exists(self.path) else []
        return [c for c in calls if c["fn"] in fns or (not fns and c["fn"] != "unload")]

    def fns(self):
        return [c["fn"] for c in self.calls()]

    def clear(self):
        if os.path.exists(self.path):
            os.remove(self.path)

    def only(self, fn):
        (call,) = self.calls(fn)
        return call


# Gurobi's answer when a model exceeds the trial licence's size limit, as the module
# renders it ("error code 10010", "Gurobi optimization failed: 10010").
SIZE_LIMIT = re.compile(r"(error code |failed: )10010\b")


def pytest_addoption(parser):
    parser.addoption(
        "--gurobi",
        action="store_true",
        help="run on Gurobi's own library from an installed gurobipy, through the forwarding library "
        "of tests/vendor (docs/development.md, the vendor check)",
    )


def pytest_configure(config):
    config.addinivalue_line("markers", "standin_only(reason): the test needs the stand-in; skipped with --gurobi")
    if not config.getoption("--gurobi"):
        return
    if os.environ.get(LIBRARY_VARIABLE):
        raise pytest.UsageError(
            f"--gurobi: {LIBRARY_VARIABLE} is set, and the tests would open the stand-in it names in place of "
            "Gurobi; unset it to run on Gurobi's own library"
        )
    forwarder = os.environ.get(gurobi.FORWARDER_VARIABLE) or gurobi.build_forwarder(tempfile.mkdtemp())
    try:
        path = gurobi.activate(forwarder)
    except gurobi.GurobiUnavailable as error:
        raise pytest.UsageError(f"--gurobi: {error}") from error
    gurobi.export_to_subprocesses(path)


def gurobi_run(config):
    return config.getoption("--gurobi")


def pytest_collection_modifyitems(config, items):
    if not gurobi_run(config):
        return
    for item in items:
        for mark in item.iter_markers("standin_only"):
            item.add_marker(pytest.mark.skip(reason=f"stand-in only: {mark.args[0]}"))


@pytest.hookimpl(hookwrapper=True)
def pytest_runtest_makereport(item, call):
    outcome = yield
    report = outcome.get_result()
    if (
        report.failed
        and call.excinfo is not None
        and gurobi_run(item.config)
        and SIZE_LIMIT.search(str(call.excinfo.value))
    ):
        report.outcome = "skipped"
        report.longrepr = (str(item.path), item.location[1], "over the size limit of Gurobi's trial licence (10010)")


@pytest.fixture
def on_gurobi(request):
    """Whether the tests run on Gurobi's own library (--gurobi)."""
    return gurobi_run(request.config)


def needs_standin(request, what):
    if gurobi_run(request.config):
        pytest.skip(f"needs the stand-in's {what}, which Gurobi does not have")


@pytest.fixture(autouse=True)
def clean_standin_environment(monkeypatch):
    for name in STANDIN_VARIABLES:
        monkeypatch.delenv(name, raising=False)
    # Environments made while it is set read the switches at every call, so the fixtures
    # below may turn them on and off for models that already exist.
    monkeypatch.setenv(LIVE, "1")


@pytest.fixture
def trace(tmp_path, monkeypatch):
    # Models of earlier tests kept alive by tracebacks must not free
    # themselves into this test's trace.
    gc.collect()
    path = str(tmp_path / "trace.jsonl")
    monkeypatch.setenv("GRB_STANDIN_TRACE", path)
    return Trace(path)


@pytest.fixture
def fail(monkeypatch):
    """fail(GRBoptimize=10009, ...) makes those functions return those codes (on Gurobi, the
    forwarding library answers them in place of Gurobi)."""

    def set_failures(**codes):
        monkeypatch.setenv("GRB_STANDIN_FAIL", ",".join(f"{k}={v}" for k, v in codes.items()))

    return set_failures


@pytest.fixture
def script(monkeypatch, request):
    """script(status, x=[...], objval=...) makes GRBoptimize finish without solving."""
    needs_standin(request, "scripted solves")

    def set_script(status, x=None, objval=None):
        monkeypatch.setenv("GRB_STANDIN_SCRIPT_STATUS", str(status))
        if x is not None:
            monkeypatch.setenv("GRB_STANDIN_SCRIPT_X", ",".join(repr(float(v)) for v in x))
        if objval is not None:
            monkeypatch.setenv("GRB_STANDIN_SCRIPT_OBJVAL", repr(float(objval)))

    return set_script


@pytest.fixture
def standin():
    return library_path()


@pytest.fixture
def model(standin, request):
    import velkin_gurobi

    m = velkin_gurobi.Model(dll_path=standin)
    request.getfixturevalue("trace").clear()
    return m


def same_float(a, b):
    """Bit-exact float comparison that treats NaN as equal to NaN."""
    if isinstance(a, float) and isinstance(b, float) and math.isnan(a) and math.isnan(b):
        return True
    return a == b and math.copysign(1.0, a) == math.copysign(1.0, b)
