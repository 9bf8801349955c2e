#!/usr/bin/python3
"""SaverSize.py PROGRAM BUDGET: fails when the Windows program PROGRAM is
larger than BUDGET bytes, and lists the size of each of its sections in the
file, so that growth is seen in the change that makes it. The program is
read as scripts/release.py reads the files it compares."""
import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "scripts"))
from release import Pe  # noqa: E402  (found through the path above)

path, budget = sys.argv[1], int(sys.argv[2])
with open(path, "rb") as f:
    data = f.read()
print(f"{path}: {len(data):,} bytes; budget {budget:,} bytes")
for name, contents in Pe(data).sections.items():
    print(f"  {name:<8} {len(contents):>9,}")
if len(data) > budget:
    sys.exit(f"FAIL: above the budget by {len(data) - budget:,} bytes")
