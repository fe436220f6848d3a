#!/usr/bin/env bash
# Takes the operator's guide's pictures from the program itself, under Xvfb
# with openbox, so that they never drift from the program: the main window,
# New project, General Parameter, the wizard with its box for a missing
# updater, the About box, a bench's table in a terminal and the station's
# window, into
# docs/images/. Installs the packages it declares (xvfb, x11-utils, openbox,
# xdotool, imagemagick, xterm) when missing, as the other scripts do, and
# builds the program (release) when it is not built, and for the table and
# the station's window tarvel-cli and Tarvel on the tests' serial layer (the
# debug build of scripts/test.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh xvfb x11-utils openbox xdotool imagemagick xterm
cmake --preset release -DTARVEL_BUILD_TESTS=OFF >/dev/null
cmake --build --preset release --target Tarvel >/dev/null
cmake --preset debug >/dev/null
cmake --build --preset debug --target tarvel-cli-fakeports Tarvel-fakeports fake_updater >/dev/null

images=docs/images
mkdir -p "$images"
source scripts/desktop-session.sh
sleep 1
(cd "$workspace" && exec ./Tarvel) >/dev/null 2>&1 &
pids+=($!)

# The visible window captioned $1, once it is there. Keys go to the window
# that has the focus, as the operator's would.
window() { xdotool search --sync --onlyvisible --name "$1" | head -1; }
# A picture of the window with its frame, as the operator sees it.
shoot() {
  local id=$1 file=$2
  sleep 0.5
  local frame
  frame=$(xwininfo -id "$id" -children | awk '/Parent window id/ {print $4}')
  [[ $frame == 0x* && $frame != "$(xwininfo -root | awk '/Window id/ {print $4}')" ]] || frame=$id
  import -window "$frame" -strip "$images/$file"
  echo "$images/$file: $(stat -c %s "$images/$file") bytes"
}
# Clicks at x,y inside the window.
click() { xdotool mousemove --window "$1" "$2" "$3" click 1; }

main=$(window "Mirelo Tarvel")
shoot "$main" main-window.png

click "$main" 153 49            # New project
dialog=$(window "New project")
xdotool type "Line-7"
shoot "$dialog" new-project.png
xdotool key Tab space   # OK: the project is made
sleep 0.5

click "$main" 153 93            # General Parameter
parameters=$(window "General Parameter")
shoot "$parameters" general-parameter.png
xdotool key Escape
sleep 0.5

click "$main" 153 137           # Update Device
box=$(window "Firmware Tarvel")
shoot "$box" missing-updater.png
xdotool key Return
sleep 0.5
box=$(window "Firmware Tarvel")  # the master file is missing too
xdotool key Return
wizard=$(window "Update Firmware from Serial")
shoot "$wizard" update-wizard.png
xdotool key Escape
sleep 0.5

click "$main" 503 30            # About
about=$(window "About")
shoot "$about" about.png
xdotool key Escape
sleep 0.5

# A bench of four fixtures in a terminal: COM1 to COM16 of the tests' serial
# layer, the stand-in updater taking 4 s, its second run failing, and one
# fixture whose adapter is absent.
bench=$(mktemp -d)
mkdir "$bench/MASTER"
: >"$bench/MASTER/sim40917.sim"
cp build/debug/tests/fake_updater "$bench/Ser_40917_Update.exe"
{ echo name; printf 'CNV-0%s\n' {1..9}; } >"$bench/queue.csv"
printf 'fixture,port,usbPath,serial\nLeft,COM1,,\nMiddle,,1-1.2,\nRight,,,FAKE0003\nSpare,,,A50285BI\n' \
  >"$bench/bench.csv"
TARVEL_ARGS_FILE="$bench/args.txt" TARVEL_UPDATER_EXIT_CODES="0 2 0" TARVEL_UPDATER_SLEEP_MS=4000 \
  xterm -T "Bench" -geometry 100x9 -fa Monospace -fs 10 -e \
  build/debug/tests/tarvel-cli-fakeports --workspace "$bench" station "$bench/queue.csv" \
  --fixtures "$bench/bench.csv" --yes &
pids+=($!)
terminal=$(window "Bench")
sleep 6                         # one row failed, the next ones running
shoot "$terminal" bench-table.png
kill "${pids[-1]}" 2>/dev/null || true
rm -rf "$bench"

# The station's window on a bench of two fixtures (COM1 and COM2 of the tests'
# serial layer), driven by its keys: one tile running, one asking; then the
# second attempt failed; then the record's check.
station=$(mktemp -d)
mkdir "$station/MASTER"
: >"$station/MASTER/sim40917.sim"
cp build/debug/tests/fake_updater "$station/Ser_40917_Update.exe"
{ echo name; printf 'CNV-0%s\n' {1..6}; } >"$station/queue.csv"
printf 'fixture,port\nLeft,COM1\nRight,COM2\n' >"$station/bench.csv"
TARVEL_ARGS_FILE="$station/args.txt" TARVEL_UPDATER_EXIT_CODES="0 2 0" TARVEL_UPDATER_SLEEP_MS=4000 \
  build/debug/tests/Tarvel-fakeports "$station" --station "$station/queue.csv" \
  --fixtures "$station/bench.csv" >/dev/null 2>&1 &
pids+=($!)
tiles=$(window "Tarvel Station - queue.csv")
sleep 1
xdotool key 1 Return            # Left: Done
sleep 1                         # a new question takes no press at once
xdotool key Return              # Left: It blinks; its updater runs
sleep 1
xdotool key 2 Return            # Right: Done; it asks whether the led blinks
sleep 1
shoot "$tiles" station-bench.png
xdotool key Return              # Right: It blinks; its updater fails
sleep 6
shoot "$tiles" station-fail.png
xdotool key alt+c               # Check record
sleep 0.5
shoot "$tiles" station-record.png
kill "${pids[-1]}" 2>/dev/null || true
rm -rf "$station"

# The updater's own window: a stand-in updater that says what a device
# without power makes it say. It needs a port that opens and raises DTR.
printf '#!/bin/sh\necho "Connecting to $1 ..."\nsleep 1\necho "Device not responding"\nexit 2\n' \
  >"$workspace/Ser_40917_Update.exe"
chmod +x "$workspace/Ser_40917_Update.exe"
: >"$workspace/MASTER/sim40917.sim"
click "$main" 153 137           # Update Device
wizard=$(window "Update Firmware from Serial")
click "$wizard" 224 106         # Connect
sleep 0.5
if xdotool search --onlyvisible --name "^Error$" >/dev/null 2>&1; then
  echo "no port here opens and raises DTR: updater-output.png not taken" >&2
  exit 0
fi
click "$wizard" 178 187         # Next
sleep 0.5
click "$wizard" 92 185          # Execute update firmware
output=$(window "Ser_40917_Update.exe")
sleep 2                         # its last line, and the wizard's status
shoot "$output" updater-output.png
