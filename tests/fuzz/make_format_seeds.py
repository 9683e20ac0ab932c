#!/usr/bin/python3
"""Writes the seed files of the MIDI file and preset fuzz targets: a few small
Standard MIDI Files (formats 0 and 1, running status, tempo changes, meta and
system-exclusive events, SMPTE timing), VST preset files of the owner the
preset fuzz target expects (ID 'Fuzz', four parameters) and VST 3 preset
files (a component state, with and without a controller state and meta
information). Written here with
Python's struct rather than with the readers' own counterparts, so the seeds
also check the layout independently. The files are committed."""
import os
import struct

here = os.path.dirname(os.path.abspath(__file__))


def write(folder, name, data):
    path = os.path.join(here, folder)
    os.makedirs(path, exist_ok=True)
    with open(os.path.join(path, name), "wb") as f:
        f.write(data)


# --- Standard MIDI Files ---------------------------------------------------

def vlq(value):
    out = [value & 0x7F]
    value >>= 7
    while value:
        out.insert(0, 0x80 | (value & 0x7F))
        value >>= 7
    return bytes(out)


def chunk(kind, body):
    return kind + struct.pack(">I", len(body)) + body


def smf(fmt, division, tracks):
    return chunk(b"MThd", struct.pack(">HHH", fmt, len(tracks), division)) + b"".join(chunk(b"MTrk", t) for t in tracks)


def tempo(delta, microseconds):
    return vlq(delta) + b"\xff\x51\x03" + struct.pack(">I", microseconds)[1:]


END = b"\x00\xff\x2f\x00"

write("midi_seeds", "format0_running_status.mid", smf(0, 96, [
    b"\x00\x90\x3c\x64" + b"\x00\x40\x5a" + vlq(96) + b"\x3c\x00" + b"\x00\x40\x00"
    + b"\x10\xc2\x05\x00\x07" + b"\x00\xe0\x00\x40\x00\xb0\x40\x7f\x00\xd0\x22\x00\xa0\x3c\x01" + END]))
write("midi_seeds", "format1_tempo_map.mid", smf(1, 480, [
    tempo(0, 500000) + tempo(960, 750000) + b"\x00\xff\x58\x04\x04\x02\x18\x08" + END,
    b"\x00\xff\x03\x04Lead" + b"\x00\x91\x48\x50" + vlq(480) + b"\x81\x48\x00" + vlq(1440) + b"\x91\x4a\x50"
    + vlq(480) + b"\x4a\x00" + END,
    b"\x00\x92\x24\x5a" + vlq(1920) + b"\x24\x00" + END,
]))
write("midi_seeds", "meta_sysex_chunks.mid",
      chunk(b"MThd", struct.pack(">HHH", 1, 2, 96)) + chunk(b"XFIH", b"\x01\x02\x03")
      + chunk(b"MTrk", b"\x00\xf0\x05\x7e\x7f\x09\x01\xf7" + b"\x00\xf7\x02\xf8\xfa" + b"\x00\x90\x3c\x40"
              + b"\x00\xff\x01\x03abc" + b"\x60\x3c\x00" + END)
      + chunk(b"MTrk", b""))
write("midi_seeds", "smpte.mid", smf(0, 0xE728, [b"\x00\x90\x3c\x64" + vlq(1000) + b"\x80\x3c\x00" + END]))

# --- VST preset files ------------------------------------------------------

FUZZ_ID = b"Fuzz"
PARAMETERS = 4


def program(name, values):
    body = b"FxCk" + struct.pack(">I", 1) + FUZZ_ID + struct.pack(">II", 1, len(values))
    body += name.encode("ascii").ljust(28, b"\0") + b"".join(struct.pack(">f", v) for v in values)
    return b"CcnK" + struct.pack(">I", len(body)) + body


def bank(programs, version=1, current=0):
    reserved = (struct.pack(">I", current) if version == 2 else b"").ljust(128, b"\0")
    body = b"FxBk" + struct.pack(">I", version) + FUZZ_ID + struct.pack(">II", 1, len(programs)) + reserved
    body += b"".join(programs)
    return b"CcnK" + struct.pack(">I", len(body)) + body


write("preset_seeds", "program.fxp", program("Seed Program", [0.0, 0.25, 0.5, 1.0]))
write("preset_seeds", "bank.fxb", bank([program("One", [0.1] * PARAMETERS), program("Two", [0.9] * PARAMETERS)]))
write("preset_seeds", "bank_v2.fxb", bank([program("Current", [0.5] * PARAMETERS)], version=2, current=0))

# --- VST 3 preset files --------------------------------------------------------

def vst3_preset(class_id, chunks):
    """'VST3', version 1, the class id as 32 hex digits, the list's offset;
    the chunks' data; the list: 'List', count, then id, offset and size."""
    header_bytes = 4 + 4 + 32 + 8
    data, entries, at = b"", b"", header_bytes
    for kind, body in chunks:
        entries += kind + struct.pack("<qq", at, len(body))
        data += body
        at += len(body)
    header = b"VST3" + struct.pack("<i", 1) + class_id.encode("ascii") + struct.pack("<q", at)
    return header + data + b"List" + struct.pack("<i", len(chunks)) + entries


CLASS = "0123456789ABCDEF0123456789ABCDEF"
INFO = b'<?xml version="1.0" encoding="utf-8"?>\n<MetaInfo>\n\t<Attr id="Name" value="Seed" type="string"/>\n</MetaInfo>\n'
write("vst3_preset_seeds", "component.vstpreset", vst3_preset(CLASS, [(b"Comp", b"state of the component")]))
write("vst3_preset_seeds", "three-chunks.vstpreset",
      vst3_preset(CLASS, [(b"Comp", b"\x01\x02\x03"), (b"Cont", b"controller"), (b"Info", INFO)]))
