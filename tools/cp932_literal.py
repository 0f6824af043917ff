#!/usr/bin/env python3
"""Prints a C++ string literal holding the code page 932 bytes of each argument.

The program's Japanese texts are stored in the sources as byte escapes, so that
the compiler's source and execution character sets never touch them. Use this
to write a new one:  tools/cp932_literal.py 'テンポ'
"""
import sys

HEX = set("0123456789abcdefABCDEF")


def literal(text: str) -> str:
    out, after_escape = [], False
    for ch in text:
        if ord(ch) >= 0x80:
            # Every byte of a double-byte character is escaped, trail bytes
            # that happen to be printable ASCII included.
            out.extend("\\x%02X" % b for b in ch.encode("cp932"))
            after_escape = True
            continue
        if after_escape and ch in HEX:
            out.append('" "')  # end the literal so the escape stops here
        after_escape = False
        if ch == "\n":
            out.append("\\n")
        elif ch == "\t":
            out.append("\\t")
        elif ch == "\r":
            out.append("\\r")
        elif ch in '"\\':
            out.append("\\" + ch)
        else:
            out.append(ch)
    return '"' + "".join(out) + '"'


if __name__ == "__main__":
    for arg in sys.argv[1:]:
        print(literal(arg.encode().decode("unicode_escape").encode("latin-1").decode("utf-8")))
