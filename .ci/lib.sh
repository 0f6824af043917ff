# Shell functions that the check scripts share; sourced, not run.

# The path of Wine's 64-bit loader, or nothing when Wine is not installed.
wine_loader() {
  local p
  for p in /usr/lib/wine/wine64 /usr/lib/x86_64-linux-gnu/wine/wine64 /usr/lib64/wine/wine64; do
    [ -x "$p" ] && { echo "$p"; return; }
  done
  command -v wine64 || true
}

# install_missing PACKAGE...: installs the Debian packages named, if any.
install_missing() {
  [ $# -gt 0 ] || return 0
  echo "== installing $*"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "$@" >/dev/null
}

# find_wine: sets $wine (Wine's 64-bit loader) and $wineserver, or stops.
find_wine() {
  wine=$(wine_loader)
  [ -n "$wine" ] || { echo "wine64 loader not found" >&2; exit 2; }
  wineserver=$(dirname "$wine")/wineserver
  [ -x "$wineserver" ] || wineserver=$(command -v wineserver || echo)
}

# check DESCRIPTION COMMAND...: runs the command, prints ok or FAIL, and
# counts the failures in $failures.
failures=0
check() {
  local what=$1
  shift
  if "$@"; then
    echo "ok   $what"
  else
    echo "FAIL $what"
    failures=$((failures + 1))
  fi
}
