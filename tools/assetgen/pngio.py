# tools/assetgen/pngio.py: writes and reads the palette PNG files the intro embeds.
#
# The writer produces exactly the chunk list the intro's images carry (IHDR, PLTE, tRNS, IDAT,
# IEND), non-interlaced, filter type 0 on every row, deflated at level 9, so the same pixels
# always give the same bytes. The reader is for previews and checks: it accepts any
# non-interlaced palette PNG with any row filter.
import struct
import zlib

SIGNATURE = b"\x89PNG\r\n\x1a\n"


def _chunk(kind, payload):
    body = kind + payload
    return struct.pack(">I", len(payload)) + body + struct.pack(">I", zlib.crc32(body))


def _pack_row(row, depth):
    """Packs one row of palette indices at 'depth' bits per pixel, leftmost pixel in the high bits."""
    if depth == 8:
        return bytes(row)
    per_byte = 8 // depth
    out = bytearray((len(row) + per_byte - 1) // per_byte)
    for x, index in enumerate(row):
        shift = 8 - depth * (x % per_byte + 1)
        out[x // per_byte] |= index << shift
    return bytes(out)


def encode(width, height, depth, palette, alphas, pixels):
    """Encodes 'pixels' (rows of palette indices) as a palette PNG.

    'palette' is a list of (r, g, b); 'alphas' the tRNS entries (alpha of indices 0, 1, ...);
    indices past the end of 'alphas' are opaque."""
    assert depth in (1, 2, 4, 8)
    assert 1 <= len(palette) <= (1 << depth)
    assert 1 <= len(alphas) <= len(palette)
    assert len(pixels) == height and all(len(r) == width for r in pixels)
    assert all(0 <= i < len(palette) for r in pixels for i in r)
    raw = b"".join(b"\x00" + _pack_row(r, depth) for r in pixels)
    ihdr = struct.pack(">IIBBBBB", width, height, depth, 3, 0, 0, 0)
    plte = b"".join(bytes(c) for c in palette)
    return (SIGNATURE + _chunk(b"IHDR", ihdr) + _chunk(b"PLTE", plte)
            + _chunk(b"tRNS", bytes(alphas)) + _chunk(b"IDAT", zlib.compress(raw, 9))
            + _chunk(b"IEND", b""))


def chunks(data):
    """Yields (kind, payload) for every chunk of a PNG file."""
    if data[:8] != SIGNATURE:
        raise ValueError("not a PNG file")
    pos = 8
    while pos < len(data):
        (length,) = struct.unpack(">I", data[pos:pos + 4])
        kind = data[pos + 4:pos + 8]
        payload = data[pos + 8:pos + 8 + length]
        (crc,) = struct.unpack(">I", data[pos + 8 + length:pos + 12 + length])
        if crc != zlib.crc32(kind + payload):
            raise ValueError("bad CRC in chunk %r" % kind)
        yield kind, payload
        pos += 12 + length


def _paeth(a, b, c):
    p = a + b - c
    pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
    if pa <= pb and pa <= pc:
        return a
    return b if pb <= pc else c


def decode(data):
    """Decodes a non-interlaced palette PNG into (width, height, palette, alphas, rows)."""
    found = dict()
    idat = b""
    for kind, payload in chunks(data):
        if kind == b"IDAT":
            idat += payload
        else:
            found[kind] = payload
    width, height, depth, colour_type, _, _, interlace = struct.unpack(">IIBBBBB", found[b"IHDR"])
    if colour_type != 3 or interlace != 0:
        raise ValueError("only non-interlaced palette images are read")
    plte = found[b"PLTE"]
    palette = [tuple(plte[i:i + 3]) for i in range(0, len(plte), 3)]
    alphas = list(found.get(b"tRNS", b""))
    raw = zlib.decompress(idat)
    stride = (width * depth + 7) // 8
    prev = bytearray(stride)
    rows = []
    pos = 0
    for _ in range(height):
        kind = raw[pos]
        line = bytearray(raw[pos + 1:pos + 1 + stride])
        pos += 1 + stride
        for i in range(stride):
            left = line[i - 1] if i >= 1 else 0
            up = prev[i]
            upleft = prev[i - 1] if i >= 1 else 0
            if kind == 1:
                line[i] = (line[i] + left) & 255
            elif kind == 2:
                line[i] = (line[i] + up) & 255
            elif kind == 3:
                line[i] = (line[i] + (left + up) // 2) & 255
            elif kind == 4:
                line[i] = (line[i] + _paeth(left, up, upleft)) & 255
        prev = line
        if depth == 8:
            rows.append(list(line))
        else:
            per_byte = 8 // depth
            mask = (1 << depth) - 1
            rows.append([(line[x // per_byte] >> (8 - depth * (x % per_byte + 1))) & mask
                         for x in range(width)])
    return width, height, palette, alphas, rows
