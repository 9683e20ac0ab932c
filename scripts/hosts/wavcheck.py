#!/usr/bin/env python3
"""Checks that a host's render of the phrase has the right pitches and a sane level.

usage: wavcheck.py WAV [--phrase FILE] [--align] [--cents C] [--min-rms-db DB]

For every note of the phrase (default: phrase.txt beside this script) it
measures the fundamental in the middle of the note and its RMS level, and
fails (exit 1) when a pitch is further than C cents (default 50, a quarter
tone) from the note's equal-tempered frequency (A4 = 440 Hz), when a note is
quieter than DB dBFS (default -50), when the file holds a non-finite sample,
or when it clips (a sample at or beyond full scale).

--align is for recordings that start at an unknown point of a looping
phrase (jack_rec under jack_midiseq): the phrase is taken to start at the
first onset after at least 0.3 s of silence that follows some sound.

Reads 16/24/32-bit integer and 32-bit float WAV (also WAVE_FORMAT_EXTENSIBLE),
all channels averaged. Standard library only.
"""
import argparse
import cmath
import math
import os
import struct
import sys

PCM, FLOAT, EXTENSIBLE = 1, 3, 0xFFFE


def read_wav(path):
    """Returns (rate, mono samples as floats in [-1, 1], was_float)."""
    with open(path, "rb") as f:
        data = f.read()
    if data[:4] != b"RIFF" or data[8:12] != b"WAVE":
        raise ValueError("not a RIFF/WAVE file")
    pos, fmt, body = 12, None, None
    while pos + 8 <= len(data):
        cid, size = data[pos:pos + 4], struct.unpack_from("<I", data, pos + 4)[0]
        chunk = data[pos + 8:pos + 8 + size]
        if cid == b"fmt ":
            fmt = chunk
        elif cid == b"data":
            body = chunk
        pos += 8 + size + (size & 1)
    if fmt is None or body is None:
        raise ValueError("no fmt or data chunk")
    tag, channels, rate = struct.unpack_from("<HHI", fmt, 0)
    bits = struct.unpack_from("<H", fmt, 14)[0]
    if tag == EXTENSIBLE:
        tag = struct.unpack_from("<H", fmt, 24)[0]
    width = bits // 8
    frames = len(body) // (width * channels)
    if tag == FLOAT and bits == 32:
        values = struct.unpack_from("<%df" % (frames * channels), body)
    elif tag == PCM and bits in (16, 32):
        code = "h" if bits == 16 else "i"
        scale = float(1 << (bits - 1))
        values = [v / scale for v in struct.unpack_from("<%d%s" % (frames * channels, code), body)]
    elif tag == PCM and bits == 24:
        values = [int.from_bytes(body[i:i + 3], "little", signed=True) / 8388608.0
                  for i in range(0, frames * channels * 3, 3)]
    else:
        raise ValueError("unsupported WAV encoding (tag %d, %d bits)" % (tag, bits))
    mono = [sum(values[i:i + channels]) / channels for i in range(0, frames * channels, channels)]
    peak = max((abs(v) for v in values), default=0.0)
    finite = all(math.isfinite(v) for v in values)
    return rate, mono, peak, finite, tag == FLOAT


def read_phrase(path):
    notes = []
    with open(path) as f:
        for line in f:
            line = line.split("#", 1)[0].split()
            if line:
                start, length, note = float(line[0]), float(line[1]), int(line[2])
                notes.append((start, length, note))
    if not notes:
        raise ValueError("phrase %s has no notes" % path)
    return notes


def db(x):
    return 20.0 * math.log10(x) if x > 0 else -math.inf


def fft(x):
    """Iterative radix-2 FFT of a list whose length is a power of two."""
    n = len(x)
    a = list(x)
    j = 0
    for i in range(1, n):
        bit = n >> 1
        while j & bit:
            j ^= bit
            bit >>= 1
        j |= bit
        if i < j:
            a[i], a[j] = a[j], a[i]
    size = 2
    while size <= n:
        step = cmath.exp(-2j * math.pi / size)
        for start in range(0, n, size):
            w = 1.0
            for k in range(start, start + size // 2):
                t = w * a[k + size // 2]
                a[k + size // 2] = a[k] - t
                a[k] = a[k] + t
                w *= step
        size *= 2
    return a


def fundamental(samples, rate):
    """Fundamental frequency of a steady tone: the strongest spectral peak,
    moved down to a subharmonic that is itself strong (within 10 dB), so a
    tone whose second harmonic happens to be loudest is not read an octave
    high. Parabolic interpolation on the log magnitude refines the bin."""
    n = 1
    while n * 2 <= len(samples) and n < 16384:
        n *= 2
    mid = (len(samples) - n) // 2
    frame = [s * (0.5 - 0.5 * math.cos(2 * math.pi * i / n)) for i, s in enumerate(samples[mid:mid + n])]
    mag = [abs(c) for c in fft(frame)[:n // 2]]
    lo, hi = max(2, int(20.0 * n / rate)), min(n // 2 - 2, int(5000.0 * n / rate))
    peak = max(range(lo, hi), key=lambda k: mag[k])

    def refined(k):
        a, b, c = (math.log(mag[k + d] + 1e-30) for d in (-1, 0, 1))
        denom = a - 2 * b + c
        return (k + (0.5 * (a - c) / denom if denom else 0.0)) * rate / n

    best = peak
    for div in (4, 3, 2):
        k = round(peak / div)
        if k >= lo:
            k = max(range(k - 2, k + 3), key=lambda i: mag[i])
            if mag[k] >= mag[peak] * 0.316:
                best = k
                break
    return refined(best)


def phrase_start(mono, rate):
    """Time of the first onset that follows at least 0.3 s of silence heard
    after some sound. Silence at the head of the file proves no rest: a
    recorder writes zeros until its ports are connected, which on a loaded
    machine can take longer than the rest itself, and the sound it then
    hears may be the middle of the phrase."""
    hop = rate // 100
    env = [max(abs(v) for v in mono[i:i + hop]) for i in range(0, len(mono) - hop, hop)]
    threshold = max(1e-3, max(env, default=0.0) * 0.01)
    quiet = None  # None until the first sound
    for i, e in enumerate(env):
        if e < threshold:
            if quiet is not None:
                quiet += 1
        elif quiet is not None and quiet >= 30:
            return i * hop / rate
        else:
            quiet = 0
    raise ValueError("no phrase start after silence found (is the recording long enough?)")


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    ap = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    ap.add_argument("wav")
    ap.add_argument("--phrase", default=os.path.join(here, "phrase.txt"))
    ap.add_argument("--align", action="store_true")
    ap.add_argument("--cents", type=float, default=50.0)
    ap.add_argument("--min-rms-db", type=float, default=-50.0)
    args = ap.parse_args()

    try:
        rate, mono, peak, finite, is_float = read_wav(args.wav)
        notes = read_phrase(args.phrase)
        offset = phrase_start(mono, rate) - notes[0][0] if args.align else 0.0
    except (OSError, ValueError) as e:
        print("wavcheck: %s: %s" % (args.wav, e), file=sys.stderr)
        return 1

    failures = []
    if not finite:
        failures.append("non-finite samples")
    # An integer file cannot hold an over; its full-scale value is the sign of one.
    if peak >= (1.0 if is_float else 0.9999):
        failures.append("clipping (peak %.1f dBFS)" % db(peak))
    print("wavcheck: %s: %d Hz, %.2f s, peak %.1f dBFS%s" % (
        args.wav, rate, len(mono) / rate, db(peak), ", phrase at %.3f s" % (offset + notes[0][0]) if args.align else ""))
    print("note\texpected_hz\tmeasured_hz\tcents\trms_db")
    for start, length, note in notes:
        # The middle of the note: past the attack, before the release.
        a = int((offset + start + 0.15 * length) * rate)
        b = int((offset + start + 0.85 * length) * rate)
        if a < 0 or b > len(mono) or b - a < 1024:
            failures.append("note %d lies outside the recording" % note)
            continue
        segment = mono[a:b]
        rms = math.sqrt(sum(v * v for v in segment) / len(segment))
        expected = 440.0 * 2 ** ((note - 69) / 12.0)
        measured = fundamental(segment, rate) if rms > 0 else 0.0
        cents = 1200 * math.log2(measured / expected) if measured > 0 else math.inf
        print("%d\t%.2f\t%.2f\t%+.1f\t%.1f" % (note, expected, measured, cents, db(rms)))
        if db(rms) < args.min_rms_db:
            failures.append("note %d too quiet (%.1f dBFS)" % (note, db(rms)))
        elif abs(cents) > args.cents:
            failures.append("note %d at %.1f Hz, expected %.1f Hz" % (note, measured, expected))
    if failures:
        print("wavcheck: FAILED: " + "; ".join(failures), file=sys.stderr)
        return 1
    print("wavcheck: ok")
    return 0


if __name__ == "__main__":
    sys.exit(main())
