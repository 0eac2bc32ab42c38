#!/usr/bin/python3
"""Long runs of the real program, driven from outside as a user drives it.

Run by tests/soak/run, which provides an X server and a session bus. Each command starts the
real program (build/app/ticktavo) with a settings folder of its own and the log: MIDI device,
drives it with xdotool (keys, clicks and typing, as a user would) and judges it by what it
leaves behind: the MIDI log, the settings file, its exit status.

  hour SECONDS      play at 1000 BPM: beats, drift, the latest beat, memory at start and end
  starts COUNT      starts and closes, half of them while playing; every close must save
  kills COUNT       SIGKILL at random moments of a save (close, Save, Delete); the file must
                    pass the integrity check and hold the state before or after, never a mix
  together COUNT    two copies saving different presets COUNT times each at the same moments

The controls are found once per command by their accessible names over the AT-SPI bus (the
window opens where it was closed, so their places stay the same); after that only xdotool
speaks to the program. Prints one line of figures per command and exits non-zero on any fault.
"""

import argparse
import os
import random
import signal
import sqlite3
import subprocess
import sys
import tempfile
import time
from pathlib import Path

MAIN_KEY = "Software\\Quelbrand\\Ticktavo"
PERIOD_1000_BPM_NS = 60_000_000_000 // 1000
# Every value a preset holds: tempo, measure, style, 9 x (sound, volume, blinker), text, flag,
# and the practice tools (trainer on, step, every, target; mute on, played, silent).
PRESET_VALUE_COUNT = 3 + 27 + 2 + 7
WINDOW_TIMEOUT = 20.0
CLOSE_TIMEOUT = 15.0


class Fault(Exception):
    pass


def xdotool(*args, timeout=10.0):
    result = subprocess.run(["xdotool", *map(str, args)], capture_output=True, text=True,
                            timeout=timeout)
    return result.returncode, result.stdout.strip()


class Soak:
    def __init__(self, program, work):
        self.program = program
        self.work = Path(work)
        self.home = self.work / "home"
        (self.home / ".config").mkdir(parents=True, exist_ok=True)
        run = self.work / "run"
        run.mkdir(exist_ok=True)
        run.chmod(0o700)
        self.env = dict(os.environ)
        self.env.update(HOME=str(self.home), XDG_CONFIG_HOME=str(self.home / ".config"),
                        XDG_RUNTIME_DIR=str(run), QT_QPA_PLATFORM="xcb")
        self.env.pop("QT_LINUX_ACCESSIBILITY_ALWAYS_ON", None)
        self.settings = self.home / ".config" / "ticktavo" / "settings.db"
        self.stderr = open(self.work / "program-stderr.txt", "ab")
        self.offsets = {}

    # --- the program ---

    def start(self, midi_log=None, accessible=False):
        env = dict(self.env)
        env["TICKTAVO_MIDI"] = "log:" + str(midi_log or self.work / "midi.log")
        if accessible:
            env["QT_LINUX_ACCESSIBILITY_ALWAYS_ON"] = "1"
        return Program(self, subprocess.Popen([self.program], env=env, stdin=subprocess.DEVNULL,
                                              stdout=subprocess.DEVNULL, stderr=self.stderr))

    def locate(self):
        """Finds the controls by their accessible names, as offsets from the window's corner."""
        launcher = subprocess.Popen(["/usr/libexec/at-spi-bus-launcher", "--launch-immediately"])
        try:
            import pyatspi
            program = self.start(accessible=True)
            wanted = {("text", "Tempo"): "tempo", ("text", "Preset"): "preset",
                      ("push button", "Save"): "save", ("push button", "Delete"): "delete"}
            end = time.monotonic() + WINDOW_TIMEOUT
            found = {}
            while time.monotonic() < end and len(found) < len(wanted):
                found.clear()
                for app in pyatspi.Registry.getDesktop(0):
                    if app is None or app.name != "Ticktavo":
                        continue
                    for window in app:
                        if window is not None and window.name == "Ticktavo":
                            for node in walk(window):
                                key = (node.getRoleName(), node.name)
                                if key in wanted:
                                    x, y, w, h = node.queryComponent().getExtents(
                                        pyatspi.DESKTOP_COORDS)
                                    found[wanted[key]] = (x + w // 2, y + h // 2)
                if len(found) < len(wanted):
                    time.sleep(0.1)
            if len(found) < len(wanted):
                raise Fault(f"controls not found on the accessibility bus: {sorted(found)}")
            wx, wy = program.position()
            self.offsets = {name: (x - wx, y - wy) for name, (x, y) in found.items()}
            program.close()
        finally:
            launcher.terminate()
            launcher.wait()

    # --- the settings file ---

    def state(self):
        """Every key and value of the settings file: {key: {name: (type, bytes)}}."""
        with sqlite3.connect(self.settings) as db:
            keys = {row[0].lower(): {} for row in db.execute("SELECT path FROM reg_key")}
            for key, name, kind, data in db.execute("SELECT key, name, type, data FROM reg_value"):
                keys.setdefault(key.lower(), {})[name.lower()] = (kind, bytes(data))
        return keys

    def count_presets(self, names):
        with sqlite3.connect(self.settings, timeout=10) as db:
            marks = ",".join("?" * len(names))
            return db.execute(f"SELECT count(*) FROM reg_key WHERE path COLLATE NOCASE IN ({marks})",
                              [MAIN_KEY + "\\" + n for n in names]).fetchone()[0]

    def wait_presets(self, names, seconds):
        end = time.monotonic() + seconds
        while self.count_presets(names) < len(names):
            if time.monotonic() > end:
                return False
            time.sleep(0.01)
        return True

    def integrity(self):
        with sqlite3.connect(self.settings) as db:
            return db.execute("PRAGMA integrity_check").fetchone()[0]

    def damaged_files(self):
        return sorted(p.name for p in self.settings.parent.glob("*.damaged-*"))

    def set_main(self, name, value):
        with sqlite3.connect(self.settings) as db:
            db.execute("UPDATE reg_value SET data = ? WHERE key = ? AND name = ?",
                       (value.to_bytes(4, "little", signed=True), MAIN_KEY, name))


def walk(node):
    for child in node:
        if child is not None:
            yield child
            yield from walk(child)


def dword(values, name):
    entry = values.get(name.lower())
    return int.from_bytes(entry[1], "little", signed=True) if entry else None


def presets(state):
    prefix = MAIN_KEY.lower() + "\\"
    return {k[len(prefix):]: v for k, v in state.items() if k.startswith(prefix)}


class Program:
    def __init__(self, soak, process):
        self.soak = soak
        self.process = process
        self.window = None
        self.corner = None
        end = time.monotonic() + WINDOW_TIMEOUT
        while time.monotonic() < end:
            if process.poll() is not None:
                raise Fault(f"the program ended at start with status {process.returncode}")
            code, out = xdotool("search", "--all", "--onlyvisible", "--pid", process.pid, "--name",
                                "^Ticktavo$")
            if code == 0 and out:
                self.window = out.split()[0]
                break
            time.sleep(0.02)
        if self.window is None:
            self.kill()
            raise Fault("the window did not appear (hang at start)")
        xdotool("windowfocus", "--sync", self.window)

    @property
    def pid(self):
        return self.process.pid

    def position(self):
        _, out = xdotool("getwindowgeometry", "--shell", self.window)
        fields = dict(line.split("=", 1) for line in out.splitlines() if "=" in line)
        self.corner = int(fields["X"]), int(fields["Y"])
        return self.corner

    def place(self, control):
        """Where the control is on the screen."""
        if self.corner is None:
            self.position()
        dx, dy = self.soak.offsets[control]
        return self.corner[0] + dx, self.corner[1] + dy

    def move(self, x, y):
        xdotool("windowmove", "--sync", self.window, x, y)
        self.position()

    def keys(self, *keys):
        xdotool("key", "--clearmodifiers", *keys)

    def type_into(self, control, text):
        """Clicks the control, selects its text and types over it."""
        xdotool("mousemove", *self.place(control), "click", "1", "key", "ctrl+a", "type",
                "--delay", "1", text)

    def click(self, control):
        xdotool("mousemove", *self.place(control), "click", "1")

    def click_later(self, control):
        """The click, sent while the caller goes on (to watch what it sets off)."""
        return subprocess.Popen(["xdotool", "mousemove", *map(str, self.place(control)), "click",
                                 "1"])

    def keys_later(self, *keys):
        return subprocess.Popen(["xdotool", "key", "--clearmodifiers", *keys])

    def real_time_threads(self):
        """How many of the program's threads run under a real-time policy (FIFO or RR)."""
        count = 0
        for task in Path(f"/proc/{self.pid}/task").iterdir():
            try:
                fields = (task / "stat").read_text().rsplit(")", 1)[1].split()
            except (OSError, IndexError):
                continue
            # After the name: state is field 3, policy field 41 (1 FIFO, 2 RR).
            if len(fields) > 38 and fields[38] in ("1", "2"):
                count += 1
        return count

    def rss_kib(self):
        for line in Path(f"/proc/{self.pid}/status").read_text().splitlines():
            if line.startswith("VmRSS:"):
                return int(line.split()[1])
        return -1

    def close(self):
        """Alt+X, then the program must end by itself, cleanly."""
        self.keys("alt+x")
        return self.wait_end(CLOSE_TIMEOUT)

    def wait_end(self, timeout):
        try:
            status = self.process.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            self.kill()
            raise Fault("the program did not end after Alt+X (hang)")
        if status != 0:
            raise Fault(f"the program ended with status {status} (crash)")
        return status

    def kill(self):
        if self.process.poll() is None:
            self.process.send_signal(signal.SIGKILL)
        self.process.wait()


# --- one hour at 1000 BPM ---

def read_beats(log, period):
    """[(send time, place on the grid)] of every beat in the MIDI log, in order.

    A message that carries its grid time belongs to the beat of that time. Without it each
    message is one beat (the straight style sounds one note a beat), and the grid is the one the
    player keeps: it starts at the second beat's send time, in whole periods either way.
    """
    sends = []
    for line in Path(log).read_text().splitlines():
        parts = line.split()
        if len(parts) >= 3 and parts[1] == "msg":
            sends.append((int(parts[0]), int(parts[3]) if len(parts) == 4 else None))
    beats = []
    for sent, grid in sends:
        if beats and grid is not None and grid == beats[-1][1]:
            continue
        beats.append((sent, grid))
    if len(beats) > 1 and beats[0][1] is None:
        second = beats[1][0]
        beats = [(sent, second + (k - 1) * period) for k, (sent, _) in enumerate(beats)]
    return beats


def percentile(values, p):
    ordered = sorted(values)
    return ordered[min(len(ordered) - 1, int(p / 100 * len(ordered)))]


def hour(soak, seconds):
    # A first start writes the settings file; the tempo is then set to 1000 in it.
    soak.start().close()
    soak.set_main("BPMinute", 1000)
    soak.set_main("Metronome Style", 0)
    log = soak.work / "hour-midi.log"
    program = soak.start(midi_log=log)
    program.keys("Return")
    time.sleep(min(5.0, seconds / 4))
    rss_start = program.rss_kib()
    real_time = program.real_time_threads()
    samples = [rss_start]
    loads = [float(Path("/proc/loadavg").read_text().split()[0])]
    end = time.monotonic() + seconds
    while time.monotonic() < end:
        time.sleep(min(60.0, max(0.0, end - time.monotonic())))
        if program.process.poll() is not None:
            raise Fault(f"the program ended while playing, status {program.process.returncode}")
        samples.append(program.rss_kib())
        loads.append(float(Path("/proc/loadavg").read_text().split()[0]))
    rss_end = samples[-1]
    program.keys("Return")
    program.close()

    beats = read_beats(log, PERIOD_1000_BPM_NS)
    n = len(beats)
    if n < 2:
        raise Fault(f"only {n} beats in the log")
    grids = [grid for _, grid in beats]
    gaps = [b - a for a, b in zip(grids, grids[1:]) if b - a != PERIOD_1000_BPM_NS]
    late = [sent - grid for sent, grid in beats]
    first, last = beats[0][0], beats[-1][0]
    drift = last - (first + (n - 1) * PERIOD_1000_BPM_NS)
    player_drift = last - grids[-1]
    grid_drift = grids[-1] - (grids[0] + (n - 1) * PERIOD_1000_BPM_NS)
    played = (last - first) / 1e9
    expected = round((last - first) / PERIOD_1000_BPM_NS) + 1
    print(f"hour: {n} beats in {played:.1f} s (expected {expected}); grid steps other than "
          f"60 ms: {len(gaps)}; grid drift {grid_drift} ns; drift of the last beat "
          f"{player_drift / 1000:.1f} us from the player's grid, {drift / 1000:.1f} us from the "
          f"first beat + (n-1) periods; lateness p50 {percentile(late, 50) / 1000:.1f} us, "
          f"p99 {percentile(late, 99) / 1000:.1f} us, max {max(late) / 1000:.1f} us; beats late "
          f"by over 1 ms {sum(1 for x in late if x > 1_000_000)}, 10 ms "
          f"{sum(1 for x in late if x > 10_000_000)}, 100 ms "
          f"{sum(1 for x in late if x > 100_000_000)}; "
          f"RSS {rss_start} KiB at start, {rss_end} KiB at end "
          f"({(rss_end - rss_start) / 1024:+.2f} MiB; min {min(samples)}, max {max(samples)}); "
          f"load average {sum(loads) / len(loads):.2f} (max {max(loads):.2f}); "
          f"{real_time} real-time threads (none: the timing thread was refused SCHED_FIFO)")
    faults = []
    # A beat missing from the log would leave every later one a period behind its place; a
    # late last beat alone (a busy machine) is not a missing one.
    settled = percentile(late[-10:], 50)
    if gaps or grid_drift != 0 or settled > PERIOD_1000_BPM_NS // 2:
        faults.append("beats missing or off the grid")
    if rss_end - rss_start > 1024:
        faults.append("memory grew by more than 1 MiB")
    return faults


# --- starts and closes ---

STYLE_KEYS = {0: "alt+s", 1: "alt+m", 2: "alt+c"}


def starts(soak, count):
    soak.locate()
    faults = []
    played = 0
    times = []
    for i in range(count):
        before = dword(soak.state()[MAIN_KEY.lower()], "BPMinute")
        tempo = random.choice([t for t in range(4, 1001) if t != before])
        began = time.monotonic()
        try:
            program = soak.start()
            program.type_into("tempo", str(tempo))
            if i % 2 == 1:
                program.keys("Return")
                played += 1
                time.sleep(random.uniform(0.0, 0.3))
            program.close()
        except Fault as fault:
            faults.append(f"start {i}: {fault}")
            continue
        times.append(time.monotonic() - began)
        stored = dword(soak.state()[MAIN_KEY.lower()], "BPMinute")
        if stored != tempo:
            faults.append(f"start {i}: tempo {tempo} typed before closing, {stored} stored")
    print(f"starts: {count} starts and closes ({played} while playing), {len(faults)} faults; "
          f"median {percentile(times, 50):.2f} s per start and close" if times else "")
    return faults


# --- SIGKILL during saves ---

def kills(soak, count):
    soak.locate()
    # Presets saved before any kill; they must all survive.
    program = soak.start()
    for name in ("Alpha", "Bravo", "Charlie"):
        program.type_into("preset", name)
        program.click("save")
    program.close()
    state = soak.state()
    if len(presets(state)) != 3:
        return [f"setting up: {sorted(presets(state))} stored instead of three presets"]

    journal = soak.settings.with_name(soak.settings.name + "-journal")
    hot = 0
    faults = []
    outcome = {"close": [0, 0, 0], "save": [0, 0, 0], "delete": [0, 0, 0]}  # before, after, ended
    for i in range(count):
        action = random.choice(["close", "save", "delete"])
        have = sorted(presets(state))
        if action == "delete" and len(have) <= 3:
            action = "save"
        main = state[MAIN_KEY.lower()]
        tempo = random.choice([t for t in range(4, 1001) if t != dword(main, "BPMinute")])
        name = f"Kill {i}"
        target = None
        try:
            program = soak.start()
            if action == "close":
                program.type_into("tempo", str(tempo))
                program.keys("alt+b")  # the blink flag is the last value a save writes
                sender = program.keys_later("alt+x")
            elif action == "save":
                program.type_into("preset", name)
                sender = program.click_later("save")
            else:
                # Never one of the first three: they are the presets that must survive.
                target = random.choice([p for p in have if p not in ("alpha", "bravo", "charlie")])
                program.type_into("preset", target)
                sender = program.click_later("delete")
            if i % 2 == 0:
                # A moment inside the save itself: once its rollback journal exists.
                deadline = time.monotonic() + 1.0
                while (not journal.exists() and time.monotonic() < deadline and
                       program.process.poll() is None):
                    pass
                time.sleep(random.uniform(0.0, 0.004))
            else:
                time.sleep(random.uniform(0.0, 0.25))
            ended = program.process.poll() is not None
            program.kill()
            sender.wait()
            try:
                hot += journal.stat().st_size > 0
            except FileNotFoundError:
                pass
        except Fault as fault:
            faults.append(f"kill {i} ({action}): {fault}")
            continue
        if action == "close" and ended and program.process.returncode != 0:
            faults.append(f"kill {i}: the program crashed on closing")

        verdict = soak.integrity()
        if verdict != "ok":
            faults.append(f"kill {i} ({action}): integrity check: {verdict}")
            break
        if soak.damaged_files():
            faults.append(f"kill {i} ({action}): the file was set aside: {soak.damaged_files()}")
            break
        after = soak.state()
        others_before = {k: v for k, v in state.items() if k not in (MAIN_KEY.lower(),)}
        others_after = {k: v for k, v in after.items() if k not in (MAIN_KEY.lower(),)}
        new_main = after[MAIN_KEY.lower()]
        if action == "close":
            changed = new_main != main
            tempo_new = dword(new_main, "BPMinute") == tempo
            blink_new = new_main.get("blinking") != main.get("blinking")
            if others_after != others_before:
                faults.append(f"kill {i}: closing changed the presets")
            elif ended and not changed:
                faults.append(f"kill {i}: the program closed without saving")
            elif changed and not (tempo_new and blink_new):
                faults.append(f"kill {i}: a mixed save at close (tempo saved {tempo_new}, "
                              f"blink flag saved {blink_new})")
            outcome["close"][2 if ended else (1 if changed else 0)] += 1
        else:
            key = MAIN_KEY.lower() + "\\" + (name.lower() if action == "save" else target)
            rest_before = {k: v for k, v in others_before.items() if k != key}
            rest_after = {k: v for k, v in others_after.items() if k != key}
            if new_main != main:
                faults.append(f"kill {i} ({action}): the main key changed")
            if rest_after != rest_before:
                lost = sorted(set(rest_before) - set(rest_after))
                faults.append(f"kill {i} ({action}): other presets changed; lost {lost}")
            if action == "save":
                values = others_after.get(key)
                if values is not None and (len(values) != PRESET_VALUE_COUNT or
                                           dword(values, "BPMinute") != dword(main, "BPMinute")):
                    faults.append(f"kill {i}: a half-saved preset with {len(values)} values")
                outcome["save"][1 if values is not None else 0] += 1
            else:
                values = others_after.get(key)
                if values is not None and values != others_before[key]:
                    faults.append(f"kill {i}: a half-deleted preset")
                outcome["delete"][0 if values is not None else 1] += 1
        state = after
        if len(faults) > 10:
            break
    lost = {"alpha", "bravo", "charlie"} - set(presets(state))
    if lost:
        faults.append(f"presets saved before the kills are gone: {sorted(lost)}")
    done = sum(sum(v) for v in outcome.values())
    print(f"kills: {done} SIGKILLs; close: {outcome['close'][0]} before the save, "
          f"{outcome['close'][1]} after it, {outcome['close'][2]} had already ended; "
          f"save: {outcome['save'][0]} before, {outcome['save'][1]} after; "
          f"delete: {outcome['delete'][0]} before, {outcome['delete'][1]} after; "
          f"{hot} kills left a save's journal behind (killed inside the transaction); "
          f"{len(presets(state))} presets at the end; {len(faults)} faults")
    return faults


# --- two copies at once ---

def together(soak, count):
    soak.locate()
    first = soak.start()
    second = soak.start()
    # Side by side: each window takes its own clicks.
    second.move(700, 40)
    first.move(40, 40)
    faults = []
    began = time.monotonic()
    missed = 0
    for i in range(count):
        names = (f"A {i}", f"B {i}")
        for program, name in zip((first, second), names):
            xdotool("windowfocus", "--sync", program.window)
            program.type_into("preset", name)
        # Both Save clicks in one go, 5 ms apart (a save takes about 20 ms): the two saves
        # overlap.
        xdotool("mousemove", *first.place("save"), "click", "1",
                "mousemove", *second.place("save"), "sleep", "0.005", "click", "1")
        # Both must be stored before the next pair (a copy waits up to 5 s for the other).
        if not soak.wait_presets(names, 12):
            # Now and then a window misses the second of two quick clicks (X and Qt, not the
            # program): its Save then stays enabled and a second click saves. A save that ran
            # and was lost leaves Save disabled, so the second click cannot hide it, and a save
            # that failed shows its error box.
            for program, name in zip((first, second), names):
                if soak.count_presets([name]) == 0:
                    program.click("save")
                    missed += 1
            if not soak.wait_presets(names, 12):
                shot = soak.work / f"save-{i}.png"
                subprocess.run(["import", "-window", "root", str(shot)], capture_output=True)
                faults.append(f"save {i}: not stored (screen in {shot})")
        code, out = xdotool("search", "--name", "Error Opening Registry Key")
        if code == 0 and out:
            faults.append(f"save {i}: an error box is shown")
            break
        if len(faults) > 5:
            break
    elapsed = time.monotonic() - began
    # A save that waited out the other copy's lock (5 s) would only then show its box.
    time.sleep(6)
    code, out = xdotool("search", "--name", "Error Opening Registry Key")
    if code == 0 and out:
        faults.append("an error box is shown after the last save")
    for program in (first, second):
        xdotool("windowfocus", "--sync", program.window)
        try:
            program.close()
        except Fault as fault:
            faults.append(str(fault))
    stored = presets(soak.state())
    lost = [f"{c} {i}" for c in "AB" for i in range(count) if f"{c.lower()} {i}" not in stored]
    partial = [k for k, v in stored.items() if len(v) != PRESET_VALUE_COUNT]
    if lost:
        faults.append(f"{len(lost)} presets lost, e.g. {lost[:5]}")
    if partial:
        faults.append(f"{len(partial)} presets incomplete, e.g. {partial[:5]}")
    print(f"together: 2 copies x {count} saves in {elapsed:.1f} s; {len(stored)} presets stored, "
          f"{len(lost)} lost, {len(faults)} faults; {missed} Save clicks missed by a window and "
          f"sent again")
    return faults


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("program")
    parser.add_argument("command", choices=["hour", "starts", "kills", "together"])
    parser.add_argument("amount", type=int, help="seconds for hour, a count for the others")
    parser.add_argument("--work", help="folder to keep the files in (default: a temporary one)")
    parser.add_argument("--seed", type=int, default=None)
    args = parser.parse_args()
    seed = args.seed if args.seed is not None else random.randrange(1 << 30)
    random.seed(seed)
    work = args.work or tempfile.mkdtemp(prefix=f"ticktavo-soak-{args.command}-")
    # The X server may still be coming up.
    end = time.monotonic() + 20
    while subprocess.run(["xdpyinfo"], capture_output=True).returncode != 0:
        if time.monotonic() > end:
            sys.exit(f"FAULT: no X server on {os.environ.get('DISPLAY')}")
        time.sleep(0.1)
    soak = Soak(os.path.abspath(args.program), work)
    print(f"{args.command}: seed {seed}, files in {work}", flush=True)
    command = {"hour": hour, "starts": starts, "kills": kills, "together": together}[args.command]
    try:
        faults = command(soak, args.amount)
    except Fault as fault:
        faults = [str(fault)]
    for fault in faults:
        print(f"FAULT: {fault}")
    sys.exit(1 if faults else 0)


if __name__ == "__main__":
    main()
