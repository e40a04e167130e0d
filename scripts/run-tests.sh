#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Builds and runs every test. With "asan", the AddressSanitizer + UBSan build instead.
# With TARSIN_RF_REQUIRE_E2E=1 (CI sets it), an end-to-end test (CTest label e2e) that skipped,
# or no end-to-end test at all, fails the run: there a skip would hide that nothing was checked.
# Usage: scripts/run-tests.sh [default|asan]
# Changes to this machine: the packages of scripts/setup-debian.sh; the build in build/PRESET.
# The end-to-end tests start a pcscd of their own (a private reader.conf.d) and stop it by its id;
# they skip when another pcscd runs, and never stop it.
set -euo pipefail
cd "$(dirname "$0")/.."
usage() { sed -n '3,/^[^#]/{/^#/s/^# \{0,1\}//p}' "$0"; }
case "${1:-}" in -h | --help) usage; exit 0 ;; "" | default | asan) ;; *) usage >&2; exit 2 ;; esac
preset="${1:-default}"
scripts/setup-debian.sh
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset"
results="$PWD/build/$preset/ctest-results.xml"
rm -f "$results"
ctest --preset "$preset" -j"$(nproc)" --output-junit "$results"

if [ "${TARSIN_RF_REQUIRE_E2E:-0}" = 1 ]; then
  ctest --preset "$preset" -L e2e --show-only=json-v1 |
    /usr/bin/python3 -c '
import json, sys
import xml.etree.ElementTree as ET
e2e = [t["name"] for t in json.load(sys.stdin)["tests"]]
ran = {c.get("name"): c for c in ET.parse(sys.argv[1]).getroot().iter("testcase")}
if not e2e:
    sys.exit("run-tests: TARSIN_RF_REQUIRE_E2E=1 but no end-to-end test is registered")
missed = [n for n in e2e if n not in ran or ran[n].get("status") != "run"]
for name in missed:
    case = ran.get(name)
    skipped = None if case is None else case.find("skipped")
    reason = ("not in the results" if case is None else "skipped: " + skipped.get("message", "")
              if skipped is not None else case.get("status"))
    print("run-tests: end-to-end test %s did not run (%s)" % (name, reason), file=sys.stderr)
    if case is not None and case.findtext("system-out"):
        print(case.findtext("system-out").rstrip(), file=sys.stderr)
sys.exit(1 if missed else 0)
' "$results"
fi
