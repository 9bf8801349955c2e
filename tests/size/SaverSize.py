#!/usr/bin/env python3
"""Fails when a Windows program is larger than its budget, and says where
its bytes are: the size of each section (its contents, and what it takes in
the file, rounded up to the file alignment), the headers, and anything after
the last section (a signature, say).

    SaverSize.py <program> <budget in bytes>

Exit status 0 within the budget, 1 above it or when the file is not a
Windows program.
"""
import struct
import sys


def layout(data):
    """The size of the headers, and (name, size, size in the file) of each
    section, read from the PE header."""
    if data[:2] != b"MZ":
        raise ValueError("no MZ header")
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    if data[pe:pe + 4] != b"PE\0\0":
        raise ValueError("no PE signature")
    count, = struct.unpack_from("<H", data, pe + 6)
    optional_size, = struct.unpack_from("<H", data, pe + 20)
    # SizeOfHeaders stands at offset 60 of the optional header, in PE32 and PE32+ alike.
    headers, = struct.unpack_from("<I", data, pe + 24 + 60)
    table = pe + 24 + optional_size
    sections = []
    for i in range(count):
        name, size, _, file_size = struct.unpack_from("<8sIII", data, table + 40 * i)
        sections.append((name.rstrip(b"\0").decode("ascii", "replace"), size, file_size))
    return headers, sections


def main(path, budget):
    try:
        with open(path, "rb") as f:
            data = f.read()
        headers, sections = layout(data)
    except (OSError, ValueError, struct.error) as error:
        print(f"FAIL: cannot read the sections of {path}: {error}")
        return 1
    total = len(data)
    rest = total - headers - sum(file_size for _, _, file_size in sections)
    within = total <= budget
    verdict = (f"{budget - total:,} to spare" if within
               else f"FAIL: above it by {total - budget:,} bytes")
    print(f"{path}: {total:,} bytes; budget {budget:,} bytes ({budget / 1024:g} KiB): {verdict}")
    print(f"  {'section':<10} {'size':>10} {'in the file':>12}")
    for name, size, file_size in sections:
        print(f"  {name:<10} {size:>10,} {file_size:>12,}")
    print(f"  {'headers':<10} {'':>10} {headers:>12,}")
    if rest:
        print(f"  {'after them':<10} {'':>10} {rest:>12,}")
    return 0 if within else 1


if __name__ == "__main__":
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    sys.exit(main(sys.argv[1], int(sys.argv[2])))
