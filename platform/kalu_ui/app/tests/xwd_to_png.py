#!/usr/bin/env python3
"""Converts an X window dump (32 bits per pixel, as xwd writes for a 24-bit
screen) to PNG and checks that it shows a rendered application: a sidebar and
a content side of different colours and enough distinct colours for text.

usage: xwd_to_png.py dump.xwd out.png"""
import struct
import sys
import zlib


def read_xwd(path):
    data = open(path, "rb").read()
    fields = struct.unpack(">25I", data[:100])
    header_size, _, _, _, width, height = fields[:6]
    byte_order, bits_per_pixel, bytes_per_line = fields[7], fields[11], fields[12]
    red_mask, green_mask, blue_mask = fields[14:17]
    ncolors = fields[19]
    if bits_per_pixel != 32:
        raise SystemExit(f"unsupported dump: {bits_per_pixel} bits per pixel")
    offset = header_size + ncolors * 12
    fmt = "<I" if byte_order == 0 else ">I"

    def shift(mask):
        return (mask & -mask).bit_length() - 1

    rs, gs, bs = shift(red_mask), shift(green_mask), shift(blue_mask)
    masks = (red_mask, green_mask, blue_mask)
    if all(mask >> shift(mask) == 0xFF and shift(mask) % 8 == 0 for mask in masks):
        # Each channel is a whole byte of the pixel: copy it with one slice
        # per row and channel instead of unpacking pixel by pixel.
        lanes = [shift(mask) // 8 if byte_order == 0 else 3 - shift(mask) // 8 for mask in masks]
        rows = []
        for y in range(height):
            start = offset + y * bytes_per_line
            pixels = data[start:start + width * 4]
            row = bytearray(width * 3)
            for channel, lane in enumerate(lanes):
                row[channel::3] = pixels[lane::4]
            rows.append(bytes(row))
        return width, height, rows
    rows = []
    for y in range(height):
        start = offset + y * bytes_per_line
        row = bytearray()
        for (p,) in struct.iter_unpack(fmt, data[start:start + width * 4]):
            row += bytes(((p & red_mask) >> rs, (p & green_mask) >> gs, (p & blue_mask) >> bs))
        rows.append(bytes(row))
    return width, height, rows


def write_png(path, width, height, rows):
    def chunk(kind, body):
        crc = zlib.crc32(kind + body) & 0xFFFFFFFF
        return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", crc)

    raw = b"".join(b"\x00" + row for row in rows)
    png = b"\x89PNG\r\n\x1a\n"
    png += chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0))
    png += chunk(b"IDAT", zlib.compress(raw, 6))
    png += chunk(b"IEND", b"")
    open(path, "wb").write(png)


def pixel(rows, x, y):
    return rows[y][x * 3:x * 3 + 3]


def main():
    width, height, rows = read_xwd(sys.argv[1])
    write_png(sys.argv[2], width, height, rows)
    colours = {pixel(rows, x, y) for y in range(0, height, 2) for x in range(0, width, 2)}
    # The sidebar (left 264 pixels) and the content side differ in colour.
    sidebar = pixel(rows, 132, height - 20)
    content = pixel(rows, width - 40, height - 20)
    print(f"{width}x{height}, {len(colours)} colours, sidebar {sidebar.hex()}, "
          f"content {content.hex()}")
    if len(colours) < 16:
        raise SystemExit("the screenshot is blank or nearly so")
    if sidebar == content:
        raise SystemExit("no sidebar distinct from the content")


if __name__ == "__main__":
    main()
