"""The window as a screen reader finds it over the AT-SPI bus.

Run by accessibility_bus_test.sh, which starts a private X server, session bus and
accessibility bus, and the program with its accessibility always on. This script then acts as
the screen reader: it lists the window's tree and fails on any object without a name, types a
tempo into the tempo field through its editable-text interface and reads it back from the
tempo slider, presses Play through its action and waits for the button to be called "Stop"
(and for the beat to reach the main blinker), and stops it again.

Usage: accessibility_bus_test.py MIDI_LOG
"""

import sys
import time

import pyatspi

TIMEOUT = 20.0


def wait_for(what, condition):
    end = time.monotonic() + TIMEOUT
    while time.monotonic() < end:
        value = condition()
        if value:
            return value
        time.sleep(0.05)
    sys.exit(f"FAIL: timed out waiting for {what}")


def find_window():
    def search():
        for app in pyatspi.Registry.getDesktop(0):
            if app is None or app.name != "Ticktavo":
                continue
            for window in app:
                if window is not None and window.name == "Ticktavo":
                    return window
        return None

    return wait_for("the window on the bus", search)


def walk(node, path=""):
    """Every object under node, with the path of names that leads to it."""
    for child in node:
        if child is None:
            continue
        here = f"{path}/{child.getRoleName()} '{child.name}'"
        yield child, here
        yield from walk(child, here)


def by_role_and_name(window, role, name):
    for node, _ in walk(window):
        if node.getRoleName() == role and node.name == name:
            return node
    sys.exit(f"FAIL: no {role} named {name!r}")


def main():
    midi_log = sys.argv[1]
    window = find_window()

    objects = list(walk(window))
    unnamed = [path for node, path in objects if not node.name.strip()]
    print(f"{len(objects)} objects in the window")
    if len(objects) < 65:
        sys.exit(f"FAIL: only {len(objects)} objects in the window")
    if unnamed:
        sys.exit("FAIL: unnamed objects:\n" + "\n".join(unnamed))

    # Typing a tempo: the field takes it, the slider follows in beats per minute.
    tempo = by_role_and_name(window, "text", "Tempo")
    slider = by_role_and_name(window, "slider", "Tempo slider")
    if not tempo.queryEditableText().setTextContents("120"):
        sys.exit("FAIL: the tempo field refused its text")
    wait_for("the tempo slider at 120", lambda: slider.queryValue().currentValue == 120)
    text = tempo.queryText()
    print(f"tempo field {text.getText(0, -1)!r}, slider {slider.queryValue().currentValue}")

    # Play through the button's action; its name follows its caption.
    play = by_role_and_name(window, "push button", "Play")
    actions = play.queryAction()
    names = [actions.getName(i) for i in range(actions.nActions)]
    press = names.index("Press")
    actions.doAction(press)
    wait_for("the Play button to be called Stop", lambda: play.name == "Stop")
    print(f"playing: button {play.name!r}, description {play.description!r}")

    beat = by_role_and_name(window, "image", "Beat")
    wait_for("a beat on the main blinker", lambda: beat.queryValue().currentValue > 0)
    def notes_sent():
        with open(midi_log, encoding="utf-8") as log:
            return " msg " in log.read()

    wait_for("notes in the MIDI log", notes_sent)

    actions.doAction(press)
    wait_for("the Stop button to be called Play", lambda: play.name == "Play")
    print("stopped: button 'Play'")
    print("PASS")


if __name__ == "__main__":
    main()
