"""How the examples choose the Gurobi library: the path given on the command
line, else an installed Gurobi (GUROBI_HOME or the standard install paths),
else the stand-in library that comes with the package."""

import os

from velkin_gurobi import Model

FIXED_INSTALL_PATHS = ("/usr/local/gurobi1203/lib/libgurobi1203.so", "/opt/gurobi1203/lib/libgurobi1203.so")


def open_model(name: str, dll_path: str | None) -> Model:
    """A Model on the given library, on Gurobi if installed, else on the stand-in."""
    if dll_path:
        return Model(name, dll_path)
    if os.environ.get("GUROBI_HOME") or any(os.path.exists(p) for p in FIXED_INSTALL_PATHS):
        return Model(name)
    import velkin_gurobi_standin

    return Model(name, velkin_gurobi_standin.library_path())
