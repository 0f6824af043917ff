#!/usr/bin/env bash
# Builds the tests that convert on several threads with ThreadSanitizer and
# runs them: the scheduler's workers, their batch texts and the writing of
# the output in track order, on files shared out in small batches. Fails on
# any report of a data race, a deadlock or a failing test.
#
#   tools/tsan.sh [BUILD_DIR]     (default build-tsan in the repository)
set -euo pipefail
cd "$(dirname "$0")/.."

build=${1:-build-tsan}
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVANTREL_TSAN=ON -DVANTREL_TESTS=ON \
  -DVANTREL_WERROR=ON >/dev/null
cmake --build "$build" -j "$(nproc)" --target vantrel_tests
# halt_on_error: the first report fails the run, as a failing test does.
TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 ${TSAN_OPTIONS:-}" \
  "$build/tests/vantrel_tests" --gtest_brief=1
echo "== ThreadSanitizer: no report"
