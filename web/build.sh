#!/usr/bin/env bash
# Builds the web page into OUTDIR: index.html there is the page, one file
# holding everything (web/make_page.js). It works opened from disk, copied
# anywhere, or served by any static server.
#
#   web/build.sh OUTDIR
#
# Needs emscripten (Debian: emscripten, node-acorn), cmake and node; installs
# nothing. The CMake build of the module is kept in build-web-module (or
# $VANTREL_WEB_BUILD) so that a second run only rebuilds what changed.
set -euo pipefail

if [ $# -ne 1 ]; then
  echo "usage: web/build.sh OUTDIR" >&2
  exit 2
fi
web="$(cd "$(dirname "$0")" && pwd)"
root="$(dirname "$web")"
out="$1"
build="${VANTREL_WEB_BUILD:-$root/build-web-module}"

# Debian's emscripten finds acorn only through NODE_PATH.
export NODE_PATH="${NODE_PATH:+$NODE_PATH:}/usr/share/nodejs"

missing=()
command -v emcmake >/dev/null || missing+=("emcmake (Debian package emscripten)")
command -v cmake >/dev/null || missing+=("cmake")
command -v node >/dev/null || missing+=("node (Debian package nodejs)")
if command -v node >/dev/null && ! node -e 'require("acorn")' 2>/dev/null; then
  missing+=("acorn for node (Debian package node-acorn)")
fi
if [ ${#missing[@]} -gt 0 ]; then
  echo "web/build.sh: missing:" >&2
  printf '  %s\n' "${missing[@]}" >&2
  exit 1
fi

emcmake cmake -S "$web" -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" --target vantrel_wasm -j "$(nproc)"

# One file: the page may be opened from disk or shipped alone.
node "$web/make_page.js" "$build/vantrel_wasm.js" "$out"
echo "web/build.sh: the page is $out/index.html"
