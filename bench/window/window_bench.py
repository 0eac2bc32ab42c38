#!/usr/bin/env python3
"""The beat as users get it: the real program under Xvfb, its window kept busy, every note-on
written by the log device, and each send time compared with the grid of the run's first beat.

  window_bench.py [--app PATH] [--seconds S] [--tempos 240,1000] [--user NAME] [--idle-window]

--user NAME     run the program as this (ordinary) account: no real-time privileges unless the
                system grants them (created when missing; needs root)
--idle-window   leave the window alone (the busy window is the point of the benchmark)

The window is kept busy the whole time: it is resized between its full and its smallest height
every 20 ms (folding and unfolding the voice rows, so it lays out and repaints), and the About
box is opened and closed every second. Beat k of the run belongs at t1 + k x period, t1 being
the first beat's send time. Figures are |send - grid| in microseconds: median, 99th
percentile and maximum; drift is the last beat's signed offset.
"""
import argparse
import os
import pathlib
import pwd
import shutil
import sqlite3
import subprocess
import sys
import tempfile
import time

MAIN_KEY = "Software\\Quelbrand\\Ticktavo"


def seed_settings(config_dir, bpm):
    """A settings file that starts the window at this tempo, Straight style, blinking on."""
    folder = config_dir / "ticktavo"
    folder.mkdir(parents=True, exist_ok=True)
    db = sqlite3.connect(folder / "settings.db")
    db.executescript(
        """
        PRAGMA user_version = 1;
        CREATE TABLE reg_key (path TEXT PRIMARY KEY COLLATE NOCASE);
        CREATE TABLE reg_value (key TEXT NOT NULL COLLATE NOCASE REFERENCES reg_key(path)
                                  ON DELETE CASCADE,
                                name TEXT NOT NULL COLLATE NOCASE, type INTEGER NOT NULL,
                                data BLOB NOT NULL, PRIMARY KEY (key, name));
        """)
    for path in ("Software", "Software\\Quelbrand", MAIN_KEY):
        db.execute("INSERT INTO reg_key VALUES (?)", (path,))
    values = [("BPMinute", 4, bpm.to_bytes(4, "little")),
              ("Metronome Style", 4, (0).to_bytes(4, "little")),
              ("Blinking", 4, b"\x01")]
    db.executemany("INSERT INTO reg_value VALUES (?, ?, ?, ?)",
                   [(MAIN_KEY, n, t, d) for n, t, d in values])
    db.commit()
    db.close()


def xdotool(display, *args):
    return subprocess.run(["xdotool", *args], env={**os.environ, "DISPLAY": display},
                          capture_output=True, text=True, check=False).stdout.strip()


def find_window(display, pid, timeout=20.0):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        ids = xdotool(display, "search", "--onlyvisible", "--pid", str(pid), "--name", "Ticktavo")
        if ids:
            return ids.split()[0]
        time.sleep(0.1)
    return None


def real_time_threads(pid):
    """How many of the process's threads run under a real-time policy (FIFO or RR)."""
    count = 0
    for task in pathlib.Path(f"/proc/{pid}/task").iterdir():
        try:
            fields = (task / "stat").read_text().rsplit(")", 1)[1].split()
        except (OSError, IndexError):
            continue
        # After the name: state is field 3, policy field 41 (1 FIFO, 2 RR).
        if len(fields) > 38 and fields[38] in ("1", "2"):
            count += 1
    return count


def percentile(sorted_values, fraction):
    rank = max(1, min(len(sorted_values), int(-(-fraction * len(sorted_values) // 1))))
    return sorted_values[rank - 1]


def measure(args, display, bpm, runner):
    work = pathlib.Path(tempfile.mkdtemp(prefix="ticktavo-window-bench-"))
    os.chmod(work, 0o777)
    seed_settings(work / "config", bpm)
    log = work / "midi.log"
    env = {"DISPLAY": display, "XDG_CONFIG_HOME": str(work / "config"), "HOME": str(work),
           "TICKTAVO_MIDI": f"log:{log}", "PATH": os.environ.get("PATH", "/usr/bin:/bin"),
           "XDG_RUNTIME_DIR": str(work)}
    if runner:
        subprocess.run(["chown", "-R", runner, str(work)], check=True)
        command = ["runuser", "-u", runner, "--", "env", *[f"{k}={v}" for k, v in env.items()],
                   args.app]
    else:
        command = ["env", *[f"{k}={v}" for k, v in env.items()], args.app]
    app = subprocess.Popen(command, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
    try:
        pid = app.pid if not runner else _child_pid(app.pid)
        window = find_window(display, pid)
        if window is None:
            raise RuntimeError("the window did not appear")
        xdotool(display, "windowfocus", "--sync", window)
        time.sleep(0.5)
        geometry = dict(line.split("=") for line in
                        xdotool(display, "getwindowgeometry", "--shell", window).splitlines())
        width, height = int(geometry["WIDTH"]), int(geometry["HEIGHT"])
        xdotool(display, "key", "--window", window, "Return")  # Play
        start = time.monotonic()
        real_time = None
        tall = False
        next_about = start + 1.0
        while time.monotonic() - start < args.seconds:
            if not args.idle_window:
                tall = not tall
                xdotool(display, "windowsize", window, str(width), str(height if tall else 180))
                if time.monotonic() >= next_about:
                    xdotool(display, "key", "--window", window, "F1")
                    time.sleep(0.15)
                    xdotool(display, "key", "Escape")
                    xdotool(display, "windowfocus", window)
                    next_about += 1.0
            time.sleep(0.02)
            if real_time is None and time.monotonic() - start > 0.5:
                real_time = real_time_threads(pid)
        xdotool(display, "windowsize", window, str(width), str(height))
        xdotool(display, "windowfocus", "--sync", window)
        xdotool(display, "key", "--window", window, "Return")  # Stop
        time.sleep(0.3)
        xdotool(display, "key", "--window", window, "alt+x")
        app.wait(timeout=20)
    finally:
        if app.poll() is None:
            app.kill()
            app.wait()
    sends = []
    for line in log.read_text().splitlines():
        fields = line.split()
        if len(fields) >= 3 and fields[1] == "msg":
            sends.append(int(fields[0]))
    shutil.rmtree(work, ignore_errors=True)
    if len(sends) < 3:
        raise RuntimeError(f"only {len(sends)} beats were logged")
    period = 60_000_000_000 // bpm
    offsets = [(sends[k] - (sends[0] + k * period)) / 1000.0 for k in range(1, len(sends))]
    deviations = sorted(abs(o) for o in offsets)
    return {"bpm": bpm, "beats": len(sends), "p50": percentile(deviations, 0.50),
            "p99": percentile(deviations, 0.99), "max": deviations[-1],
            "drift": offsets[-1], "first": (sends[1] - sends[0] - period) / 1000.0,
            "rt": real_time}


def _child_pid(runuser_pid, timeout=10.0):
    """runuser starts the program as its child; xdotool needs the program's own pid."""
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        children = pathlib.Path(f"/proc/{runuser_pid}/task/{runuser_pid}/children")
        if children.exists():
            pids = children.read_text().split()
            if pids:
                child = int(pids[0])
                # env execs the program in place.
                return child
        time.sleep(0.05)
    return runuser_pid


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--app", default="build/app/ticktavo")
    parser.add_argument("--seconds", type=float, default=8.0)
    parser.add_argument("--tempos", default="240,1000")
    parser.add_argument("--user")
    parser.add_argument("--idle-window", action="store_true")
    args = parser.parse_args()
    args.app = str(pathlib.Path(args.app).resolve())
    tempos = [int(t) for t in args.tempos.split(",")]
    if args.user:
        try:
            pwd.getpwnam(args.user)
        except KeyError:
            subprocess.run(["useradd", "--no-create-home", "--shell", "/usr/sbin/nologin",
                            args.user], check=True)

    who = f"as {args.user}" if args.user else "as " + pwd.getpwuid(os.getuid()).pw_name
    window = "left alone" if args.idle_window else "kept busy (resized every 20 ms, About box every 1 s)"
    print(f"The real program under Xvfb, log device, {args.seconds:.0f} s per tempo, {who}, "
          f"window {window}")
    print(f"{'BPM':>6} {'beats':>6} {'p50 us':>8} {'p99 us':>8} {'max us':>8} "
          f"{'drift us':>9} {'1st int us':>10} {'rt threads':>10}")
    sys.stdout.flush()
    for bpm in tempos:
        # A new X server for each run: keys sent to a window of a second program on the same
        # server (which reuses the first one's window ids) can be lost.
        display = ":%d" % (90 + (os.getpid() + bpm) % 100)
        xvfb = subprocess.Popen(["Xvfb", display, "-screen", "0", "1280x1024x24", "-nolisten",
                                 "tcp", "-ac", "-noreset"],
                                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        try:
            time.sleep(1.0)
            r = measure(args, display, bpm, args.user)
        finally:
            xvfb.terminate()
            xvfb.wait()
        print(f"{r['bpm']:>6} {r['beats']:>6} {r['p50']:>8.1f} {r['p99']:>8.1f} "
              f"{r['max']:>8.1f} {r['drift']:>9.1f} {r['first']:>10.1f} {r['rt']!s:>10}")
        sys.stdout.flush()


if __name__ == "__main__":
    main()
