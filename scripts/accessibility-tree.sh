#!/usr/bin/env bash
# Dumps what a screen reader is told of the main window, the serial update
# wizard and the station's window (the AT-SPI tree, under Xvfb with openbox
# and a session bus), and fails when a control has no name, or when a
# station tile's button or state is not named after its fixture. Installs the packages it declares (xvfb,
# openbox, xdotool, dbus, at-spi2-core, python3-pyatspi) when missing, as the
# other scripts do, and builds the program (release) when it is not built.
set -euo pipefail
cd "$(dirname "$0")/.."
if [ -z "${DBUS_SESSION_BUS_ADDRESS:-}" ] || [ "${1:-}" != --in-session ]; then
  scripts/install-deps.sh xvfb x11-utils openbox xdotool dbus at-spi2-core python3-pyatspi
  cmake --preset release -DTARVEL_BUILD_TESTS=OFF >/dev/null
  cmake --build --preset release --target Tarvel >/dev/null
  exec dbus-run-session -- "$0" --in-session
fi

source scripts/desktop-session.sh
/usr/libexec/at-spi-bus-launcher --launch-immediately >/dev/null 2>&1 &
pids+=($!)
sleep 1
(cd "$workspace" && QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 exec ./Tarvel) >/dev/null 2>&1 &
pids+=($!)

# The tree of the window captioned like $1; 1 when a control in it is unnamed.
dump() {
  /usr/bin/python3 - "$1" <<'PY'
import sys
import pyatspi

# Roles of what an operator acts on; a frame's panels may be unnamed, and a
# label without text (an empty status line) holds nothing to name. A list is
# named by its current entry, with its label as a relation (Qt on Linux).
CONTROLS = {"push button", "check box", "radio button", "combo box", "text",
            "spin button", "toggle button", "menu item", "page tab"}
unnamed = []

def walk(node, depth):
    if not node.getState().contains(pyatspi.STATE_SHOWING):
        return  # out of everyone's reach
    role, name = node.getRoleName(), node.name
    print("  " * depth + f"{role}: {name!r}")
    if role in CONTROLS and not name.strip():
        unnamed.append(role)
    for child in node:
        if child is not None:
            walk(child, depth + 1)

for application in pyatspi.Registry.getDesktop(0):
    for window in application or []:
        if window is not None and sys.argv[1] in window.name:
            walk(window, 0)
            if unnamed:
                print(f"unnamed: {', '.join(unnamed)}")
            sys.exit(1 if unnamed else 0)
print(f"no window captioned {sys.argv[1]!r}")
sys.exit(1)
PY
}
window() { timeout 10 xdotool search --sync --onlyvisible --name "$1" | head -1; }
click() { xdotool mousemove --window "$1" "$2" "$3" click 1; }

status=0
main=$(window "Mirelo Tarvel")
sleep 1
dump "Mirelo Tarvel" || status=1
click "$main" 153 49             # New project: the wizard needs a project
window "New project" >/dev/null
sleep 0.5
dump "New project" || status=1
xdotool type "Line-7"
xdotool key Tab space            # OK
sleep 0.5
click "$main" 153 137            # Update Device; the updater and master file are missing
for _ in 1 2; do
  window "Firmware Tarvel" >/dev/null
  sleep 0.3
  dump "Firmware Tarvel" || status=1
  xdotool key Return
done
window "Update Firmware from Serial" >/dev/null
sleep 1
dump "Update Firmware from Serial" || status=1
# The options page, where a port here opens and raises DTR.
wizard=$(window "Update Firmware from Serial")
click "$wizard" 224 106          # Connect
sleep 0.5
if xdotool search --onlyvisible --name "^Error$" >/dev/null 2>&1; then
  echo "(no port here opens and raises DTR: the options page is not dumped)"
  xdotool key Return
else
  click "$wizard" 178 187        # Next
  sleep 1
  dump "Update Firmware from Serial" || status=1
fi
xdotool key Escape
sleep 0.5
click "$main" 153 93             # General Parameter
window "General Parameter" >/dev/null
sleep 1
dump "General Parameter" || status=1
xdotool key Escape

# The station's window: a bench of two fixtures whose adapters are absent.
bench=$(mktemp -d)
printf 'name\nCNV-01\nCNV-02\n' >"$bench/queue.csv"
printf 'fixture,serial\nLeft,NOSUCH1\nRight,NOSUCH2\n' >"$bench/bench.csv"
(cd "$workspace" && QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 exec ./Tarvel --station "$bench/queue.csv" \
  --fixtures "$bench/bench.csv") >/dev/null 2>&1 &
pids+=($!)
window "Tarvel Station - queue.csv" >/dev/null
sleep 1
tree=$(dump "Tarvel Station - queue.csv") || status=1
echo "$tree"
for name in "Fixture 1 Left: Done" "Fixture 1 Left: Skip" "Fixture 1 Left state: " \
  "Fixture 2 Right: Done" "Fixture 2 Right: Skip" "Fixture 2 Right state: "; do
  grep -qF "'$name" <<<"$tree" || { echo "not named: $name" >&2; status=1; }
done
rm -rf "$bench"
exit $status
