#!/usr/bin/env python3
"""Writes the client's alert sounds: short sine chimes, 16-bit mono PCM at 22,050 Hz.

- chime.wav: two notes rising a fifth (E5, B5), the default sound in use;
- bell.wav: one struck note (A5) with a soft octave above, ringing out;
- ding-dong.wav: three notes falling (C6, A5, F5).

The default sound in use, miduseing.wav one folder up, is a copy of chime.wav.
Only the standard library is needed: python3 make_sounds.py
"""
import math
import os
import shutil
import struct
import wave

RATE = 22050
HERE = os.path.dirname(os.path.abspath(__file__))


def note(frequency, seconds, overtone=0.25, decay=6.0):
    """One struck note: a sine with a quieter octave, a 5 ms attack and an exponential decay."""
    samples = []
    count = int(RATE * seconds)
    attack = int(RATE * 0.005)
    for i in range(count):
        t = i / RATE
        envelope = math.exp(-decay * t) * min(1.0, i / attack if attack else 1.0)
        value = math.sin(2 * math.pi * frequency * t) + overtone * math.sin(4 * math.pi * frequency * t)
        samples.append(envelope * value / (1.0 + overtone))
    return samples


def mix(parts):
    """Notes placed at their start times (seconds), summed and scaled to 70 % of full scale."""
    length = max(int(start * RATE) + len(samples) for start, samples in parts)
    out = [0.0] * length
    for start, samples in parts:
        offset = int(start * RATE)
        for i, value in enumerate(samples):
            out[offset + i] += value
    peak = max(abs(v) for v in out) or 1.0
    return [0.7 * v / peak for v in out]


def write(name, samples):
    with wave.open(os.path.join(HERE, name), "wb") as out:
        out.setnchannels(1)
        out.setsampwidth(2)
        out.setframerate(RATE)
        out.writeframes(b"".join(struct.pack("<h", int(v * 32767)) for v in samples))


def main():
    write("chime.wav", mix([(0.0, note(659.25, 0.35)), (0.18, note(987.77, 0.6))]))
    write("bell.wav", mix([(0.0, note(880.0, 1.0, overtone=0.4, decay=4.0))]))
    write("ding-dong.wav", mix([(0.0, note(1046.5, 0.3)), (0.2, note(880.0, 0.3)), (0.4, note(698.46, 0.6))]))
    shutil.copyfile(os.path.join(HERE, "chime.wav"), os.path.join(HERE, "..", "miduseing.wav"))


if __name__ == "__main__":
    main()
