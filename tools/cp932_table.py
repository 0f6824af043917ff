#!/usr/bin/env python3
"""Prints the table of app/cp932.cpp: each double-byte character of the
program's own texts (app/messages.h, util/fault.cpp and the terminal's texts)
with its Unicode code point, sorted by its code page 932 code.

The texts are fixed, so the program needs no general code page 932 decoder:
run this again after adding a text with a new character, and paste its output
over the table.  tools/cp932_table.py > /tmp/table.txt
"""
import pathlib
import re

ROOT = pathlib.Path(__file__).resolve().parent.parent
HEADERS = ["app/messages.h", "util/fault.cpp", "app/option_texts.cpp", "app/terminal_messages.cpp"]


def text_bytes(source: str) -> bytes:
    """The bytes of every string literal in a C++ source."""
    out = bytearray()
    for literal in re.findall(r'"((?:[^"\\]|\\.)*)"', source):
        i = 0
        while i < len(literal):
            if literal[i] == "\\":
                if literal[i + 1] == "x":
                    out.append(int(literal[i + 2:i + 4], 16))
                    i += 4
                    continue
                out.extend({"n": b"\n", "r": b"\r", "t": b"\t"}.get(literal[i + 1], literal[i + 1].encode()))
                i += 2
                continue
            out.extend(literal[i].encode())
            i += 1
    return bytes(out)


def main() -> None:
    codes = {}
    for header in HEADERS:
        data = text_bytes((ROOT / header).read_text(encoding="utf-8"))
        i = 0
        while i < len(data):
            if data[i] < 0x80:
                i += 1
                continue
            pair = data[i:i + 2]
            codes[pair[0] << 8 | pair[1]] = pair.decode("cp932")
            i += 2
    for code in sorted(codes):
        print("    {0x%04X, 0x%04X},  // %s" % (code, ord(codes[code]), codes[code]))


if __name__ == "__main__":
    main()
