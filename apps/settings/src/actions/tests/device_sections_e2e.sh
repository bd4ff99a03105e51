#!/usr/bin/env bash
# The device sections and the Displays pane end to end: kalu-settings runs on
# a virtual X server with a simulated device of its own, settingsctl reads
# its resource tree and starts display operations over the automation
# socket, and simdev changes and shows the device.
# - A display output's item answers with its actions and choice lists built
#   from the other output.
# - A stream added to the device with simdev is an item of the next Sound
#   section.
# - A preference switch invoked through the Appearance section is in the
#   state document the next build of the section reads.
# - The brightness reaches the backlight; a failing backlight fails the
#   operation with its text and leaves the level.
# - A scale staged, applied and kept is the saved layout; one applied and
#   left unconfirmed is restored by the pane once its test has run out.
#
# usage: device_sections_e2e.sh <kalu-settings> <settingsctl> <simdev> <output folder>
set -euo pipefail
program="$1"
ctl_program="$2"
simdev_program="$3"
out="$4"
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
xvfb_script="$here/../../../../../platform/kalu_ui/app/tests/xvfb.sh"
mkdir -p "$out"
rm -f "$out"/*.txt
# shellcheck source=../../../../../platform/kalu_ui/app/tests/xvfb.sh
source "$xvfb_script"

xvfb_pid=""
app_pid=""
home="$(mktemp -d /tmp/kalu-device-sections-XXXXXX)"
mkdir -p "$home/config" "$home/data" "$home/state" "$home/runtime"
chmod 700 "$home/runtime"
export KALU_DEVICE_STATE="$home/state/simulated-device.json"
unset KALU_TEST KALU_DEVICE
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
    head -c 6000 "$f" >&2
  done
  exit 1
}

ctl() {
  XDG_RUNTIME_DIR="$home/runtime" "$ctl_program" --timeout 60 "$@"
}
simdev() {
  "$simdev_program" "$@"
}

# display NAME PAYLOAD: starts a display operation and waits for its final
# state (in NAME.txt); the wait's exit status is the answer.
display() {
  local id
  id="$(ctl start settings.display-operation 1 "$2")" || fail "$1 was refused"
  ctl wait "$id" >"$out/$1.txt"
}
# is NUMBER PATH: the device holds that number at PATH (62 and 62.0 alike).
is() {
  local value
  value="$(simdev get "$2")" || return 1
  python3 -c 'import sys; sys.exit(float(sys.argv[1]) != float(sys.argv[2]))' "$1" "$value"
}
# said NAME TEXT: NAME succeeded with TEXT.
said() {
  grep -qF "\"value\": \"$2\"" "$out/$1.txt" || fail "$1 did not end with \"$2\""
}

simdev reset >/dev/null || fail "simdev could not seed the device"
start_xvfb "$out/xvfb.log"
DISPLAY="$display" XDG_CONFIG_HOME="$home/config" XDG_DATA_HOME="$home/data" \
  XDG_STATE_HOME="$home/state" XDG_RUNTIME_DIR="$home/runtime" \
  "$program" >"$out/app-stdout.txt" 2>"$out/app-stderr.txt" &
app_pid=$!
serving() {
  kill -0 "$app_pid" 2>/dev/null || fail "kalu-settings ended early"
  ctl list >/dev/null 2>&1
}
wait_until 60 serving || fail "kalu-settings did not serve its socket within a minute"

# One output's item, with the choices built from the other output.
ctl get settings.display-output:DP-2 >"$out/output.txt" || fail "the output DP-2 was not found"
python3 - "$out/output.txt" <<'PY' || fail "the output's item is not as expected"
import json, sys
item = json.load(open(sys.argv[1]))
assert item["id"] == "settings.display-output:DP-2", item["id"]
assert item["label"] == "Studio Monitor 27", item["label"]
actions = {a["name"]: a for a in item["actions"]}
assert list(actions) == ["enabled", "scale", "position", "mirror", "primary", "mode",
                         "transform", "hdr", "vrr", "color-profile"], list(actions)
def choices(name):
    return actions[name]["parameters"][0]["allowed_values"]
assert choices("position") == ["Automatic", "Left of Built-in display", "Right of Built-in display",
                               "Above of Built-in display", "Below of Built-in display"], choices("position")
assert choices("mirror") == ["Extend workspace", "Mirror Built-in display"], choices("mirror")
assert "2560 × 1440 · 144 Hz" in choices("mode"), choices("mode")
assert choices("color-profile") == ["System default", "Display P3 · display-p3", "sRGB · srgb"]
PY

# A stream that starts playing is listed by the next build of the section.
has_stream() {
  python3 - "$1" <<'PY'
import json, sys
section = json.load(open(sys.argv[1]))
ids = {c["id"]: c for c in section["children"]}
item = ids.get("settings.audio-playback:90")
sys.exit(0 if item and item["label"] == "Music Player · Night drive" else 1)
PY
}
ctl get settings.section:sound >"$out/sound-before.txt" || fail "no Sound section"
! has_stream "$out/sound-before.txt" || fail "the stream is listed before it exists"
simdev add audio.streams '{"id": 90, "playback": true, "app_name": "Music Player",
  "media_name": "Night drive", "target": null, "volume": 0.5, "muted": false}' >/dev/null ||
  fail "simdev could not add the stream"
ctl get settings.section:sound >"$out/sound-after.txt" || fail "no Sound section"
has_stream "$out/sound-after.txt" || fail "the added stream is not an item of the Sound section"

# A set-setting switch: invoking it flips the value the next section reads.
contrast_label() {
  python3 - "$1" <<'PY'
import json, sys
section = json.load(open(sys.argv[1]))
print({a["name"]: a["label"] for a in section["actions"]}["high_contrast"])
PY
}
ctl get settings.section:appearance >"$out/appearance-before.txt" || fail "no Appearance section"
[[ "$(contrast_label "$out/appearance-before.txt")" == "Turn on high contrast" ]] ||
  fail "high contrast is not offered as off at first"
ctl invoke settings.section:appearance high_contrast >"$out/contrast.txt" ||
  fail "invoking high_contrast did not complete"
ctl get settings.section:appearance >"$out/appearance-after.txt" || fail "no Appearance section"
[[ "$(contrast_label "$out/appearance-after.txt")" == "Turn off high contrast" ]] ||
  fail "the next Appearance section does not offer to turn high contrast off"

# The Displays pane, shown and probed before its first operation.
ctl invoke settings.section:displays open >"$out/open.txt" || fail "the Displays pane did not open"
sleep 1

display brightness '{"SetBrightness":{"value":0.62}}' || fail "the brightness was not set"
said brightness "Brightness set to 62%."
is 62 display.brightness || fail "the backlight is not at 62"

simdev fault display.set_brightness "the backlight is not responding" >/dev/null
! display brightness-fault '{"SetBrightness":{"value":0.3}}' ||
  fail "a failing backlight did not fail the operation"
grep -qF "Brightness could not be changed: the backlight is not responding" \
  "$out/brightness-fault.txt" || fail "the failure does not carry the backlight's text"
is 62 display.brightness || fail "the level moved although the backlight failed"
simdev fault display.set_brightness >/dev/null

# Staged, applied, kept.
display stage '{"SetOutputScale":{"connector":"DP-2","label":"125%"}}' || fail "staging failed"
display apply '"Apply"' || fail "applying failed"
said apply "Display change is being tested; keep it or it will be reverted."
display keep '"Confirm"' || fail "keeping failed"
said keep "Display changes kept."
is 1.25 display.config.DP-2.scale || fail "the kept scale is not saved"

# Applied and left: the pane notices the test has run out and the layout
# before it is back.
display stage-again '{"SetOutputScale":{"connector":"DP-2","label":"175%"}}' || fail "staging failed"
display apply-again '"Apply"' || fail "applying failed"
is 1.75 display.config.DP-2.scale || fail "the applied scale is not on test"
simdev set display.transaction.deadline_unix_ms 1 >/dev/null
reverted() { is 5 display.transaction.state; }
wait_until 60 reverted || fail "the pane did not restore the layout after its test ran out"
is 1.25 display.config.DP-2.scale || fail "the previous scale is not back"
! display keep-late '"Confirm"' || fail "keeping a restored layout succeeded"
grep -qF "Display configuration could not be kept" "$out/keep-late.txt" ||
  fail "keeping a restored layout did not say why it failed"

echo "device sections end to end: ok"
