#!/usr/bin/env bash
# Builds the extension and the stand-in with AddressSanitizer and
# UndefinedBehaviorSanitizer into a virtual environment of their own and runs
# the whole test suite under them: the ASan runtime preloaded into the
# interpreter (and every process it starts), Python's allocator replaced by
# malloc so that ASan sees every object, UBSan stopping at the first report,
# and leak detection on with suppressions for the interpreter's own leaks
# only. Extra arguments go to pytest.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

python=${PYTHON:-python3}
venv=${VELKIN_SANITIZE_VENV:-build/sanitize/venv}
build_dir=${VELKIN_SANITIZE_BUILD_DIR:-build/sanitize/cmake}
export CMAKE_BUILD_PARALLEL_LEVEL=${CMAKE_BUILD_PARALLEL_LEVEL:-2}

"$python" -m venv "$venv"
"$venv/bin/python" -m pip install --quiet --upgrade pip
"$venv/bin/python" -m pip install --quiet \
  -C build-dir="$build_dir" \
  -C cmake.build-type=RelWithDebInfo \
  -C cmake.define.VELKIN_SANITIZE=ON \
  ".[test]"

asan_runtime=$("${CXX:-g++}" -print-file-name=libasan.so)
if [ ! -e "$asan_runtime" ]; then
  echo "sanitize.sh: the ASan runtime was not found ($asan_runtime)" >&2
  exit 1
fi

# Full unwinding on malloc: the interpreter is built without frame pointers,
# and suppressions and reports need whole stacks.
asan_options=detect_leaks=1:fast_unwind_on_malloc=0:malloc_context_size=30:halt_on_error=1
asan_options+=:detect_stack_use_after_return=1:check_initialization_order=1:strict_init_order=1
# GCC 12's runtime takes a dynamic TLS block whose start lies 16 bytes into a
# page for one with a pre-2.25 glibc header and reads the words before it as
# its bounds; LeakSanitizer's exit-time tracer then crashes now and then
# ("Tracer caught signal 11") in processes that reported nothing. The blocks
# are malloc'd, so leak detection still sees them through glibc's own tables.
asan_options+=:intercept_tls_get_addr=0

env \
  LD_PRELOAD="$asan_runtime" \
  PYTHONMALLOC=malloc \
  ASAN_OPTIONS="$asan_options" \
  LSAN_OPTIONS="suppressions=$PWD/scripts/sanitizer/lsan.supp:print_suppressions=0" \
  UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
  PYTHONPATH="$PWD/scripts/sanitizer${PYTHONPATH:+:$PYTHONPATH}" \
  VELKIN_SANITIZED=1 \
  "$venv/bin/python" -m pytest -q -p sanitizer_skips -p no:cacheprovider tests "$@"
