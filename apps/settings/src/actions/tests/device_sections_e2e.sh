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
# usage: device_sections_e2e.sh <kalu-settings> <settingsctl> <simdev> <kalu-test-dav-account>
#          <output folder> (settings_e2e.sh)
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
# shellcheck source=../../settings_app/tests/settings_e2e.sh
source "$here/../../settings_app/tests/settings_e2e.sh" "$@"
e2e_begin device-sections
operation_action=settings.display-operation

# is NUMBER PATH: the device holds that number at PATH (62 and 62.0 alike).
is() {
  local value
  value="$(simdev get "$2")" || return 1
  python3 -c 'import sys; sys.exit(float(sys.argv[1]) != float(sys.argv[2]))' "$1" "$value"
}

simdev reset >/dev/null || fail "simdev could not seed the device"
start_settings

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

run brightness '{"SetBrightness":{"value":0.62}}'
said brightness "Brightness set to 62%."
is 62 display.brightness || fail "the backlight is not at 62"

simdev fault display.set_brightness "the backlight is not responding" >/dev/null
run_failing brightness-fault '{"SetBrightness":{"value":0.3}}' \
  "Brightness could not be changed: the backlight is not responding"
is 62 display.brightness || fail "the level moved although the backlight failed"
simdev fault display.set_brightness >/dev/null

# Staged, applied, kept.
run stage '{"SetOutputScale":{"connector":"DP-2","label":"125%"}}'
run apply '"Apply"'
said apply "Display change is being tested; keep it or it will be reverted."
run keep '"Confirm"'
said keep "Display changes kept."
is 1.25 display.config.DP-2.scale || fail "the kept scale is not saved"

# Applied and left: the pane notices the test has run out and the layout
# before it is back.
run stage-again '{"SetOutputScale":{"connector":"DP-2","label":"175%"}}'
run apply-again '"Apply"'
is 1.75 display.config.DP-2.scale || fail "the applied scale is not on test"
simdev set display.transaction.deadline_unix_ms 1 >/dev/null
reverted() { is 5 display.transaction.state; }
wait_until 60 reverted || fail "the pane did not restore the layout after its test ran out"
is 1.25 display.config.DP-2.scale || fail "the previous scale is not back"
! operation "$operation_action" keep-late '"Confirm"' || fail "keeping a restored layout succeeded"
grep -qF "Display configuration could not be kept" "$out/keep-late.txt" ||
  fail "keeping a restored layout did not say why it failed"

echo "device sections end to end: ok"
