#!/usr/bin/env python3
"""Turns the text artwork in res/art/ into the resource files windres takes.

    artwork.py strip SOURCE.txt OUT.bmp
    artwork.py icon SOURCE.txt OUT.ico
    artwork.py cursor SOURCE.txt OUT.cur

A strip source holds frames of equal size separated by blank lines, one
character per pixel, in the standard 16-colour palette (see PALETTE16). The
frames are put side by side, left to right, into a 4-bit uncompressed BMP.

An icon source holds square images of different sizes, separated by blank
lines, in the colours of ICON_COLOURS (a blank is transparent). Each image
goes into the .ico twice: in 256 colours with a mask, and in 32-bit colour
with alpha.

A cursor source holds one monochrome image ('#' black, 'w' white, a blank
transparent) and a line "hotspot X Y".
"""
import struct
import sys

# Character -> (index, (r, g, b)) in the standard 16-colour palette.
PALETTE16 = {
    '#': (0, (0, 0, 0)),         # black
    'm': (1, (128, 0, 0)),       # maroon
    'd': (2, (0, 128, 0)),       # dark green
    'o': (3, (128, 128, 0)),     # olive
    'n': (4, (0, 0, 128)),       # navy
    'p': (5, (128, 0, 128)),     # purple
    't': (6, (0, 128, 128)),     # teal
    's': (7, (192, 192, 192)),   # silver
    'g': (8, (128, 128, 128)),   # grey
    'r': (9, (255, 0, 0)),       # red
    '.': (10, (0, 255, 0)),      # pure green: transparent where a mask is used
    'y': (11, (255, 255, 0)),    # yellow
    'b': (12, (0, 0, 255)),      # blue
    'f': (13, (255, 0, 255)),    # fuchsia
    'a': (14, (0, 255, 255)),    # aqua
    'w': (15, (255, 255, 255)),  # white
}


# Character -> (r, g, b) for icons; ' ' is transparent.
ICON_COLOURS = {
    '#': (48, 48, 56),       # window frame
    'a': (96, 144, 240),     # title bar, light edge
    'b': (24, 72, 200),      # title bar
    'k': (0, 0, 0),          # console area
    'w': (255, 255, 255),    # prompt text and cursor
    's': (176, 176, 176),    # title bar button
}


def read_frames(path, legend=PALETTE16):
    frames, current = [], []
    with open(path, encoding='ascii') as f:
        for number, line in enumerate(f, 1):
            line = line.rstrip('\n')
            if line.startswith(';'):
                continue  # a comment
            if not line:
                if current:
                    frames.append(current)
                    current = []
                continue
            bad = set(line) - set(legend) - ({' '} if legend is ICON_COLOURS else set())
            if bad:
                sys.exit(f'{path}:{number}: unknown colour characters {sorted(bad)}')
            current.append(line)
    if current:
        frames.append(current)
    if not frames:
        sys.exit(f'{path}: no frames')
    if legend is PALETTE16:
        height, width = len(frames[0]), len(frames[0][0])
        for i, frame in enumerate(frames):
            if len(frame) != height or any(len(row) != width for row in frame):
                sys.exit(f'{path}: frame {i} is not {width} x {height}')
    else:
        for i, frame in enumerate(frames):
            if any(len(row) != len(frame) for row in frame):
                sys.exit(f'{path}: image {i} is not square')
    return frames


def bmp4(rows):
    """A bottom-up 4 bits-per-pixel BMP of rows (lists of palette indices)."""
    height, width = len(rows), len(rows[0])
    stride = ((width * 4 + 31) // 32) * 4
    pixels = bytearray()
    for row in reversed(rows):
        line = bytearray()
        for x in range(0, width, 2):
            hi = row[x]
            lo = row[x + 1] if x + 1 < width else 0
            line.append(hi << 4 | lo)
        line.extend(b'\0' * (stride - len(line)))
        pixels += line
    palette = bytearray()
    for _, (index, (r, g, b)) in sorted(PALETTE16.items(), key=lambda kv: kv[1][0]):
        palette += bytes((b, g, r, 0))
    info = struct.pack('<IiiHHIIiiII', 40, width, height, 1, 4, 0, len(pixels), 2835, 2835, 16, 0)
    offset = 14 + len(info) + len(palette)
    header = struct.pack('<2sIHHI', b'BM', offset + len(pixels), 0, 0, offset)
    return header + info + palette + pixels


def strip(source, out):
    frames = read_frames(source)
    rows = []
    for y in range(len(frames[0])):
        rows.append([PALETTE16[ch][0] for frame in frames for ch in frame[y]])
    with open(out, 'wb') as f:
        f.write(bmp4(rows))


def mask_rows(image):
    """The 1-bit AND mask, bottom-up: 1 where the pixel is transparent."""
    size = len(image)
    stride = ((size + 31) // 32) * 4
    data = bytearray()
    for row in reversed(image):
        bits = bytearray(stride)
        for x, ch in enumerate(row):
            if ch == ' ':
                bits[x // 8] |= 0x80 >> (x % 8)
        data += bits
    return data


def icon_image_8bit(image):
    size = len(image)
    colours = sorted({ICON_COLOURS[ch] for row in image for ch in row if ch != ' '})
    index = {c: i for i, c in enumerate(colours)}
    palette = bytearray()
    for i in range(256):
        r, g, b = colours[i] if i < len(colours) else (0, 0, 0)
        palette += bytes((b, g, r, 0))
    stride = ((size * 8 + 31) // 32) * 4
    pixels = bytearray()
    for row in reversed(image):
        line = bytearray(index[ICON_COLOURS[ch]] if ch != ' ' else 0 for ch in row)
        pixels += line + bytes(stride - len(line))
    info = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 8, 0, len(pixels), 0, 0, 256, 0)
    return info + palette + pixels + mask_rows(image)


def icon_image_32bit(image):
    size = len(image)
    pixels = bytearray()
    for row in reversed(image):
        for ch in row:
            if ch == ' ':
                pixels += bytes(4)
            else:
                r, g, b = ICON_COLOURS[ch]
                pixels += bytes((b, g, r, 255))
    info = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 32, 0, len(pixels), 0, 0, 0, 0)
    return info + pixels + mask_rows(image)


def icon(source, out):
    images = read_frames(source, ICON_COLOURS)
    entries = []
    for image in images:
        entries.append((len(image), 8, icon_image_8bit(image)))
    for image in images:
        entries.append((len(image), 32, icon_image_32bit(image)))
    offset = 6 + 16 * len(entries)
    directory = struct.pack('<HHH', 0, 1, len(entries))
    data = bytearray()
    for size, bits, blob in entries:
        directory += struct.pack('<BBBBHHII', size % 256, size % 256, 0, 0, 1, bits, len(blob), offset + len(data))
        data += blob
    with open(out, 'wb') as f:
        f.write(directory + data)


CURSOR_COLOURS = {'#': (0, 0, 0), 'w': (255, 255, 255)}


def cursor(source, out):
    hotspot = None
    rows = []
    with open(source, encoding='ascii') as f:
        for number, line in enumerate(f, 1):
            line = line.rstrip('\n')
            if line.startswith(';') or not line:
                continue
            if line.startswith('hotspot '):
                hotspot = tuple(int(v) for v in line.split()[1:3])
                continue
            bad = set(line) - set(CURSOR_COLOURS) - {' '}
            if bad:
                sys.exit(f'{source}:{number}: unknown colour characters {sorted(bad)}')
            rows.append(line)
    size = len(rows)
    if hotspot is None or any(len(r) != size for r in rows):
        sys.exit(f'{source}: needs a square image and a hotspot line')
    stride = ((size + 31) // 32) * 4
    xor = bytearray()
    for row in reversed(rows):
        bits = bytearray(stride)
        for x, ch in enumerate(row):
            if ch == 'w':
                bits[x // 8] |= 0x80 >> (x % 8)
        xor += bits
    palette = bytes((0, 0, 0, 0, 255, 255, 255, 0))
    info = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 1, 0, len(xor) * 2, 0, 0, 2, 0)
    blob = info + palette + xor + mask_rows(rows)
    header = struct.pack('<HHH', 0, 2, 1)
    entry = struct.pack('<BBBBHHII', size % 256, size % 256, 2, 0, hotspot[0], hotspot[1], len(blob), 6 + 16)
    with open(out, 'wb') as f:
        f.write(header + entry + blob)


def main(argv):
    if len(argv) == 4 and argv[1] == 'strip':
        strip(argv[2], argv[3])
    elif len(argv) == 4 and argv[1] == 'icon':
        icon(argv[2], argv[3])
    elif len(argv) == 4 and argv[1] == 'cursor':
        cursor(argv[2], argv[3])
    else:
        sys.exit(__doc__)


if __name__ == '__main__':
    main(sys.argv)
