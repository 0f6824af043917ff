#!/usr/bin/env bash
# Installs vantrel into a fresh temporary prefix and checks what a user gets:
# PREFIX/bin/vantrel converts the demo piece in both dialects exactly as the
# examples show, its usage text carries the project's version,
# `man PREFIX/share/man/man1/vantrel.1` shows the manual page, and the documents
# are in PREFIX/share/doc/vantrel.
#
#   tools/install_check.sh [BUILD_DIR]     (default: build-inst)
#
# Installs what is missing with apt-get (run as root on a fresh machine).
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build-inst}
SECONDS=0

need=()
command -v cmake >/dev/null || need+=(cmake)
command -v make >/dev/null || need+=(make)
command -v g++ >/dev/null || need+=(g++)
# Slim images may carry a stand-in for man; a real man-db shows a file given by path.
command -v man >/dev/null && [ -x /usr/bin/mandb ] || need+=(man-db)
if [ ${#need[@]} -gt 0 ]; then
  echo "== installing ${need[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${need[@]}" >/dev/null
fi

# shellcheck source=.ci/lib.sh
source .ci/lib.sh

version=$(sed -n 's/^project(vantrel VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
[ -n "$version" ] || { echo "no version in project() of CMakeLists.txt" >&2; exit 2; }

work=$(mktemp -d /tmp/vantrel_install_XXXXXX)
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix

echo "== build into $build, install into $prefix"
rm -rf "$build"
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DVANTREL_TESTS=OFF >/dev/null
cmake --build "$build" -j 2 --target vantrel >/dev/null
cmake --install "$build" --prefix "$prefix" >"$work/install.log"
sed 's/^/     /' "$work/install.log"

exe=$prefix/bin/vantrel
page=$prefix/share/man/man1/vantrel.1
check "bin/vantrel is installed" test -x "$exe"
check "share/man/man1/vantrel.1 is installed" test -f "$page"
docs=$prefix/share/doc/vantrel
check "share/doc/vantrel has the READMEs, LICENSE and CHANGELOG.md" test -f "$docs/README.md" \
  -a -f "$docs/README.ja.md" -a -f "$docs/LICENSE" -a -f "$docs/CHANGELOG.md"

# The demo, converted in a folder of its own by the installed program.
mkdir "$work/run"
cp examples/demo.mid "$work/run/"
ascii_status=0 kana_status=0
(cd "$work/run" && "$exe" demo.mid >ascii.out 2>ascii.err) || ascii_status=$?
(cd "$work/run" && "$exe" /J /Fmkana demo >kana.out 2>kana.err) || kana_status=$?
check "demo: status 0 in both dialects" test "$ascii_status$kana_status" = 00
check "demo: nothing on standard error" test ! -s "$work/run/ascii.err" -a ! -s "$work/run/kana.err"
check "demo.mml is examples/demo.mml" cmp -s "$work/run/demo.mml" examples/demo.mml
check "/J gives examples/demo_kana.mml" cmp -s "$work/run/kana.mml" examples/demo_kana.mml
check "the names are announced" grep -qx 'MML = kana.mml' "$work/run/kana.out"

# The usage text: status 0, its second line names the version of project().
usage_status=0
"$exe" /H >"$work/usage.out" || usage_status=$?
check "/H: status 0" test "$usage_status" = 0
check "usage line 2 is 'vantrel version $version'" \
  test "$(sed -n 2p "$work/usage.out")" = "$(printf 'vantrel version %s\r' "$version")"

# The manual page, read by man from the installed file.
man_status=0
MANPAGER=cat MANWIDTH=80 LC_ALL=C.UTF-8 man "$page" >"$work/man.out" 2>"$work/man.err" || man_status=$?
check "man $page: status 0, no warnings" test "$man_status" = 0 -a ! -s "$work/man.err"
if [ -s "$work/man.err" ]; then sed 's/^/     /' "$work/man.err"; fi
check "the page shows version $version" grep -q "vantrel $version" "$work/man.out"
missing=""
for word in NAME SYNOPSIS OPTIONS "FILE NAMES" "OUTPUT ENCODING" "EXIT STATUS" EXAMPLES \
  /B+ /B- /C /A /J /MA /Ma /Mb /Mc /Mp /Mx /Mm /Fm /H --help --version RIFF "code page 932"; do
  grep -qF -- "$word" "$work/man.out" || missing+=" $word"
done
check "the page has every section and option${missing:+ (missing:$missing)}" test -z "$missing"
echo "     $(wc -l <"$work/man.out") lines; $(sed -n 1p "$work/man.out" | tr -s ' ')"

echo "== install check: $failures failure(s), ${SECONDS}s"
[ "$failures" = 0 ]
