#!/usr/bin/env bash
# Time & Date end to end: kalu-settings runs on a virtual X server with
# state, configuration and runtime directories of its own (so its simulated
# device is a fresh one), and settingsctl talks to it over its automation
# socket.
# - With Time & Date open, {"SetTimezone":{"timezone":"Asia/Tokyo"}} through
#   "settings.time-date-operation" polls to "time zone updated" and the
#   device holds the zone.
#
# usage: time_region_e2e.sh <kalu-settings> <settingsctl> <simdev> <output folder>
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
home="$(mktemp -d /tmp/kalu-time-region-XXXXXX)"
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
  ctl list >/dev/null 2>&1
}
wait_until 30 serving || fail "kalu-settings did not serve its socket within 30 s"

# The time zone, from the client to the device, with the page shown.
ctl start settings.open-pane 2 '"time_date"' >/dev/null || fail "opening Time & Date was refused"
"$simdev_program" show time >"$out/time-before.txt"
grep -q '"Asia/Tokyo"' "$out/time-before.txt" && fail "the fresh device is already on Asia/Tokyo"
id="$(ctl start settings.time-date-operation 1 '{"SetTimezone":{"timezone":"Asia/Tokyo"}}')" ||
  fail "setting the time zone was refused"
ctl wait "$id" >"$out/timezone.txt" || fail "setting the time zone did not succeed"
grep -q '"state": "succeeded"' "$out/timezone.txt" || fail "the operation did not succeed"
grep -q 'time zone updated' "$out/timezone.txt" || fail "the operation did not say what it did"
"$simdev_program" show >"$out/device.txt"
grep -q '"timezone": "Asia/Tokyo"' "$out/device.txt" || fail "the device does not hold Asia/Tokyo"

echo "time and region end to end: ok"
