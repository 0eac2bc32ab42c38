#!/usr/bin/env python3
"""The layer check fails on an include of a layer above, names file and line, and passes the
includes each layer may make."""

import os
import subprocess
import sys
import tempfile
import unittest

SCRIPT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "scripts",
                      "check_layers.py")

# (file, included header, forbidden?)
CASES = [
    ("engine/clock.h", "ui/metronome_window.h", True),
    ("engine/clock.cpp", "engine/clock.h", False),
    ("rhythm/sequencer.h", "engine/beat_sink.h", False),
    ("store/settings_store.h", "dialog/window_host.h", True),
    ("dialog/metronome_dialog.h", "res/resource_ids.h", False),
    ("ui/win32/utf16.cpp", "ui/qt_controls.h", True),
    ("ui/qt_controls.cpp", "ui/win32/utf16.h", True),
    ("app/main.cpp", "ui/metronome_window.h", False),
    ("tests/engine/player_rig.h", "support/fake_clock.h", False),
    ("tests/engine/beat_queue_test.cpp", "store/registry.h", True),
    ("engine/synth/note_mixer.cpp", "../../ui/qt_controls.h", True),
    ("tests/dialog/dialog_rig.h", "../support/fake_clock.h", False),
]


class LayerCheck(unittest.TestCase):
    def run_check(self, files):
        with tempfile.TemporaryDirectory() as root:
            for index, (name, header) in enumerate(files):
                os.makedirs(os.path.join(root, os.path.dirname(name)), exist_ok=True)
                with open(os.path.join(root, name), "a", encoding="utf-8") as out:
                    out.write(f'// {index}\n#include <vector>\n#include "{header}"\n')
            done = subprocess.run([sys.executable, SCRIPT, root], capture_output=True, text=True)
            return done.returncode, done.stderr

    def test_only_the_forbidden_includes_are_reported_with_file_and_line(self):
        status, errors = self.run_check([(name, header) for name, header, _ in CASES])
        self.assertEqual(status, 1)
        reported = sorted(line.split(": error: ")[0] + " " + line.split('"')[1]
                          for line in errors.splitlines())
        expected = sorted(f"{name}:3 {header}" for name, header, bad in CASES if bad)
        self.assertEqual(reported, expected)

    def test_a_tree_without_forbidden_includes_passes(self):
        status, errors = self.run_check([(name, header) for name, header, bad in CASES if not bad])
        self.assertEqual((status, errors), (0, ""))


if __name__ == "__main__":
    unittest.main()
