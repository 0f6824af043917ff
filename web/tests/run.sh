#!/usr/bin/env bash
# Tests the web page in headless Chromium against the native program.
#
#   web/tests/run.sh NATIVE_VANTREL [PAGE_DIR]
#
# Tests the page in PAGE_DIR, built there if it holds none (by default it is
# built into build-web-test/page), after making the test files (generated
# SMFs and a 1M-note file) with page_test.mjs. Needs what web/build.sh needs, a C++20 compiler,
# Chromium (CHROMIUM, default /usr/bin/chromium) and `npm ci` done in
# web/tests. The pictures of the page for the README go to build-web-test/
# (screenshot.png, screenshot-phone.png, screenshot-ja.png).
set -euo pipefail

if [ $# -lt 1 ]; then
  echo "usage: web/tests/run.sh NATIVE_VANTREL [PAGE_DIR]" >&2
  exit 2
fi
tests="$(cd "$(dirname "$0")" && pwd)"
root="$(cd "$tests/../.." && pwd)"
native="$(cd "$(dirname "$1")" && pwd)/$(basename "$1")"
work="$root/build-web-test"
page="${2:-}"

[ -x "$native" ] || { echo "web/tests/run.sh: no program at $1" >&2; exit 1; }
[ -d "$tests/node_modules/playwright-core" ] || {
  echo "web/tests/run.sh: playwright-core is missing: run 'npm ci' in web/tests" >&2; exit 1; }
[ -x "${CHROMIUM:-/usr/bin/chromium}" ] || {
  echo "web/tests/run.sh: no Chromium at ${CHROMIUM:-/usr/bin/chromium} (Debian package chromium)" >&2; exit 1; }

# A page given is tested as it is; otherwise the page is built (again).
if [ -z "$page" ]; then
  page="$work/page"
  "$root/web/build.sh" "$page"
elif [ ! -f "$page/index.html" ]; then
  "$root/web/build.sh" "$page"
fi
page="$(cd "$page" && pwd)"

# The test files: SMFs from the round-trip checker's generator, with their
# option sets, and the benchmark's dense file of a million notes.
mkdir -p "$work/data"
cxx="${CXX:-g++}"
"$cxx" -std=c++20 -O2 -I"$root" "$tests/make_cases.cpp" "$root/tools/roundtrip/smf_generator.cpp" \
  "$root/tools/smf_writer/smf_writer.cpp" -o "$work/make_cases"
"$cxx" -std=c++20 -O2 -I"$root" "$root/bench/make_bench_smf.cpp" "$root/tools/smf_writer/smf_writer.cpp" \
  -o "$work/make_bench_smf"
"$work/make_cases" "$work/data" 24 4
[ -f "$work/data/dense-1M.mid" ] || "$work/make_bench_smf" dense 1000000 "$work/data/dense-1M.mid" >/dev/null

cd "$tests"
VANTREL="$native" PAGE="$page" DATA="$work/data" SCREENSHOTS="$work" \
  node --test --test-reporter=spec page_test.mjs
