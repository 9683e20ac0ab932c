#!/usr/bin/python3
"""Writes the Standard MIDI Files the main job and the documentation play
through veldane-render, and the benchmark's long song:

  phrase.mid      one short phrase (three notes, then a four-note chord), the
                  same for every patch, for the spectrogram collage
  demo-song.mid   a short song in four parts, one MIDI channel each (1 bass,
                  2 chords, 3 lead, 4 arpeggio), format 1 with a tempo map
                  (a ritardando into the last chord), pitch bends on the lead
  --bench FILE    three minutes of eight-note chords that overlap, so all
                  eight voices sound throughout (not committed; scripts/bench.sh
                  writes it into the build tree)

phrase.mid and demo-song.mid are committed; run this again after changing it.
"""
import os
import struct
import sys

here = os.path.dirname(os.path.abspath(__file__))
PPQ = 480  # ticks per quarter note


def vlq(value):
    out = [value & 0x7F]
    value >>= 7
    while value:
        out.insert(0, 0x80 | (value & 0x7F))
        value >>= 7
    return bytes(out)


def track(events):
    """events: (tick, bytes) in any order; written sorted, with delta times and
    running status where the status repeats, ended by end-of-track."""
    data = b""
    now = 0
    status = None
    for tick, message in sorted(events, key=lambda e: e[0]):
        data += vlq(tick - now)
        now = tick
        if message[0] < 0xF0 and message[0] == status:
            data += message[1:]
        else:
            data += message
            status = message[0] if message[0] < 0xF0 else None
    data += vlq(0) + b"\xff\x2f\x00"
    return b"MTrk" + struct.pack(">I", len(data)) + data


def smf(tracks):
    fmt = 0 if len(tracks) == 1 else 1
    return b"MThd" + struct.pack(">IHHH", 6, fmt, len(tracks), PPQ) + b"".join(tracks)


def tempo(tick, bpm):
    return (tick, b"\xff\x51\x03" + struct.pack(">I", round(60e6 / bpm))[1:])


def note(events, channel, start, length, key, velocity=100):
    events.append((start, bytes([0x90 | channel - 1, key, velocity])))
    # Note-offs as note-ons of velocity 0, as many sequencers write them.
    events.append((start + length, bytes([0x90 | channel - 1, key, 0])))


def bend(events, channel, tick, value):
    v = value + 8192
    events.append((tick, bytes([0xE0 | channel - 1, v & 0x7F, v >> 7])))


def write(path, data):
    with open(path, "wb") as f:
        f.write(data)


def phrase():
    q = PPQ
    events = []
    for i, key in enumerate((48, 55, 60)):
        note(events, 1, i * q, q * 3 // 4, key)
    for key in (57, 60, 64, 67):
        note(events, 1, 3 * q, 3 * q, key)
    # The last track event a bar and a half later leaves room for the release.
    events.append((8 * q, b"\xff\x01\x04tail"))
    return smf([track([tempo(0, 120)] + events)])


def demo_song():
    bar = 4 * PPQ
    # A minor, F major, C major, G major; twice, then A minor to end.
    chords = [(57, 60, 64), (53, 57, 60), (55, 60, 64), (55, 59, 62)] * 2 + [(57, 60, 64)]
    roots = [33, 29, 36, 31] * 2 + [33]
    meta = [tempo(0, 112), tempo(8 * bar, 100), tempo(8 * bar + 2 * PPQ, 84)]
    bass, pads, lead, arp = [], [], [], []
    for n, (chord, root) in enumerate(zip(chords, roots)):
        start = n * bar
        last = n == len(chords) - 1
        for beat in range(1 if last else 4):
            # Eighth-note pairs: the root, then its octave on the off-beat.
            t = start + beat * PPQ
            note(bass, 1, t, PPQ // 2 - 20, root)
            if not last:
                note(bass, 1, t + PPQ // 2, PPQ // 2 - 40, root + 12, 90)
        for key in chord:
            note(pads, 2, start, 2 * bar if last else bar - 10, key, 80)
        if n >= 1 and not last:
            for i in range(8):
                key = chord[i % 3] + 12 * (1 + i // 3 % 2)
                note(arp, 4, start + i * PPQ // 2, PPQ // 2 - 30, key, 70)
    # The lead enters in the second half: a legato line (each note overlaps the
    # next), a bend up into its high note and back, and a held last note.
    line = [(4, 0, 76), (4, 2, 74), (4, 3, 72), (5, 0, 69), (5, 2, 72), (6, 0, 76), (6, 1, 79),
            (6, 2, 81), (7, 0, 79), (7, 2, 76), (7, 3, 74)]
    for i, (b, beat, key) in enumerate(line):
        t = b * bar + beat * PPQ
        end = (line[i + 1][0] * bar + line[i + 1][1] * PPQ) if i + 1 < len(line) else 8 * bar
        note(lead, 3, t, end - t + 30, key, 96)
    bend(lead, 3, 6 * bar + 2 * PPQ + PPQ // 2, 4096)
    bend(lead, 3, 6 * bar + 3 * PPQ, 0)
    note(lead, 3, 8 * bar, 2 * bar, 76, 96)
    return smf([track(meta), track(bass), track(pads), track(lead), track(arp)])


def bench_song(seconds=180.0, bpm=120):
    # A new eight-note chord every two beats, each held for three, so one
    # chord's release overlaps the next and every voice is busy.
    events = []
    chord = [36, 43, 48, 52, 55, 59, 62, 67]
    beats = int(seconds * bpm / 60)
    for i in range(0, beats, 2):
        shift = (i // 2) % 5 - 2
        for key in chord:
            note(events, 1, i * PPQ, 3 * PPQ, key + shift, 90)
    events.append((beats * PPQ, b"\xff\x01\x03end"))
    return smf([track([tempo(0, bpm)] + events)])


if __name__ == "__main__":
    if len(sys.argv) == 3 and sys.argv[1] == "--bench":
        write(sys.argv[2], bench_song())
    elif len(sys.argv) == 1:
        write(os.path.join(here, "phrase.mid"), phrase())
        write(os.path.join(here, "demo-song.mid"), demo_song())
    else:
        sys.exit("usage: make_songs.py [--bench FILE]")
