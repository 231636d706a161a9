#!/usr/bin/env bash
# Makes (once) a minimal Debian sid tree with CPython 3.14 and 3.15, their
# headers and venv modules, and g++, and prints its directory. The tree lives
# in a cache outside the checkout (VELKIN_CHROOT, default
# /var/cache/velkin-gurobi/sid) and is remade only when it is missing or its
# package list changed, so a warm run pays nothing. Needs root and debootstrap
# (installed with apt-get when missing). The mirror is the Debian one the
# machine's own apt sources name. Progress goes to standard error.
#
#   root=$(bash scripts/debian_chroot.sh)
set -euo pipefail

readonly SUITE=sid
readonly PACKAGES=python3.14,python3.14-venv,python3.14-dev,python3.15,python3.15-venv,python3.15-dev,g++
root=${VELKIN_CHROOT:-/var/cache/velkin-gurobi/$SUITE}
stamp="$root/.velkin-packages"

# The first Debian archive URI of the machine's apt sources (deb822 or one-line form).
debian_mirror() {
  local files=(/etc/apt/sources.list /etc/apt/sources.list.d/*.list /etc/apt/sources.list.d/*.sources)
  cat "${files[@]}" 2>/dev/null |
    grep -oE '^(URIs:[[:space:]]*|deb[[:space:]]+(\[[^]]*\][[:space:]]+)?)[a-z]+://[^[:space:]]+' |
    grep -oE '[a-z]+://[^[:space:]]+' | grep -v -- '-security' | grep '/debian/*$' | head -n 1 || true
}

if [[ -f "$stamp" && "$(cat "$stamp")" == "$PACKAGES" ]]; then
  echo "$root"
  exit 0
fi

{
  mirror=$(debian_mirror)
  [[ -n "$mirror" ]] || { echo "no Debian mirror in the apt sources" >&2; exit 1; }
  if ! command -v debootstrap >/dev/null; then
    apt-get update -q
    DEBIAN_FRONTEND=noninteractive apt-get install -y -q debootstrap
  fi
  echo "making the $SUITE tree in $root from $mirror (5 to 12 minutes)"
  started=$SECONDS
  rm -rf "$root.partial"
  mkdir -p "$(dirname "$root")"
  debootstrap --variant=minbase --include="$PACKAGES" "$SUITE" "$root.partial" "$mirror"
  # The suite's Release file may be past its Valid-Until date.
  echo 'Acquire::Check-Valid-Until "false";' >"$root.partial/etc/apt/apt.conf.d/99velkin-valid-until"
  echo "$PACKAGES" >"$root.partial/.velkin-packages"
  rm -rf "$root"
  mv "$root.partial" "$root"
  echo "the $SUITE tree took $((SECONDS - started)) s"
} >&2
echo "$root"
