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
# usage: display_road_e2e.sh <kalu-settings> <settingsctl> <simdev> <kalu-test-dav-account>
#          <output folder> (settings_e2e.sh)
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
# shellcheck source=settings_e2e.sh
source "$here/settings_e2e.sh" "$@"
e2e_begin road

# The program, the client and simdev all find the same device through these.
export XDG_CONFIG_HOME="$home/config" XDG_DATA_HOME="$home/data" XDG_STATE_HOME="$home/state"
unset KALU_DEVICE_STATE
start_settings
ctl list >"$out/list.txt" || fail "the tree could not be listed"

# The root and its sections in sidebar order.
grep -q '"id": "settings.root"' "$out/list.txt" || fail "the list has no settings.root"
sections="$(grep -o '"id": "settings.section:[^"]*"' "$out/list.txt" | sed 's/.*section://; s/"$//' | paste -sd' ')"
expected="network bluetooth devices_sync sound displays mouse_keyboard keyboard_shortcuts printers appearance accessibility notifications default-apps storage power time_date users region_formats external_accounts agent_models permissions updates about"
[[ "$sections" == "$expected" ]] || fail "the sections are listed as: $sections"

# The brightness, from the client to the device and back.
[[ "$(simdev get display.brightness)" == 70 ]] || fail "the fresh device is not at 70"
run_operation settings.display-operation brightness '{"SetBrightness":{"value":0.5}}'
grep -q '"state": "succeeded"' "$out/brightness.txt" || fail "the operation did not succeed"
grep -q 'Brightness set to 50%.' "$out/brightness.txt" || fail "the operation did not say what it set"
level="$(simdev get display.brightness)"
[[ "$level" == 50 ]] || fail "the device holds brightness $level, not 50"

echo "display road end to end: ok"
