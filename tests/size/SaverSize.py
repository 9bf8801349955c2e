#!/usr/bin/env python3
"""SaverSize.py PROGRAM BUDGET: fails when the Windows program PROGRAM is
larger than BUDGET bytes, and lists the size of each of its sections, so
that growth is seen in the change that makes it."""
import struct
import sys

path, budget = sys.argv[1], int(sys.argv[2])
with open(path, "rb") as f:
    data = f.read()
pe, = struct.unpack_from("<I", data, 0x3C)
# The file header: the number of sections, then, 12 bytes on, the size of
# the optional header, after which the section table starts.
count, optional = struct.unpack_from("<H12xH", data, pe + 6)
print(f"{path}: {len(data):,} bytes; budget {budget:,} bytes")
for i in range(count):
    name, size = struct.unpack_from("<8sI", data, pe + 24 + optional + 40 * i)
    name = name.rstrip(b"\0").decode("ascii", "replace")
    print(f"  {name:<8} {size:>9,}")
if len(data) > budget:
    sys.exit(f"FAIL: above the budget by {len(data) - budget:,} bytes")
