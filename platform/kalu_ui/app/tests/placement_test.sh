#!/usr/bin/env bash
# With no window manager to place it, the window places itself wholly on the
# screen: the demo at twice the scale on a virtual X server without one,
# whose window would be larger than the screen at its asked-for size, is
# found by xwininfo within the screen's bounds.
#
# usage: placement_test.sh <demo program> <output folder>
set -euo pipefail
program="$1"
out="$2"
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
# shellcheck source=xvfb.sh
source "$here/xvfb.sh"
mkdir -p "$out"
home="$(mktemp -d /tmp/kalu-placement-XXXXXX)"
mkdir -p "$home/runtime"
chmod 700 "$home/runtime"
program_pid=""
cleanup() {
  [[ -n "$program_pid" ]] && kill "$program_pid" 2>/dev/null || true
  [[ -n "${xvfb_pid:-}" ]] && kill "$xvfb_pid" 2>/dev/null || true
  wait 2>/dev/null || true
  rm -rf "$home"
}
trap cleanup EXIT
start_xvfb "$out/xvfb.log"

DISPLAY="$display" XDG_RUNTIME_DIR="$home/runtime" KALU_UI_SCALE=2 \
  "$program" 2>"$out/demo-stderr.txt" &
program_pid=$!
geometry() {
  xwininfo -display "$display" -name "Toolkit Demo" >"$out/window.txt" 2>/dev/null
}
wait_until 60 geometry || { echo "FAILED: no demo window within a minute" >&2; exit 1; }
xwininfo -display "$display" -root >"$out/screen.txt"
value() { sed -n "s/^ *$1: *\(-\{0,1\}[0-9]*\).*/\1/p" "$2" | head -n1; }
x="$(value "Absolute upper-left X" "$out/window.txt")"
y="$(value "Absolute upper-left Y" "$out/window.txt")"
w="$(value "Width" "$out/window.txt")"
h="$(value "Height" "$out/window.txt")"
sw="$(value "Width" "$out/screen.txt")"
sh="$(value "Height" "$out/screen.txt")"
echo "window ${w}x${h} at ${x},${y} on a ${sw}x${sh} screen"
((x >= 0 && y >= 0 && x + w <= sw && y + h <= sh)) ||
  { echo "FAILED: the window hangs off the screen" >&2; exit 1; }
echo "placement: ok"
