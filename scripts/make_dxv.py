#!/usr/bin/env python3
"""Writes a .dxv film without a running engine: the engine's "cin_encode" needs a
renderer that loads images and a sound system that loads WAV files, which the shipped
dedicated engine does not have.

  make_dxv.py OUT.dxv IMAGE.tga...     one frame per image (400 x 300, uncompressed
                                       24- or 32-bit TGA), in the order given
  make_dxv.py OUT.dxv --pattern N      N frames of a moving test pattern

Optional: --sound FILE.wav (mono 16-bit PCM) fills the blocks' sound as cin_encode
does: 5,100 samples in the first block, 1,700 in each later one, each sample stored as
left and right alike.

.dxv file, 32-bit little-endian integers: the frame count, then per frame its size n
and n bytes of a run-length coded block of 141,172 bytes: a palette of 256 R, G, B
entries, 400 x 300 palette indexes (top row first), the number of sound frames (u32)
and room for 5,100 stereo frames of two signed 16-bit samples.  The palette holds the
256 fullest bins of a 5-bit-per-channel histogram (the lowest bin first on ties); each
pixel takes the nearest entry (the lowest on ties), as cin_encode chooses them.
"""
import struct
import sys

WIDTH, HEIGHT = 400, 300
PIXELS = WIDTH * HEIGHT
SOUND_ROOM = 5100
FIRST_SOUND, LATER_SOUND = 5100, 1700
BINS = 32 * 32 * 32


def run_length_encode(data):
    """A control byte c below 128 is followed by c literal bytes; c of 128 or more by
    one byte repeated c - 128 times.  Groups hold at most 127 bytes."""
    out = bytearray()
    literal = bytearray()
    i, n = 0, len(data)
    while i < n:
        run = 1
        while i + run < n and run < 127 and data[i + run] == data[i]:
            run += 1
        if run >= 3:
            while literal:
                out.append(min(len(literal), 127))
                out += literal[:127]
                del literal[:127]
            out += bytes([128 + run, data[i]])
            i += run
        else:
            literal += data[i:i + run]
            i += run
    while literal:
        out.append(min(len(literal), 127))
        out += literal[:127]
        del literal[:127]
    return bytes(out)


def bin_of(r, g, b):
    return (b >> 3) * 1024 + (g >> 3) * 32 + (r >> 3)


def palette_of(pixels):
    counts = [0] * BINS
    for p in pixels:
        counts[bin_of(*p)] += 1
    # The fullest bins first, the lowest bin number on ties; empty bins follow in order.
    order = sorted(range(BINS), key=lambda b: (-counts[b], b))[:256]
    return [((b % 32) * 8, ((b // 32) % 32) * 8, (b // 1024) * 8) for b in order]


def nearest(p, palette):
    best, best_d = 0, None
    for e, q in enumerate(palette):
        d = (p[0] - q[0]) ** 2 + (p[1] - q[1]) ** 2 + (p[2] - q[2]) ** 2
        if best_d is None or d < best_d:
            best, best_d = e, d
    return best


def block(pixels, sound, frames):
    palette = palette_of(pixels)
    memo = {}
    indexes = bytearray(PIXELS)
    for i, p in enumerate(pixels):
        if p not in memo:
            memo[p] = nearest(p, palette)
        indexes[i] = memo[p]
    out = bytearray()
    for q in palette:
        out += bytes(q)
    out += indexes
    out += struct.pack("<I", frames)
    room = bytearray(SOUND_ROOM * 4)
    for i, s in enumerate(sound):
        struct.pack_into("<hh", room, 4 * i, s, s)
    return bytes(out + room)


def read_tga(path):
    data = open(path, "rb").read()
    id_length, _, kind = data[0], data[1], data[2]
    width, height, bits, descriptor = struct.unpack_from("<HHBB", data, 12)
    if kind != 2 or bits not in (24, 32) or (width, height) != (WIDTH, HEIGHT):
        sys.exit(f"{path}: not an uncompressed {WIDTH} x {HEIGHT} true-colour TGA")
    step = bits // 8
    start = 18 + id_length
    rows = []
    for y in range(HEIGHT):
        at = start + y * WIDTH * step
        rows.append([(data[at + x * step + 2], data[at + x * step + 1], data[at + x * step])
                     for x in range(WIDTH)])
    if not descriptor & 0x20:  # bottom row stored first
        rows.reverse()
    return [p for row in rows for p in row]


def read_wav(path):
    data = open(path, "rb").read()
    if data[:4] != b"RIFF" or data[8:12] != b"WAVE":
        sys.exit(f"{path}: not a WAV file")
    pos, mono16 = 12, False
    while pos + 8 <= len(data):
        tag, size = data[pos:pos + 4], struct.unpack_from("<I", data, pos + 4)[0]
        body = data[pos + 8:pos + 8 + size]
        if tag == b"fmt ":
            fmt, channels = struct.unpack_from("<HH", body)
            mono16 = fmt == 1 and channels == 1 and struct.unpack_from("<H", body, 14)[0] == 16
        elif tag == b"data" and mono16:
            return list(struct.unpack_from("<%dh" % (len(body) // 2), body))
        pos += 8 + size + (size & 1)
    sys.exit(f"{path}: not mono 16-bit PCM")


def pattern(frame):
    """Eight colour bars that move one bar width every eight frames, on a dark ground."""
    bars = [(248, 248, 248), (248, 248, 0), (0, 248, 248), (0, 248, 0),
            (248, 0, 248), (248, 0, 0), (0, 0, 248), (16, 16, 16)]
    shift = frame // 8
    row = [bars[(x * 8 // WIDTH + shift) % 8] for x in range(WIDTH)]
    return [p for y in range(HEIGHT) for p in (row if y < HEIGHT * 2 // 3 else [(16, 16, 16)] * WIDTH)]


def main(argv):
    args = list(argv[1:])
    sound = []
    if "--sound" in args:
        at = args.index("--sound")
        sound = read_wav(args[at + 1])
        del args[at:at + 2]
    if len(args) < 2:
        sys.exit(__doc__)
    out = args[0]
    if args[1] == "--pattern":
        frames = [pattern(f) for f in range(int(args[2]))]
    else:
        frames = [read_tga(path) for path in args[1:]]
    cursor = 0
    with open(out, "wb") as f:
        f.write(struct.pack("<I", len(frames)))
        for n, pixels in enumerate(frames):
            count = FIRST_SOUND if n == 0 else LATER_SOUND
            samples = sound[cursor:cursor + count]
            cursor += len(samples)
            coded = run_length_encode(block(pixels, samples, count))
            f.write(struct.pack("<I", len(coded)) + coded)


if __name__ == "__main__":
    main(sys.argv)
