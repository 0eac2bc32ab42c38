#!/usr/bin/env bash
# The program's command line as a user runs it: no display, a fresh configuration folder.
#   command_line_binary_test.sh build/app/ticktavo
set -euo pipefail
app=$1
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
run() {
  env -u DISPLAY -u WAYLAND_DISPLAY XDG_CONFIG_HOME="$dir/config" \
    TICKTAVO_SOUNDFONT=/usr/share/sounds/sf2/TimGM6mb.sf2 "$app" "$@"
}
fail() { echo "FAIL: $*" >&2; exit 1; }

run --help >"$dir/help" || fail "--help exited $?"
grep -q -- '--export FILE' "$dir/help" || fail "--help does not list --export"

# First start: no settings file, so the defaults (Straight, 4 beats, 200 BPM).
run --export "$dir/click.flac" --measures 3 >"$dir/out" 2>"$dir/err" || fail "export exited $?"
grep -q '^.*click.flac: 12 beats in 3 measures at 200 BPM, ' "$dir/out" || fail "$(cat "$dir/out")"
[ -s "$dir/click.flac" ] || fail "no file written"
[ ! -s "$dir/err" ] || fail "stderr: $(cat "$dir/err")"
[ ! -e "$dir/config" ] || fail "the export created the settings folder"

status=0
run --export "$dir/x.wav" --rate 22050 >"$dir/out" 2>"$dir/err" || status=$?
[ "$status" -eq 2 ] || fail "a bad option exited $status"
[ "$(wc -l <"$dir/err")" -eq 1 ] || fail "not one line: $(cat "$dir/err")"
[ ! -e "$dir/x.wav" ] || fail "a file was written"
# Without options and without a display: one line saying so, status 1, before the toolkit
# could abort (QT_QPA_PLATFORM unset too: the tests run offscreen).
status=0
env -u QT_QPA_PLATFORM -u DISPLAY -u WAYLAND_DISPLAY XDG_CONFIG_HOME="$dir/config" "$app" \
  >"$dir/out" 2>"$dir/err" || status=$?
[ "$status" -eq 1 ] || fail "no display: exited $status: $(cat "$dir/err")"
[ "$(wc -l <"$dir/err")" -eq 1 ] || fail "no display: not one line: $(cat "$dir/err")"
grep -q '^Ticktavo needs a graphical desktop: no display found' "$dir/err" ||
  fail "no display: $(cat "$dir/err")"
[ ! -e "$dir/config" ] || fail "no display: the settings folder was created"
echo "ok"
