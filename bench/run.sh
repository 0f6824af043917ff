#!/usr/bin/env bash
# Times vantrel on the benchmark SMFs and prints the figures as a markdown
# table: wall time (median of several runs), peak memory, input MB/s, the
# ratio to the floor program (decode every event once, write as many bytes),
# and midi2abc on the dense files for comparison. After the table come the
# growth from each size to the next and the checks against the targets.
#
# usage: bench/run.sh [--build DIR] [--bin FILE] [--dir DIR] [--runs N]
#                     [--timeout SECONDS] [--no-midi2abc] [--instructions]
#                     [FILE.mid ...]
#   --build    build directory with vantrel and bench/ (default: build-bench)
#   --bin      the vantrel to time (default: BUILD/vantrel)
#   --dir      where the benchmark SMFs are, made there when missing
#              (default: /tmp/vantrel-bench)
#   --runs     timed runs per program and file (default 5)
#   --timeout  a run taking longer is stopped and the file reported as such
#              (default 120)
#   --instructions  also counts the instructions of one run under valgrind
#              (callgrind): unlike the times, the counts do not depend on the
#              other work of the machine, so they show the growth with size
#              exactly; about 50 times slower than a run
# Without FILE arguments every profile is timed at 10k, 100k and 1M.
# Needs /usr/bin/time (Debian package 'time') and, for the comparison,
# midi2abc (package 'abcmidi').

set -uo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build="$root/build-bench"
bin=""
dir=/tmp/vantrel-bench
runs=5
limit=120
abc=1
instructions=0
files=()
while [ $# -gt 0 ]; do
  case "$1" in
    --build) build=$2; shift 2 ;;
    --bin) bin=$2; shift 2 ;;
    --dir) dir=$2; shift 2 ;;
    --runs) runs=$2; shift 2 ;;
    --timeout) limit=$2; shift 2 ;;
    --no-midi2abc) abc=0; shift ;;
    --instructions) instructions=1; shift ;;
    -h|--help) sed -n '2,24p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    -*) echo "unknown option: $1" >&2; exit 2 ;;
    *) files+=("$(realpath "$1")"); shift ;;
  esac
done
[ -n "$bin" ] || bin="$build/vantrel"
bin=$(realpath "$bin")
floor="$build/bench/vantrel_floor"
maker="$build/bench/make_bench_smf"
for program in "$bin" "$floor" "$maker" /usr/bin/time; do
  [ -x "$program" ] || { echo "missing: $program (build with -DVANTREL_BENCH=ON)" >&2; exit 2; }
done
if [ "$abc" = 1 ] && ! command -v midi2abc > /dev/null; then
  echo "midi2abc not found (apt-get install abcmidi); timing without it" >&2
  abc=0
fi

profiles=(dense sustain tracks meta)
sizes=(10k 100k 1M)
if [ ${#files[@]} -eq 0 ]; then
  for p in "${profiles[@]}"; do
    for s in "${sizes[@]}"; do files+=("$dir/$p-$s.mid"); done
  done
  missing=0
  for f in "${files[@]}"; do [ -f "$f" ] || missing=1; done
  if [ $missing = 1 ]; then "$maker" "$dir" > /dev/null || exit 1; fi
fi

# The program reads names that begin with '/' or '-' as options, so every run
# works in a scratch folder with the input linked in under a plain name.
scratch=$(mktemp -d "${TMPDIR:-/tmp}/vantrel-run.XXXXXX")
trap 'rm -rf "$scratch"' EXIT
cd "$scratch" || exit 1

now() { echo "$EPOCHREALTIME"; }
elapsed() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.6f", b - a }'; }
median() { printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { if (NR % 2) print v[(NR + 1) / 2]; else printf "%.6f\n", (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
calc() { awk "BEGIN { printf \"$1\", ($2) }"; }

# time_runs COMMAND...: prints the median wall time of $runs runs, or
# "timeout" when a run was stopped; the peak memory of the first run (KiB)
# goes to $scratch/peak and its exit status to $scratch/status.
time_runs() {
  local times=() t0 t1 status
  /usr/bin/time -f %M -o "$scratch/peak" timeout "$limit" "$@" > "$scratch/stdout" 2> "$scratch/stderr"
  status=$?
  echo "$status" > "$scratch/status"
  if [ $status = 124 ]; then echo timeout; return; fi
  for ((i = 0; i < runs; i++)); do
    t0=$(now)
    timeout "$limit" "$@" > /dev/null 2>&1
    t1=$(now)
    times+=("$(elapsed "$t0" "$t1")")
  done
  median "${times[@]}"
}

declare -A seconds perEvent instr eventCount
loadBefore=$(cut -d' ' -f1-3 /proc/loadavg)
echo "| file | input MB | events | output MB | vantrel s | input MB/s | ns/event | peak MiB | limit MiB | floor s | x floor | midi2abc s | midi2abc MiB | x faster |"
echo "|---|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|"
failures=()
for f in "${files[@]}"; do
  name=$(basename "$f" .mid)
  ln -sf "$f" in.mid
  rm -f out.mml
  bytes=$(stat -c %s "$f")
  inMB=$(calc %.2f "$bytes / 1e6")
  limitMiB=$(calc %.0f "3 * $bytes / 1048576 + 32")

  t=$(time_runs "$bin" /Fmout.mml in.mid)
  status=$(cat "$scratch/status")
  if [ "$t" = timeout ]; then
    echo "| $name | $inMB | | | > $limit (stopped) | | | | $limitMiB | | | | | |"
    failures+=("$name: stopped after $limit s")
    continue
  fi
  [ "$status" = 0 ] || failures+=("$name: vantrel ended with status $status: $(head -c 200 "$scratch/stderr" | iconv -f CP932 -t UTF-8 2>/dev/null)")
  peakKiB=$(cat "$scratch/peak")
  outBytes=$(stat -c %s out.mml 2> /dev/null || echo 0)

  ft=$(time_runs "$floor" in.mid floor.out "$outBytes")
  events=$(awk '{ print $2 }' "$scratch/stdout")
  eventCount[$name]=$events
  if [ "$instructions" = 1 ]; then
    timeout $((limit * 100)) valgrind --tool=callgrind --callgrind-out-file=/dev/null \
      "$bin" /Fmout.mml in.mid > /dev/null 2> "$scratch/valgrind"
    instr[$name]=$(grep -o 'Collected : [0-9]*' "$scratch/valgrind" | awk '{ print $3 }')
  fi

  seconds[$name]=$t
  perEvent[$name]=$(calc %.1f "$t * 1e9 / $events")
  peakMiB=$(calc %.1f "$peakKiB / 1024")
  [ "$(calc %d "$peakKiB / 1024 > $limitMiB")" = 0 ] || failures+=("$name: peak memory $peakMiB MiB above $limitMiB MiB")

  abcCells="| | |"
  if [ "$abc" = 1 ] && [[ "$name" == dense-* ]]; then
    at=$(time_runs midi2abc -f in.mid -o out.abc)
    if [ "$at" = timeout ]; then
      abcCells="| > $limit | | |"
    else
      abcCells="| $(calc %.3f "$at") | $(calc %.1f "$(cat "$scratch/peak") / 1024") | $(calc %.1f "$at / $t") |"
      if [ "$name" = dense-1M ] && [ "$(calc %d "$at / $t < 5")" = 1 ]; then
        failures+=("dense-1M: only $(calc %.1f "$at / $t") times faster than midi2abc (target 5)")
      fi
    fi
  fi
  ratio=$(calc %.2f "$t / $ft")
  if [ "$name" = dense-1M ] && [ "$(calc %d "$ratio > 3")" = 1 ]; then
    failures+=("dense-1M: $ratio times the floor (target 3)")
  fi
  echo "| $name | $inMB | $events | $(calc %.2f "$outBytes / 1e6") | $(calc %.3f "$t") | $(calc %.1f "$bytes / 1e6 / $t") | ${perEvent[$name]} | $peakMiB | $limitMiB | $(calc %.4f "$ft") | $ratio $abcCells"
done

# Growth: each size against the one ten times smaller, and sustain against
# dense per event.
echo
echo "| profile | 10k -> 100k | 100k -> 1M | sustain/dense ns per event |"
echo "|---|---:|---:|---:|"
for p in "${profiles[@]}"; do
  cells=""
  for step in "10k 100k" "100k 1M"; do
    read -r from to <<< "$step"
    a=${seconds[$p-$from]:-}; b=${seconds[$p-$to]:-}
    if [ -n "$a" ] && [ -n "$b" ]; then
      g=$(calc %.1f "$b / $a")
      cells+=" x$g |"
      # The smallest files take a few milliseconds: too little to judge.
      if [ "$to" = 1M ] && [ "$(calc %d "$g > 11")" = 1 ]; then
        failures+=("$p: $g times as long at 10 times the size (target 11)")
      fi
    else
      cells+=" |"
    fi
  done
  ratioCell=""
  if [ "$p" = sustain ]; then
    for s in "${sizes[@]}"; do
      if [ -n "${perEvent[sustain-$s]:-}" ] && [ -n "${perEvent[dense-$s]:-}" ]; then
        r=$(calc %.2f "${perEvent[sustain-$s]} / ${perEvent[dense-$s]}")
        ratioCell+="$s: $r "
        if [ "$s" != 10k ] && [ "$(calc %d "$r > 1.5")" = 1 ]; then
          failures+=("sustain-$s: $r times the time per event of dense-$s (target 1.5)")
        fi
      fi
    done
  fi
  echo "| $p |$cells $ratioCell|"
done

if [ "$instructions" = 1 ]; then
  echo
  echo "| file | instructions (M) | per event | x size/10 |"
  echo "|---|---:|---:|---:|"
  for f in "${files[@]}"; do
    name=$(basename "$f" .mid)
    n=${instr[$name]:-}
    [ -n "$n" ] || continue
    smaller=""
    case "$name" in
      *-100k) smaller=${instr[${name%-100k}-10k]:-} ;;
      *-1M) smaller=${instr[${name%-1M}-100k]:-} ;;
    esac
    growth=""
    [ -z "$smaller" ] || growth="x$(calc %.2f "$n / $smaller")"
    echo "| $name | $(calc %.1f "$n / 1e6") | $(calc %.0f "$n / ${eventCount[$name]}") | $growth |"
  done
fi

echo
echo "Load average before and after: $loadBefore / $(cut -d' ' -f1-3 /proc/loadavg) ($(nproc) cores)."
if [ ${#failures[@]} -eq 0 ]; then
  echo "All targets met."
else
  echo "Targets missed:"
  for m in "${failures[@]}"; do echo "- $m"; done
fi
