"""The vendor check: the module on Gurobi's own library from an installed gurobipy.

Gurobi's trial licence in the gurobipy wheel works only for an environment that
gurobipy starts, so the module cannot load one of its own. The forwarding
library of tests/vendor exports the Gurobi functions the module resolves,
forwards them to gurobipy's libgurobi, and hands out the environment started
here in place of a new one. Run as a script, this file says whether the check
can run: exit status 0 when Gurobi's environment starts, 3 when the licence is
missing or expired (or gurobipy is absent), with the reason on standard output.
"""

from __future__ import annotations

import ctypes
import os
import shutil
import subprocess
import sys
from pathlib import Path
from typing import Any

FORWARDER_VARIABLE = "VELKIN_GUROBI_FORWARDER"
FORWARDER_SOURCE = Path(__file__).resolve().parents[1] / "vendor"
SITE_DIRECTORY = FORWARDER_SOURCE / "site"
LIBRARY_NAME = "libvelkin_gurobi_forwarder.so"
UNAVAILABLE_EXIT = 3
# The gurobipy that scripts/vendor_check.sh installs, and the end of its trial licence.
TRIAL_VERSION = "13.0.3"
TRIAL_END = "2027-11-29"

# gurobipy's environment and the forwarder, kept for the life of the process.
_started: list[Any] = []
# The stand-in's own library path, as it was before activate().
_standin: list[str] = []


class GurobiUnavailable(RuntimeError):
    """gurobipy is missing, or Gurobi refused to start its environment (no valid licence)."""


def start_environment() -> Any:
    """gurobipy's Env, left as a user's would be: with Gurobi's default output on, so that
    the module's own Silent and OutputFlag handling is what quiets its models. Only the
    licence banner of the start itself is kept quiet: no program of the module's would
    print it. Raises GurobiUnavailable, with the licence's own message and its end date,
    when it cannot start."""
    try:
        import gurobipy
    except ImportError as error:
        raise GurobiUnavailable(f"gurobipy is not installed ({error})") from error
    try:
        env = gurobipy.Env(empty=True)
        env.setParam("LogToConsole", 0)
        env.start()
        env.setParam("LogToConsole", 1)
    except gurobipy.GurobiError as error:
        raise GurobiUnavailable(
            f"Gurobi's environment did not start: error {error.errno}: {error} "
            f"(the trial licence of gurobipy {TRIAL_VERSION} runs until {TRIAL_END})"
        ) from error
    return env


def licence_end(env: Any) -> str:
    """The end date of the licence that started `env`, as YYYY-MM-DD."""
    import gurobipy

    with gurobipy.Model(env=env) as model:
        day = str(model.LicenseExpiration)
    return f"{day[:4]}-{day[4:6]}-{day[6:]}"


def environment_pointer(env: Any) -> int:
    """The GRBenv* of a gurobipy Env, from its internal `_cenv` capsule."""
    import gurobipy

    capsule = getattr(env, "_cenv", None)
    if capsule is None or type(capsule).__name__ != "PyCapsule":
        raise RuntimeError(
            f"gurobipy {gurobipy.__version__} has no `_cenv` capsule on its Env: "
            "the vendor check cannot take the environment it started"
        )
    get_pointer = ctypes.pythonapi.PyCapsule_GetPointer
    get_pointer.restype = ctypes.c_void_p
    get_pointer.argtypes = [ctypes.py_object, ctypes.c_char_p]
    get_name = ctypes.pythonapi.PyCapsule_GetName
    get_name.restype = ctypes.c_char_p
    get_name.argtypes = [ctypes.py_object]
    return int(get_pointer(capsule, get_name(capsule)))


def gurobi_library() -> Path:
    """gurobipy's own libgurobi13*.so."""
    import gurobipy

    found = sorted(Path(gurobipy.__file__).parent.glob(".libs/libgurobi*.so*"))
    if not found:
        raise RuntimeError(f"gurobipy {gurobipy.__version__} carries no libgurobi*.so in its .libs folder")
    return found[0]


def find_tool(name: str) -> str | None:
    """A tool beside the interpreter, on PATH, or from its PyPI package (cmake, ninja)."""
    beside = Path(sys.executable).parent / name
    if beside.is_file() and os.access(beside, os.X_OK):
        return str(beside)
    if shutil.which(name):
        return shutil.which(name)
    try:
        package = __import__(name)
    except ImportError:
        return None
    folder = getattr(package, "CMAKE_BIN_DIR", None) or getattr(package, "BIN_DIR", None)
    tool = Path(folder or "") / name
    return str(tool) if tool.is_file() else None


def build_forwarder(build_dir: str | os.PathLike[str]) -> str:
    """Configures and builds tests/vendor into build_dir; the library's path."""
    cmake = find_tool("cmake")
    if cmake is None:
        raise RuntimeError("cmake is needed to build the forwarding library (the test extra installs it)")
    ninja = find_tool("ninja")
    generator = ["-G", "Ninja", f"-DCMAKE_MAKE_PROGRAM={ninja}"] if ninja else []
    for command in (
        [cmake, "-S", str(FORWARDER_SOURCE), "-B", str(build_dir), "-DVELKIN_WERROR=ON", *generator],
        [cmake, "--build", str(build_dir)],
    ):
        result = subprocess.run(command, capture_output=True, text=True, timeout=300)
        if result.returncode != 0:
            raise RuntimeError(f"{' '.join(command)} failed:\n{result.stdout}{result.stderr}")
    return str(Path(build_dir) / LIBRARY_NAME)


def attach(forwarder: str | os.PathLike[str]) -> str:
    """Starts gurobipy's environment and hands it, with gurobipy's libgurobi, to the
    forwarding library at `forwarder` (opened here; the module's later dlopen of the
    same file gets the same object). The forwarder's absolute path."""
    path = str(Path(forwarder).resolve())
    if not _started:
        env = start_environment()
        library = ctypes.CDLL(path)
        library.velkin_forwarder_attach.restype = ctypes.c_int
        library.velkin_forwarder_attach.argtypes = [ctypes.c_char_p, ctypes.c_void_p]
        code = library.velkin_forwarder_attach(os.fsencode(gurobi_library()), environment_pointer(env))
        if code != 0:
            raise RuntimeError(f"the forwarding library refused gurobipy's library (code {code})")
        # Never released, not even when the interpreter shuts down: the module's
        # models may be freed after this module's globals, and they came from it.
        ctypes.pythonapi.Py_IncRef(ctypes.py_object(env))
        _started.extend((env, library))
    return path


def activate(forwarder: str | os.PathLike[str]) -> str:
    """attach(), and code written for the stand-in gets the forwarder instead: the
    `standin` fixture, the examples' fallback and the README's blocks all take
    velkin_gurobi_standin.library_path()."""
    path = attach(forwarder)
    import velkin_gurobi_standin

    if not _standin:
        _standin.append(velkin_gurobi_standin.library_path())
    velkin_gurobi_standin.library_path = lambda: path  # type: ignore[assignment]
    return path


def standin_library() -> str:
    """The installed stand-in that activate() replaced, for tests that compare the two
    libraries' answers."""
    if _standin:
        return _standin[0]
    import velkin_gurobi_standin

    return velkin_gurobi_standin.library_path()


def export_to_subprocesses(forwarder: str) -> None:
    """Makes every Python process started from here on attach the same forwarder at
    start-up (tests/vendor/site/sitecustomize.py), so that examples and code blocks
    run in subprocesses use Gurobi as well."""
    os.environ[FORWARDER_VARIABLE] = forwarder
    paths = [str(SITE_DIRECTORY), *filter(None, os.environ.get("PYTHONPATH", "").split(os.pathsep))]
    os.environ["PYTHONPATH"] = os.pathsep.join(dict.fromkeys(paths))


def main() -> int:
    try:
        env = start_environment()
    except GurobiUnavailable as error:
        print(f"vendor check skipped: {error}")
        return UNAVAILABLE_EXIT
    import gurobipy

    environment_pointer(env)
    print(
        f"Gurobi {'.'.join(map(str, gurobipy.gurobi.version()))} from gurobipy {gurobipy.__version__}, "
        f"licence until {licence_end(env)}"
    )
    return 0


if __name__ == "__main__":
    sys.exit(main())
