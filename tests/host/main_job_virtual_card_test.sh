#!/bin/sh
# SPDX-License-Identifier: Apache-2.0
# main_job_virtual_card_test.sh CLI SCRIPT: the main job's virtual card made ready on readers
# files of every kind, and a user's file never written over.
set -eu
cli=$1 script=$2
work=$(mktemp -d "${TMPDIR:-/tmp}/tarsin-main-job.XXXXXX")
trap 'rm -rf "$work"' EXIT
export TARSIN_RF_VIRTUAL_READERS="$work/readers.json"
reader="Tarsin Virtual Reader 1"
fail() { echo "FAIL: $*" >&2; exit 1; }

"$script" "$cli" "$reader" || fail "no readers file: none written"
grep -q "\"$reader\"" "$work/readers.json" || fail "the default file lacks $reader"

for contents in '{"readers": [{"name": "Mine", "card": {"type": "mifare-desfire-ev1-4k",
    "uid": "04112233445566", "applications": []}}]}' 'not a readers file'; do
  printf '%s\n' "$contents" >"$work/readers.json"
  cp "$work/readers.json" "$work/before"
  if "$script" "$cli" "$reader" 2>"$work/said"; then fail "went on without $reader"; fi
  cmp -s "$work/before" "$work/readers.json" || fail "rewrote a user's file: $contents"
  [ -s "$work/said" ] || fail "stopped without a word"
done

printf '{"readers": [{"name": "%s", "card": {"type": "mifare-desfire-ev1-4k",
  "uid": "04112233445566", "applications": []}}, {"name": "Other"}]}\n' "$reader" \
  >"$work/readers.json"
"$script" "$cli" "$reader" || fail "its reader present"
if grep -q applications "$work/readers.json"; then fail "the card was not made blank"; fi
grep -q '"Other"' "$work/readers.json" || fail "another reader lost"
echo ok
