#!/usr/bin/env bash
# The Sound pane end to end: kalu-settings runs on a virtual X server with a
# simulated device of its own, settingsctl starts audio operations over the
# automation socket and waits for their outcome, and simdev shows what each
# did to the device.
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
# usage: audio_e2e.sh <kalu-settings> <settingsctl> <simdev> <kalu-test-dav-account>
#          <output folder> (settings_e2e.sh)
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
# shellcheck source=../../../settings_app/tests/settings_e2e.sh
source "$here/../../../settings_app/tests/settings_e2e.sh" "$@"
e2e_begin audio
operation_action=settings.audio-operation

simdev reset >/dev/null || fail "simdev could not seed the device"
start_settings

# The output volume, down to the device.
run volume '{"SetOutputVolume":{"value":0.55}}'
said volume "Output volume set to 55%."
device_holds after-volume audio '[s["volume"] for s in state["sinks"] if s["default"]] == [0.55]'

# The second sink as the output: through the simulated wpctl, and saved.
run select '{"SelectOutput":{"device_id":58}}'
said select "Audio output device changed."
device_holds after-select audio '[s["id"] for s in state["sinks"] if s["default"]] == [58]'
settings="$home/config/kalu/settings.json"
grep -q '"output_device": "Studio Headphones"' "$settings" ||
  fail "the settings file does not name the output device: $(cat "$settings")"

# The playback stream pinned to the built-in sink, no longer the default.
run route '{"RouteStream":{"stream_id":70,"playback":true,"device_id":51}}'
said route "Audio stream route changed."
device_holds after-route audio '[s["target"] for s in state["streams"] if s["id"] == 70] == [51]'

# The same volume again: in place, and the executor is free for the next.
run again '{"SetOutputVolume":{"value":0.55}}'
said again "Audio setting is already in place."
run next '{"SetOutputMuted":{"muted":true}}'
said next "Output muted."

echo "audio end to end: ok"
