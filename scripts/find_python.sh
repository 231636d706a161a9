#!/usr/bin/env bash
# Prints the newest CPython of a version (find_python.sh 3.12): pyenv's first,
# then python3.X on PATH; prints nothing when there is none.
set -euo pipefail
version=$1
found=$(ls -d "${PYENV_ROOT:-$HOME/.pyenv}/versions/$version".*/bin/"python$version" 2>/dev/null | sort -V | tail -n 1 || true)
[[ -n "$found" ]] || found=$(command -v "python$version" || true)
echo "$found"
