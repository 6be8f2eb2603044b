#!/usr/bin/env python3
"""Makes alert.wav, the chime of a round with special fares: two bell-like notes (E6 then
A6) with their overtones, 0.7 s, 22,050 Hz, 16-bit mono. Run it from this folder."""
import math
import struct
import wave

RATE = 22050
NOTES = [(0.00, 1318.5), (0.18, 1760.0)]  # start in seconds, frequency in Hz
LENGTH = 0.7


def sample(t):
    value = 0.0
    for start, frequency in NOTES:
        if t < start:
            continue
        age = t - start
        envelope = math.exp(-age * 7.0) * min(1.0, age / 0.004)
        value += envelope * (math.sin(2 * math.pi * frequency * age)
                             + 0.35 * math.sin(2 * math.pi * 2.01 * frequency * age)
                             + 0.12 * math.sin(2 * math.pi * 3.02 * frequency * age))
    return value


frames = [sample(i / RATE) for i in range(int(RATE * LENGTH))]
peak = max(abs(v) for v in frames)
with wave.open("alert.wav", "wb") as out:
    out.setnchannels(1)
    out.setsampwidth(2)
    out.setframerate(RATE)
    out.writeframes(b"".join(struct.pack("<h", int(v / peak * 0.8 * 32767)) for v in frames))
