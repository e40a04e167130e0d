#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Usage: scripts/run-thread-check.sh
# Builds libtarsinrf.so and its C++ host test under ThreadSanitizer (build/tsan/) and runs the
# test: one encoder shared by four threads beside an encoder of its own, and reader waits
# cancelled from another thread. Any report fails. The virtual reader's provider and tarsin-rf
# come from the default build, which must exist (scripts/run-tests.sh makes it). Changes nothing
# outside the build folder and the temporary folders the test removes.
set -euo pipefail
usage() { sed -n '3,/^[^#]/{/^#/s/^# \{0,1\}//p}' "$0"; }
case "${1:-}" in -h | --help) usage; exit 0 ;; "") ;; *) usage >&2; exit 2 ;; esac
cd "$(dirname "$0")/.."
default=$PWD/build/default
for needed in "$default/sim/provider/libtarsinrf-vpcsc.so" "$default/src/host/cli/tarsin-rf"; do
  [ -e "$needed" ] || { echo "run-thread-check: $needed is missing: build the default preset first" >&2; exit 2; }
done
cmake --preset tsan >/dev/null
cmake --build --preset tsan
TARSIN_TEST_VPCSC_LIBRARY=$default/sim/provider/libtarsinrf-vpcsc.so \
TARSIN_TEST_CLI=$default/src/host/cli/tarsin-rf \
TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" \
  build/tsan/tests/tests_host_cpp
