#!/usr/bin/env python3
"""Writes the index tables of the encoding standard as C++ arrays, from the copy that Debian's
libjs-text-encoding ships (encoding-indexes.js), so that no table of the program is typed by hand.

usage: generate_indexes.py ENCODING_INDEXES_JS GB18030_2022_TXT OUTPUT_CPP
"""

import json
import sys

SINGLE_BYTE = [
    "ibm866", "iso-8859-2", "iso-8859-3", "iso-8859-4", "iso-8859-5", "iso-8859-6", "iso-8859-7",
    "iso-8859-8", "iso-8859-10", "iso-8859-13", "iso-8859-14", "iso-8859-15", "iso-8859-16", "koi8-r",
    "koi8-u", "macintosh", "windows-874", "windows-1250", "windows-1251", "windows-1252", "windows-1253",
    "windows-1254", "windows-1255", "windows-1256", "windows-1257", "windows-1258", "x-mac-cyrillic",
]
# name in the file: (name in C++, type of a code point)
MULTI_BYTE = {
    "jis0208": ("Jis0208", "char16_t"),
    "jis0212": ("Jis0212", "char16_t"),
    "euc-kr": ("EucKr", "char16_t"),
    "gb18030": ("Gb18030", "char16_t"),
    "big5": ("Big5", "char32_t"),
}


def read_indexes(path):
    text = open(path, encoding="utf-8").read()
    start = text.index("{", text.index('global["encoding-indexes"]'))
    end = text.rindex("}", 0, text.rindex("}("))
    return json.loads(text[start:end + 1])


def update_gb18030(index, path):
    """The eighteen pointers GB18030-2022 gave characters of their own (see the file)."""
    for line in open(path, encoding="utf-8"):
        if line.startswith("#") or not line.strip():
            continue
        sequence, old, new = (int(field, 16) for field in line.split())
        lead, trail = sequence >> 8, sequence & 0xFF
        pointer = (lead - 0x81) * 190 + trail - (0x40 if trail < 0x7F else 0x41)
        if index[pointer] not in (old, new):
            sys.exit(f"gb18030 pointer {pointer}: {index[pointer]:X}, neither {old:X} nor {new:X}")
        index[pointer] = new


def numbers(values, per_line=16):
    lines = []
    for i in range(0, len(values), per_line):
        lines.append("    " + ",".join(str(v) for v in values[i:i + per_line]) + ",")
    return "\n".join(lines)


def main():
    source, gb18030_2022, output = sys.argv[1], sys.argv[2], sys.argv[3]
    indexes = read_indexes(source)
    update_gb18030(indexes["gb18030"], gb18030_2022)
    out = ["// Generated from " + source + " by generate_indexes.py: do not edit.",
           '#include "engine/encoding/EncodingIndexes.h"', "", "namespace tagsmith::indexes {", "namespace {", ""]
    for name in SINGLE_BYTE:
        table = indexes[name]
        if len(table) != 128:
            sys.exit(f"{name}: {len(table)} entries, not 128")
        if any(v is not None and v > 0xFFFF for v in table):
            sys.exit(f"{name}: a code point beyond the BMP")
    for name, (ident, kind) in MULTI_BYTE.items():
        table = indexes[name]
        limit = 0xFFFF if kind == "char16_t" else 0x10FFFF
        if any(v is not None and v > limit for v in table):
            sys.exit(f"{name}: a code point beyond {kind}")
        out.append(f"constexpr {kind} {ident}Data[] = {{")
        out.append(numbers([0 if v is None else v for v in table]))
        out.append("};")
    ranges = indexes["gb18030-ranges"]
    out.append("constexpr Range Gb18030RangesData[] = {")
    out.append("\n".join(f"    {{{p}, {c}}}," for p, c in ranges))
    out.append("};")
    out.append("constexpr SingleByteIndex SingleByteData[] = {")
    for name in SINGLE_BYTE:
        out.append(f'    {{"{name}", {{')
        out.append(numbers([0 if v is None else v for v in indexes[name]]))
        out.append("    }},")
    out.append("};")
    out += ["", "} // namespace", ""]
    for name, (ident, kind) in MULTI_BYTE.items():
        out.append(f"const std::span<const {kind}> {ident}({ident}Data);")
    out.append("const std::span<const Range> Gb18030Ranges(Gb18030RangesData);")
    out.append("const std::span<const SingleByteIndex> SingleByte(SingleByteData);")
    out += ["", "} // namespace tagsmith::indexes", ""]
    with open(output, "w", encoding="utf-8") as f:
        f.write("\n".join(out))


if __name__ == "__main__":
    main()
