#!/usr/bin/env bash
# Installs each wheel in dist/ (scripts/build_wheels.sh) into a fresh virtual
# environment of its own CPython, as a user without a compiler would: binary
# packages only, and on PATH nothing but the environment's own bin/ and
# readelf (the stand-in's export checks read the installed library). Then runs
# the examples, the README's code blocks (the quick start first) and the module
# tests there. The wheel for FULL_SUITE (default: the newest Python's tested;
# "none" for no wheel) then runs the whole suite, with the machine's PATH: some
# tests compile C or C++ of their own. TAGS limits the wheels tested. Extra
# arguments go to every pytest run.
#
#   scripts/test_wheels.sh
#   FULL_SUITE=cp312 scripts/test_wheels.sh
#   TAGS="cp310 cp313" scripts/test_wheels.sh
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

readonly COMPILERS=(cc c++ gcc g++ clang clang++ zig)
work=build/wheel-tests

utilities="$(mkdir -p "$work/utilities" && cd "$work/utilities" && pwd)"
ln -sf "$(command -v readelf)" "$utilities/readelf"

step() { printf '\n== %s\n' "$*"; }

wheels=()
for wheel in dist/velkin_gurobi-*-manylinux*.whl; do
  tag=$(basename "$wheel" | cut -d- -f3)
  [[ -z "${TAGS:-}" || " $TAGS " == *" $tag "* ]] && [[ -f "$wheel" ]] && wheels+=("$wheel")
done
[[ ${#wheels[@]} -gt 0 ]] || { echo "no manylinux wheel ${TAGS:-} in dist/: run scripts/build_wheels.sh" >&2; exit 1; }
full_suite=${FULL_SUITE:-$(basename "${wheels[-1]}" | cut -d- -f3)}

for wheel in "${wheels[@]}"; do
  tag=$(basename "$wheel" | cut -d- -f3)
  version="${tag:2:1}.${tag:3}"
  python=$(bash scripts/find_python.sh "$version")
  [[ -n "$python" ]] || { echo "no CPython $version for $(basename "$wheel")" >&2; exit 1; }
  venv="$work/$tag"

  step "$(basename "$wheel") into a fresh environment of $python"
  rm -rf "$venv"
  "$python" -m venv "$venv"
  bin="$(cd "$venv/bin" && pwd)"
  for compiler in "${COMPILERS[@]}"; do
    if PATH="$bin:$utilities" command -v "$compiler" >/dev/null; then echo "a compiler is on PATH: $compiler" >&2; exit 1; fi
  done
  run() { env -u CC -u CXX PATH="$bin:$utilities" "$@"; }
  run python -m pip install --quiet --upgrade pip
  run python -m pip install --quiet --only-binary=:all: "$wheel[test]"
  run python -c "import velkin_gurobi, velkin_gurobi_standin; print(velkin_gurobi.__file__)"

  step "the examples, the README's code and the module tests on $tag"
  run python -m pytest -q -p no:cacheprovider tests/examples tests/module "$@"
  if [[ "$tag" == "$full_suite" ]]; then
    step "the whole suite on $tag"
    env -u CC -u CXX PATH="$bin:$PATH" python -m pytest -q -p no:cacheprovider tests "$@"
  fi
done
