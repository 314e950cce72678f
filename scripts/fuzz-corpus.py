#!/usr/bin/env python3
"""Writes the fuzz targets' starting inputs into fuzz/corpus/<target>/: real
settings texts, numbers as every locale writes them, and damaged stores, so
that each fuzz run starts from real inputs. Run again after changing an
input format; the files are kept in the repository."""
import os, struct

root = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "fuzz", "corpus")

def put(target, name, data):
    os.makedirs(os.path.join(root, target), exist_ok=True)
    with open(os.path.join(root, target, name), "wb") as f:
        f.write(data)

# fuzz_numbers: a locale byte (C, en_US, de_DE, fr_FR, sv_SE, ar_EG, fa_IR, hi_IN), then the text.
numbers = ["10", "52", "-1", "0.0185", "0,0185", "805.5", "805,5", "1E-05", "1e308", "-0", "  12abc", "1.234,5",
           "1,234.5", "1\u00a0234,5", "\u0663\u066b\u0661\u0664", "\u06f8\u06f0\u06f5\u066b\u06f5", "\u096e\u0966\u096b",
           "32767.5", "-32768.5", "NaN", "inf", "0x10", "", ".", "+", "1e", "9" * 400]
for k, text in enumerate(numbers):
    put("fuzz_numbers", f"number-{k:02d}", bytes([k % 8]) + text.encode("utf-8"))

# fuzz_stored_values: a locale byte, then per value (R(i), C(i) for each row, Tick(i), oMV, oBC, oSH, oZR,
# oCPM, Metric) a type byte (0: missing), a length byte and the bytes.
def stored(locale, values):
    out = bytes([locale])
    for t, v in values:
        out += bytes([t]) if t == 0 else bytes([t, len(v)]) + v
    return out
text = lambda s: (1, s.encode("utf-8") + b"\0")
defaults = [text(s) for s in ["10", "52", "20", "0", "30", "0", "40", "12", "50", "28", "55", "44"]] + \
           [text("1")] * 6 + [text(s) for s in ["805.5", "0.0185", "1.6", "30", "8", "False"]]
put("fuzz_stored_values", "defaults", stored(0, defaults))
put("fuzz_stored_values", "german", stored(2, defaults[:18] + [text(s) for s in ["805,5", "0,0185", "1,6", "30", "8", "True"]]))
put("fuzz_stored_values", "numbers", stored(3, [(4, struct.pack("<i", 10)), (5, struct.pack(">i", 52))] * 6 +
                                             [(4, struct.pack("<i", 1))] * 6 + [(3, b"\xff\xfe"), (2, b"%HOME%\0")] * 3))
put("fuzz_stored_values", "missing", stored(1, [(0, b"")] * 24))
put("fuzz_stored_values", "not-utf8", stored(0, [(1, b"\xff\xfe1\0"), (7, b"1\x002\0\0")] * 12))

# fuzz_store_file: a truncation (2 bytes, 0 = none), then patches (offset: 2 bytes, length: 1 byte, bytes)
# of a real store.
put("fuzz_store_file", "whole", b"\0\0")
for cut in (100, 1024, 4096, 8191):
    put("fuzz_store_file", f"cut-{cut}", struct.pack(">H", cut))
for offset in (0, 16, 18, 28, 56, 100, 1024 + 8, 2048 + 100, 4096 + 8, 8192 - 40):
    put("fuzz_store_file", f"flip-{offset}", b"\0\0" + struct.pack(">HB", offset, 1) + b"\xff")
put("fuzz_store_file", "journal-header", b"\0\0" + struct.pack(">HB", 18, 2) + b"\x02\x02")

# fuzz_decimal: decimal texts (their last byte also picks a precision), the hard ones to round among them; the
# first eight bytes are also a double's bits.
decimals = ["0", "-0", "1", "0.1", "0.0185", "805.5", "1e22", "1e23", "9007199254740993", "0.49999999999999994",
            "2.2250738585072011e-308", "2.2250738585072014e-308", "1.7976931348623157e308", "1.7976931348623159e308",
            "4.9e-324", "2.4703282292062327e-324", "2.4703282292062328e-324", "1e-400", "1e400", "100000000000000.5",
            "1e", "1e+", ".5", "5.", "-.5e-3", "0x10", "+1", "9" * 800 + "e-700", "0." + "0" * 400 + "1e400",
            "1" + "0" * 30 + "1e-30", "\x00\x00\x00\x00\x00\x00\xf0\x3f", "\x01\x00\x00\x00\x00\x00\x00\x00",
            f"{5 ** 1075}e-1075", str(2 ** 1024 - 2 ** 970)]  # exactly halfway: to zero, and to infinity
for k, text in enumerate(decimals):
    put("fuzz_decimal", f"decimal-{k:02d}", text.encode("latin-1"))
