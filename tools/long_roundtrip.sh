#!/usr/bin/env bash
# The long round trip: thousands of generated SMFs, each converted by the
# built vantrel with several option sets (dialect, bar layout, pickups,
# filters; the first of them also with /Q and /Q16) and checked note by
# note with vantrel_check. Prints every difference and, at the end, how
# many files, conversions, notes and commands were checked. Exit status 0
# when nothing differs.
#
#   tools/long_roundtrip.sh [BUILD_DIR] [FIRST_SEED] [SEEDS] [SETS]
#
# BUILD_DIR holds vantrel and tools/vantrel_check (default: build); the
# seeds default to 100000 .. 102999, with 5 option sets each and one of
# voices or a velocity step. The files are made and converted in a
# temporary folder, a batch at a time.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
first=${2:-100000}
seeds=${3:-3000}
sets=${4:-5}
batch=250

vantrel=$build/vantrel
check=$build/tools/vantrel_check
for program in "$vantrel" "$check"; do
  [ -x "$program" ] || { echo "missing $program: build first" >&2; exit 2; }
done

work=$(mktemp -d "${TMPDIR:-/tmp}/vantrel-long.XXXXXX")
trap 'rm -rf "$work"' EXIT
cd "$work"

conversions=0 notes=0 commands=0 refused=0 differences=0 failing=0
for ((start = first; start < first + seeds; start += batch)); do
  size=$((first + seeds - start < batch ? first + seeds - start : batch))
  rm -f ./*.mid ./*.mml ./*.err ./*.out list.txt checks.txt
  # File names are relative: vantrel reads a leading "/" as an option.
  "$check" --generate=. "$start" "$size" "$sets" > list.txt
  n=0 last=
  while IFS=$'\t' read -r smf options; do
    # The first set of each file also on the program's own grid and on
    # sixteenths; standard output names the grid chosen.
    runs=("$options")
    [ "$smf" = "$last" ] || runs+=("$options /Q" "$options /Q16")
    last=$smf
    for run in "${runs[@]}"; do
      n=$((n + 1))
      status=0
      # shellcheck disable=SC2086  # the options are words of their own
      "$vantrel" $run "/Fmc$n.mml" "$smf" > "c$n.out" 2> "c$n.err" || status=$?
      printf '%s\tc%s.mml\tc%s.err\t%s\t%s\tc%s.out\n' "$smf" "$n" "$n" "$status" "$run" "$n" \
        >> checks.txt
    done
  done < list.txt
  "$check" --batch=checks.txt > report.txt || true
  grep -v -e ': exact (' -e ': refused as it must be: ' -e '^checked ' report.txt || true
  # The numbers of "checked N conversions: N notes, N commands; N refused;
  # N differences in N conversions", in that order.
  read -r c n m r d f < <(grep '^checked ' report.txt | tr -cs '0-9\n' ' ')
  conversions=$((conversions + c)) notes=$((notes + n)) commands=$((commands + m))
  refused=$((refused + r)) differences=$((differences + d)) failing=$((failing + f))
  echo "seeds $start to $((start + size - 1)): $c conversions, $d differences" >&2
done

echo "long round trip: $seeds files (seeds $first to $((first + seeds - 1))):" \
  "$conversions conversions, $notes notes and $commands commands checked;" \
  "$refused refused; $differences differences in $failing conversions"
[ "$failing" -eq 0 ]
