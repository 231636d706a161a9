import gc
import math
import os

import pytest

from helpers.standin import LIVE, library_path, read_trace

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
    """fail(GRBoptimize=10009, ...) makes the stand-in's functions return those codes."""

    def set_failures(**codes):
        monkeypatch.setenv("GRB_STANDIN_FAIL", ",".join(f"{k}={v}" for k, v in codes.items()))

    return set_failures


@pytest.fixture
def script(monkeypatch):
    """script(status, x=[...], objval=...) makes GRBoptimize finish without solving."""

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
def model(standin, trace):
    import velkin_gurobi

    m = velkin_gurobi.Model(dll_path=standin)
    trace.clear()
    return m


def same_float(a, b):
    """Bit-exact float comparison that treats NaN as equal to NaN."""
    if isinstance(a, float) and isinstance(b, float) and math.isnan(a) and math.isnan(b):
        return True
    return a == b and math.copysign(1.0, a) == math.copysign(1.0, b)
