#!/usr/bin/env bash
# What an agent meets, end to end: kalu-settings on a virtual X server with a
# fresh simulated device, driven by separate settingsctl runs (each its own
# client) that read only what settingsctl prints.
# - An accepted operation left unpolled holds nobody up: another client's
#   operation is accepted at once, and the first still polls to its outcome.
# - Arguments that do not fit the action's input are refused before anything
#   runs, naming the parameter and what it takes.
# - --wait follows an operation to its end and exits 0 or 1 with it; "-"
#   reads the arguments from standard input.
# - A wrong operation kind says which kind the variant takes.
# - A parameterless action refuses an argument rather than dropping it.
# - A --wait that runs out of time exits 4 (still running) with the
#   operation id on standard output, and `wait` on it later sees the end; a
#   start refused because that operation still runs exits 5 (busy).
#
# usage: agent_road_e2e.sh <kalu-settings> <settingsctl> <simdev> <kalu-test-dav-account>
#          <output folder> (settings_e2e.sh)
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
# shellcheck source=settings_e2e.sh
source "$here/settings_e2e.sh" "$@"
e2e_begin agent_road

export XDG_CONFIG_HOME="$home/config" XDG_DATA_HOME="$home/data" XDG_STATE_HOME="$home/state"
unset KALU_DEVICE_STATE
start_settings

# Started and never polled; a second client goes on at once.
ctl invoke settings.section:time_date timezone '{"choice":"Asia/Tokyo"}' >"$out/first.txt" ||
  fail "the time zone was not accepted"
grep -q '"state": "accepted"' "$out/first.txt" || fail "the time zone was not accepted"
first="$(operation_id "$out/first.txt")"
ctl invoke settings.section:power profile '{"choice":"Balanced"}' >"$out/second.txt" ||
  fail "the second client's operation was refused while the first was left unpolled"
grep -q '"state": "accepted"' "$out/second.txt" || fail "the second operation was not accepted"
ctl wait "$first" >"$out/first-final.txt" || fail "the first operation did not succeed"
grep -q '"text": "Time zone set to Asia/Tokyo."' "$out/first-final.txt" ||
  fail "the first operation's outcome does not carry its message as its text"
simdev show time >"$out/time.txt"
grep -q '"timezone": "Asia/Tokyo"' "$out/time.txt" || fail "the device does not hold Asia/Tokyo"

# Arguments are held to the declared input.
refused() {
  local name="$1" expected="$2"
  shift 2
  local status=0
  ctl "$@" >"$out/$name.txt" 2>&1 || status=$?
  [[ $status -eq 3 ]] || fail "$name answered status $status, not 3"
  grep -qF "$expected" "$out/$name.txt" || fail "$name was not refused with: $expected"
}
refused brightness-text 'brightness: value must be a number from 0 to 1 (invalid_arguments)' \
  invoke settings.section:displays brightness '{"value":"0.5"}'
refused wifi-name 'wifi: unknown argument "enabled"; wifi takes value (true or false)' \
  invoke settings.section:network wifi '{"enabled":true}'
refused charge-cap 'set-charge-cap: percent must be one of 60, 80, 100' \
  invoke settings.section:power set-charge-cap '{"percent":"70%"}'
refused profile 'profile: choice must be one of Power Saver, Balanced, Performance' \
  invoke settings.section:power profile '{"choice":"power-saver"}'
refused zone-name 'timezone: unknown argument "timezone"' \
  invoke settings.section:time_date timezone '{"timezone":"Europe/Paris"}'
refused submit-kind '"SubmitForm" takes operation kind 1, not 2' \
  start settings.account-operation 2 '"SubmitForm"'
refused power-kind 'operation kind does not match power operation: settings.power-operation takes operation kind 1, not 0' \
  start settings.power-operation 0 '{"SetProfile":{"profile":"Balanced"}}'
refused dnd-value 'dnd: unknown argument "value"; dnd takes no arguments (invalid_arguments)' \
  invoke settings.section:notifications dnd '{"value":true}'
[[ "$(simdev get display.brightness)" == 70 ]] || fail "a refused brightness changed it"

# --wait: the final state decides the exit status.
echo '{"value": 0.4}' | ctl invoke settings.section:displays brightness - --wait \
  >"$out/brightness.txt" || fail "the brightness did not succeed"
grep -q '"text": "Brightness set to 40%."' "$out/brightness.txt" ||
  fail "the waited-for outcome does not carry its message"
simdev fault display.set_brightness "the backlight is not responding" >/dev/null
status=0
ctl start settings.display-operation 1 '{"SetBrightness":{"value":0.3}}' --wait \
  >"$out/brightness-fault.txt" || status=$?
[[ $status -eq 1 ]] || fail "a failed operation waited for answered status $status, not 1"
grep -q 'the backlight is not responding' "$out/brightness-fault.txt" ||
  fail "the failure does not carry the backlight's text"

# A pairing slower than the client's wait: still running, not failed.
speaker=/org/bluez/hci0/dev_58_2F_40_9B_E7_16
simdev delay bluez.pair 6000 >/dev/null
status=0
ctl --timeout 1 invoke "settings.bluetooth-device:$speaker" pair --wait >"$out/pair.txt" \
  2>"$out/pair-stderr.txt" || status=$?
[[ $status -eq 4 ]] || fail "a wait that ran out answered status $status, not 4 (still running)"
pairing="$(operation_id "$out/pair.txt")"
[[ -n "$pairing" ]] || fail "the still-running answer names no operation id on standard output"
grep -q '"state": "pending"' "$out/pair.txt" || fail "the still-running answer is not pending"
# While it runs, another operation is refused as busy: a retry may help.
status=0
ctl start settings.power-operation 1 '{"SetProfile":{"profile":"Performance"}}' \
  >/dev/null 2>"$out/busy.txt" || status=$?
[[ $status -eq 5 ]] || fail "a start refused while the pairing ran answered $status, not 5 (busy)"
grep -q "is still running (settings.bluetooth-operation, operation $pairing)" "$out/busy.txt" ||
  fail "the busy refusal does not name the pairing"
ctl wait "$pairing" >"$out/pair-end.txt" || fail "the pairing did not succeed"
grep -q '"state": "succeeded"' "$out/pair-end.txt" || fail "the pairing did not end succeeded"
device_holds paired bluetooth \
  '[d["paired"] for d in state["devices"] if d["path"] == "'"$speaker"'"] == [True]'

echo "agent road end to end: ok"
