# Sourced by the scripts that look at the program as an operator would: a
# copy of build/release/Tarvel in a fresh workspace ($workspace), an Xvfb
# display ($DISPLAY) with openbox, everything ended and removed on exit.
# Programs started later add their process to pids.
workspace=$(mktemp -d)
cp build/release/Tarvel "$workspace/"
pids=()
cleanup() {
  kill "${pids[@]}" 2>/dev/null || true
  rm -rf "$workspace"
}
trap cleanup EXIT
export DISPLAY=:$((90 + RANDOM % 100))
Xvfb "$DISPLAY" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
pids+=($!)
for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
openbox >/dev/null 2>&1 &
pids+=($!)
