#!/usr/bin/env bash
# Builds and runs every test. With "asan", the AddressSanitizer + UBSan build instead.
set -euo pipefail
cd "$(dirname "$0")/.."
preset="${1:-default}"
scripts/setup-debian.sh
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset"
ctest --preset "$preset" -j"$(nproc)"
