#!/usr/bin/env python3
"""Where wavcheck finds the phrase in a recording of a looping sequencer."""
import math
import os
import sys
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "scripts", "hosts"))
import wavcheck  # noqa: E402

RATE = 8000
PHRASE = [(0.0, 0.4, 57), (0.5, 0.4, 64), (1.0, 0.4, 69)]
LOOP = 2.4  # the phrase and a second of rest


def looped(first, seconds, silent_head=0.0):
    """The phrase looping, heard from `first` seconds into the loop, after
    `silent_head` seconds of zeros (a recorder not yet connected)."""
    out = []
    for i in range(int(seconds * RATE)):
        t = i / RATE - silent_head
        v = 0.0
        if t >= 0:
            p = (t + first) % LOOP
            for start, length, note in PHRASE:
                if start <= p < start + length:
                    v = 0.3 * math.sin(2 * math.pi * 440 * 2 ** ((note - 69) / 12) * p)
        out.append(v)
    return out


class PhraseStart(unittest.TestCase):
    def test_finds_the_onset_after_the_rest(self):
        for first in (0.0, 0.7, 1.9):
            found = wavcheck.phrase_start(looped(first, 6.0), RATE)
            self.assertAlmostEqual((found + first) % LOOP, 0.0, delta=0.02, msg="from %.1f s" % first)

    def test_silence_at_the_head_is_no_rest(self):
        # The recorder heard zeros for longer than a rest, then came in on
        # the second note: the phrase starts after the real rest, not there.
        found = wavcheck.phrase_start(looped(0.5, 6.0, silent_head=0.4), RATE)
        self.assertAlmostEqual((found - 0.4 + 0.5) % LOOP, 0.0, delta=0.02)


if __name__ == "__main__":
    unittest.main()
