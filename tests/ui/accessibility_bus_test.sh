#!/bin/bash
# The program on a real accessibility bus: a private X server, session bus and AT-SPI bus,
# the program with Qt's accessibility always on (as when a screen reader runs), and
# accessibility_bus_test.py as the screen reader.
#
# Usage: accessibility_bus_test.sh PROGRAM   (run under xvfb-run and dbus-run-session:
#   xvfb-run -a dbus-run-session -- accessibility_bus_test.sh build/app/ticktavo)
set -u

program=$1
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# A settings file and runtime directory of its own, nothing of the user's.
export HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" XDG_RUNTIME_DIR="$work/run"
mkdir -p "$HOME" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"

# pyatspi comes with the system's Python, which may not be the first python3 on the path.
python=""
for candidate in /usr/bin/python3 python3; do
  if "$candidate" -c 'import pyatspi' 2>/dev/null; then
    python=$candidate
    break
  fi
done
if [ -z "$python" ]; then
  echo "FAIL: no python3 with pyatspi (install python3-pyatspi)" >&2
  exit 1
fi

launcher=/usr/libexec/at-spi-bus-launcher
if [ ! -x "$launcher" ]; then
  echo "FAIL: $launcher missing (install at-spi2-core)" >&2
  exit 1
fi
"$launcher" --launch-immediately &
launcher_pid=$!

export QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 QT_QPA_PLATFORM=xcb
export TICKTAVO_MIDI="log:$work/midi.log"
"$program" &
program_pid=$!

"$python" "$here/accessibility_bus_test.py" "$work/midi.log"
result=$?

kill "$program_pid" 2>/dev/null
wait "$program_pid" 2>/dev/null
kill "$launcher_pid" 2>/dev/null
wait "$launcher_pid" 2>/dev/null
exit $result
