#!/usr/bin/env bash
# Package check: makes the three packages with cpack (Linux .tar.gz and .deb,
# Windows .zip from the MinGW-w64 build) and checks what a user gets from each:
#   .tar.gz  the files it holds; its bin/vantrel converts the example
#   .deb     its fields; `dpkg -i` installs it, `man vantrel` shows the page,
#            `vantrel` converts the example; `dpkg -r` removes it again
#   .zip     the files it holds; its vantrel.exe converts the example under Wine
# "Converts the example" means: examples/demo.mid gives examples/demo.mml byte
# for byte, status 0, nothing on standard error.
#
# With the web page (PAGE, the index.html that web/build.sh made), every
# package holds it as vantrel.html (the .deb with a desktop entry that opens
# it), it lies beside the packages as vantrel-VERSION.html, and the page as
# each package put it converts the example in headless Chromium, opened from
# disk (web/tests/package_page.mjs; needs `npm ci` done in web/tests).
#
#   .ci/packages.sh [LINUX_BUILD_DIR WINDOWS_BUILD_DIR [PAGE]]
#
# Given build folders (.ci/run passes build-ci and build-win, which the steps
# before it configured and built) are reused: cpack brings them up to date and
# the packages are made anew. Without them, fresh build-pkg and build-pkg-win
# are configured and built. Installs what is missing with apt-get (run as root).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
SECONDS=0

# shellcheck source=.ci/lib.sh
source .ci/lib.sh

need=()
command -v cmake >/dev/null || need+=(cmake)
command -v make >/dev/null || need+=(make)
command -v g++ >/dev/null || need+=(g++)
command -v x86_64-w64-mingw32-g++ >/dev/null || need+=(g++-mingw-w64-x86-64)
command -v groff >/dev/null || need+=(groff-base)       # the manual page of the .zip
command -v unzip >/dev/null || need+=(unzip)
command -v man >/dev/null && [ -x /usr/bin/mandb ] || need+=(man-db)
command -v desktop-file-validate >/dev/null || need+=(desktop-file-utils)  # the page's desktop entry
[ -n "$(wine_loader)" ] || need+=(wine64)
install_missing "${need[@]}"
find_wine

if dpkg -s vantrel >/dev/null 2>&1; then
  echo "a vantrel package is installed on this machine; remove it (dpkg -r vantrel) first" >&2
  exit 2
fi

version=$(sed -n 's/^project(vantrel VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
[ -n "$version" ] || { echo "no version in project() of CMakeLists.txt" >&2; exit 2; }

page=""
if [ $# -ge 3 ]; then
  page=$(realpath "$3")
  [ -f "$page" ] || { echo "no web page at $3" >&2; exit 2; }
fi
if [ $# -ge 2 ]; then
  linux_build=$1 win_build=$2
else
  linux_build=build-pkg win_build=build-pkg-win
  echo "== configure $linux_build and $win_build"
  rm -rf "$linux_build" "$win_build"
  cmake -S . -B "$linux_build" -DCMAKE_BUILD_TYPE=Release -DVANTREL_TESTS=OFF \
    -DVANTREL_WERROR=ON >/dev/null
  cmake -S . -B "$win_build" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake \
    -DCMAKE_BUILD_TYPE=Release -DVANTREL_TESTS=OFF -DVANTREL_WERROR=ON >/dev/null
fi
# The page goes into both builds' packages (or none: an empty VANTREL_PAGE
# lets a build with emscripten make its own).
cmake "$linux_build" -DVANTREL_PAGE="$page" >/dev/null
cmake "$win_build" -DVANTREL_PAGE="$page" >/dev/null
page_check() {  # page_check PAGE: the page converts the example, opened from disk
  node "$root/web/tests/package_page.mjs" "$1" examples/demo.mid examples/demo.mml
}

# cpack builds what is out of date first, then installs into its staging folder.
make_packages() {  # make_packages BUILD_DIR: prints the packages made
  rm -rf "$1/packages"
  (cd "$1" && cpack >cpack.log 2>&1) || { cat "$1/cpack.log" >&2; return 1; }
  find "$1/packages" -maxdepth 1 -type f ! -name '*.sha256' | sort
}
echo "== cpack in $linux_build (at ${SECONDS}s)"
mapfile -t linux_packages < <(make_packages "$linux_build")
echo "== cpack in $win_build (at ${SECONDS}s)"
mapfile -t win_packages < <(make_packages "$win_build")
for p in "${linux_packages[@]}" "${win_packages[@]}"; do
  printf '     %-48s %8d bytes\n' "$(basename "$p")" "$(stat -c %s "$p")"
done

tgz=$root/$linux_build/packages/vantrel-$version-linux-x86_64.tar.gz
deb=$root/$linux_build/packages/vantrel_${version}_amd64.deb
zip=$root/$win_build/packages/vantrel-$version-win64.zip


# No dot in the work folder's name: the output name is cut at the first dot.
work=$(mktemp -d /tmp/vantrel_packages_XXXXXX)
installed=no
# shellcheck disable=SC2317  # called by the trap
cleanup() {
  if [ "$installed" = yes ]; then dpkg -r vantrel >/dev/null || true; fi
  if [ -n "$wineserver" ]; then WINEPREFIX=$work/prefix "$wineserver" -k >/dev/null 2>&1 || true; fi
  rm -rf "$work"
}
trap cleanup EXIT

converts_demo() {  # converts_demo NAME COMMAND...: runs COMMAND demo.mid in a fresh folder
  local dir=$work/$1 status=0
  shift
  mkdir "$dir"
  cp examples/demo.mid "$dir/"
  (cd "$dir" && timeout 300 "$@" demo.mid </dev/null >out 2>err) || status=$?
  [ "$status" = 0 ] && [ ! -s "$dir/err" ] && cmp -s "$dir/demo.mml" examples/demo.mml
}

has_files() {  # has_files LISTING FILE...: every FILE is a line of LISTING
  local f
  for f in "${@:2}"; do grep -qxF -- "$f" "$1" || { echo "     missing: $f"; return 1; }; done
}

echo "== .tar.gz (at ${SECONDS}s)"
check "$(basename "$tgz") was made" test -f "$tgz"
top=vantrel-$version-linux-x86_64
tar -tzf "$tgz" >"$work/tgz.list"
check "it holds the program, the manual page and the documents" has_files "$work/tgz.list" \
  "$top/bin/vantrel" "$top/share/man/man1/vantrel.1" "$top/share/doc/vantrel/README.md" \
  "$top/share/doc/vantrel/README.ja.md" "$top/share/doc/vantrel/LICENSE" \
  "$top/share/doc/vantrel/CHANGELOG.md"
mkdir "$work/tgz" && tar -xzf "$tgz" -C "$work/tgz"
check "its bin/vantrel converts the example" converts_demo tgz-run "$work/tgz/$top/bin/vantrel"
if [ -n "$page" ]; then
  check "it holds the page and its desktop entry" has_files "$work/tgz.list" \
    "$top/share/vantrel/vantrel.html" "$top/share/applications/vantrel.desktop"
  check "its page, opened from share/vantrel, converts the example in Chromium" \
    page_check "$work/tgz/$top/share/vantrel/vantrel.html"
fi

echo "== .deb (at ${SECONDS}s)"
check "$(basename "$deb") was made" test -f "$deb"
fields=$(dpkg-deb -f "$deb" Package Version Section Maintainer | tr '\n' '|')
check "package vantrel $version, section sound ($fields)" \
  test "$fields" = "Package: vantrel|Version: $version|Section: sound|Maintainer: vantrel authors|"
# Slim images exclude manual pages and documents from dpkg; this package keeps them.
dpkg -i --path-include='/usr/share/man/man1/vantrel.1.gz' --path-include='/usr/share/doc/vantrel/*' \
  "$deb" >"$work/dpkg.log" 2>&1 && installed=yes
check "dpkg -i installs it" test "$installed" = yes
[ "$installed" = yes ] || sed 's/^/     /' "$work/dpkg.log"
check "/usr/bin/vantrel is on the PATH" test "$(command -v vantrel)" = /usr/bin/vantrel
check "the documents are in /usr/share/doc/vantrel" test -f /usr/share/doc/vantrel/README.md \
  -a -f /usr/share/doc/vantrel/README.ja.md -a -f /usr/share/doc/vantrel/LICENSE \
  -a -f /usr/share/doc/vantrel/CHANGELOG.md
man_status=0
MANPAGER=cat MANWIDTH=80 LC_ALL=C.UTF-8 man vantrel >"$work/man.out" 2>"$work/man.err" || man_status=$?
check "man vantrel: status 0, nothing on standard error" test "$man_status" = 0 -a ! -s "$work/man.err"
check "the page has its NAME section" grep -qx NAME "$work/man.out"
check "the page shows version $version" grep -q "vantrel $version" "$work/man.out"
echo "     $(wc -l <"$work/man.out") lines; $(sed -n 1p "$work/man.out" | tr -s ' ')"
check "vantrel converts the example" converts_demo deb-run vantrel
if [ -n "$page" ]; then
  check "the desktop entry opens /usr/share/vantrel/vantrel.html" \
    grep -qx 'Exec=xdg-open /usr/share/vantrel/vantrel.html' /usr/share/applications/vantrel.desktop
  if command -v desktop-file-validate >/dev/null; then
    check "desktop-file-validate finds nothing" desktop-file-validate /usr/share/applications/vantrel.desktop
  fi
  # The page opens no file given to it: the entry claims no file type.
  check "the desktop entry claims no file type" \
    bash -c "! grep -Eq '^MimeType=|%[fFuU]' /usr/share/applications/vantrel.desktop"
  check "the installed page converts the example in Chromium" page_check /usr/share/vantrel/vantrel.html
fi
if [ "$installed" = yes ]; then
  removed=no
  dpkg -r vantrel >/dev/null 2>&1 && removed=yes && installed=no
  check "dpkg -r removes it" test "$removed" = yes -a ! -e /usr/bin/vantrel
fi

echo "== .zip (at ${SECONDS}s)"
check "$(basename "$zip") was made" test -f "$zip"
top=vantrel-$version-win64
unzip -Z1 "$zip" >"$work/zip.list"
check "it holds vantrel.exe, the documents and the manual page" has_files "$work/zip.list" \
  "$top/vantrel.exe" "$top/README.md" "$top/README.ja.md" "$top/LICENSE.txt" \
  "$top/CHANGELOG.md" "$top/vantrel.txt"
mkdir "$work/zip" && unzip -q "$zip" -d "$work/zip"
check "vantrel.txt is the manual page of version $version" \
  grep -q "vantrel $version" "$work/zip/$top/vantrel.txt"
if [ -n "$page" ]; then
  check "it holds vantrel.html beside vantrel.exe" has_files "$work/zip.list" "$top/vantrel.html"
  check "its vantrel.html, opened where it was unpacked, converts the example in Chromium" \
    page_check "$work/zip/$top/vantrel.html"
  check "the page is also a download of its own (vantrel-$version.html), the same file" \
    cmp -s "$root/$linux_build/packages/vantrel-$version.html" "$page"
else
  echo "     (no web page given: the packages were checked without it)"
fi

export WINEPREFIX=$work/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" LC_ALL=C.UTF-8
# The first start creates the prefix and talks about it; keep that out of the check.
timeout 300 "$wine" "$work/zip/$top/vantrel.exe" /H </dev/null >/dev/null 2>&1 || true
check "its vantrel.exe converts the example under Wine" \
  converts_demo zip-run "$wine" "$work/zip/$top/vantrel.exe"
check "and prints what the Linux program prints" cmp -s "$work/zip-run/out" "$work/tgz-run/out"

echo "== package check: $failures failure(s), ${SECONDS}s"
[ "$failures" = 0 ]
