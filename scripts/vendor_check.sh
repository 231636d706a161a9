#!/usr/bin/env bash
# The vendor check: the public-API tests, every example and the README's code
# blocks on Gurobi's own library. Installs gurobipy 13.0.3 (its trial licence
# runs until 2027-11-29) into a virtual environment of its own
# (build/vendor-check) that sees the project and the test tools installed for
# $PYTHON, so that environment stays unchanged, then runs pytest --gurobi
# there. When Gurobi's trial licence is missing or expired it prints the
# licence's message and end date and exits 0. docs/development.md describes
# the check.
#
#   scripts/vendor_check.sh                       # uses python3
#   PYTHON=python scripts/vendor_check.sh -x      # extra arguments go to pytest
set -euo pipefail

repo="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
python="${PYTHON:-python3}"
venv="$repo/build/vendor-check"

"$python" -m venv --clear "$venv"
# The project, pytest and the rest come from $PYTHON's site-packages, after gurobipy's own.
"$python" -c 'import sys; print("\n".join(p for p in sys.path if p.endswith(("site-packages", "dist-packages"))))' \
  > "$("$venv/bin/python" -c 'import sysconfig; print(sysconfig.get_paths()["purelib"])')/velkin-main.pth"
"$venv/bin/python" -m pip install --quiet "gurobipy==13.0.3"

status=0
"$venv/bin/python" "$repo/tests/helpers/gurobi.py" || status=$?
if [[ $status -eq 3 ]]; then
  exit 0  # no licence: the helper printed why the check is skipped
elif [[ $status -ne 0 ]]; then
  exit "$status"
fi
cd "$repo"
"$venv/bin/python" -m pytest -q -p no:cacheprovider --gurobi tests/module tests/examples "$@"
