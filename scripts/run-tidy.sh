#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Runs clang-tidy (checks in the root .clang-tidy) over src/ and sim/ with build/default's compile
# database.
#   scripts/run-tidy.sh                 every .cpp under src/ and sim/
#   scripts/run-tidy.sh --changed BASE  only the .cpp files under src/ and sim/ that differ from git
#                                       revision BASE (working tree included) or are new
# Exit status 1 when clang-tidy reports anything.
# Changes to this machine: build/default configured again (its compile database); nothing else.
set -euo pipefail
cd "$(dirname "$0")/.."
usage() { sed -n '3,/^[^#]/{/^#/s/^# \{0,1\}//p}' "$0"; }

files=()
case "${1:-}" in
  "") ;;
  -h | --help) usage; exit 0 ;;
  --changed)
    [ $# -eq 2 ] || { usage >&2; exit 2; }
    mapfile -t files < <({
      git diff --name-only --diff-filter=d "$2" -- 'src/*.cpp' 'sim/*.cpp'
      git ls-files --others --exclude-standard -- 'src/*.cpp' 'sim/*.cpp'
    } | sort -u)
    if [ ${#files[@]} -eq 0 ]; then
      echo "run-tidy: no .cpp file under src/ or sim/ differs from $2"
      exit 0
    fi
    ;;
  *) usage >&2; exit 2 ;;
esac

# Configuring again puts files added since the last build into the compile database.
cmake --preset default >/dev/null
# run-clang-tidy takes regular expressions matched against the database's absolute paths.
patterns=()
if [ ${#files[@]} -eq 0 ]; then
  patterns=("^$PWD/src/" "^$PWD/sim/")
else
  for file in "${files[@]}"; do
    patterns+=("^$(printf '%s' "$PWD/$file" | sed 's/[][\.*^$+?(){}|]/\\&/g')\$")
  done
fi
# Two jobs at most: the machines this runs on are shared. The counts of warnings suppressed in
# system headers say nothing.
run-clang-tidy -p build/default -j2 -quiet "${patterns[@]}" \
  2> >(grep -v '^[0-9]* warnings\? generated\.$' >&2)
