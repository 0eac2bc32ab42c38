#!/usr/bin/env python3
"""Finds the clicks in a recording and measures how evenly they are spaced.

usage: onsets.py FILE.wav BPM [beats_per_run] [run_starts_ns]

An onset is the first sample of the left channel above the threshold after at least 80 ms
below it. The threshold is 10 % of the recording's peak, so the measure does not depend on the
gain. Onsets more than two periods apart belong to different runs (Play ... Stop). Intervals
between consecutive onsets of a run, the first one included, are compared with the beat period;
the absolute times are not, since they include the output's latency. With the runs' start times
(CLOCK_MONOTONIC ns of each first beat's send, comma-separated) it also prints how much the time
from Play to the first sound varies from run to run. Prints key=value lines.
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
    per_run = int(sys.argv[3]) if len(sys.argv) > 3 else None
    starts = [int(x) for x in sys.argv[4].split(",")] if len(sys.argv) > 4 and sys.argv[4] else []
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
    runs = [[onsets[0]]] if onsets else []
    for a, b in zip(onsets, onsets[1:]):
        if b - a > 2 * period:
            runs.append([b])
        else:
            runs[-1].append(b)
    print(f"onsets={len(onsets)}")
    print(f"runs={len(runs)}")
    print("onsets_per_run=" + ",".join(str(len(r)) for r in runs))
    if per_run is not None:
        expected = per_run * max(1, len(starts))
        print(f"missing={max(0, expected - len(onsets))}")
    print(f"period_frames={period:.1f}")
    intervals = [b - a for run in runs for a, b in zip(run, run[1:])]
    firsts = [run[1] - run[0] for run in runs if len(run) > 1]
    if not intervals:
        return
    # The sound card's own clock may run a little fast or slow against the system clock (the
    # PulseAudio null sink runs about 75 to 250 ppm fast): its beat period in its own frames is
    # then the mean interval, and the spread around it is what is heard as unsteadiness. Both are
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
    first_errors = [f - mean for f in firsts]
    print("first_intervals_frames=" + ",".join(f"{e:+.0f}" for e in first_errors))
    print(f"first_max_frames={max(abs(e) for e in first_errors):.1f}")
    if starts and len(starts) == len(runs):
        # The recording's frames run at the card's rate: mean/period frames per nominal frame.
        card_rate = rate * mean / period
        offsets = [run[0] / card_rate - t / 1e9 for run, t in zip(runs, starts)]
        base = offsets[0]
        rel = [(o - base) * 1000.0 for o in offsets]
        print("play_to_sound_vs_first_ms=" + ",".join(f"{r:+.2f}" for r in rel))
        print(f"play_to_sound_spread_ms={max(rel) - min(rel):.2f}")


if __name__ == "__main__":
    main()
