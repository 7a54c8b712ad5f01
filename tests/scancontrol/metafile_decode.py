#!/usr/bin/env python3
"""An independent reader for the metafiles the control writes (WMF with a placeable
header, EMF): it walks the records as the Microsoft formats define them, finds the
bitmap record (META_STRETCHDIB / EMR_STRETCHDIBITS), decodes its DIB and writes the
pixels as raw 8-bit RGB. It prints one line:

    <kind> <width> <height> <bits per pixel> <x dpi> <y dpi>

Usage: metafile_decode.py FILE OUT.rgb
Exit status 1 with a message on any structural error.
"""
import struct
import sys


def fail(msg):
    print("metafile_decode: " + msg, file=sys.stderr)
    sys.exit(1)


def decode_dib(buf, off, end):
    if end - off < 40:
        fail("DIB header truncated")
    (size, width, height, planes, bpp, compression, image_size,
     xppm, yppm, used, _important) = struct.unpack_from("<IiiHHIIiiII", buf, off)
    if size != 40 or planes != 1 or compression != 0:
        fail("unsupported DIB header")
    if bpp not in (1, 8, 24):
        fail("unsupported bit count %d" % bpp)
    colors = used if used else (1 << bpp if bpp <= 8 else 0)
    palette = []
    p = off + 40
    for i in range(colors):
        b, g, r, _ = struct.unpack_from("<BBBB", buf, p + 4 * i)
        palette.append((r, g, b))
    p += 4 * colors
    row = ((width * bpp + 31) // 32) * 4
    rows = abs(height)
    if p + row * rows > end:
        fail("DIB bits truncated")
    out = bytearray()
    for y in range(rows):
        src_row = (rows - 1 - y) if height > 0 else y
        r0 = p + src_row * row
        for x in range(width):
            if bpp == 24:
                b, g, r = buf[r0 + 3 * x], buf[r0 + 3 * x + 1], buf[r0 + 3 * x + 2]
                out += bytes((r, g, b))
            elif bpp == 8:
                out += bytes(palette[buf[r0 + x]])
            else:
                bit = (buf[r0 + (x >> 3)] >> (7 - (x & 7))) & 1
                out += bytes(palette[bit])
    return width, rows, bpp, xppm, yppm, bytes(out)


def read_wmf(buf):
    key, = struct.unpack_from("<I", buf, 0)
    if key != 0x9AC6CDD7:
        fail("no placeable WMF header")
    words = struct.unpack_from("<10H", buf, 0)
    checksum = 0
    for w in words:
        checksum ^= w
    if checksum != struct.unpack_from("<H", buf, 20)[0]:
        fail("placeable header checksum wrong")
    left, top, right, bottom, inch = struct.unpack_from("<hhhhH", buf, 6)
    off = 22
    mtype, hsize, version, size_words, nobj, max_rec, _ = struct.unpack_from("<HHHIHIH", buf, off)
    if mtype not in (1, 2) or hsize != 9:
        fail("bad METAHEADER")
    if off + 2 * size_words != len(buf):
        fail("METAHEADER size %d words does not match the file" % size_words)
    p = off + 18
    dib = None
    largest = 0
    while p < len(buf):
        rsize, func = struct.unpack_from("<IH", buf, p)
        if rsize < 3 or p + 2 * rsize > len(buf):
            fail("bad record size at %d" % p)
        largest = max(largest, rsize)
        if func == 0x0F43:  # META_STRETCHDIB
            dib = decode_dib(buf, p + 28, p + 2 * rsize)
        if func == 0x0000:
            p += 2 * rsize
            break
        p += 2 * rsize
    if p != len(buf):
        fail("data after META_EOF")
    if largest != max_rec:
        fail("maxRecord %d but largest record %d" % (max_rec, largest))
    if dib is None:
        fail("no META_STRETCHDIB record")
    width, height, bpp, _, _, pixels = dib
    if (right - left, bottom - top) != (width, height):
        fail("bounding box does not match the bitmap")
    return width, height, bpp, inch, inch, pixels


def read_emf(buf):
    rtype, rsize = struct.unpack_from("<II", buf, 0)
    if rtype != 1:
        fail("no EMR_HEADER")
    signature, version, total, records = struct.unpack_from("<IIII", buf, 40)
    if signature != 0x464D4520 or total != len(buf):
        fail("bad EMF header")
    dev_w, dev_h, mm_w, mm_h = struct.unpack_from("<iiii", buf, 72)
    header_size = rsize
    if header_size >= 108:  # extension 2: the reference device in micrometres
        um_w, um_h = struct.unpack_from("<ii", buf, 100)
        mm_w, mm_h = um_w / 1000.0, um_h / 1000.0
    p = 0
    count = 0
    dib = None
    seen_eof = False
    while p < len(buf):
        rtype, rsize = struct.unpack_from("<II", buf, p)
        if rsize < 8 or rsize % 4 or p + rsize > len(buf):
            fail("bad record size at %d" % p)
        count += 1
        if rtype == 81:  # EMR_STRETCHDIBITS
            off_bmi, cb_bmi, off_bits, cb_bits = struct.unpack_from("<IIII", buf, p + 48)
            if off_bits != off_bmi + cb_bmi:
                fail("bits do not follow the header")
            dib = decode_dib(buf, p + off_bmi, p + off_bits + cb_bits)
        if rtype == 14:  # EMR_EOF
            seen_eof = True
        p += rsize
    if not seen_eof or count != records:
        fail("record count or EOF wrong")
    if dib is None:
        fail("no EMR_STRETCHDIBITS record")
    width, height, bpp, _, _, pixels = dib
    xdpi = dev_w / (mm_w / 25.4)
    ydpi = dev_h / (mm_h / 25.4)
    return width, height, bpp, round(xdpi), round(ydpi), pixels


def main():
    if len(sys.argv) != 3:
        fail("usage: metafile_decode.py FILE OUT.rgb")
    buf = open(sys.argv[1], "rb").read()
    if buf[:4] == b"\xd7\xcd\xc6\x9a":
        kind, result = "WMF", read_wmf(buf)
    else:
        kind, result = "EMF", read_emf(buf)
    width, height, bpp, xdpi, ydpi, pixels = result
    open(sys.argv[2], "wb").write(pixels)
    print("%s %d %d %d %d %d" % (kind, width, height, bpp, xdpi, ydpi))


if __name__ == "__main__":
    main()
