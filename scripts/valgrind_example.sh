#!/usr/bin/env bash
# Runs examples/facility_location.py under Memcheck with Python's allocator
# replaced by malloc, and fails when any error or definite leak has a frame in
# the extension or the stand-in. Interpreter and loader noise is suppressed
# (scripts/sanitizer/valgrind-python.supp) or reported as not ours.
# Uses $PYTHON (default python3) with the project installed.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

# The interpreter itself, not a wrapper script that would run it unobserved.
python=$("${PYTHON:-python3}" -c 'import sys; print(sys.executable)')
out=${VELKIN_VALGRIND_DIR:-build/valgrind}
mkdir -p "$out"

PYTHONMALLOC=malloc valgrind \
  --tool=memcheck \
  --leak-check=full \
  --show-leak-kinds=definite \
  --errors-for-leak-kinds=definite \
  --num-callers=40 \
  --track-origins=yes \
  --suppressions=scripts/sanitizer/valgrind-python.supp \
  --xml=yes --xml-file="$out/memcheck.xml" \
  --log-file="$out/memcheck.log" \
  "$python" examples/facility_location.py --facilities 8 --customers 12 "$@"

"$python" scripts/sanitizer/valgrind_report.py "$out/memcheck.xml"
