#!/usr/bin/env python3
"""Compares a click track exported by ticktavo with what the live metronome really plays.

usage: live_vs_export.py [--program build/app/ticktavo] [--bpm 120] [--measure 31212012121]
                         [--measures 2]

Runs the real program under a private X server (Xvfb) with its default sound device on a
private PulseAudio server whose null sink takes 32-bit float samples at 48 kHz, sets the stored
settings to a Custom measure at the given tempo, presses Enter to play, records the sink for
the given number of measures, stops and closes the program. Then exports the same number of
measures from the same stored settings (`ticktavo --export ... --bits 24`) and compares:

- where each beat's sound starts in the recording, against its frame in the export: the offset
  (the recording started before Play, and the live device adds its latency) is the same for
  every beat up to the sound server's clock, which may run slightly off its nominal rate (the
  live beats stay on the system clock); that drift is printed in parts per million;
- the samples themselves, each beat's with the recording shifted by that beat's offset: how
  many frames differ by more than one step of a 24-bit file, and the largest difference.

Prints key=value lines; exits 1 if the program could not be run.
"""

import argparse
import array
import os
import shutil
import sqlite3
import subprocess
import sys
import tempfile
import time
import wave
from pathlib import Path

RATE = 48000
MAIN_KEY = "Software\\Quelbrand\\Ticktavo"
STEP_24 = 1.0 / 8388607


def wait_for(test, seconds, what):
    end = time.monotonic() + seconds
    while time.monotonic() < end:
        if test():
            return
        time.sleep(0.05)
    raise SystemExit(f"live_vs_export: {what}")


def xdotool(*args):
    return subprocess.run(["xdotool", *map(str, args)], capture_output=True, text=True,
                          timeout=20).stdout.strip()


def start_pulse(work, env):
    socket = work / "native"
    server = subprocess.Popen(
        ["pulseaudio", "--daemonize=no", "--exit-idle-time=-1", "-n", "--use-pid-file=no",
         "--disable-shm=yes", "--log-target=file:" + str(work / "pulse.log"),
         "--load=module-null-sink sink_name=null rate=48000 format=float32le channels=2",
         f"--load=module-native-protocol-unix socket={socket} auth-anonymous=1"], env=env)
    env["PULSE_SERVER"] = f"unix:{socket}"
    wait_for(lambda: subprocess.run(["pactl", "info"], env=env, capture_output=True).returncode
             == 0, 10, "PulseAudio did not start")
    return server


def start_x(work, env):
    number = work / "display"
    with open(number, "w") as out:
        server = subprocess.Popen(["Xvfb", "-displayfd", str(out.fileno()), "-screen", "0",
                                   "1280x1024x24", "-nolisten", "tcp", "-noreset"],
                                  pass_fds=(out.fileno(),), stdout=subprocess.DEVNULL,
                                  stderr=subprocess.DEVNULL)
    wait_for(lambda: number.read_text().strip() != "", 10, "Xvfb did not start")
    env["DISPLAY"] = os.environ["DISPLAY"] = ":" + number.read_text().split()[0]  # xdotool's too
    return server


def run_window(program, env, playing_seconds=None):
    """Starts the program, waits for its window, plays for a while if asked, closes it."""
    with open(Path(env["HOME"]) / "program-stderr.txt", "ab") as errors:
        process = subprocess.Popen([program], env=env, stdout=subprocess.DEVNULL, stderr=errors)
    window = []

    def found():
        out = xdotool("search", "--onlyvisible", "--pid", process.pid, "--name", "^Ticktavo$")
        window[:] = out.split()[:1]
        return bool(window)

    wait_for(found, 30, "the window did not open")
    xdotool("windowfocus", "--sync", window[0])
    if playing_seconds is not None:
        time.sleep(1.0)  # let the window settle before Play
        xdotool("key", "--clearmodifiers", "Return")
        time.sleep(playing_seconds)
        xdotool("key", "--clearmodifiers", "Return")
        time.sleep(0.5)
    xdotool("key", "--clearmodifiers", "alt+x")
    process.wait(timeout=30)


def set_value(db_path, name, value):
    with sqlite3.connect(db_path) as db:
        db.execute("UPDATE reg_value SET data = ? WHERE key = ? AND name = ?",
                   (value, MAIN_KEY, name))
        if db.total_changes != 1:
            raise SystemExit(f"live_vs_export: no stored value {name}")


def read_raw_float(path):
    samples = array.array("f")
    samples.frombytes(path.read_bytes()[: (path.stat().st_size // 8) * 8])
    if sys.byteorder != "little":
        samples.byteswap()
    return samples[0::2], samples[1::2]


def read_wav24(path):
    with wave.open(str(path)) as f:
        if f.getsampwidth() != 3 or f.getnchannels() != 2 or f.getframerate() != RATE:
            raise SystemExit(f"live_vs_export: {path} is not 24-bit stereo at {RATE} Hz")
        data = f.readframes(f.getnframes())
    values = [int.from_bytes(data[i:i + 3], "little", signed=True) / 8388608.0
              for i in range(0, len(data), 3)]
    return values[0::2], values[1::2]


def onsets(left, right, gap_frames):
    """The first frame of each sound above -100 dBFS after at least gap_frames below it (the
    first samples of a sound are too quiet for a 24-bit file, which holds them as zeros)."""
    found, quiet = [], gap_frames
    for i, (a, b) in enumerate(zip(left, right)):
        if abs(a) > 1e-5 or abs(b) > 1e-5:
            if quiet >= gap_frames:
                found.append(i)
            quiet = 0
        else:
            quiet += 1
    return found


def main():
    root = Path(__file__).resolve().parents[2]
    parser = argparse.ArgumentParser()
    parser.add_argument("--program", default=str(root / "build" / "app" / "ticktavo"))
    parser.add_argument("--bpm", type=int, default=120)
    parser.add_argument("--measure", default="31212012121")
    parser.add_argument("--measures", type=int, default=2)
    args = parser.parse_args()
    for tool in ("pulseaudio", "pactl", "parec", "Xvfb", "xdotool"):
        if shutil.which(tool) is None:
            raise SystemExit(f"live_vs_export: {tool} is missing (scripts/install-deps bench)")

    work = Path(tempfile.mkdtemp(prefix="ticktavo-live-vs-export."))
    env = dict(os.environ)
    env.update(HOME=str(work), XDG_CONFIG_HOME=str(work / "config"), QT_QPA_PLATFORM="xcb",
               XDG_RUNTIME_DIR=str(work))
    env.pop("TICKTAVO_MIDI", None)
    (work / "config").mkdir()
    servers = []
    try:
        servers.append(start_pulse(work, env))
        servers.append(start_x(work, env))
        settings = work / "config" / "ticktavo" / "settings.db"
        run_window(args.program, env)  # the first start writes the settings
        set_value(settings, "BPMinute", args.bpm.to_bytes(4, "little"))
        set_value(settings, "Metronome Style", (2).to_bytes(4, "little"))
        set_value(settings, "Custom Measure", args.measure.encode() + b"\0")

        beats = len(args.measure) * args.measures
        period = 60.0 / args.bpm
        raw = work / "live.raw"
        with open(raw, "wb") as recording:
            recorder = subprocess.Popen(["parec", "-d", "null.monitor", "--rate=48000",
                                         "--channels=2", "--format=float32le", "--raw"],
                                        stdout=recording, env=env)
            time.sleep(0.5)
            # Play for the beats to compare plus half a period, so the last beat's sound is
            # whole but the beat after it has not come.
            try:
                run_window(args.program, env, playing_seconds=(beats - 0.5) * period)
                time.sleep(1.0)
            finally:
                recorder.terminate()
                recorder.wait()

        exported = work / "export.wav"
        result = subprocess.run([args.program, "--export", str(exported), "--measures",
                                 str(args.measures), "--bits", "24"], env=env,
                                capture_output=True, text=True)
        if result.returncode != 0:
            raise SystemExit(f"live_vs_export: export failed: {result.stderr.strip()}")

        live_l, live_r = read_raw_float(raw)
        exp_l, exp_r = read_wav24(exported)
        gap = int(period * RATE * 0.5)
        live_onsets = onsets(live_l, live_r, gap)
        exp_onsets = onsets(exp_l, exp_r, gap)
        sounding = len(exp_onsets)
        print(f"program={args.program}")
        print(f"measure={args.measure} bpm={args.bpm} measures={args.measures} beats={beats}")
        print(f"sounding_beats_export={sounding}")
        print(f"sounding_beats_live={len(live_onsets)}")
        if len(live_onsets) < sounding:
            raise SystemExit("live_vs_export: the recording has fewer sounds than the export")
        live_onsets = live_onsets[:sounding]
        offset = [l - e for l, e in zip(live_onsets, exp_onsets)]
        span = exp_onsets[-1] - exp_onsets[0]
        drift = offset[-1] - offset[0]
        print(f"offset_frames_first={offset[0]} offset_frames_last={offset[-1]}")
        # The live device keeps its beats on the system clock; the sound server's clock may run
        # a little faster or slower than its nominal rate, and the export has the nominal rate.
        print(f"offset_drift_ppm={drift / span * 1e6:.1f}" if span else "offset_drift_ppm=0")

        # The samples of each beat, from a little before its onset (a sound rises from below
        # -100 dBFS over its first few frames) to the same point before the next beat's, the
        # recording shifted by that beat's own offset.
        lead = 32
        differing = 0
        largest = 0.0
        compared = 0
        starts = [max(0, e - lead) for e in exp_onsets]
        for start, stop, shift in zip(starts, starts[1:] + [len(exp_l)], offset):
            for i in range(start, stop):
                j = i + shift
                a = live_l[j] if j < len(live_l) else 0.0
                b = live_r[j] if j < len(live_r) else 0.0
                d = max(abs(a - exp_l[i]), abs(b - exp_r[i]))
                largest = max(largest, d)
                differing += d > STEP_24
                compared += 1
        print(f"frames_compared={compared}")
        print(f"frames_differing_over_one_24bit_step={differing}")
        print(f"largest_difference={largest:.3g} ({largest / STEP_24:.2f} steps of 24 bits)")
    finally:
        for server in servers:
            server.terminate()
            server.wait()
        if os.environ.get("KEEP") == "1":
            print(f"kept {work}", file=sys.stderr)
        else:
            shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
