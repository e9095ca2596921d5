"""Minimal PNG writer and strict reader (8-bit RGBA and the common colour types).

Standard library only: zlib for the image data, struct for the chunks.
"""

import struct
import zlib

PNG_SIGNATURE = b"\x89PNG\r\n\x1a\n"


class PngError(Exception):
    pass


def _chunk(kind, data):
    body = kind + data
    return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)


def _paeth(a, b, c):
    p = a + b - c
    pa = abs(p - a)
    pb = abs(p - b)
    pc = abs(p - c)
    if pa <= pb and pa <= pc:
        return a
    if pb <= pc:
        return b
    return c


def _filter_row(kind, row, prev, bpp):
    n = len(row)
    if kind == 0:
        return bytes(row)
    out = bytearray(n)
    if kind == 1:
        for i in range(n):
            left = row[i - bpp] if i >= bpp else 0
            out[i] = (row[i] - left) & 0xFF
    elif kind == 2:
        for i in range(n):
            out[i] = (row[i] - prev[i]) & 0xFF
    elif kind == 3:
        for i in range(n):
            left = row[i - bpp] if i >= bpp else 0
            out[i] = (row[i] - ((left + prev[i]) >> 1)) & 0xFF
    else:
        for i in range(n):
            left = row[i - bpp] if i >= bpp else 0
            upleft = prev[i - bpp] if i >= bpp else 0
            out[i] = (row[i] - _paeth(left, prev[i], upleft)) & 0xFF
    return bytes(out)


def _score(filtered):
    # The usual heuristic: smallest sum of the bytes read as signed values.
    return sum(b if b < 128 else 256 - b for b in filtered)


def encode_png(width, height, rgba):
    """Encodes 8-bit RGBA pixels (bytes of length width*height*4) as a PNG."""
    if len(rgba) != width * height * 4:
        raise ValueError("pixel buffer does not match the size")
    stride = width * 4
    raw = bytearray()
    prev = bytes(stride)
    for y in range(height):
        row = rgba[y * stride:(y + 1) * stride]
        best = None
        for kind in (0, 1, 2, 4):
            candidate = _filter_row(kind, row, prev, 4)
            score = _score(candidate)
            if best is None or score < best[0]:
                best = (score, kind, candidate)
        raw.append(best[1])
        raw += best[2]
        prev = row
    ihdr = struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0)
    return (PNG_SIGNATURE + _chunk(b"IHDR", ihdr) +
            _chunk(b"IDAT", zlib.compress(bytes(raw), 9)) + _chunk(b"IEND", b""))


def write_png(path, width, height, rgba):
    with open(path, "wb") as f:
        f.write(encode_png(width, height, rgba))


_CHANNELS = {0: 1, 2: 3, 3: 1, 4: 2, 6: 4}


def decode_png(data, pixels=True):
    """Checks a PNG thoroughly and returns (width, height, RGBA bytes or None).

    Every chunk's CRC is verified, IHDR must come first and IEND last, the
    image data must inflate to exactly the size the header implies and every
    filter byte must be valid. Supports 8-bit grey, RGB, palette, grey+alpha
    and RGBA without interlacing, which is all the skins use. With pixels
    False the rows are checked but not unfiltered (much faster).
    """
    if not data.startswith(PNG_SIGNATURE):
        raise PngError("not a PNG signature")
    pos = len(PNG_SIGNATURE)
    chunks = []
    while pos < len(data):
        if pos + 8 > len(data):
            raise PngError("truncated chunk header")
        length, kind = struct.unpack(">I4s", data[pos:pos + 8])
        end = pos + 8 + length + 4
        if end > len(data):
            raise PngError("truncated chunk %r" % kind)
        body = data[pos + 4:pos + 8 + length]
        (crc,) = struct.unpack(">I", data[end - 4:end])
        if zlib.crc32(body) & 0xFFFFFFFF != crc:
            raise PngError("bad CRC in chunk %r" % kind)
        chunks.append((kind, body[4:]))
        pos = end
        if kind == b"IEND":
            break
    if pos != len(data):
        raise PngError("bytes after IEND")
    if not chunks or chunks[0][0] != b"IHDR" or chunks[-1][0] != b"IEND":
        raise PngError("IHDR must come first and IEND last")
    width, height, depth, colour, comp, filt, interlace = struct.unpack(">IIBBBBB", chunks[0][1])
    if width == 0 or height == 0:
        raise PngError("empty image")
    if depth != 8 or colour not in _CHANNELS or comp or filt or interlace:
        raise PngError("unsupported format depth=%d colour=%d interlace=%d" % (depth, colour, interlace))
    palette = None
    transparency = None
    idat = bytearray()
    for kind, body in chunks[1:-1]:
        if kind == b"IDAT":
            idat += body
        elif kind == b"PLTE":
            palette = body
        elif kind == b"tRNS":
            transparency = body
    try:
        raw = zlib.decompress(bytes(idat))
    except zlib.error as e:
        raise PngError("image data does not inflate: %s" % e)
    bpp = _CHANNELS[colour]
    stride = width * bpp
    if len(raw) != height * (stride + 1):
        raise PngError("image data is %d bytes, expected %d" % (len(raw), height * (stride + 1)))
    if not pixels:
        for y in range(height):
            if raw[y * (stride + 1)] > 4:
                raise PngError("bad filter type %d in row %d" % (raw[y * (stride + 1)], y))
        return width, height, None
    out = bytearray(height * stride)
    prev = bytearray(stride)
    for y in range(height):
        kind = raw[y * (stride + 1)]
        line = bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        if kind > 4:
            raise PngError("bad filter type %d in row %d" % (kind, y))
        for i in range(stride):
            left = line[i - bpp] if i >= bpp else 0
            up = prev[i]
            upleft = prev[i - bpp] if i >= bpp else 0
            if kind == 1:
                line[i] = (line[i] + left) & 0xFF
            elif kind == 2:
                line[i] = (line[i] + up) & 0xFF
            elif kind == 3:
                line[i] = (line[i] + ((left + up) >> 1)) & 0xFF
            elif kind == 4:
                line[i] = (line[i] + _paeth(left, up, upleft)) & 0xFF
        out[y * stride:(y + 1) * stride] = line
        prev = line
    return width, height, _to_rgba(out, width * height, colour, palette, transparency)


def _to_rgba(pixels, count, colour, palette, transparency):
    if colour == 6:
        return bytes(pixels)
    out = bytearray(count * 4)
    for i in range(count):
        if colour == 0:
            g = pixels[i]
            px = (g, g, g, 255)
        elif colour == 2:
            px = (pixels[3 * i], pixels[3 * i + 1], pixels[3 * i + 2], 255)
        elif colour == 4:
            g = pixels[2 * i]
            px = (g, g, g, pixels[2 * i + 1])
        else:
            index = pixels[i]
            if palette is None or 3 * index + 3 > len(palette):
                raise PngError("palette index out of range")
            alpha = transparency[index] if transparency and index < len(transparency) else 255
            px = (palette[3 * index], palette[3 * index + 1], palette[3 * index + 2], alpha)
        out[4 * i:4 * i + 4] = bytes(px)
    return bytes(out)


def read_png(path):
    with open(path, "rb") as f:
        return decode_png(f.read())
