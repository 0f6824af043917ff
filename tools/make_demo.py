#!/usr/bin/env python3
"""Writes the example files: examples/demo.mid, examples/played.mid and
examples/band.mid.

demo.mid is a short format 1 piece for trying vantrel: a waltz of four bars
in 3/4 that turns into 4/4 for its last three bars, with a conductor track
(name, tempo, time and key signatures), a melody on channel 1 and chords on
channel 2, with program changes, a bank select, a few controllers and a
pitch bend.

played.mid is a phrase as a keyboard records it: four bars of eighths and
sixteenths whose starts are early or late by up to 30 ticks and whose notes
sound for 70 to 95 % of their time, for trying the grid (/Q).

band.mid is two bars of a piano and a drum kit, for trying --voices and
--velocity-step: on channel 1 a melody over a held bass and chords, its
velocities as a player varies them; on channel 10 kick, snare, hi-hat and a
crash.

Run: tools/make_demo.py [demo output] [played output] [band output]
"""
import random
import struct
import sys

DIVISION = 480
Q = DIVISION


def var_len(value):
    out = [value & 0x7F]
    value >>= 7
    while value:
        out.insert(0, 0x80 | (value & 0x7F))
        value >>= 7
    return bytes(out)


class Track:
    """Events at absolute ticks, written out sorted with delta times."""

    def __init__(self):
        self.events = []  # (tick, order, bytes)

    def add(self, tick, data):
        self.events.append((tick, len(self.events), bytes(data)))

    def meta(self, tick, kind, data):
        self.add(tick, bytes([0xFF, kind]) + var_len(len(data)) + bytes(data))

    def note(self, tick, channel, key, length, velocity):
        self.add(tick, [0x90 | channel, key, velocity])
        # Note Offs sort before Note Ons at the same tick: legato, not overlap.
        self.events.append((tick + length, -1, bytes([0x80 | channel, key, 64])))

    def chunk(self, end_tick):
        self.meta(end_tick, 0x2F, b"")
        body, now = b"", 0
        for tick, _, data in sorted(self.events, key=lambda e: (e[0], e[1])):
            body += var_len(tick - now) + data
            now = tick
        return b"MTrk" + struct.pack(">I", len(body)) + body


def common_time(name):
    """A conductor track at 120 a quarter in 4/4."""
    conductor = Track()
    conductor.meta(0, 0x03, name)
    conductor.meta(0, 0x51, struct.pack(">I", 500000)[1:])
    conductor.meta(0, 0x58, [4, 2, 24, 8])
    return conductor


def piano_track(name):
    track = Track()
    track.meta(0, 0x03, name)
    track.add(0, [0xC0, 0])
    return track


def played(out):
    rng = random.Random(7)  # the same file every time
    conductor = common_time(b"played phrase")
    keys = piano_track(b"Keys")
    phrase = [  # (key, sixteenths)
        (60, 2), (62, 2), (64, 2), (65, 1), (67, 1), (69, 4), (67, 2), (65, 2),
        (64, 2), (62, 1), (64, 1), (65, 2), (67, 2), (64, 4), (60, 4),
        (62, 2), (64, 2), (65, 2), (67, 1), (69, 1), (71, 3), (72, 1), (71, 2), (69, 2),
        (67, 4), (65, 2), (64, 2), (62, 4), (60, 4),
    ]
    tick = 0
    for key, sixteenths in phrase:
        slot = sixteenths * Q // 4
        start = max(0, tick + rng.randint(-30, 30))
        length = int(slot * rng.uniform(0.70, 0.95))
        keys.note(start, 0, key, length, rng.randint(70, 100))
        tick += slot
    header = b"MThd" + struct.pack(">IHHH", 6, 1, 2, DIVISION)
    with open(out, "wb") as f:
        f.write(header + conductor.chunk(tick) + keys.chunk(tick + Q))


def band(out):
    rng = random.Random(11)  # the same file every time
    bar = 4 * Q
    conductor = common_time(b"band")
    piano = piano_track(b"Piano")
    melody = [  # (key, eighths)
        (76, 1), (74, 1), (72, 1), (74, 1), (76, 1), (76, 1), (76, 2),
        (74, 1), (74, 1), (74, 2), (76, 1), (79, 1), (79, 2),
    ]
    tick = 0
    for key, eighths in melody:
        length = eighths * Q // 2
        piano.note(tick, 0, key, length, rng.randint(74, 88))
        tick += length
    for start, bass, chord in [(0, 48, (64, 67)), (bar, 43, (62, 65))]:
        piano.note(start, 0, bass, bar, 70)  # a bass held through the bar
        for beat in (1, 2, 3):                # the chord on two, three and four
            for key in chord:
                piano.note(start + beat * Q, 0, key, Q, rng.randint(56, 64))
    drums = Track()
    drums.meta(0, 0x03, b"Drums")
    hit = Q // 8
    for b in range(2):
        start = b * bar
        for eighth in range(8):
            drums.note(start + eighth * Q // 2, 9, 42, hit, 90 if eighth % 2 == 0 else 60)
        for beat in (0, 2):
            drums.note(start + beat * Q, 9, 36, hit, 100)
        for beat in (1, 3):
            drums.note(start + beat * Q, 9, 38, hit, 96)
    drums.note(bar + 2 * Q + Q // 2, 9, 36, hit, 84)  # a kick on the and of three
    drums.note(0, 9, 49, Q, 110)                      # a crash on the downbeat
    header = b"MThd" + struct.pack(">IHHH", 6, 1, 3, DIVISION)
    with open(out, "wb") as f:
        f.write(header + conductor.chunk(2 * bar) + piano.chunk(2 * bar) + drums.chunk(2 * bar))


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else "examples/demo.mid"
    played(sys.argv[2] if len(sys.argv) > 2 else "examples/played.mid")
    band(sys.argv[3] if len(sys.argv) > 3 else "examples/band.mid")
    waltz_bar, common_bar = 3 * Q, 4 * Q
    end = 4 * waltz_bar + 3 * common_bar

    conductor = Track()
    conductor.meta(0, 0x03, b"vantrel demo")
    conductor.meta(0, 0x51, struct.pack(">I", 500000)[1:])  # 120 per minute
    conductor.meta(0, 0x58, [3, 2, 24, 8])
    conductor.meta(0, 0x59, [1, 0])  # G major
    conductor.meta(4 * waltz_bar, 0x58, [4, 2, 24, 8])
    conductor.meta(4 * waltz_bar, 0x51, struct.pack(">I", 600000)[1:])  # 100

    melody = Track()
    melody.meta(0, 0x03, b"Melody")
    melody.add(0, [0xC0, 73])            # flute
    melody.add(0, [0xB0, 7, 100])        # volume
    melody.add(0, [0xB0, 10, 72])        # pan
    tune = [  # (key, quarters)
        (67, 2), (71, 1), (74, 3),                 # 3/4
        (72, 1), (71, 1), (69, 1), (67, 3),
        (66, 1.5), (67, 0.5), (69, 1), (71, 1),    # 4/4
        (74, 2), (72, 1), (71, 1), (67, 4),
    ]
    tick = 0
    for key, quarters in tune:
        length = int(quarters * Q)
        melody.note(tick, 0, key, length, 96)
        tick += length
    melody.add(4 * waltz_bar + 2 * Q, [0xE0, 0, 72])  # a small bend up
    melody.add(4 * waltz_bar + 3 * Q, [0xE0, 0, 64])  # and back

    chords = Track()
    chords.meta(0, 0x03, b"Chords")
    chords.add(0, [0xB1, 0, 0])          # bank select 0/0, then piano
    chords.add(0, [0xB1, 32, 0])
    chords.add(0, [0xC1, 0])
    chords.add(0, [0xB1, 91, 40])        # reverb
    progression = [(55, 59, 62), (48, 52, 55), (50, 54, 57), (55, 59, 62)]
    for bar, chord in enumerate(progression):
        start = bar * waltz_bar
        for key in chord:                # bass on one, chord on two and three
            chords.note(start + Q, 1, key + 12, Q, 70)
            chords.note(start + 2 * Q, 1, key + 12, Q, 64)
        chords.note(start, 1, chord[0] - 12, Q, 80)
    for bar, chord in enumerate([(52, 55, 59), (50, 54, 57), (55, 59, 62)]):
        start = 4 * waltz_bar + bar * common_bar
        for key in chord:
            chords.note(start, 1, key, common_bar, 72)

    header = b"MThd" + struct.pack(">IHHH", 6, 1, 3, DIVISION)
    with open(out, "wb") as f:
        f.write(header + conductor.chunk(end) + melody.chunk(end) + chords.chunk(end))


if __name__ == "__main__":
    main()
