#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Checks every tracked C/C++ file against the root .clang-format and lists the files that differ;
# exit status 1 when any does. With --fix, rewrites those files in place instead.
# The layout is clang-format 14's (Debian 12's `clang-format`); other versions format differently.
# Usage: scripts/check-format.sh [--fix]
# Changes to this machine: none; with --fix, the tracked files that differ are rewritten.
set -euo pipefail
cd "$(dirname "$0")/.."
usage() { sed -n '3,/^[^#]/{/^#/s/^# \{0,1\}//p}' "$0"; }
clang_format="${CLANG_FORMAT:-clang-format}"
fix=false
case "${1:-}" in
  "") ;;
  --fix) fix=true ;;
  -h | --help) usage; exit 0 ;;
  *) usage >&2; exit 2 ;;
esac

mapfile -d '' files < <(git ls-files -z -- '*.c' '*.cc' '*.cpp' '*.h' '*.hpp')
version="$("$clang_format" --version)"
[[ "$version" == *" 14."* ]] || echo "check-format: expected clang-format 14, found: $version" >&2

offending=()
for file in "${files[@]}"; do
  "$clang_format" --dry-run -Werror "$file" >/dev/null 2>&1 || offending+=("$file")
done
if [ ${#offending[@]} -eq 0 ]; then
  echo "check-format: ${#files[@]} files formatted"
  exit 0
fi
if $fix; then
  "$clang_format" -i "${offending[@]}"
  printf 'reformatted: %s\n' "${offending[@]}"
  exit 0
fi
printf 'not formatted: %s\n' "${offending[@]}"
echo "check-format: ${#offending[@]} of ${#files[@]} files differ; scripts/check-format.sh --fix rewrites them" >&2
exit 1
