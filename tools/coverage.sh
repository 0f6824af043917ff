#!/usr/bin/env bash
# Branch coverage of the faults, the SMF reader, the rhythm table and the MML
# writer (util/, smf/, rhythm/, mml/) over the whole test suite: builds with
# gcc's --coverage in its own folder, runs ctest, and prints the summary per
# file, then every line that has a branch never taken, with its source text.
#
#   tools/coverage.sh            build folder build-cov in the repository
#   VANTREL_COVERAGE_BUILD=dir   another build folder
# The HTML report with every branch marked is left in <build>/coverage/.
set -euo pipefail
cd "$(dirname "$0")/.."

build=${VANTREL_COVERAGE_BUILD:-build-cov}

need=()
command -v cmake >/dev/null || need+=(cmake)
command -v g++ >/dev/null || need+=(g++)
command -v gcovr >/dev/null || need+=(gcovr)
[ -f /usr/include/gtest/gtest.h ] || need+=(libgtest-dev)
if [ ${#need[@]} -gt 0 ]; then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq "${need[@]}"
fi

cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_COMPILER=g++ \
  -DCMAKE_CXX_FLAGS="--coverage -O0" -DCMAKE_EXE_LINKER_FLAGS="--coverage" >/dev/null
cmake --build "$build" -j 2
# Counts from earlier runs (and from the test discovery of the build) go.
find "$build" -name '*.gcda' -delete
# Coverage is measured even when a test fails; the script then fails at the end.
tests_failed=0
(cd "$build" && ctest -j 2 --output-on-failure >ctest.log 2>&1) || tests_failed=1
grep -E 'tests passed|tests failed' "$build/ctest.log" || true

# Branches that only the compiler made (exception paths of the standard
# library) are not the program's and are left out.
filters=(--filter 'util/' --filter 'smf/' --filter 'rhythm/' --filter 'mml/')
common=(-r . --object-directory "$build" "${filters[@]}"
  --exclude-throw-branches --exclude-unreachable-branches)
mkdir -p "$build/coverage"
gcovr "${common[@]}" --html-details "$build/coverage/index.html" --json "$build/coverage/coverage.json"

echo "== branch coverage of smf/, rhythm/, mml/"
gcovr "${common[@]}" --branches | grep -vE '^-+$'

echo "== lines with a branch never taken"
python3 - "$build/coverage/coverage.json" <<'EOF'
import json
import sys

with open(sys.argv[1]) as report:
    files = json.load(report)["files"]
for entry in sorted(files, key=lambda f: f["file"]):
    name = entry["file"]
    with open(name, encoding="utf-8", errors="replace") as source:
        text = source.read().splitlines()
    for line in entry["lines"]:
        branches = line.get("branches", [])
        taken = sum(1 for b in branches if b["count"] > 0)
        if branches and taken < len(branches):
            number = line["line_number"]
            print(f"{name}:{number}: {taken}/{len(branches)} taken: {text[number - 1].strip()}")
EOF

if [ "$tests_failed" -ne 0 ]; then
  echo "== some tests failed (see $build/ctest.log):"
  grep -E '^\s+[0-9]+ - ' "$build/ctest.log" | grep -v Skipped || true
  exit 1
fi
