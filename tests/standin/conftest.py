from __future__ import annotations

import pytest

from helpers import standin

from .capi import CApi


@pytest.fixture(scope="session")
def lib() -> CApi:
    return CApi(standin.library_path())


@pytest.fixture(autouse=True)
def standin_variables(monkeypatch):
    """Every test starts with no GRB_STANDIN_* switch on, and HiGHS from highsbox."""
    for name in standin.ALL_VARIABLES:
        monkeypatch.delenv(name, raising=False)
    monkeypatch.setenv(standin.HIGHS, standin.highs_library_path())


@pytest.fixture
def trace_path(tmp_path, monkeypatch):
    path = tmp_path / "trace.jsonl"
    monkeypatch.setenv(standin.TRACE, str(path))
    return path


@pytest.fixture
def env(lib):
    env = lib.loadenv()
    yield env
    lib.GRBfreeenv(env)


@pytest.fixture
def model(lib, env):
    model = lib.newmodel(env)
    yield model
    lib.GRBfreemodel(model)
