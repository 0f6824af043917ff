#!/usr/bin/env bash
# Times vantrel on the benchmark SMFs and on a corpus of real MIDI files and
# prints the figures as markdown tables, then the targets missed.
#
# Times are medians of interleaved rounds: in each round every program runs
# once on the file, so that the drift of a busy machine (back-to-back runs of
# one command drift by up to 30 %) falls on all of them alike.
#
# usage: bench/run.sh [--build DIR] [--bin FILE] [--dir DIR] [--rounds N]
#                     [--corpus DIR] [--no-corpus] [--timeout SECONDS]
#                     [--instructions] [FILE.mid ...]
#   --build    build directory with vantrel and bench/ (default: build-bench)
#   --bin      the vantrel to time (default: BUILD/vantrel)
#   --dir      where the benchmark SMFs are, made there when missing
#              (default: /tmp/vantrel-bench)
#   --rounds   interleaved rounds per file (default 7)
#   --corpus   a folder of real MIDI files (default: the one that
#              tools/real_files.sh fills, /tmp/vantrel-real-files/midi)
#   --no-corpus  leaves the real-corpus loop out
#   --timeout  a run taking longer is stopped and reported (default 120)
#   --instructions  also counts the instructions of one run under valgrind
#              (callgrind): the counts do not depend on the other work of the
#              machine, so they show the growth with size exactly
# Without FILE arguments every profile is timed at 10k, 100k and 1M.
# Needs /usr/bin/time (package 'time'); compares with midi2abc (package
# 'abcmidi') and midicsv (package 'midicsv') when they are installed.

set -uo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build="$root/build-bench"
bin=""
dir=/tmp/vantrel-bench
rounds=7
corpus=/tmp/vantrel-real-files/midi
limit=120
instructions=0
files=()
while [ $# -gt 0 ]; do
  case "$1" in
    --build) build=$2; shift 2 ;;
    --bin) bin=$2; shift 2 ;;
    --dir) dir=$2; shift 2 ;;
    --rounds) rounds=$2; shift 2 ;;
    --corpus) corpus=$2; shift 2 ;;
    --no-corpus) corpus=""; shift ;;
    --timeout) limit=$2; shift 2 ;;
    --instructions) instructions=1; shift ;;
    -h|--help) sed -n '2,27p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    -*) echo "unknown option: $1" >&2; exit 2 ;;
    *) files+=("$(realpath "$1")"); shift ;;
  esac
done
build=$(realpath "$build")
[ -n "$bin" ] || bin="$build/vantrel"
bin=$(realpath "$bin")
floor="$build/bench/vantrel_floor"
maker="$build/bench/make_bench_smf"
for program in "$bin" "$floor" "$maker" /usr/bin/time; do
  [ -x "$program" ] || { echo "missing: $program (build with -DVANTREL_BENCH=ON)" >&2; exit 2; }
done
have() { command -v "$1" > /dev/null; }
have midi2abc || echo "midi2abc not found (apt-get install abcmidi): timing without it" >&2
have midicsv || echo "midicsv not found (apt-get install midicsv): timing without it" >&2

profiles=(dense sustain tracks meta)
sizes=(10k 100k 1M)
if [ ${#files[@]} -eq 0 ]; then
  for p in "${profiles[@]}"; do
    for s in "${sizes[@]}"; do files+=("$dir/$p-$s.mid"); done
  done
  for f in "${files[@]}"; do
    [ -f "$f" ] || { "$maker" "$dir" > /dev/null || exit 1; break; }
  done
fi

# vantrel reads names that begin with '/' or '-' as options, so the runs work
# in a scratch folder with the input linked in under a plain name.
scratch=$(mktemp -d "${TMPDIR:-/tmp}/vantrel-run.XXXXXX")
trap 'rm -rf "$scratch"' EXIT
cd "$scratch" || exit 1

calc() { awk "BEGIN { printf \"$1\", ($2) }"; }
median() { printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { if (NR % 2) print v[(NR + 1) / 2]; else printf "%.6f\n", (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
# seconds COMMAND...: the wall time of one run, or "timeout".
seconds() {
  local t0=$EPOCHREALTIME status
  timeout "$limit" "$@" > /dev/null 2>&1
  status=$?
  [ $status = 124 ] && { echo timeout; return; }
  awk -v a="$t0" -v b="$EPOCHREALTIME" 'BEGIN { printf "%.6f", b - a }'
}
# peakKiB COMMAND...: the peak resident size of one run, in KiB.
peakKiB() { /usr/bin/time -f %M -o "$scratch/peak" timeout "$limit" "$@" > /dev/null 2>&1; cat "$scratch/peak"; }

declare -A secondsOf perEvent instr eventCount
failures=()
loadBefore=$(cut -d' ' -f1-3 /proc/loadavg)
threads=$(nproc)
echo "vantrel on the benchmark files: medians of $rounds interleaved rounds; \"cores\" is the default ($threads threads here), \"1 thread\" VANTREL_THREADS=1."
echo
echo "| file | input MB | events | output MB | floor s | cores s | x floor | 1 thread s | x floor | peak MiB | limit MiB | midi2abc s | x faster |"
echo "|---|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|"
for f in "${files[@]}"; do
  name=$(basename "$f" .mid)
  ln -sf "$f" in.mid
  rm -f out.mml
  bytes=$(stat -L -c %s in.mid)
  inMB=$(calc %.2f "$bytes / 1e6")
  limitMiB=$(calc %.0f "2 * $bytes / 1048576 + 32")

  # One run first: the output's size for the floor, the status, the events.
  timeout "$limit" "$bin" /Fmout.mml in.mid > /dev/null 2> "$scratch/stderr"
  status=$?
  if [ $status = 124 ]; then
    echo "| $name | $inMB | | | | > $limit (stopped) | | | | | $limitMiB | | |"
    failures+=("$name: stopped after $limit s")
    continue
  fi
  [ $status = 0 ] || failures+=("$name: vantrel ended with status $status: $(head -c 200 "$scratch/stderr" | iconv -f CP932 -t UTF-8 2>/dev/null)")
  outBytes=$(stat -c %s out.mml 2> /dev/null || echo 0)
  events=$("$floor" in.mid floor.out "$outBytes" | awk '{ print $2 }')
  eventCount[$name]=$events
  abc=0
  have midi2abc && [[ "$name" == dense-* ]] && abc=1

  t=() t1=() tf=() ta=()
  for ((r = 0; r < rounds; r++)); do
    tf+=("$(seconds "$floor" in.mid floor.out "$outBytes")")
    t+=("$(seconds "$bin" /Fmout.mml in.mid)")
    t1+=("$(VANTREL_THREADS=1 seconds "$bin" /Fmout.mml in.mid)")
    [ $abc = 1 ] && ta+=("$(seconds midi2abc -f in.mid -o out.abc)")
  done
  ft=$(median "${tf[@]}")
  vt=$(median "${t[@]}")
  vt1=$(median "${t1[@]}")
  peak=$(peakKiB "$bin" /Fmout.mml in.mid)
  peak1=$(VANTREL_THREADS=1 peakKiB "$bin" /Fmout.mml in.mid)
  [ "$peak1" -gt "$peak" ] && peak=$peak1
  peakMiB=$(calc %.1f "$peak / 1024")
  [ "$(calc %d "$peak / 1024 > $limitMiB")" = 0 ] || failures+=("$name: peak memory $peakMiB MiB above $limitMiB MiB")
  secondsOf[$name]=$vt1
  perEvent[$name]=$(calc %.1f "$vt1 * 1e9 / $events")
  ratio=$(calc %.2f "$vt / $ft")
  ratio1=$(calc %.2f "$vt1 / $ft")

  abcCells="| |"
  if [ $abc = 1 ]; then
    at=$(median "${ta[@]}")
    abcCells="| $(calc %.3f "$at") | $(calc %.1f "$at / $vt") |"
    if [ "$name" = dense-1M ] && [ "$(calc %d "$at / $vt < 6")" = 1 ]; then
      failures+=("dense-1M: only $(calc %.1f "$at / $vt") times faster than midi2abc (target 6)")
    fi
  fi
  case "$name" in
    dense-1M)
      [ "$(calc %d "$ratio > 1.0")" = 0 ] || failures+=("dense-1M: $ratio times the floor on the cores (target 1.0)")
      [ "$(calc %d "$ratio1 > 1.3")" = 0 ] || failures+=("dense-1M: $ratio1 times the floor on one thread (target 1.3)")
      ;;
    sustain-1M | meta-1M)
      [ "$(calc %d "$ratio > 1.5")" = 0 ] || failures+=("$name: $ratio times the floor (target 1.5)")
      ;;
  esac
  echo "| $name | $inMB | $events | $(calc %.2f "$outBytes / 1e6") | $(calc %.4f "$ft") | $(calc %.4f "$vt") | $ratio | $(calc %.4f "$vt1") | $ratio1 | $peakMiB | $limitMiB $abcCells"
done

# Growth (one thread): each size against the one ten times smaller, and
# sustain against dense per event.
echo
echo "| profile | 10k -> 100k | 100k -> 1M | sustain/dense ns per event |"
echo "|---|---:|---:|---:|"
for p in "${profiles[@]}"; do
  cells=""
  for step in "10k 100k" "100k 1M"; do
    read -r from to <<< "$step"
    a=${secondsOf[$p-$from]:-}; b=${secondsOf[$p-$to]:-}
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
    ln -sf "$f" in.mid
    VANTREL_THREADS=1 timeout $((limit * 100)) valgrind --tool=callgrind --callgrind-out-file=/dev/null \
      "$bin" /Fmout.mml in.mid > /dev/null 2> "$scratch/valgrind"
    n=$(grep -o 'Collected : [0-9]*' "$scratch/valgrind" | awk '{ print $3 }')
    instr[$name]=$n
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

# The files people convert: a loop of each program over a corpus of real
# files, each writing its output next to its input, less the same loop of
# /bin/true: the time beyond starting a process.
if [ -n "$corpus" ] && compgen -G "$corpus/*" > /dev/null; then
  mkdir -p "$scratch/corpus"
  cp "$corpus"/* "$scratch/corpus/"
  mapfile -t real < <(find "$scratch/corpus" -maxdepth 1 -type f \( -iname '*.mid' -o -iname '*.midi' -o -iname '*.kar' -o -iname '*.smf' \) | sort)
  realBytes=$(cat "${real[@]}" | wc -c)
  loop() {  # loop PROGRAM: one pass over the corpus
    local f t0=$EPOCHREALTIME
    case "$1" in
      true) for f in "${real[@]}"; do /bin/true "$f"; done ;;
      vantrel) for f in "${real[@]}"; do "$bin" -- "$f" > /dev/null 2>&1; done ;;
      vantrel1) for f in "${real[@]}"; do VANTREL_THREADS=1 "$bin" -- "$f" > /dev/null 2>&1; done ;;
      midi2abc) for f in "${real[@]}"; do midi2abc -f "$f" -o "${f%.*}.abc" > /dev/null 2>&1; done ;;
      midicsv) for f in "${real[@]}"; do midicsv "$f" "${f%.*}.csv" > /dev/null 2>&1; done ;;
    esac
    awk -v a="$t0" -v b="$EPOCHREALTIME" 'BEGIN { printf "%.6f", b - a }'
  }
  programs=(true vantrel vantrel1)
  have midi2abc && programs+=(midi2abc)
  have midicsv && programs+=(midicsv)
  declare -A loops
  for ((r = 0; r < rounds; r++)); do
    for p in "${programs[@]}"; do loops[$p]+="$(loop "$p") "; done
  done
  declare -A med
  for p in "${programs[@]}"; do
    # shellcheck disable=SC2086  # the list of times
    med[$p]=$(median ${loops[$p]})
  done
  echo
  echo "Real files: ${#real[@]} files, $(calc %.1f "$realBytes / 1e6") MB from $corpus; medians of $rounds interleaved rounds of a loop over all of them."
  echo
  echo "| program | loop s | beyond process start s | x vantrel |"
  echo "|---|---:|---:|---:|"
  base=${med[true]}
  vb=$(calc %.4f "${med[vantrel]} - $base")
  for p in "${programs[@]}"; do
    b=$(calc %.4f "${med[$p]} - $base")
    label=$p
    case "$p" in
      true) label="/bin/true (process start)"; echo "| $label | $(calc %.4f "${med[$p]}") | | |"; continue ;;
      vantrel) label="vantrel (cores)" ;;
      vantrel1) label="vantrel (1 thread)" ;;
    esac
    echo "| $label | $(calc %.4f "${med[$p]}") | $b | $(calc %.2f "$b / $vb") |"
  done
  if [ -n "${med[midi2abc]:-}" ]; then
    ab=$(calc %.4f "${med[midi2abc]} - $base")
    [ "$(calc %d "$vb > 0.35 * $ab")" = 0 ] || failures+=("real files: vantrel takes $(calc %.2f "$vb / $ab") of midi2abc's time beyond process start (target 0.35)")
  fi
fi

echo
echo "Load average before and after: $loadBefore / $(cut -d' ' -f1-3 /proc/loadavg) ($(nproc) cores)."
if [ ${#failures[@]} -eq 0 ]; then
  echo "All targets met."
else
  echo "Targets missed:"
  for m in "${failures[@]}"; do echo "- $m"; done
fi
