#!/usr/bin/env bash
# CPython 3.14 and 3.15, which the machine itself may lack, from a Debian sid
# tree (scripts/debian_chroot.sh, kept in a cache outside the checkout). Inside
# that tree, with this checkout mounted in it: builds the cp314 and cp315
# wheels with scripts/build_wheels.sh, tests each with scripts/test_wheels.sh
# (installed without a compiler into a fresh environment of its Python; the
# examples, the README and the module tests), and builds from source with the
# tree's g++ under VELKIN_WERROR=ON. proc and sys (for the memory cgroup
# tests) are mounted while it runs and unmounted after, also on failure.
# Needs root. Extra arguments go to every pytest run.
#
#   scripts/debian_sid.sh
#   STEPS="source" scripts/debian_sid.sh    # some of: wheels tests source suite
#
# The step "suite", not run by default, runs the whole suite on each source
# build (with the test extra installed there).
set -euo pipefail
repo="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"

readonly PYTHONS="python3.14 python3.15"
readonly TAGS="cp314 cp315"
steps=" ${STEPS:-wheels tests source} "

root=$(bash "$repo/scripts/debian_chroot.sh")
checkout=/velkin-gurobi
mounts=()
unmount_all() {
  local i
  for ((i = ${#mounts[@]} - 1; i >= 0; i--)); do
    umount -R "${mounts[i]}" 2>/dev/null || umount -R -l "${mounts[i]}" || true
  done
}
trap unmount_all EXIT
mount_in() {  # mount_in TARGET MOUNT-ARGUMENTS...
  local target="$root$1"
  shift
  mkdir -p "$target"
  mount "$@" "$target"
  mounts+=("$target")
  # An unmount inside must not reach the machine's own mounts.
  mount --make-rslave "$target"
}
# The tree's root is a mount point of its own, so that /proc/self/mounts inside
# names the file system of every path.
mount_in "" --bind "$root"
mount_in /proc -t proc proc
mount_in /sys --rbind /sys
mount_in /dev/shm -t tmpfs tmpfs
mount_in "$checkout" --bind "$repo"
cp /etc/resolv.conf "$root/etc/resolv.conf"  # pip inside reaches the package index

# pip inside uses the machine's own settings: the PIP_* variables, the proxy
# and certificate variables, and the folders of the files they name (read-only).
settings=()
for variable in $(compgen -e); do
  case "$variable" in
    PIP_* | SSL_CERT_FILE | SSL_CERT_DIR | REQUESTS_CA_BUNDLE | CURL_CA_BUNDLE | [Hh][Tt][Tt][Pp]*_[Pp][Rr][Oo][Xx][Yy] | [Nn][Oo]_[Pp][Rr][Oo][Xx][Yy]) ;;
    *) continue ;;
  esac
  settings+=("$variable=${!variable}")
  folder=${!variable}
  [[ -f "$folder" ]] && folder=$(dirname "$folder")
  if [[ "$folder" == /?* && -d "$folder" ]] && ! mountpoint -q "$root$folder"; then
    mount_in "$folder" --bind -o ro "$folder"
  fi
done

inside() {
  chroot "$root" /usr/bin/env -i HOME=/root LANG=C.UTF-8 PATH=/usr/local/bin:/usr/bin:/bin:/usr/sbin:/sbin "${settings[@]}" \
    CMAKE_BUILD_PARALLEL_LEVEL="${CMAKE_BUILD_PARALLEL_LEVEL:-2}" SKBUILD_CMAKE_DEFINE="${SKBUILD_CMAKE_DEFINE:-}" \
    bash -c "cd $checkout && $1" inside "${@:2}"
}
timed() {  # timed LABEL COMMAND...
  local start=$SECONDS
  "${@:2}"
  echo "$1 took $((SECONDS - start)) s"
}

# Debian's interpreters come without pip: each builds its wheel from an
# environment of its own.
if [[ "$steps" == *" wheels "* ]]; then
  builders=()
  for python in $PYTHONS; do
    builder="build/wheels-sid/$python"
    inside "[[ -x $builder/bin/python ]] || $python -m venv $builder"
    builders+=("$builder/bin/python")
  done
  timed "the $TAGS wheels" inside "PYTHONS='${builders[*]}' WHEEL_WORK=build/wheels-sid bash scripts/build_wheels.sh"
fi
if [[ "$steps" == *" tests "* ]]; then
  timed "the $TAGS wheel tests" inside "TAGS='$TAGS' FULL_SUITE=none bash scripts/test_wheels.sh \"\$@\"" "$@"
fi
# The source build with the newest g++, warnings as errors, for each Python.
if [[ "$steps" == *" source "* ]]; then
  for python in $PYTHONS; do
    timed "the source build for $python" inside "set -e; venv=build/sid-source/$python; rm -rf \$venv; $python -m venv \$venv
      \$venv/bin/python -m pip install --quiet scikit-build-core cmake ninja
      g++ --version | head -n 1
      \$venv/bin/python -m pip install --quiet --no-deps --no-build-isolation -C build-dir=\$venv/build \
        -C cmake.define.VELKIN_WERROR=ON -C cmake.define.VELKIN_TESTS=ON .
      \$venv/bin/python -c 'import velkin_gurobi; print(velkin_gurobi.__file__)'"
  done
fi
if [[ "$steps" == *" suite "* ]]; then
  for python in $PYTHONS; do
    timed "the whole suite on the source build for $python" inside "set -e; venv=build/sid-source/$python
      \$venv/bin/python -m pip install --quiet --no-build-isolation -C build-dir=\$venv/build \
        -C cmake.define.VELKIN_WERROR=ON '.[test]'
      PATH=\$PWD/\$venv/bin:\$PATH \$venv/bin/python -m pytest -q -p no:cacheprovider tests \"\$@\"" "$@"
  done
fi
