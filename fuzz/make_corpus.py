#!/usr/bin/env python3
"""Writes the seed corpus of the fuzz target into fuzz/corpus/.

Each seed is four option bytes (see fuzz/fuzz_input.h) followed by an SMF:
one small file for every kind of event, idiom and meta event the converter
writes, one for each fault of the header, the track chunks and the events,
and the demo piece. Run from anywhere: fuzz/make_corpus.py [output folder]

The seeds generated_*.bin come from the round-trip generator instead: build
the target vantrel_fuzz_seeds in the fuzz build and run it on fuzz/corpus.
"""
import os
import struct
import sys

HERE = os.path.dirname(os.path.abspath(__file__))

# Option bytes: byte 0 bit 0 /J, bit 1 /B-, bits 2-4 the /C choice, bits 5-7
# the /A choice; byte 1 the /M letters (bit 7: none); bytes 2-3 a number N.
PLAIN = bytes([0, 0x80, 0, 0])
KANA = bytes([0x01, 0x80, 0, 0])
NO_BARS = bytes([0x02, 0x80, 0, 0])
EVERY_NOTE = bytes([1 << 2, 0x80, 0, 0])       # /C0
NO_BREAKS = bytes([2 << 2, 0x80, 0, 0])        # /C-1
PICKUP_480 = bytes([3 << 5, 0x80, 0x01, 0xE0])  # /A480
LONG_PICKUP = bytes([3 << 5, 0x80, 0x1C, 0x20])  # /A7200, longer than a bar
FILTER_ALL = bytes([0, 0x01, 0, 0])            # /MA
FILTER_SOME = bytes([0, 0x7E, 0, 0])           # /Ma /Mb /Mc /Mm /Mp /Mx


def var_len(value):
    out = [value & 0x7F]
    value >>= 7
    while value:
        out.insert(0, 0x80 | (value & 0x7F))
        value >>= 7
    return bytes(out)


def meta(delta, kind, data=b""):
    return var_len(delta) + bytes([0xFF, kind]) + var_len(len(data)) + bytes(data)


def ev(delta, *data):
    return var_len(delta) + bytes(data)


END = meta(0, 0x2F)


def track(*events, end=True):
    body = b"".join(events) + (END if end else b"")
    return b"MTrk" + struct.pack(">I", len(body)) + body


def smf(*tracks, fmt=None, division=480, count=None):
    if fmt is None:
        fmt = 0 if len(tracks) == 1 else 1
    if count is None:
        count = len(tracks)
    return b"MThd" + struct.pack(">IHHH", 6, fmt, count, division) + b"".join(tracks)


def seeds():
    melody = track(ev(0, 0x90, 60, 100), ev(480, 0x80, 60, 64), ev(0, 0x90, 62, 90),
                   ev(240, 62, 0), ev(0, 64, 80), ev(720, 64, 0), ev(480, 0x90, 96, 100),
                   ev(960, 0x80, 96, 0), ev(0, 0x90, 24, 127), ev(1920, 0x80, 24, 0))
    yield "notes", PLAIN + smf(melody)
    yield "notes_kana", KANA + smf(melody)
    yield "notes_no_bars", NO_BARS + smf(melody)
    yield "notes_every_note", EVERY_NOTE + smf(melody)
    yield "notes_no_breaks", NO_BREAKS + smf(melody)
    yield "notes_pickup", PICKUP_480 + smf(melody)
    yield "notes_long_pickup", LONG_PICKUP + smf(melody)

    chord = track(ev(0, 0x90, 60, 100), ev(0, 0x90, 64, 100), ev(0, 0x90, 67, 100),
                  ev(960, 0x80, 60, 0), ev(0, 0x80, 64, 0), ev(0, 0x80, 67, 0),
                  ev(0, 0x91, 40, 70), ev(100, 0x91, 41, 70), ev(100, 0x81, 40, 0),
                  ev(100, 0x81, 41, 0), ev(0, 0x92, 50, 255), ev(0, 0x82, 50, 0),
                  ev(0, 0x92, 51, 60))  # the last note has no end
    yield "chord_overlap", PLAIN + smf(chord)

    channel = track(ev(0, 0xA0, 60, 30), ev(10, 0xB0, 7, 100), ev(0, 0xB0, 38, 5),
                    ev(0, 0xB0, 70, 1), ev(0, 0xC0, 5), ev(10, 0xD0, 40),
                    ev(10, 0xE0, 0, 64), ev(0, 0xE3, 127, 127), ev(0, 0xB0, 1, 2),
                    ev(0, 0xB0, 5, 2), ev(0, 0xB0, 6, 2), ev(0, 0xB0, 10, 2),
                    ev(0, 0xB0, 11, 2), ev(0, 0xB0, 65, 2), ev(0, 0xB0, 91, 2),
                    ev(0, 0xB0, 93, 2), ev(0, 0xB0, 94, 2))
    yield "channel_messages", PLAIN + smf(channel)
    yield "channel_filtered", FILTER_SOME + smf(channel)
    yield "channel_filtered_all", FILTER_ALL + smf(channel)

    idioms = track(ev(0, 0xB0, 0, 1), ev(0, 0xB0, 32, 2), ev(0, 0xC0, 3),
                   ev(0, 0xB1, 101, 0), ev(0, 0xB1, 100, 0), ev(0, 0xB1, 6, 12),
                   ev(0, 0xB1, 101, 0), ev(0, 0xB1, 100, 1), ev(0, 0xB1, 6, 64),
                   ev(0, 0xB1, 101, 0), ev(0, 0xB1, 100, 2), ev(0, 0xB1, 6, 64),
                   ev(0, 0xB1, 101, 1), ev(0, 0xB1, 100, 5), ev(0, 0xB1, 6, 9),
                   ev(0, 0xB2, 99, 1), ev(0, 0xB2, 98, 8), ev(0, 0xB2, 6, 3),
                   # broken: a late second message, a wrong third, another channel
                   ev(0, 0xB3, 0, 1), ev(5, 0xB3, 32, 2), ev(0, 0xC3, 3),
                   ev(0, 0xB4, 99, 1), ev(0, 0xB4, 98, 8), ev(0, 0xB4, 7, 3),
                   ev(0, 0xB5, 101, 0), ev(0, 0xB6, 100, 0), ev(0, 0xB5, 6, 1),
                   ev(0, 0xB7, 0, 1), ev(0, 32, 2), ev(0, 0xC7, 4))
    yield "idioms", PLAIN + smf(idioms)

    system = track(meta(0, 0x00, b"\x00\x01"), meta(0, 0x01, b"text\nline"),
                   meta(0, 0x02, b"(c)"), meta(0, 0x03, b"name"), meta(0, 0x04, b"piano"),
                   meta(0, 0x05, b"la"), meta(0, 0x06, b"A"), meta(0, 0x07, b"cue"),
                   meta(0, 0x20, b"\x00"), meta(0, 0x21, b"\x01"),
                   meta(0, 0x51, b"\x07\xa1\x20"), meta(0, 0x51, b"\x00\x00\x00"),
                   meta(0, 0x54, b"\x60\x00\x00\x00\x00"), meta(0, 0x58, b"\x03\x02\x18\x08"),
                   meta(0, 0x58, b"\x04\x20\x18\x08"), meta(0, 0x59, b"\xfe\x01"),
                   meta(0, 0x7F, b"\x43\x7b\x01"), meta(0, 0x7F, b""),
                   ev(0, 0xF0, 3, 0x43, 0x10, 0xF7), ev(0, 0xF7, 2, 0x01, 0xF7),
                   ev(0, 0xF0, 0), meta(0, 0x7F, bytes(200)))
    yield "meta_and_sysex", PLAIN + smf(system)
    yield "meta_and_sysex_kana", KANA + smf(system)

    conductor = track(meta(0, 0x58, b"\x03\x02\x18\x08"), meta(0, 0x59, b"\x02\x00"),
                      meta(1440, 0x58, b"\x06\x03\x18\x08"), meta(1000, 0x58, b"\x05\x04"),
                      meta(0, 0x58, b"\x00\x02\x18\x08"), meta(0, 0x58, b"\x04\x08\x18\x08"),
                      meta(500, 0x59, b"\xf9\x01"))
    rests = track(ev(0, 0x90, 60, 100), ev(7200, 0x80, 60, 0), ev(3000, 0x90, 61, 1),
                  ev(100, 0x80, 61, 0))
    yield "rhythm_changes", PLAIN + smf(conductor, rests)
    yield "rhythm_changes_pickup", LONG_PICKUP + smf(conductor, rests)
    yield "rhythm_changes_every_note", EVERY_NOTE + smf(conductor, rests)
    yield "division_one", PLAIN + smf(track(meta(0, 0x58, b"\x01\x03\x18\x08"),
                                            ev(0, 0x90, 1, 1), ev(9, 0x80, 1, 1)), division=1)
    yield "odd_lengths", PLAIN + smf(track(ev(0, 0x90, 70, 1), ev(100, 0x80, 70, 1),
                                           ev(0, 0x90, 70, 1), ev(50000, 0x80, 70, 1)),
                                     division=7)

    # Faults of the header chunk, the track chunks and the events.
    yield "fault_short_file", PLAIN + b"MThd\x00\x00\x00\x06\x00"
    yield "fault_no_mthd", PLAIN + b"RIFF" + smf(melody)[4:]
    yield "fault_format2", PLAIN + smf(melody, fmt=2)
    yield "fault_format3", PLAIN + smf(melody, fmt=3)
    yield "fault_no_tracks", PLAIN + smf(fmt=1)
    yield "fault_format0_tracks", PLAIN + smf(melody, melody, fmt=0)
    yield "fault_zero_division", PLAIN + smf(melody, division=0)
    yield "fault_smpte", PLAIN + smf(melody, division=0xE728)
    yield "fault_no_mtrk", PLAIN + smf(melody, fmt=1, count=2)
    yield "fault_mtrk_cut", PLAIN + smf(melody)[:-len(melody)] + b"MTr"
    yield "fault_cut_in_event", PLAIN + smf(track(ev(0, 0x90, 60), end=False))
    yield "fault_cut_in_varlen", PLAIN + smf(track(b"\x81\x80", end=False))
    yield "fault_cut_in_meta", PLAIN + smf(track(ev(0, 0xFF, 0x01, 10, 65), end=False))
    yield "fault_no_end", PLAIN + smf(track(ev(0, 0x90, 60, 1), ev(10, 0x80, 60, 1), end=False))
    yield "fault_undefined_status", PLAIN + smf(track(ev(0, 0xF1)))
    yield "no_running_status", PLAIN + smf(track(ev(0, 0x40), ev(0, 0x91, 1, 1), ev(1, 2, 0)))
    for kind, data in [(0x00, b"\x01"), (0x20, b""), (0x21, b"\x01\x02"), (0x2F, b"\x00"),
                       (0x51, b"\x01\x02"), (0x54, b"\x01"), (0x58, b"\x04\x02\x18"),
                       (0x59, b"\x01"), (0x60, b"")]:
        yield "fault_meta_%02x" % kind, PLAIN + smf(track(meta(0, kind, data)))

    with open(os.path.join(HERE, "..", "examples", "demo.mid"), "rb") as demo:
        demo_smf = demo.read()
    yield "demo", PLAIN + demo_smf
    yield "demo_kana_c0", bytes([0x01 | 1 << 2, 0x80, 0, 0]) + demo_smf
    yield "demo_filtered", FILTER_SOME + demo_smf


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(HERE, "corpus")
    os.makedirs(out, exist_ok=True)
    for name, data in seeds():
        with open(os.path.join(out, name + ".bin"), "wb") as f:
            f.write(data)


if __name__ == "__main__":
    main()
