#!/usr/bin/env bash
# Runs vantrel as users of a shared machine and an attacker among them would,
# and prints ok, FAIL or skip for each case: the output's temporary file,
# access lists, groups, links in sticky folders, long names, descriptors as
# outputs, chains of links, outputs a rename cannot replace, signals and the
# output cap. Cases that need root (other users, a bind mount) or the acl
# tools are skipped where the machine has neither.
#
# usage: tools/shared_machine_check.sh [VANTREL]   (default: build/vantrel)
# Exits with status 1 when a case fails.

set -uo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
bin=$(realpath "${1:-$root/build/vantrel}")
[ -x "$bin" ] || { echo "no program at $bin" >&2; exit 2; }

work=$(mktemp -d /tmp/vantrel-shared-XXXXXX)
chmod 755 "$work"
made_users=()
made_group=""
# shellcheck disable=SC2317  # called by the trap
cleanup() {
  rm -rf "$work"
  for u in "${made_users[@]}"; do userdel "$u" 2>/dev/null; done
  if [ -n "$made_group" ]; then groupdel "$made_group" 2>/dev/null; fi
}
trap cleanup EXIT
cd "$work" || exit 2
cp "$root/examples/demo.mid" small.mid
chmod 644 small.mid

failed=0
ok() { echo "ok    $1"; }
fail() { echo "FAIL  $1${2:+: $2}"; failed=1; }
skip() { echo "skip  $1 ($2)"; }
check() { if eval "$2"; then ok "$1"; else fail "$1" "${3:-}"; fi; }

# A file of many notes that takes a while to convert.
python3 - <<'EOF'
import struct
track = bytearray()
for i in range(1000000):
    ch, key = i % 16, 40 + i % 48
    track += bytes([0, 0x90 | ch, key, 100, 60, 0x80 | ch, key, 0])
track += b"\x00\xff\x2f\x00"
with open("medium.mid", "wb") as f:
    f.write(b"MThd" + struct.pack(">IHHH", 6, 0, 1, 480) + b"MTrk" + struct.pack(">I", len(track)) + track)
EOF
chmod 644 medium.mid
"$bin" /Fmexpected.mml small.mid >/dev/null
expected=$(sha256sum <expected.mml | cut -d' ' -f1)
same() { [ "$(sha256sum <"$1" | cut -d' ' -f1)" = "$expected" ]; }

am_root=false
[ "$(id -u)" = 0 ] && am_root=true
user_a=vantrel-check-a
user_b=vantrel-check-b
group=vantrel-check
if $am_root; then
  getent group "$group" >/dev/null || { groupadd "$group" && made_group=$group; }
  for u in "$user_a" "$user_b"; do
    id "$u" >/dev/null 2>&1 || { useradd -M -N -G "$group" "$u" && made_users+=("$u"); }
  done
  as() { local who=$1; shift; setpriv --reuid="$who" --regid="$(id -g "$who")" --init-groups -- "$@"; }
fi

# 1. The temporary file is private until it has the earlier file's bits.
if command -v strace >/dev/null; then
  mkdir -p private && echo old >private/o.mml && chmod 600 private/o.mml
  (umask 022; strace -f -o trace.txt -e trace=openat,fchmod,write "$bin" /Fmprivate/o.mml small.mid >/dev/null)
  made=$(grep -E 'openat\(.*\.o\.mml\.[0-9]+\.tmp".*O_CREAT' trace.txt | head -1)
  fd=$(sed -E 's/.*= ([0-9]+)$/\1/' <<<"$made")
  first_write=$(grep -nE "write\($fd," trace.txt | head -1 | cut -d: -f1)
  chmod_line=$(grep -nE "fchmod\($fd, 0600\)" trace.txt | head -1 | cut -d: -f1)
  check "1 temporary file made 0600, its bits set before the first byte" \
    '[[ "$made" == *", 0600) = "* ]] && [ -n "$chmod_line" ] && [ -n "$first_write" ] && [ "$chmod_line" -lt "$first_write" ]' "$made"
  check "1 the output keeps mode 0600" '[ "$(stat -c %a private/o.mml)" = 600 ] && same private/o.mml'
else
  skip "1 temporary file made private" "no strace"
fi

# 2. An access list comes with the new file.
if command -v setfacl >/dev/null && $am_root; then
  echo old >acl.mml && chmod 640 acl.mml && setfacl -m "u:$user_a:r--" acl.mml
  "$bin" /Fmacl.mml small.mid >/dev/null
  check "2 the output's access list kept" 'getfacl -p acl.mml 2>/dev/null | grep -q "^user:$user_a:r--" && same acl.mml'
else
  skip "2 access list kept" "needs root and setfacl"
fi

if $am_root; then
  # 3. The group of a group folder's file is kept by a member.
  mkdir -p group && chgrp "$group" group && chmod 770 group
  echo old >group/song.mml && chown "$user_b:$group" group/song.mml && chmod 660 group/song.mml
  as "$user_a" "$bin" /Fmgroup/song.mml small.mid >/dev/null 2>err3.txt
  check "3 a member keeps the file's group" \
    '[ "$(stat -c %G group/song.mml)" = "$group" ] && same group/song.mml' "$(cat err3.txt)"

  # 4. Links planted in a sticky folder by another user are refused.
  mkdir -p sticky && chmod 1777 sticky
  mkdir -p secret && chmod 700 secret && echo precious >secret/only-root.txt
  as "$user_a" ln -s "$work/secret/only-root.txt" sticky/song.mml
  as "$user_a" ln -s "$work/secret/made-by-link.txt" sticky/dangling.mml
  out=$("$bin" /Fmsticky/song.mml small.mid 2>&1 >/dev/null); status=$?
  check "4 another user's link in a sticky folder refused" \
    '[ $status = 1 ] && [ "$out" = "sticky/song.mml: Permission denied" ] && [ "$(cat secret/only-root.txt)" = precious ]' "$status $out"
  "$bin" /Fmsticky/dangling.mml small.mid >/dev/null 2>&1; status=$?
  check "4 another user's dangling link there refused" '[ $status = 1 ] && [ ! -e secret/made-by-link.txt ]'
  ln -s "$work/secret/mine.mml" sticky/own.mml
  "$bin" /Fmsticky/own.mml small.mid >/dev/null 2>&1
  check "4 one's own link there followed, and stays a link" '[ -L sticky/own.mml ] && same secret/mine.mml'
else
  skip "3 group kept, 4 links in sticky folders" "needs root"
fi

# 5. Names as long as the system takes.
long=$(printf 'x%.0s' $(seq 251)).mml
"$bin" "/Fm$long" small.mid >/dev/null 2>err5.txt
check "5 an output name of 255 bytes" '[ -f "$long" ] && same "$long"' "$(cat err5.txt)"
title=$(python3 -c 'print("曲" * 80 + ".mml")')
"$bin" "/Fm$title" small.mid >/dev/null 2>err5.txt
check "5 a Japanese title of 80 characters" '[ -f "$title" ] && same "$title"' "$(cat err5.txt)"

# 6. Descriptors stay descriptors.
"$bin" /Fm/dev/./stdout small.mid | cat >piped.txt
check "6 /dev/./stdout into a pipe" 'grep -q "VANTREL" piped.txt'
echo "earlier line" >log.txt
"$bin" /Fm/dev/./stdout small.mid >>log.txt
check "6 an appended log keeps its lines" '[ "$(head -n 1 log.txt)" = "earlier line" ] && grep -q VANTREL log.txt'
"$bin" /Fm/proc/self/./fd/1 small.mid >>log.txt
check "6 /proc/self/./fd/1 appends too" '[ "$(head -n 1 log.txt)" = "earlier line" ] && [ "$(grep -c VANTREL log.txt)" = 2 ]'
( exec 5>gone.txt; rm gone.txt; "$bin" /Fm/dev/./stdout small.mid >&5 )
check "6 a deleted file stays deleted" '[ -z "$(ls | grep -F "(deleted)")" ]'
python3 - "$bin" >socket.txt <<'EOF'
import socket, subprocess, sys
a, b = socket.socketpair()
run = subprocess.run([sys.argv[1], "/Fm/dev/./stdout", "small.mid"], stdout=b, stderr=subprocess.PIPE)
b.close()
data = b""
while chunk := a.recv(65536):
    data += chunk
print(run.returncode, b"VANTREL" in data)
EOF
check "6 a socket as standard output" '[ "$(cat socket.txt)" = "0 True" ]'
"$bin" /Fm/dev/./stdin small.mid <small.mid >/dev/null 2>err6.txt; status=$?
check "6 the input as /dev/./stdin refused" '[ $status = 1 ] && grep -q "^/dev/./stdin: " err6.txt' "$(cat err6.txt)"

# 7. A chain of links as long as the system follows.
echo old >chain-end.mml
previous=chain-end.mml
for i in $(seq 41); do ln -s "$previous" "chain$i.mml"; previous=chain$i.mml; done
"$bin" /Fmchain40.mml small.mid >/dev/null 2>err7.txt
check "7 a chain of 40 links" 'same chain-end.mml && [ -L chain40.mml ]' "$(cat err7.txt)"
out=$("$bin" /Fmchain41.mml small.mid 2>&1 >/dev/null)
check "7 a chain of 41 refused" '[ "$out" = "chain41.mml: Too many levels of symbolic links" ]' "$out"

# 8. Where a rename cannot serve, the finished text goes in place.
if $am_root && unshare -m true 2>/dev/null; then
  echo old >mounted.mml && echo other >mount-source.mml
  unshare -m bash -c "mount --bind mount-source.mml mounted.mml && '$bin' /Fmmounted.mml small.mid >/dev/null 2>err8.txt"
  check "8 a file mounted on its own is written in place" 'same mount-source.mml' "$(cat err8.txt 2>/dev/null)"
else
  skip "8 a bind-mounted file" "needs root and mount namespaces"
fi
if $am_root; then
  mkdir -p shared && chgrp "$group" shared && chmod 3770 shared
  echo old >shared/song.mml && chown "$user_b:$group" shared/song.mml && chmod 664 shared/song.mml
  as "$user_a" "$bin" /Fmshared/song.mml small.mid >/dev/null 2>err8.txt
  check "8 another member's writable file in a sticky group folder" \
    'same shared/song.mml && [ "$(stat -c %U shared/song.mml)" = "$user_b" ] && [ "$(ls -A shared)" = song.mml ]' "$(cat err8.txt)"
fi

# 9. Every signal that ends the program removes the temporary file. Job
# control on, so that SIGINT and SIGQUIT are not ignored in the background.
set -m
for signal in INT TERM HUP QUIT ALRM USR1 USR2 XCPU VTALRM PROF; do
  mkdir -p "signal-$signal" && echo old >"signal-$signal/song.mml"
  "$bin" "/Fmsignal-$signal/song.mml" medium.mid >/dev/null 2>&1 &
  pid=$!
  for _ in $(seq 2000); do [ "$(ls -A "signal-$signal" | wc -l)" -ge 2 ] && break; sleep 0.005; done
  kill -s "$signal" "$pid"
  { wait "$pid"; } 2>/dev/null
  status=$?
  check "9 SIG$signal: earlier output kept, no file left" \
    '[ "$status" = $((128 + $(kill -l "$signal"))) ] && [ "$(ls -A "signal-$signal")" = song.mml ] && [ "$(cat "signal-$signal/song.mml")" = old ]' \
    "status $status, left $(ls -A "signal-$signal" | tr '\n' ' ')"
done
set +m

# 10. The output cap.
echo old >capped.mml
"$bin" --max-output=64K /Fmcapped.mml medium.mid >/dev/null 2>err10.txt; status=$?
check "10 --max-output=64K: status 1, earlier output kept, no file left" \
  '[ $status = 1 ] && [ "$(cat capped.mml)" = old ] && [ -z "$(ls -A | grep "\.tmp$")" ] && grep -q "^capped.mml: MML" err10.txt' "$status"
"$bin" --max-output=1M /Fmuncapped.mml small.mid >/dev/null; status=$?
check "10 a conversion within the cap" '[ $status = 0 ] && same uncapped.mml'

exit $failed
