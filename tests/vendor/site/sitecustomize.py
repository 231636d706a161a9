"""Run at the start of every Python process of the vendor check (this folder is put
on PYTHONPATH by tests/helpers/gurobi.py): activates the forwarding library named by
VELKIN_GUROBI_FORWARDER, so that a subprocess uses Gurobi as its parent does."""

import importlib.util
import os
import pathlib

if os.environ.get("VELKIN_GUROBI_FORWARDER"):
    _spec = importlib.util.spec_from_file_location(
        "velkin_vendor_check", pathlib.Path(__file__).resolve().parents[2] / "helpers" / "gurobi.py"
    )
    _helper = importlib.util.module_from_spec(_spec)
    _spec.loader.exec_module(_helper)
    _helper.activate(os.environ["VELKIN_GUROBI_FORWARDER"])
