#!/usr/bin/env python3
"""PCX helpers for the demo.

  pcx_tool.py logo OUT.pcx      writes a small one-bit PCX logo (a framed "K")
  pcx_tool.py png JOB DIR       writes every graphic downloaded in the job (GM"name"<length> and its
                                bytes) as DIR/<name>.png, and prints what it wrote
"""
import os
import re
import struct
import sys
import zlib


def encode_row(row):
    out = bytearray()
    i = 0
    while i < len(row):
        b = row[i]
        run = 1
        while run < 63 and i + run < len(row) and row[i + run] == b:
            run += 1
        if run > 1 or b >= 0x40:
            out += bytes((0xC0 | run, b))
        else:
            out.append(b)
        i += run
    return bytes(out)


def write_logo(path, size=96):
    rows = []
    for y in range(size):
        row = bytearray(b"\xff" * (size // 8))
        for x in range(size):
            frame = x < 6 or y < 6 or x >= size - 6 or y >= size - 6
            stem = 24 <= x < 36 and 18 <= y < size - 18
            arm = 18 <= y < size - 18 and abs((x - 36) - abs(y - size // 2)) < 7 and x >= 36
            if frame or stem or arm:
                row[x // 8] &= ~(0x80 >> (x % 8)) & 0xFF
        rows.append(bytes(row))
    header = bytearray(128)
    header[0:4] = bytes((0x0A, 5, 1, 1))
    struct.pack_into("<HHHH", header, 4, 0, 0, size - 1, size - 1)
    header[65] = 1
    struct.pack_into("<HH", header, 66, size // 8, 1)
    with open(path, "wb") as f:
        f.write(bytes(header) + b"".join(encode_row(r) for r in rows))


def decode(pcx):
    width = struct.unpack_from("<H", pcx, 8)[0] + 1
    height = struct.unpack_from("<H", pcx, 10)[0] + 1
    line = struct.unpack_from("<H", pcx, 66)[0]
    data = bytearray()
    i = 128
    while len(data) < line * height and i < len(pcx):
        b = pcx[i]
        i += 1
        if b & 0xC0 == 0xC0:
            data += bytes((pcx[i],)) * (b & 0x3F)
            i += 1
        else:
            data.append(b)
    return width, height, [bytes(data[y * line:(y + 1) * line]) for y in range(height)]


def write_png(path, width, height, rows):
    raw = b"".join(b"\x00" + r[: (width + 7) // 8] for r in rows)  # one bit a pixel, 1 = white

    def chunk(kind, body):
        return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF)

    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 1, 0, 0, 0, 0))
                + chunk(b"IDAT", zlib.compress(raw)) + chunk(b"IEND", b""))


def extract(job_path, out_dir):
    job = open(job_path, "rb").read()
    for m in re.finditer(rb'GM"([^"]*)"(\d+)\r\n', job):
        name = m.group(1).decode("latin-1")
        pcx = job[m.end():m.end() + int(m.group(2))]
        width, height, rows = decode(pcx)
        safe = re.sub(r"[^A-Za-z0-9._-]", "_", name)
        path = os.path.join(out_dir, safe + ".png")
        write_png(path, width, height, rows)
        print(f"  {path}  ({width} x {height}, graphic \"{name}\")")


if __name__ == "__main__":
    if len(sys.argv) == 3 and sys.argv[1] == "logo":
        write_logo(sys.argv[2])
    elif len(sys.argv) == 4 and sys.argv[1] == "png":
        extract(sys.argv[2], sys.argv[3])
    else:
        raise SystemExit(__doc__)
