#!/usr/bin/env python3
"""COUNT files of LOW..HIGH bytes, 100 to a folder: TOP/dNNNN/fNNNNNN.txt.

   make_tree.py TOP COUNT LOW HIGH [FIRST]

FIRST (default 0) numbers the first file, so a second call adds files
beside those of the first."""
import os
import sys

top, count, low, high = sys.argv[1], int(sys.argv[2]), int(sys.argv[3]), int(sys.argv[4])
first = int(sys.argv[5]) if len(sys.argv) > 5 else 0
block = os.urandom(high + 7)
for i in range(first, first + count):
    folder = os.path.join(top, "d%04d" % (i // 100))
    os.makedirs(folder, exist_ok=True)
    size = low + (i * 797) % (high - low + 1)
    with open(os.path.join(folder, "f%06d.txt" % i), "wb") as f:
        f.write(block[i % 7:i % 7 + size])
