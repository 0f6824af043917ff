#!/usr/bin/env bash
# CI's step for the web page: installs what is missing (Debian packages,
# then the pinned npm packages), builds the page and runs its tests against
# the native program NATIVE_VANTREL.
#
#   web/tests/ci.sh NATIVE_VANTREL
set -euo pipefail
tests="$(cd "$(dirname "$0")" && pwd)"

need=()
command -v emcmake >/dev/null || need+=(emscripten)
[ -d /usr/share/nodejs/acorn ] || need+=(node-acorn)
command -v node >/dev/null || need+=(nodejs)
command -v npm >/dev/null || need+=(npm)
command -v chromium >/dev/null || need+=(chromium)
# The page's Japanese words in the pictures for the README.
fc-list :lang=ja 2>/dev/null | grep -q . || need+=(fonts-noto-cjk)
if [ ${#need[@]} -gt 0 ]; then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq "${need[@]}"
fi
(cd "$tests" && npm ci --no-audit --no-fund --loglevel=error)

rm -rf "$tests/../../build-web-test"
"$tests/run.sh" "$1"
