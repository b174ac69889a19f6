#!/usr/bin/env bash
# Set-up and build entry point: "run" builds and starts Tamsel on the demo
# database, "test" builds and runs every test. Both install missing Debian
# packages first, so each works on a new Debian 12 machine.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build="${TAMSEL_BUILD_DIR:-$root/build}"

as_root() {
  if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

install_packages() {
  local missing=()
  while read -r pkg; do
    case "$pkg" in ''|'#'*) continue ;; esac
    if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed'; then
      missing+=("$pkg")
    fi
  done < "$root/scripts/packages.txt"
  if [ "${#missing[@]}" -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    as_root apt-get update
    as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "${missing[@]}"
  fi
}

configure_and_build() {
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
  cmake --build "$build" --parallel "$(nproc)"
}

case "${1:-}" in
  run)
    install_packages
    configure_and_build
    shift
    exec "$root/scripts/run-demo.sh" "$build" "$@"
    ;;
  test)
    install_packages
    configure_and_build
    cd "$build"
    exec "$root/scripts/run-tests.sh" "$build"
    ;;
  *)
    echo "usage: $0 run|test" >&2
    exit 2
    ;;
esac
