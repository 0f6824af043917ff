#!/usr/bin/env bash
# Converts a fixed set of SMFs with several option sets and writes one line
# per conversion: the input, the options, the exit status and the sha256 of
# the MML file, of the console output and of the error output. Two lists made
# by two builds tell whether a change of the program changed any output byte.
#
# usage: bench/checksums.sh [OPTIONS] LIST
#          writes the list to LIST
#        bench/checksums.sh [OPTIONS] --compare OLD [LIST]
#          makes the list again (into LIST when given) and compares it with
#          OLD conversion by conversion; exits with status 1 and shows the
#          lines that differ, if any
# OPTIONS:
#   --build DIR    build directory (default: build-bench)
#   --bin FILE     the vantrel to run (default: BUILD/vantrel)
#   --dir DIR      benchmark SMFs, made there when missing (/tmp/vantrel-bench)
#   --extra DIR    more SMFs (*.mid, *.smf), for instance files that tests
#                  wrote; may be given more than once
#   --timeout S    a conversion taking longer is listed as stopped (300)
# The option sets are none, /J, /B-, /C0, /C-1, /A480, /Mc, /MA and the grids
# /Q16, /Q and /Q12 /J. The inputs are the benchmark files, examples/*.mid, fuzz/corpus/* (without
# the four option bytes that begin each fuzz input), *.mid under tests/ and
# the --extra folders.

set -uo pipefail
export LC_ALL=C  # one sort order for the list, whatever the locale

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build="$root/build-bench"
bin=""
dir=/tmp/vantrel-bench
limit=300
extras=()
compare=""
list=""
while [ $# -gt 0 ]; do
  case "$1" in
    --build) build=$2; shift 2 ;;
    --bin) bin=$2; shift 2 ;;
    --dir) dir=$2; shift 2 ;;
    --extra) extras+=("$(realpath "$2")"); shift 2 ;;
    --timeout) limit=$2; shift 2 ;;
    --compare) compare=$(realpath "$2"); shift 2 ;;
    -h|--help) sed -n '2,22p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    -*) echo "unknown option: $1" >&2; exit 2 ;;
    *) [ -z "$list" ] || { echo "one list only" >&2; exit 2; }; list=$(realpath -m "$1"); shift ;;
  esac
done
[ -n "$list" ] || [ -n "$compare" ] || { echo "usage: $0 [OPTIONS] LIST | --compare OLD [LIST]" >&2; exit 2; }
[ -n "$bin" ] || bin="$build/vantrel"
bin=$(realpath "$bin")
[ -x "$bin" ] || { echo "missing: $bin" >&2; exit 2; }
if [ -n "$compare" ] && [ ! -f "$compare" ]; then echo "missing: $compare" >&2; exit 2; fi

if ! ls "$dir"/*.mid > /dev/null 2>&1; then
  maker="$build/bench/make_bench_smf"
  [ -x "$maker" ] || { echo "no benchmark files in $dir and no $maker" >&2; exit 2; }
  "$maker" "$dir" > /dev/null || exit 1
fi

optionSets=("" "/J" "/B-" "/C0" "/C-1" "/A480" "/Mc" "/MA" "/Q16" "/Q" "/Q12 /J")

# The program reads names that begin with '/' or '-' as options and derives
# names from the first dot, so each input is converted as in.mid into out.mml
# inside a scratch folder: the console text then names no real path.
scratch=$(mktemp -d "${TMPDIR:-/tmp}/vantrel-sums.XXXXXX")
trap 'rm -rf "$scratch"' EXIT
hash() { sha256sum "$1" | cut -c1-64; }

# convert LABEL: converts $scratch/in.mid with every option set and prints
# one line for each.
convert() {
  local label=$1 opts status inHash
  inHash=$(hash "$scratch/in.mid")
  for opts in "${optionSets[@]}"; do
    rm -f "$scratch/out.mml"
    # shellcheck disable=SC2086  # an empty option set is no argument
    (cd "$scratch" && timeout "$limit" "$bin" $opts /Fmout.mml in.mid > console 2> errors)
    status=$?
    [ $status = 124 ] && status="stopped"
    local mml="none"
    [ -f "$scratch/out.mml" ] && mml=$(hash "$scratch/out.mml")
    printf '%s\t%s\tin=%s\tstatus=%s\tmml=%s\tconsole=%s\terrors=%s\n' "$label" "${opts:--}" \
      "${inHash:0:16}" "$status" "$mml" "$(hash "$scratch/console")" "$(hash "$scratch/errors")"
  done
}

make_list() {
  local f
  echo "# vantrel output checksums: input, options, status, sha256 of MML, console and errors"
  echo "# binary $bin ($(hash "$bin" | cut -c1-16)), $(date -u +%Y-%m-%dT%H:%M:%SZ)"
  for f in "$dir"/*.mid; do
    ln -sf "$f" "$scratch/in.mid"
    convert "bench/$(basename "$f")"
  done
  for f in "$root"/examples/*.mid; do
    [ -f "$f" ] || continue
    ln -sf "$f" "$scratch/in.mid"
    convert "examples/$(basename "$f")"
  done
  # Each fuzz input begins with four bytes that choose options; the SMF is
  # the rest (an input shorter than that is all SMF).
  for f in $(cd "$root" && find fuzz/corpus -type f 2> /dev/null | sort); do
    rm -f "$scratch/in.mid"
    if [ "$(stat -c %s "$root/$f")" -ge 4 ]; then
      tail -c +5 "$root/$f" > "$scratch/in.mid"
    else
      cp "$root/$f" "$scratch/in.mid"
    fi
    convert "$f"
  done
  for f in $(cd "$root" && find tests -type f \( -name '*.mid' -o -name '*.smf' \) 2> /dev/null | sort); do
    ln -sf "$root/$f" "$scratch/in.mid"
    convert "$f"
  done
  local d
  for d in "${extras[@]}"; do
    for f in $(find "$d" -type f \( -name '*.mid' -o -name '*.smf' \) | sort); do
      rm -f "$scratch/in.mid"
      ln -sf "$f" "$scratch/in.mid"
      convert "extra/${f#"$d"/}"
    done
  done
}

if [ -z "$compare" ]; then
  make_list > "$list.tmp" && mv "$list.tmp" "$list"
  echo "$(grep -vc '^#' "$list") conversions listed in $list" >&2
  exit 0
fi

new=${list:-$scratch/new.txt}
make_list > "$new"
# Conversions are matched by input and options. One whose line differs is a
# change of output (or of its input: see in=); inputs that only one list has
# (a file added to the corpus, say) are reported but change nothing.
awk -F'\t' '
  /^#/ { next }
  FNR == NR { old[$1 FS $2] = $0; next }
  {
    key = $1 FS $2
    if (!(key in old)) { added++; print "only now:    " $0; next }
    if (old[key] != $0) { changed++; print "before:      " old[key]; print "now:         " $0 }
    else same++
    delete old[key]
  }
  END {
    for (key in old) { missing++; print "only before: " old[key] }
    printf "%d same, %d changed, %d only before, %d only now\n", same, changed, missing, added
    exit changed > 0
  }' "$compare" "$new" >&2
status=$?
if [ $status = 0 ]; then
  echo "same output as $compare" >&2
else
  echo "output differs from $compare" >&2
fi
exit $status
