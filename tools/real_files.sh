#!/usr/bin/env bash
# Real files: MIDI files that Debian packages ship (games, music programs,
# documentation), written by people with sequencers. Finds the packages with
# apt-file, gathers their MIDI files into a folder outside the repository
# (apt-get download and dpkg-deb -x), converts each with the built vantrel in
# both dialects, and checks every conversion with vantrel_check. Prints how
# many files round-trip exactly, how many are refused and with which message,
# every difference found, and how the channels' text reads with and without
# voices.
#
#   tools/real_files.sh [BUILD_DIR] [WORK_DIR] [MAX_PACKAGES]
#
# BUILD_DIR holds vantrel and tools/vantrel_check (default: build);
# WORK_DIR (default: /tmp/vantrel-real-files) keeps the downloads between
# runs; at most MAX_PACKAGES packages (default 40) are fetched, the smallest
# of those that ship MIDI files first. Needs root for apt-get (run as root).
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
work=${2:-/tmp/vantrel-real-files}
max_packages=${3:-40}
max_size=$((50 * 1024 * 1024))  # bytes of a .deb

vantrel=$build/vantrel
check=$build/tools/vantrel_check
for program in "$vantrel" "$check"; do
  [ -x "$program" ] || { echo "missing $program: build first" >&2; exit 2; }
done
case "$(cd "$(dirname "$work")" 2>/dev/null && pwd)/" in
  "$root"/*) echo "the work folder must lie outside the repository" >&2; exit 2 ;;
esac
mkdir -p "$work/debs" "$work/tree" "$work/midi" "$work/out"

# 1. Which packages ship MIDI files.
if ! command -v apt-file > /dev/null; then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq apt-file > /dev/null
fi
if [ ! -s "$work/contents.txt" ]; then
  apt-file update > /dev/null
  apt-file search --regexp '\.(mid|midi|kar|smf)(\.gz)?$' > "$work/contents.txt" || true
fi
echo "packages with MIDI files: $(cut -d: -f1 "$work/contents.txt" | sort -u | wc -l)"

# 2. The smallest packages first, up to the limit.
: > "$work/sizes.txt"
for package in $(cut -d: -f1 "$work/contents.txt" | sort -u); do
  size=$(apt-cache show --no-all-versions "$package" 2> /dev/null | sed -n 's/^Size: //p' | head -1)
  [ -n "$size" ] && [ "$size" -le "$max_size" ] && echo "$size $package" >> "$work/sizes.txt"
done
sort -n "$work/sizes.txt" | head -n "$max_packages" | while read -r _ package; do
  if [ ! -d "$work/tree/$package" ]; then
    if ! (cd "$work/debs" && apt-get download -qq "$package" > /dev/null 2>&1); then
      echo "cannot download $package"
      continue
    fi
    deb=$(ls "$work/debs/${package}"_*.deb 2> /dev/null | head -1)
    [ -n "$deb" ] && dpkg-deb -x "$deb" "$work/tree/$package"
  fi
done

# 3. One copy of each distinct file, named after its package.
rm -f "$work"/midi/*
declare -A seen=()
while IFS= read -r -d '' path; do
  package=${path#"$work/tree/"}
  package=${package%%/*}
  name=$(basename "$path")
  target="$work/midi/${package}__${name%.gz}"
  target=${target// /_}
  case "$path" in
    *.gz) gzip -dc "$path" > "$target" 2> /dev/null || { rm -f "$target"; continue; } ;;
    *) cp "$path" "$target" ;;
  esac
  sum=$(sha1sum "$target" | cut -d' ' -f1)
  if [ -n "${seen[$sum]:-}" ]; then rm -f "$target"; else seen[$sum]=1; fi
done < <(find "$work/tree" -type f -regextype posix-extended \
           -iregex '.*\.(mid|midi|kar|smf)(\.gz)?$' -print0)
files=$(ls "$work/midi" | wc -l)
echo "distinct MIDI files: $files from $(ls "$work/tree" | wc -l) packages"

# 4. Convert and check. Names are relative: vantrel reads a leading "/" as an
#    option.
#    Standard output is kept: on a grid it names the grid used. A refused
#    grid must leave no output, so none is left from an earlier run.
cd "$work/midi"
rm -f ../out/*
: > "$work/checks.txt"
option_sets=("" "/J" "/Mc /C0" "/Q16" "/Q" "/Q --voices --velocity-step=8" "--voices /J")
n=0
for file in *; do
  for options in "${option_sets[@]}"; do
    n=$((n + 1))
    status=0
    # shellcheck disable=SC2086
    "$vantrel" $options "/Fm../out/c$n.mml" "$file" > "../out/c$n.out" 2> "../out/c$n.err" ||
      status=$?
    printf '%s\t../out/c%s.mml\t../out/c%s.err\t%s\t%s\t../out/c%s.out\n' \
      "$file" "$n" "$n" "$status" "$options" "$n" >> "$work/checks.txt"
  done
done
"$check" --batch="$work/checks.txt" > "$work/report.txt" || true

# 5. What came out.
exact=$(grep -c ': exact (' "$work/report.txt" || true)
refused=$(grep -c ': refused as it must be: ' "$work/report.txt" || true)
echo "conversions: $n ($files files, each with ${#option_sets[@]} option sets:" \
  "none, /J, /Mc /C0, /Q16, /Q, /Q --voices --velocity-step=8, --voices /J)"
echo "round-trip exactly: $exact"
echo "refused with the message the file calls for: $refused"
# The messages as vantrel wrote them (code page 932, shown in UTF-8).
while IFS=$'\t' read -r file _ err status _; do
  [ "$status" -ne 0 ] || continue
  echo "  $(iconv -f CP932 -t UTF-8 "${err/..\/out/$work/out}" | tr '\n' ' ')($file)"
done < "$work/checks.txt" | sort | uniq -c
echo "with differences:"
grep -v -e ': exact (' -e ': refused as it must be: ' -e '^checked ' "$work/report.txt" ||
  echo "  none"
tail -1 "$work/report.txt"

# 6. How lengths are written: without a grid, with /Q16 and with auto.
echo "grids chosen by /Q: $(awk -F '\t' '$5 == "/Q" { print $6 }' "$work/checks.txt" |
  sed "s|^\.\./out|$work/out|" | xargs cat | grep -a -o '^Grid:1/[0-9]*' | sort | uniq -c |
  sort -rn | awk '{ printf "%s in %s files; ", substr($2, 6), $1 }')"
for options in "" "/Q16" "/Q"; do
  awk -F '\t' -v o="$options" '$5 == o' "$work/checks.txt" > "$work/forms.txt"
  printf '%-10s ' "${options:-no grid}"
  "$check" --batch="$work/forms.txt" --length-forms | tail -1 || true
done

# 7. How the channels' text reads, on the grid the program chooses, as one
#    line a channel and in voices with velocities in steps of 8: characters
#    of channel text a note, notes in Sub{} blocks, velocity words a note,
#    characters a line.
for options in "/Q" "/Q --voices --velocity-step=8"; do
  awk -F '\t' -v o="$options" '$5 == o' "$work/checks.txt" > "$work/forms.txt"
  printf '%-31s ' "$options"
  "$check" --batch="$work/forms.txt" --figures | tail -1 || true
done
