#!/usr/bin/env bash
# The road of one operation, end to end: kalu-settings runs on a virtual X
# server with state, configuration and runtime directories of its own (so its
# simulated device is a fresh one), and settingsctl talks to it over its
# automation socket.
# - `list` shows "settings.root" with its 22 sections in sidebar order, each
#   opening first.
# - Setting the brightness through "settings.display-operation" is accepted,
#   completes with the Displays pane's message, and the device holds 50.
#
# usage: display_road_e2e.sh <kalu-settings> <settingsctl> <simdev> <output folder>
set -euo pipefail
program="$1"
ctl_program="$2"
simdev_program="$3"
out="$4"
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
xvfb_script="$here/../../../../../platform/kalu_ui/app/tests/xvfb.sh"
mkdir -p "$out"
# shellcheck source=../../../../../platform/kalu_ui/app/tests/xvfb.sh
source "$xvfb_script"

xvfb_pid=""
app_pid=""
home="$(mktemp -d /tmp/kalu-road-XXXXXX)"
mkdir -p "$home/config" "$home/data" "$home/state" "$home/runtime"
chmod 700 "$home/runtime"
cleanup() {
  [[ -n "$app_pid" ]] && kill "$app_pid" 2>/dev/null || true
  [[ -n "$xvfb_pid" ]] && kill "$xvfb_pid" 2>/dev/null || true
  wait 2>/dev/null || true
  rm -rf "$home"
}
trap cleanup EXIT

fail() {
  echo "FAILED: $*" >&2
  for f in "$out"/*.txt; do
    echo "--- $f" >&2
    head -c 4000 "$f" >&2
  done
  exit 1
}

# The program, the client and simdev all find the same device through these.
export XDG_CONFIG_HOME="$home/config" XDG_DATA_HOME="$home/data" XDG_STATE_HOME="$home/state" \
  XDG_RUNTIME_DIR="$home/runtime"
unset KALU_TEST KALU_DEVICE KALU_DEVICE_STATE
ctl() {
  "$ctl_program" --timeout 10 "$@"
}

start_xvfb "$out/xvfb.log"
DISPLAY="$display" "$program" >"$out/app-stdout.txt" 2>"$out/app-stderr.txt" &
app_pid=$!
serving() {
  kill -0 "$app_pid" 2>/dev/null || fail "kalu-settings ended early"
  ctl list >"$out/list.txt" 2>/dev/null
}
wait_until 30 serving || fail "kalu-settings did not serve its socket within 30 s"

# The root and its sections in sidebar order.
grep -q '"id": "settings.root"' "$out/list.txt" || fail "the list has no settings.root"
sections="$(grep -o '"id": "settings.section:[^"]*"' "$out/list.txt" | sed 's/.*section://; s/"$//' | paste -sd' ')"
expected="network bluetooth devices_sync sound displays mouse_keyboard keyboard_shortcuts printers appearance accessibility notifications default-apps storage power time_date users region_formats external_accounts agent_models permissions updates about"
[[ "$sections" == "$expected" ]] || fail "the sections are listed as: $sections"

# The brightness, from the client to the device and back.
[[ "$("$simdev_program" get display.brightness)" == 70 ]] || fail "the fresh device is not at 70"
id="$(ctl start settings.display-operation 1 '{"SetBrightness":{"value":0.5}}')" ||
  fail "setting the brightness was refused"
ctl wait "$id" >"$out/brightness.txt" || fail "setting the brightness did not succeed"
grep -q '"state": "succeeded"' "$out/brightness.txt" || fail "the operation did not succeed"
grep -q 'Brightness set to 50%.' "$out/brightness.txt" || fail "the operation did not say what it set"
level="$("$simdev_program" get display.brightness)"
[[ "$level" == 50 ]] || fail "the device holds brightness $level, not 50"

echo "display road end to end: ok"
