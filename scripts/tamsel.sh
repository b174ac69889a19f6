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

configure() {
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@"
}

# The second build of the test run: clang with AddressSanitizer (leaks
# included) and UndefinedBehaviorSanitizer, plus the fuzz targets.
sanitized="${TAMSEL_SANITIZE_BUILD_DIR:-$root/build-asan}"
configure_and_build_sanitized() {
  CC=clang CXX=clang++ cmake -S "$root" -B "$sanitized" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DTAMSEL_SANITIZE=ON -DTAMSEL_FUZZ=ON -DTAMSEL_WERROR=ON
  cmake --build "$sanitized" --parallel "$(nproc)"
}

# Any finding ends the process that made it, so the test fails.
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:strict_string_checks=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export LSAN_OPTIONS="suppressions=$root/scripts/lsan.supp:print_suppressions=0"

# Each fuzz target for a while on its seeds; a crash or a broken invariant
# fails. New inputs go to a work folder, never into the tree.
run_fuzzers() {
  local seconds="${TAMSEL_FUZZ_SECONDS:-30}" failed=0 target work
  for target in filter dialect numbers win1251; do
    work="$sanitized/fuzz-work/$target"
    mkdir -p "$work" "$sanitized/fuzz-artifacts"
    echo "Fuzzing $target for ${seconds}s"
    if ! "$sanitized/fuzz/fuzz_$target" -max_len=65536 -max_total_time="$seconds" -print_final_stats=1 \
        -artifact_prefix="$sanitized/fuzz-artifacts/$target-" "$work" "$root/fuzz/corpus/$target" \
        >"$sanitized/fuzz-$target.log" 2>&1; then
      failed=1
      echo "fuzz_$target FAILED:"
      tail -n 60 "$sanitized/fuzz-$target.log"
    fi
    grep -E '^stat::number_of_executed_units' "$sanitized/fuzz-$target.log" | sed "s/^/fuzz_$target /" || true
  done
  return "$failed"
}

case "${1:-}" in
  run)
    install_packages
    configure
    # Only what it starts: the program and the demo database's generator.
    cmake --build "$build" --parallel "$(nproc)" --target tamsel tamsel-demo
    shift
    exec "$root/scripts/run-demo.sh" "$build" "$@"
    ;;
  test)
    install_packages
    # Tests build with warnings as errors, so that no warning lands.
    configure -DTAMSEL_WERROR=ON
    # Everything the suite runs: the program's layers, the tests, the demo.
    cmake --build "$build" --parallel "$(nproc)"
    status=0
    "$root/scripts/run-tests.sh" "$build" || status=1
    # CI also runs the suite under the sanitizers and smoke-runs the
    # fuzzers; a developer asks for it with TAMSEL_SANITIZE=1.
    if [ "${CI:-}" = true ] || [ "${TAMSEL_SANITIZE:-}" = 1 ]; then
      configure_and_build_sanitized
      run_fuzzers || status=1
      "$root/scripts/run-tests.sh" "$sanitized" || status=1
    fi
    exit "$status"
    ;;
  *)
    echo "usage: $0 run|test" >&2
    exit 2
    ;;
esac
