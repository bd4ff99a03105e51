#!/usr/bin/env python3
"""Measures window dumps (xwd, as look_e2e.sh takes them) for the look test.

usage: look.py brightness DUMP        the mean brightness, 0 to 255
       look.py changed DUMP OTHER     the share of pixels that differ, 0 to 1
       look.py png DUMP OUT.png       keeps the dump as PNG, for people

Every fourth pixel of every fourth row is measured; a pixel differs when one
of its channels differs by more than 24."""
import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "..",
                                "..", "..", "platform", "kalu_ui", "app", "tests"))
import xwd_to_png  # noqa: E402


def samples(path):
    width, height, rows = xwd_to_png.read_xwd(path)
    return [rows[y][x * 3:x * 3 + 3] for y in range(0, height, 4) for x in range(0, width, 4)]


def main():
    command = sys.argv[1]
    if command == "png":
        width, height, rows = xwd_to_png.read_xwd(sys.argv[2])
        xwd_to_png.write_png(sys.argv[3], width, height, rows)
    elif command == "brightness":
        pixels = samples(sys.argv[2])
        print(f"{sum(sum(p) / 3 for p in pixels) / len(pixels):.1f}")
    elif command == "changed":
        a, b = samples(sys.argv[2]), samples(sys.argv[3])
        differ = sum(1 for p, q in zip(a, b) if max(abs(x - y) for x, y in zip(p, q)) > 24)
        print(f"{differ / max(len(a), 1):.3f}")
    else:
        raise SystemExit(__doc__)


if __name__ == "__main__":
    main()
