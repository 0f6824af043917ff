#!/usr/bin/env bash
# Builds the fuzz targets with clang (AddressSanitizer, UBSan) and fuzzes the
# whole conversion for a number of seconds in all (default 120), starting from
# the seed corpus and the regression inputs:
#   convert    crashes, sanitizer reports, leaks, timeouts, memory blow-ups;
#   roundtrip  the same, and text that the round-trip checker finds untrue to
#              the file (built only where tools/roundtrip is).
# The seconds are shared equally between the targets, one after the other;
# both grow one corpus in <build>/corpus. Fails on any finding; the input is
# left in <build>/artifacts/ and each target's log in <build>/fuzz-NAME.log.
#
#   fuzz/run.sh [seconds]
#   VANTREL_FUZZ_BUILD=dir          build folder (default build-fuzz in the repository)
#   VANTREL_FUZZ_TARGETS="convert"  the targets to run (default "convert roundtrip")
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-120}
build=${VANTREL_FUZZ_BUILD:-build-fuzz}
targets=(${VANTREL_FUZZ_TARGETS:-convert roundtrip})

need=()
command -v cmake >/dev/null || need+=(cmake)
command -v clang++ >/dev/null || need+=(clang)
compgen -G "/usr/lib/llvm-*/lib/clang/*/lib/linux/libclang_rt.fuzzer-x86_64.a" >/dev/null ||
  need+=(libclang-rt-dev)
if [ ${#need[@]} -gt 0 ]; then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq "${need[@]}"
fi

cmake -S . -B "$build" -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DVANTREL_FUZZ=ON -DVANTREL_TESTS=OFF -DVANTREL_WERROR=ON >/dev/null
built=()
for target in "${targets[@]}"; do
  if cmake --build "$build" -j 2 --target "vantrel_${target}_fuzzer"; then
    built+=("$target")
  elif [ "$target" = roundtrip ] && [ ! -d tools/roundtrip ]; then
    echo "== no round-trip checker here: the roundtrip target is left out"
  else
    exit 1
  fi
done
[ ${#built[@]} -gt 0 ] || { echo "== no fuzz target to run"; exit 1; }

# New inputs go to the build folder's corpus; the seeds and the regression
# inputs are only read.
mkdir -p "$build/corpus" "$build/artifacts"
seeds=(fuzz/corpus)
[ -d fuzz/regressions ] && seeds+=(fuzz/regressions)
share=$((seconds / ${#built[@]}))
[ "$share" -gt 0 ] || share=1

failed=0
for target in "${built[@]}"; do
  log="$build/fuzz-$target.log"
  # The convert target lets the program's fault messages through to standard
  # error; -close_fd_mask=2 drops them, while the fuzzer's own output and
  # every sanitizer report still reach the log. The roundtrip target catches
  # them itself, since the check reads them.
  quiet=()
  [ "$target" = convert ] && quiet=(-close_fd_mask=2)
  echo "== fuzzing: $target, ${share} s"
  status=0
  "$build/fuzz/vantrel_${target}_fuzzer" "$build/corpus" "${seeds[@]}" \
    -max_total_time="$share" -timeout=10 -rss_limit_mb=2048 -max_len=4096 \
    -dict=fuzz/smf.dict "${quiet[@]}" -print_final_stats=1 \
    -artifact_prefix="$build/artifacts/$target-" >"$log" 2>&1 || status=$?
  grep -E '^#[0-9]+[[:space:]]+(INITED|DONE)|^stat::(number_of_executed_units|new_units_added|peak_rss_mb)' \
    "$log" || true
  if [ "$status" -ne 0 ] ||
    grep -qE 'ERROR: (AddressSanitizer|UndefinedBehaviorSanitizer|LeakSanitizer|libFuzzer)|runtime error:|round trip differs' "$log"; then
    echo "== $target FAILED (status $status); the end of $log:"
    tail -n 60 "$log"
    ls -l "$build/artifacts/"
    failed=1
  fi
done
[ "$failed" -eq 0 ] || exit 1
echo "== fuzzing passed: no crash, no timeout, no sanitizer report, no round-trip difference"
