#!/usr/bin/env bash
# The Sound pane end to end: kalu-settings on a virtual X server with state,
# configuration and runtime directories of its own (a fresh simulated
# device), driven by settingsctl over its automation socket; simdev shows what
# each operation did to the device.
# - SetOutputVolume 0.55 ends "Output volume set to 55%." and the device
#   holds 0.55.
# - SelectOutput of the second sink ends "Audio output device changed.", the
#   simulated default sink is that one (switched through the simulated wpctl)
#   and the settings file names it.
# - RouteStream of the playback stream to the first sink ends "Audio stream
#   route changed." and the stream is pinned there.
# - SetOutputVolume 0.55 again ends "Audio setting is already in place.", and
#   the next operation is accepted.
#
# usage: audio_e2e.sh <kalu-settings> <settingsctl> <simdev> <output folder>
set -euo pipefail
program="$1"
ctl_program="$2"
simdev_program="$3"
out="$4"
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
xvfb_script="$here/../../../../../../platform/kalu_ui/app/tests/xvfb.sh"
mkdir -p "$out"
# shellcheck source=../../../../../../platform/kalu_ui/app/tests/xvfb.sh
source "$xvfb_script"

xvfb_pid=""
app_pid=""
home="$(mktemp -d /tmp/kalu-audio-XXXXXX)"
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
simdev() {
  "$simdev_program" "$@"
}
# Starts an audio operation and waits for its end; the answer is in $out/$1.txt.
audio() {
  local name="$1" payload="$2" id
  id="$(ctl start settings.audio-operation 1 "$payload")" || fail "$name was refused"
  ctl wait "$id" >"$out/$name.txt" || fail "$name did not succeed"
}
expect() {
  local name="$1" message="$2"
  grep -q '"state": "succeeded"' "$out/$name.txt" || fail "$name did not succeed"
  grep -qF "$message" "$out/$name.txt" || fail "$name did not end with: $message"
}

start_xvfb "$out/xvfb.log"
DISPLAY="$display" "$program" >"$out/app-stdout.txt" 2>"$out/app-stderr.txt" &
app_pid=$!
serving() {
  kill -0 "$app_pid" 2>/dev/null || fail "kalu-settings ended early"
  ctl list >"$out/list.txt" 2>/dev/null
}
wait_until 30 serving || fail "kalu-settings did not serve its socket within 30 s"

# The output volume, down to the device.
audio volume '{"SetOutputVolume":{"value":0.55}}'
expect volume "Output volume set to 55%."
simdev show audio >"$out/audio-after-volume.txt"
grep -q '"volume": 0.55' "$out/audio-after-volume.txt" || fail "the device does not hold 0.55"

# The second sink as the output: through the simulated wpctl, and saved.
audio select '{"SelectOutput":{"device_id":58}}'
expect select "Audio output device changed."
simdev show audio >"$out/audio-after-select.txt"
python3 - "$out/audio-after-select.txt" <<'PY' || fail "the default sink did not move to 58"
import json, sys
sinks = json.load(open(sys.argv[1]))["sinks"]
assert [s["id"] for s in sinks if s["default"]] == [58], sinks
PY
settings="$XDG_CONFIG_HOME/kalu/settings.json"
[[ -f "$settings" ]] || settings="$(find "$XDG_CONFIG_HOME" -name '*.json' | head -n 1)"
grep -q '"output_device": "Studio Headphones"' "$settings" ||
  fail "the settings file does not name the output device: $(cat "$settings")"

# The playback stream pinned to the built-in sink, now not the default.
audio route '{"RouteStream":{"stream_id":70,"playback":true,"device_id":51}}'
expect route "Audio stream route changed."
simdev show audio >"$out/audio-after-route.txt"
python3 - "$out/audio-after-route.txt" <<'PY' || fail "the stream is not routed to 51"
import json, sys
streams = json.load(open(sys.argv[1]))["streams"]
assert [s["target"] for s in streams if s["id"] == 70] == [51], streams
PY

# The same volume again: in place, and the executor is free for the next.
audio again '{"SetOutputVolume":{"value":0.55}}'
expect again "Audio setting is already in place."
audio next '{"SetOutputMuted":{"muted":true}}'
expect next "Output muted."

echo "audio end to end: ok"
