#!/usr/bin/env python3
"""Writes the golden test jobs (*.prn) into this folder. The jobs are committed; run this only to
change them, then regenerate the pictures with KV_UPDATE_GOLDEN=1 and look at every one of them.

sample_label.prn is not made here: it is the job of examples/sample_label.cpp as the capture
printer received it (see scripts/demo)."""
import os

HERE = os.path.dirname(os.path.abspath(__file__))


def lines(*text):
    return b"".join(t.encode("latin-1") + b"\r\n" for t in text)


def pcx(width, height, dark):
    """A one-bit PCX image; dark(x, y) gives its ink (written as 0 bits), rows run-length coded."""
    line = (width + 7) // 8
    header = bytearray(128)
    header[0:4] = bytes((0x0A, 5, 1, 1))
    header[8:10] = (width - 1).to_bytes(2, "little")
    header[10:12] = (height - 1).to_bytes(2, "little")
    header[65] = 1
    header[66:68] = line.to_bytes(2, "little")
    body = bytearray()
    for y in range(height):
        row = bytearray(b"\xff" * line)
        for x in range(width):
            if dark(x, y):
                row[x // 8] &= ~(0x80 >> (x % 8)) & 0xFF
        i = 0
        while i < len(row):
            run = 1
            while run < 63 and i + run < len(row) and row[i + run] == row[i]:
                run += 1
            if run > 1 or row[i] >= 0x40:
                body += bytes((0xC0 | run, row[i]))
            else:
                body.append(row[i])
            i += run
    return bytes(header) + bytes(body)


def text_job():
    return lines(
        "N", "q640", "Q480,24",
        'T20,20,0,1,1,1,N,"Font 1: resident 8x12"',
        'T20,40,0,2,1,1,N,"Font 2: 10x16"',
        'T20,64,0,3,1,1,N,"Font 3: 12x20"',
        'T20,92,0,4,1,1,N,"Font 4: 14x24"',
        'T20,124,0,5,1,1,N,"Font 5 caps"',
        'T20,180,0,3,2,2,R,"Reverse x2"',
        'A20,236,0,2,1,1,N,"A line: \\"quoted\\" and back\\\\slash"',
        'T20,260,0,B,1,1,N,"Soft font B"',
        'T440,360,0,3,1,1,N,"Rot 0"',
        'T440,360,1,3,1,1,N,"Rot 1"',
        'T440,360,2,3,1,1,R,"Rot 2"',
        'T440,360,3,3,1,1,N,"Rot 3"',
        "LO438,358,4,4",
        "P1")


def lines_job():
    return lines(
        "N", "q480", "Q320,24", "ZT",
        "LO20,20,200,30",
        "LE120,10,200,50",
        "LW40,30,40,10",
        "LS20,80,4,220,160",
        "LS20,160,2,220,80",
        "LS240,20,3,260,200",
        "X240,80,5,460,200",
        "R100,220",
        "X0,0,2,120,80",
        'T10,10,0,2,1,1,N,"R 100,220"',
        "P1",
        # The same image again, turned by the printer as it leaves (ZB).
        "ZB",
        "P1")


def barcode_job():
    codes = [("1", "Code128"), ("1A", "CODE-A"), ("1B", "Set b"), ("1C", "123456"), ("1E", "[01]09501101530003"),
             ("2", "123456"), ("2C", "12345"), ("3", "CODE39"), ("3C", "KV42"), ("9", "CODE93"),
             ("E30", "590123412345"), ("E80", "9638507"), ("UA0", "03600029145"), ("UE0", "0123456"),
             ("K", "A40156B")]
    out = ["N", "q800", "Q1000,24"]
    for i, (sel, data) in enumerate(codes):
        x, y = 20 + (i % 2) * 400, 20 + (i // 2) * 120
        out.append(f'B{x},{y},0,{sel},2,5,60,B,"{data}"')
    out += ['B780,20,1,1,2,4,40,N,"ROT1"', 'B780,980,2,3,1,3,40,B,"R2"', 'B620,980,3,1,2,4,40,N,"ROT3"', "P1"]
    return lines(*out)


def pdf417_job():
    return lines(
        "N", "q600", "Q400,24",
        'b20,20,P,300,120,s0,c0,x2,y6,r0,l0,t0,o0,"PDF417 turn 0"',
        'b580,20,P,300,120,s2,c0,x2,y6,r0,l3,t0,o1,"PDF417 turn 1"',
        'b580,380,P,300,120,s0,c0,x0,y4,r0,l0,t1,o2,"Truncated, turn 2"',
        'b20,380,P,300,120,s1,c0,x3,y9,r0,l0,t0,o3,"turn 3"',
        "P1")


def forms_job():
    logo = pcx(40, 24, lambda x, y: x < 3 or y < 3 or x >= 37 or y >= 21 or (x - 8) // 2 == y // 2)
    bitmap = bytes(0x00 if (r // 4) % 2 == 0 else 0xAA for r in range(16) for _ in range(3))
    job = lines("N", "q400", "Q240,24", 'GK"*"', 'FK"FRAME"')
    job += b'GM"LOGO"' + str(len(logo)).encode() + b"\r\n" + logo
    job += lines('FS"FRAME"', "X4,4,3,396,236", 'GG340,200,"LOGO"', 'T12,12,0,2,1,1,N,"Form FRAME"', "FE")
    job += lines("V00,12,L", '"Batch name"', "C0,6,R,+1", ',"Serial"', "")
    job += lines('FR"FRAME"', "T12,60,0,3,1,1,N,V00", "B12,100,0,3,1,3,40,B,C0")
    job += b"GW240,60,3,16" + bitmap
    job += lines("", "P1", "N", 'FR"FRAME"', 'T12,60,0,3,1,1,R,"Second label"', "P1,2")
    return job


def main():
    for name, job in (("text", text_job()), ("lines", lines_job()), ("barcodes", barcode_job()),
                      ("pdf417", pdf417_job()), ("forms", forms_job())):
        with open(os.path.join(HERE, name + ".prn"), "wb") as f:
            f.write(job)


if __name__ == "__main__":
    main()
