#!/usr/bin/env bash
# Runs the whole test suite headless under CTest; CTest's summary closes the output.
set -euo pipefail
build="$1"
export QT_QPA_PLATFORM=offscreen
cd "$build"
ctest --output-on-failure --timeout 600 -j "$(nproc)"
