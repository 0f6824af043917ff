#!/usr/bin/env bash
# Windows check: cross-builds a static vantrel.exe with MinGW-w64, runs it under
# Wine on a set of SMF files and option sets, and compares every file it writes,
# its standard output, standard error and exit status byte for byte with the
# Linux build's. Only the system's own text in a file-open fault ("name: reason")
# may differ. Prints one line per case, then "N passed, M failed"; exits
# non-zero on any difference.
#
#   .ci/windows.sh [LINUX_VANTREL]
#
# LINUX_VANTREL is a Linux vantrel built from this tree (.ci/run passes
# build-ci/vantrel); without it one is built into build-win/linux.
# Installs what is missing with apt-get (run as root on a fresh machine).
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
command -v python3 >/dev/null || need+=(python3)
command -v x86_64-w64-mingw32-g++ >/dev/null || need+=(g++-mingw-w64-x86-64)
[ -n "$(wine_loader)" ] || need+=(wine64)
install_missing "${need[@]}"
find_wine

echo "== cross-build (MinGW-w64, static)"
rm -rf build-win
cmake -S . -B build-win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake \
  -DCMAKE_BUILD_TYPE=Release -DVANTREL_TESTS=OFF -DVANTREL_WERROR=ON >/dev/null
cmake --build build-win -j 2 --target vantrel >/dev/null
win_exe=$root/build-win/vantrel.exe

if [ $# -ge 1 ]; then
  linux_exe=$(realpath "$1")
else
  echo "== Linux build (at ${SECONDS}s)"
  cmake -S . -B build-win/linux -DCMAKE_BUILD_TYPE=Release -DVANTREL_TESTS=OFF >/dev/null
  cmake --build build-win/linux -j 2 --target vantrel >/dev/null
  linux_exe=$root/build-win/linux/vantrel
fi

# No dot in the work folder's name: the output name is cut at the first dot.
work=$(mktemp -d /tmp/vantrel_win_XXXXXX)
export WINEPREFIX=$work/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" LC_ALL=C.UTF-8
# shellcheck disable=SC2317  # called by the trap
cleanup() {
  if [ -n "$wineserver" ]; then "$wineserver" -k >/dev/null 2>&1 || true; fi
  rm -rf "$work"
}
trap cleanup EXIT

echo "== Wine prefix (at ${SECONDS}s)"
# The first start creates the prefix and talks about it; keep that out of the
# cases. Then one server stays up for all cases, and the first run starts Wine's
# own background processes: started later, they would inherit a case's output
# pipes and hold them open.
timeout 300 "$wine" "$win_exe" /H </dev/null >/dev/null 2>&1 || true
timeout 60 "$wineserver" -w || true
"$wineserver" -p </dev/null >/dev/null 2>&1
timeout 120 "$wine" "$win_exe" /H </dev/null >/dev/null 2>&1 || true

echo "== cases (at ${SECONDS}s)"
set +e  # the summary line comes after the cases either way
WORK=$work LINUX_EXE=$linux_exe WIN_EXE=$win_exe WINE=$wine DEMO=$root/examples/demo.mid \
  python3 - <<'PY'
import os, shutil, struct, subprocess, sys

work, demo = os.environ["WORK"], os.environ["DEMO"]
linux_exe, win_exe, wine = os.environ["LINUX_EXE"], os.environ["WIN_EXE"], os.environ["WINE"]

# ---- small SMF files -------------------------------------------------------

def var_len(v):
    out = [v & 0x7F]
    v >>= 7
    while v:
        out.insert(0, 0x80 | (v & 0x7F))
        v >>= 7
    return bytes(out)

def track(events):
    """events: (delta, bytes) pairs; an end-of-track is added."""
    body = b"".join(var_len(d) + bytes(e) for d, e in events) + b"\x00\xff\x2f\x00"
    return b"MTrk" + struct.pack(">I", len(body)) + body

def smf(fmt, division, tracks, count=None):
    n = len(tracks) if count is None else count
    return b"MThd" + struct.pack(">IHHH", 6, fmt, n, division) + b"".join(tracks)

def meta(kind, data):
    return bytes([0xFF, kind]) + var_len(len(data)) + bytes(data)

# Format 0: every kind of event, overlapping notes, running status, 6/8.
small = smf(0, 480, [track([
    (0, meta(0x03, b"small")), (0, meta(0x51, b"\x07\xa1\x20")),
    (0, meta(0x58, [6, 3, 24, 8])), (0, meta(0x59, [0xFD, 1])),
    (0, [0xF0, 5, 0x7E, 0x7F, 9, 1, 0xF7]),
    (0, [0xC0, 5]), (0, [0xB0, 7, 100]), (0, [10, 30]),     # running status
    (0, [0x90, 60, 100]), (240, [0x90, 64, 90]),              # overlap: sub-block
    (240, [0x80, 60, 64]), (120, [0xA0, 64, 50]), (120, [0x90, 64, 0]),
    (480, [0x90, 67, 80]), (100, [0xE0, 0, 80]), (100, [0xD0, 40]),
    (760, [0x80, 67, 0]), (0, meta(0x06, b"B")),
    (0, [0x99, 36, 120]), (60, [0x89, 36, 0]), (0, [0x99, 42, 100]),
    (660, [42, 0]), (0, [0xF7, 3, 0x43, 0x10, 0x4C]),
    (0, meta(0x05, b"la")), (0, meta(0x7F, [0x43, 1])),
    (0, [0x90, 72, 127]), (1440 * 2 + 17, [0x80, 72, 0]),    # ties over bars
])])

# Format 1, division 96: three tracks, time signature changes, 16 channels used.
conductor = track([
    (0, meta(0x58, [4, 2, 24, 8])), (0, meta(0x51, b"\x09\x27\xc0")),
    (384, meta(0x58, [5, 3, 24, 8])), (240, meta(0x58, [7, 2, 24, 8])),
    (0, meta(0x51, b"\x06\x1a\x80")), (0, meta(0x01, b"seven")),
])
chords = track([
    (0, [0xC1, 48]), (0, [0x91, 60, 80]), (0, [64, 80]), (0, [67, 80]),
    (200, [0xE1, 0, 70]), (184, [0x81, 60, 0]), (0, [64, 0]), (0, [67, 0]),
    (48, [0x91, 62, 70]), (300, [0xB1, 11, 90]), (372, [0x81, 62, 0]),
])
lines = track(
    [(0, [0xB2, 91, 30])] +
    [(d, [0x92 + (i % 14), 50 + i, 60 + i]) for i, d in enumerate([0, 24, 36, 12, 96, 7])] +
    [(60, [0x82 + (i % 14), 50 + i, 0]) for i in range(6)] +
    [(13, [0x9F, 40, 64]), (1000, [0x8F, 40, 0])]
)
poly = smf(1, 96, [conductor, chords, lines])

# Big enough (280,000 events) that the tracks are shared out over threads;
# the second has a faulty track far in.
wide_tracks = [conductor] + [chords, lines] * 10000
bad_track = track([(0, [0x90, 60, 1]), (10, meta(0x51, b"\x07\xa1"))])
wide = smf(1, 96, wide_tracks)
wide_bad = smf(1, 96, wide_tracks[:15001] + [bad_track] + wide_tracks[15001:])

files = {
    "small.mid": small,
    "poly.mid": poly,
    "wide.mid": wide,
    "widebad.mid": wide_bad,
    "demo.mid": open(demo, "rb").read(),
    "dir.d/x.mid": small,
    "sub/small.mid": small,
    "\u00e9t\u00e9.mid": small,  # non-ASCII names: the Windows side reads them in
    "\u20ac.mid": small,          # its ANSI code page, 1252 under C.UTF-8
    # Faults in the data.
    "empty.mid": b"",
    "nomthd.mid": b"RIFF\x00\x00\x00\x04RMID",
    "fmt2.mid": smf(2, 480, [track([])]),
    "smpte.mid": smf(1, 0xE728, [track([])]),
    "notracks.mid": smf(1, 480, []),
    "fmt0two.mid": smf(0, 480, [track([]), track([])]),
    "nomtrk.mid": smf(1, 480, [b"XTrk\x00\x00\x00\x04\x00\xff\x2f\x00"]),
    "cut.mid": small[: len(small) * 3 // 5],
    "badtempo.mid": smf(0, 480, [track([(0, [0x90, 60, 1]), (10, meta(0x51, b"\x07\xa1"))])]),
    "badevent.mid": smf(0, 480, [track([(0, [0x90, 60, 1]), (10, [0xF4, 1, 2])])]),
}

def populate(folder):
    for name, data in files.items():
        path = os.path.join(folder, name)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(data)
    os.makedirs(os.path.join(folder, "adir.mid"))  # a folder given as the SMF

# ---- cases -----------------------------------------------------------------
# (arguments, names, system fault). In arguments and names {S} is the path
# separator and {D} the case folder: on Windows its full path with the drive
# letter, run from another folder; on Linux nothing, run in the folder (a path
# that starts with "/" would be an option there). Names are the texts that the
# two systems therefore print differently.

cases = []
option_sets = [[], ["/J"], ["/B-"], ["/C0"], ["/C-1"], ["/C1", "/B+"], ["/A480"], ["/A96"],
               ["/Mc"], ["/MA"], ["/Ma", "/Mp", "/Mb"], ["-J", "-Mx", "-Mm"],
               ["/J", "/B-", "/C2"], ["/Fmout"], ["/Fmout.txt", "/J"]]
for name in ["demo.mid", "small.mid", "poly.mid"]:
    for opts in option_sets:
        cases.append((opts + [name], [], False))
cases += [
    (["small"], [], False),
    (["{D}dir.d{S}x.mid"], ["{D}dir.d{S}x.mid", "{D}dir.mml"], False),
    (["/J", "dir.d{S}x.mid"], ["dir.d{S}x.mid"], False),
    (["{D}sub{S}small"], ["{D}sub{S}small.mid", "{D}sub{S}small.mml"], False),
    (["/Fm{D}sub{S}out", "{D}dir.d{S}x.mid"], ["{D}sub{S}out.mml", "{D}dir.d{S}x.mid"], False),
    (["/C3", "sub/small.mid"], [], False),
    (["/Fm{D}sub{S}..{S}sub{S}small.mid", "{D}sub{S}small.mid"],  # one file, two spellings
     ["{D}sub{S}..{S}sub{S}small.mid", "{D}sub{S}small.mid"], False),
    (["\u00e9t\u00e9"], ["\u00e9t\u00e9.mid", "\u00e9t\u00e9.mml"], False),
    (["/Fm\u20ac.mid", "\u20ac.mid"], ["\u20ac.mid"], False),  # writing onto the SMF
    ([], [], False), (["/H"], [], False), (["/h", "small"], [], False),
    (["/?"], [], False), (["-H", "/J", "nothere"], [], False),
    (["/x"], [], False), (["/"], [], False), (["-"], [], False), (["/j", "small"], [], False),
    (["/B"], [], False), (["/C"], [], False), (["/Cx"], [], False), (["/A"], [], False),
    (["/M"], [], False), (["/Mz"], [], False), (["/F"], [], False), (["/Fx"], [], False),
    (["/Fxout"], [], False), (["/Fma", "/Fmb", "small"], [], False),
    (["small", "small"], [], False), (["/Z", "/H", "small"], [], False),
    (["/Fmsmall.mid", "small.mid"], [], False),
    (["dir.d{S}x"], ["dir.d{S}x"], True),  # a dot in the folder: no ".mid" added
    (["nothere"], [], True), (["adir.mid"], [], True), ([""], [], True),
    (["/Fmnodir{S}out", "small"], ["nodir{S}out.mml"], True),
]
for name in ["empty", "nomthd", "fmt2", "smpte", "notracks", "fmt0two", "nomtrk", "cut",
             "badtempo", "badevent"]:
    cases.append(([name + ".mid"], [], False))
cases.append((["/J", "/C0", "cut.mid"], [], False))
cases += [(["wide.mid"], [], False), (["/J", "/C1", "wide.mid"], [], False),
          (["widebad.mid"], [], False)]

def spell(template, folder, windows):
    if windows:
        d, s = "Z:" + folder.replace("/", "\\") + "\\", "\\"
    else:
        d, s = "", "/"
    return template.replace("{D}", d).replace("{S}", s)

# Wine takes the arguments in the locale's encoding and hands the program
# their ANSI code page bytes; a fixed locale keeps that the same everywhere.
env = dict(os.environ, LC_ALL="C.UTF-8")

def run(exe_line, args, folder, windows):
    argv = exe_line + [spell(a, folder, windows) for a in args]
    elsewhere = windows and any("{D}" in a for a in args)
    try:
        p = subprocess.run(argv, cwd=os.path.dirname(folder) if elsewhere else folder,
                           stdin=subprocess.DEVNULL, env=env,
                           capture_output=True, timeout=120)
        return p.returncode, p.stdout, p.stderr
    except subprocess.TimeoutExpired:
        return "timeout", b"", b""

def snapshot(folder):
    found = {}
    for dirpath, _, names in os.walk(folder):
        for n in names:
            path = os.path.join(dirpath, n)
            with open(path, "rb") as f:
                found[os.path.relpath(path, folder)] = f.read()
    return found

def system_text(err):
    """Keeps "name: " of the last line; the reason is the system's own text."""
    lines = err.split(b"\n")
    if len(lines) >= 2 and b": " in lines[-2]:
        lines[-2] = lines[-2][: lines[-2].rindex(b": ") + 2] + b"<reason>"
    return b"\n".join(lines)

def first_difference(a, b):
    n = next((i for i in range(min(len(a), len(b))) if a[i] != b[i]), min(len(a), len(b)))
    return "at byte %d (%d vs %d bytes): %r vs %r" % (n, len(a), len(b), a[n:n + 24], b[n:n + 24])

passed = failed = 0
for number, (args, names, system_fault) in enumerate(cases):
    base = os.path.join(work, "c%02d" % number)
    results = []
    for windows in (False, True):
        folder = os.path.join(base, "win" if windows else "lin")
        populate(folder)
        before = snapshot(folder)
        status, out, err = run([wine, win_exe] if windows else [linux_exe], args, folder, windows)
        for n in sorted(names, key=len, reverse=True):  # Windows spelling -> Linux spelling
            w = spell(n, folder, True).encode("cp1252")
            l = spell(n, os.path.join(base, "lin"), False).encode()
            out, err = out.replace(w, l), err.replace(w, l)
        if system_fault:
            err = system_text(err)
        after = snapshot(folder)
        written = {k: v for k, v in after.items() if before.get(k) != v}
        results.append((status, out, err, written))
    (ls, lo, le, lw), (ws, wo, we, ww) = results
    problems = []
    if ls != ws:
        problems.append("status %s vs %s (stderr %r vs %r)" % (ls, ws, le[-200:], we[-200:]))
    if lo != wo:
        problems.append("stdout differs " + first_difference(lo, wo))
    if le != we:
        problems.append("stderr differs " + first_difference(le, we))
    if sorted(lw) != sorted(ww):
        problems.append("files written %s vs %s" % (sorted(lw), sorted(ww)))
    for k in sorted(set(lw) & set(ww)):
        if lw[k] != ww[k]:
            problems.append("%s differs %s" % (k, first_difference(lw[k], ww[k])))
    shown = " ".join(spell(a, base + "/win", True) or '""' for a in args) or "(no arguments)"
    summary = "status %s, %d+%d bytes out/err, %d file(s)" % (ls, len(lo), len(le), len(lw))
    if problems:
        failed += 1
        print("FAIL %-40s %s" % (shown, "; ".join(problems)))
    else:
        passed += 1
        print("ok   %-40s %s" % (shown, summary))
    shutil.rmtree(base)
    sys.stdout.flush()

print("%d passed, %d failed" % (passed, failed))
sys.exit(1 if failed else 0)
PY
status=$?
echo "== Windows check took ${SECONDS}s"
exit $status
