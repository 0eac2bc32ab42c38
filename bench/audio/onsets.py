#!/usr/bin/env python3
"""Finds the clicks in a recording and measures how evenly they are spaced.

usage: onsets.py FILE.wav BPM [expected_beats]

An onset is the first sample of the left channel above the threshold after at least 80 ms
below it. The threshold is 10 % of the recording's peak, so the measure does not depend on the
gain. Intervals between consecutive onsets are compared with the beat period (60/BPM s); the
absolute times are not, since they include the output's latency. The first interval is left
out: the player's grid starts after the first beat. Prints key=value lines.
Reads 16-bit PCM and 32-bit float WAV (jack_capture writes float).
"""

import struct
import sys


def read_left(path):
    with open(path, "rb") as f:
        data = f.read()
    if data[:4] != b"RIFF" or data[8:12] != b"WAVE":
        raise SystemExit(f"{path}: not a WAV file")
    pos = 12
    fmt = None
    while pos + 8 <= len(data):
        cid, size = data[pos:pos + 4], struct.unpack("<I", data[pos + 4:pos + 8])[0]
        body = data[pos + 8:pos + 8 + size]
        if cid == b"fmt ":
            tag, channels, rate = struct.unpack("<HHI", body[:8])
            bits = struct.unpack("<H", body[14:16])[0]
            if tag == 0xFFFE:  # WAVE_FORMAT_EXTENSIBLE: the real tag opens the sub-format
                tag = struct.unpack("<H", body[24:26])[0]
            fmt = (tag, channels, rate, bits)
        elif cid == b"data" and fmt:
            tag, channels, rate, bits = fmt
            if size == 0 or size > len(data) - pos - 8:  # unfinished header of a killed recorder
                body = data[pos + 8:]
            width = bits // 8
            frames = len(body) // (width * channels)
            if tag == 3 and bits == 32:
                samples = struct.unpack(f"<{frames * channels}f", body[:frames * channels * 4])
            elif tag == 1 and bits == 16:
                samples = [s / 32768.0 for s in
                           struct.unpack(f"<{frames * channels}h", body[:frames * channels * 2])]
            else:
                raise SystemExit(f"{path}: unsupported sample format {tag}/{bits}")
            return rate, samples[0::channels]
        pos += 8 + size + (size & 1)
    raise SystemExit(f"{path}: no audio data")


def percentile(sorted_values, p):
    if not sorted_values:
        return float("nan")
    k = (len(sorted_values) - 1) * p / 100.0
    lo = int(k)
    hi = min(lo + 1, len(sorted_values) - 1)
    return sorted_values[lo] + (sorted_values[hi] - sorted_values[lo]) * (k - lo)


def main():
    if len(sys.argv) < 3:
        raise SystemExit(__doc__)
    rate, left = read_left(sys.argv[1])
    bpm = float(sys.argv[2])
    expected = int(sys.argv[3]) if len(sys.argv) > 3 else None
    peak = max((abs(s) for s in left), default=0.0)
    print(f"rate={rate}")
    if peak == 0.0:
        print("onsets=0")
        return
    threshold = 0.1 * peak
    quiet = int(0.080 * rate)
    onsets = []
    last_loud = -quiet
    for i, s in enumerate(left):
        if abs(s) > threshold:
            if i - last_loud >= quiet:
                onsets.append(i)
            last_loud = i
    period = 60.0 / bpm * rate
    # The player starts its grid when the first beat has been sounded and handled, so the first
    # interval is short by the player's half-millisecond lead and long by that handling; the
    # grid holds from the second beat on, and so does the measure.
    intervals = [b - a for a, b in zip(onsets[1:], onsets[2:])]
    print(f"onsets={len(onsets)}")
    if expected is not None:
        print(f"missing={max(0, expected - len(onsets))}")
    print(f"period_frames={period:.1f}")
    if not intervals:
        return
    # The sound card's own clock may run a little fast or slow against the system clock (the
    # PulseAudio null sink runs about 250 ppm fast): its beat period in its own frames is then
    # the mean interval, and the spread around it is what is heard as unsteadiness. Both are
    # printed; the second set (card_*) is the one against the card's period.
    mean = sum(intervals) / len(intervals)
    print(f"mean_interval_frames={mean:.2f}")
    print(f"card_ppm={(mean / period - 1.0) * 1e6:.0f}")
    for prefix, reference in (("", period), ("card_", mean)):
        errors = sorted(abs(i - reference) for i in intervals)
        for name, p in (("p50", 50), ("p99", 99), ("max", 100)):
            v = percentile(errors, p)
            print(f"{prefix}{name}_frames={v:.1f}")
            print(f"{prefix}{name}_ms={v * 1000.0 / rate:.3f}")


if __name__ == "__main__":
    main()
