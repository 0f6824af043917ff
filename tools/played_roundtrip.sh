#!/usr/bin/env bash
# The played round trip: generated files played as a person plays them
# (humanised starts and lengths in changing meters), each converted by the
# built vantrel on the grids /Q16, /Q12 and the program's own choice, in
# both dialects, and once more in voices with a velocity step, and checked
# with vantrel_check, which places every event on its own grid and holds
# every written length to the grid's note values.
# Prints every difference, then the counts. Exit status 0 when nothing
# differs.
#
#   tools/played_roundtrip.sh [BUILD_DIR] [FIRST_SEED] [SEEDS]
#
# BUILD_DIR holds vantrel and tools/vantrel_check (default: build); the
# seeds default to 1 .. 500.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
first=${2:-1}
seeds=${3:-500}

vantrel=$build/vantrel
check=$build/tools/vantrel_check
for program in "$vantrel" "$check"; do
  [ -x "$program" ] || { echo "missing $program: build first" >&2; exit 2; }
done

work=$(mktemp -d "${TMPDIR:-/tmp}/vantrel-played.XXXXXX")
trap 'rm -rf "$work"' EXIT
cd "$work"

# File names are relative: vantrel reads a leading "/" as an option.
"$check" --played=. "$first" "$seeds" > list.txt
n=0
: > checks.txt
while IFS=$'\t' read -r smf options; do
  n=$((n + 1))
  status=0
  # shellcheck disable=SC2086  # the options are words of their own
  "$vantrel" $options "/Fmc$n.mml" "$smf" > "c$n.out" 2> "c$n.err" || status=$?
  printf '%s\tc%s.mml\tc%s.err\t%s\t%s\tc%s.out\n' "$smf" "$n" "$n" "$status" "$options" "$n" \
    >> checks.txt
done < list.txt
"$check" --batch=checks.txt > report.txt || true
grep -v -e ': exact (' -e ': refused as it must be: ' -e '^checked ' report.txt || true
echo "grids used: $(grep -o 'grid 1/[0-9+/]*\( with offsets\)*' report.txt | sort | uniq -c | sort -rn |
  tr -s ' ' | tr '\n' ';')"
echo "notes placed on a finer grid: $(grep -o '[0-9]* notes finer' report.txt | awk '{ n += $1 } END { print n + 0 }')"
tail -1 report.txt
! grep -q -v -e ': exact (' -e ': refused as it must be: ' -e '^checked ' report.txt
