#!/usr/bin/env bash
# Builds the wheel with `pip wheel .`, installs it into a fresh virtual
# environment that does not see the system's site-packages, and checks that
# it holds the module, the stand-in, the type information and the licence,
# that the facility location example runs, and that mypy --strict finds the
# stubs from the installed package.
#
#   scripts/check_wheel.sh            # uses python3
#   PYTHON=python3.12 scripts/check_wheel.sh
#   KEEP=1 scripts/check_wheel.sh     # keeps the work directory for a look
set -euo pipefail

repo="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
python="${PYTHON:-python3}"
work="$(mktemp -d)"
if [[ -z "${KEEP:-}" ]]; then
  trap 'rm -rf "$work"' EXIT
else
  echo "work directory: $work"
fi
export CMAKE_BUILD_PARALLEL_LEVEL="${CMAKE_BUILD_PARALLEL_LEVEL:-2}"

step() { printf '\n== %s\n' "$*"; }

step "building the wheel"
# A build directory of its own, so that the check starts from nothing.
"$python" -m pip wheel --quiet --no-deps -w "$work/dist" -C build-dir="$work/build" "$repo"
wheels=("$work"/dist/velkin_gurobi-*.whl)
[[ ${#wheels[@]} -eq 1 && -f "${wheels[0]}" ]] || { echo "expected one wheel, found: ${wheels[*]}"; exit 1; }
wheel="${wheels[0]}"
echo "$(basename "$wheel")"

step "checking the wheel's contents"
"$python" - "$wheel" <<'PY'
import sys
import zipfile

names = zipfile.ZipFile(sys.argv[1]).namelist()
required = [
    "velkin_gurobi-stubs/__init__.pyi",
    "velkin_gurobi_standin/__init__.py",
    "velkin_gurobi_standin/__main__.py",
    "velkin_gurobi_standin/py.typed",
    "velkin_gurobi_standin/lib/libgurobi_standin12.so",
]
missing = [name for name in required if name not in names]
if not any(n.startswith("velkin_gurobi.") and n.endswith(".so") for n in names):
    missing.append("velkin_gurobi.*.so")
if not any(n.endswith(".dist-info/licenses/LICENSE") or n.endswith(".dist-info/LICENSE") for n in names):
    missing.append("*.dist-info/licenses/LICENSE")
if missing:
    sys.exit("missing from the wheel: " + ", ".join(missing))
print(f"{len(names)} files, all expected ones present")
PY

step "installing into a fresh virtual environment"
"$python" -m venv "$work/venv"
venv_python="$work/venv/bin/python"
"$venv_python" -m pip install --quiet --upgrade pip
# With the distributed extra, which the scenario sweep example imports.
"$venv_python" -m pip install --quiet "$wheel[distributed]" mypy
"$venv_python" -c "import sys; assert sys.prefix != sys.base_prefix; import velkin_gurobi; print(velkin_gurobi.__file__)"

# Everything below runs outside the source tree, so only the installed package is seen.
cd "$work"

step "the stand-in helper"
home="$("$venv_python" -m velkin_gurobi_standin)"
library="$("$venv_python" -m velkin_gurobi_standin --library)"
[[ "$library" == "$home/lib/libgurobi_standin12.so" && -f "$library" ]] || { echo "unexpected stand-in paths"; exit 1; }
echo "GUROBI_HOME=$home"

step "running the facility location example"
env -u GUROBI_HOME "$venv_python" "$repo/examples/facility_location.py" --facilities 6 --customers 8 | tee "$work/example.out"
grep -qx "Status: optimal" "$work/example.out"

step "the same through GUROBI_HOME"
GUROBI_HOME="$home" "$venv_python" -c "
from velkin_gurobi import Model
m = Model('via_home')
x = m.add_variable(ub=2.0)
m.set_objective([x], [1.0], 0.0, 1)
m.set_optimizer_attr('Silent', True)
assert m.optimize() == 1 and m.get_objective_value() == 2.0
print('optimal via GUROBI_HOME')
"

step "mypy --strict against the installed stubs"
"$venv_python" -m mypy --strict --cache-dir=/dev/null "$repo/tests/typing/usage.py" "$repo"/examples/*.py
"$venv_python" -m mypy --strict --cache-dir=/dev/null -p velkin_gurobi_standin

step "wheel check passed"
