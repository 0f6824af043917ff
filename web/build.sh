#!/usr/bin/env bash
# Builds the web page into OUTDIR: index.html there is the page. It works
# opened from disk or served by any static server.
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

mkdir -p "$out"
cp "$web"/index.html "$web"/style.css "$out"/
cp "$web"/i18n.js "$web"/options.js "$web"/vantrel.js "$web"/piano_roll.js "$web"/page.js "$out"/
# The worker's whole text (the module, then worker.js) as one string: a page
# opened from disk may only start a worker from text it already has.
node -e '
  const fs = require("fs");
  const [wasm, worker, target] = process.argv.slice(1);
  const text = fs.readFileSync(wasm, "utf8") + "\n" + fs.readFileSync(worker, "utf8");
  fs.writeFileSync(target, "// Made by web/build.sh from vantrel_wasm.js and worker.js.\n"
    + "\x27use strict\x27;\nconst vantrelWorkerSource = " + JSON.stringify(text) + ";\n");
' "$build/vantrel_wasm.js" "$web/worker.js" "$out/worker_source.js"
echo "web/build.sh: the page is $out/index.html"
