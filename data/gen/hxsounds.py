#!/usr/bin/env python3
"""Synthesises the suite's sounds as 16-bit mono WAV files:

    python3 data/gen/hxsounds.py OUTDIR

wchimes15/30/45/60.wav  Westminster quarters (the public-domain melody) on
                        four additive-synthesis bells
BigBen.wav              one stroke of the hour bell
alarm1.wav .. alarm3.wav  major, normal and minor alarm
sync.wav, connect.wav   a successful synchronisation, a synchronisation attempt

Only the standard library is used and nothing random, so the files are the
same on every run.
"""

import array
import math
import os
import sys
import wave

RATE = 22050

# Strike partials of a minor-third church bell relative to the strike note:
# (ratio, amplitude, decay time constant in seconds). The lower partials ring
# longest, which gives the bell its hum after the strike has faded.
BELL_PARTIALS = [
    (0.50, 0.30, 3.2),  # hum
    (1.00, 0.55, 2.4),  # prime
    (1.19, 0.30, 1.9),  # tierce (minor third)
    (1.50, 0.18, 1.5),  # quint
    (2.00, 0.45, 1.2),  # nominal
    (2.51, 0.14, 0.8),
    (2.99, 0.10, 0.6),
    (4.07, 0.06, 0.35),
]


def note(name):
    """Frequency of a note such as 'G#4' (A4 = 440 Hz, equal temperament)."""
    steps = {"C": -9, "D": -7, "E": -5, "F": -4, "G": -2, "A": 0, "B": 2}
    semis = steps[name[0]]
    rest = name[1:]
    if rest.startswith("#"):
        semis += 1
        rest = rest[1:]
    elif rest.startswith("b"):
        semis -= 1
        rest = rest[1:]
    octave = int(rest)
    return 440.0 * 2 ** ((semis + 12 * (octave - 4)) / 12)


def bell(freq, seconds, partials=BELL_PARTIALS, strike=0.004):
    """One struck bell: decaying sines with a short attack so it does not click."""
    n = int(seconds * RATE)
    out = array.array("d", bytes(8 * n))
    attack = max(1, int(strike * RATE))
    for ratio, amp, tau in partials:
        f = freq * ratio
        if f >= RATE / 2:
            continue
        w = 2 * math.pi * f / RATE
        k = math.exp(-1.0 / (tau * RATE))
        # Rotating phasor with exponential decay: no sin() per sample.
        c, s = math.cos(w), math.sin(w)
        x, y = 0.0, amp
        for i in range(n):
            out[i] += y
            x, y = (x * c - y * s) * k, (x * s + y * c) * k
    for i in range(min(attack, n)):
        out[i] *= i / attack
    return out


def tone(freq, seconds, amp=0.5, fade=0.01, harmonics=((1, 1.0),)):
    """A steady tone with soft edges, for the electronic sounds."""
    n = int(seconds * RATE)
    out = array.array("d", bytes(8 * n))
    edge = max(1, int(fade * RATE))
    for h, a in harmonics:
        w = 2 * math.pi * freq * h / RATE
        for i in range(n):
            out[i] += amp * a * math.sin(w * i)
    for i in range(min(edge, n)):
        g = i / edge
        out[i] *= g
        out[n - 1 - i] *= g
    return out


def mix(length, parts):
    """Adds (start seconds, samples, gain) parts into one buffer."""
    out = array.array("d", bytes(8 * int(length * RATE)))
    for start, samples, gain in parts:
        at = int(start * RATE)
        for i, v in enumerate(samples):
            j = at + i
            if j >= len(out):
                break
            out[j] += v * gain
    return out


def write_wav(path, samples, peak=0.8, release=0.3):
    # A bell cut off mid-ring clicks: fade the last moments out.
    n = len(samples)
    edge = min(n, int(release * RATE))
    for i in range(edge):
        samples[n - 1 - i] *= 0.5 - 0.5 * math.cos(math.pi * i / edge)
    top = max((abs(v) for v in samples), default=0.0) or 1.0
    scale = peak * 32767 / top
    pcm = array.array("h", (int(round(v * scale)) for v in samples))
    if sys.byteorder != "little":
        pcm.byteswap()
    with wave.open(path, "wb") as w:
        w.setnchannels(1)
        w.setsampwidth(2)
        w.setframerate(RATE)
        w.writeframes(pcm.tobytes())


# The four quarter bells and the five changes of the Westminster quarters.
QUARTER_BELLS = {1: "G#4", 2: "F#4", 3: "E4", 4: "B3"}
CHANGES = {
    1: (1, 2, 3, 4),
    2: (3, 1, 2, 4),
    3: (3, 2, 1, 3),
    4: (1, 3, 2, 4),
    5: (4, 2, 1, 3),
}
QUARTERS = {15: (1,), 30: (2, 3), 45: (4, 5, 1), 60: (2, 3, 4, 5)}
BEAT = 0.62  # seconds between strokes; a change ends with a held beat


def westminster(minute, rung):
    parts, t = [], 0.0
    for change in QUARTERS[minute]:
        for i, b in enumerate(CHANGES[change]):
            parts.append((t, rung[b], 0.9 if i else 1.0))
            t += BEAT * (2 if i == 3 else 1)
    return mix(t + 2.5, parts)


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else "sounds"
    os.makedirs(out, exist_ok=True)

    rung = {b: bell(note(n), 4.0) for b, n in QUARTER_BELLS.items()}
    for minute in QUARTERS:
        write_wav(os.path.join(out, f"wchimes{minute}.wav"), westminster(minute, rung))

    # The hour bell: a deep E with a longer ring.
    hour = [(r, a, t * 1.6) for r, a, t in BELL_PARTIALS]
    write_wav(os.path.join(out, "BigBen.wav"), bell(note("E3"), 4.5, hour, strike=0.006))

    # Major alarm: insistent double beeps at a high pitch, four times.
    beep = tone(1760, 0.11, harmonics=((1, 1.0), (3, 0.25)))
    parts = []
    for k in range(4):
        parts += [(k * 0.6, beep, 1.0), (k * 0.6 + 0.16, beep, 1.0)]
    write_wav(os.path.join(out, "alarm1.wav"), mix(2.4, parts))

    # Normal alarm: a ding-dong door chime, twice.
    ding = bell(note("E5"), 1.6)
    dong = bell(note("C5"), 2.0)
    write_wav(os.path.join(out, "alarm2.wav"),
              mix(4.2, [(0, ding, 1), (0.5, dong, 1), (1.6, ding, 1), (2.1, dong, 1)]))

    # Minor alarm: one soft high bell.
    write_wav(os.path.join(out, "alarm3.wav"), bell(note("A5"), 1.8), peak=0.6)

    # Sync success: a rising major third on small bells.
    write_wav(os.path.join(out, "sync.wav"),
              mix(1.5, [(0, bell(note("C6"), 1.2), 1), (0.15, bell(note("E6"), 1.3), 1)]),
              peak=0.6)

    # Sync attempt: three quick soft blips.
    blip = tone(988, 0.06, amp=0.4, fade=0.008)
    write_wav(os.path.join(out, "connect.wav"),
              mix(0.5, [(0, blip, 1), (0.12, blip, 1), (0.24, blip, 1)]), peak=0.5)


if __name__ == "__main__":
    main()
