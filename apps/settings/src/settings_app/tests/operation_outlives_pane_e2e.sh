#!/usr/bin/env bash
# An operation belongs to the executor, not to the page shown: kalu-settings
# on a virtual X server with a simulated device, driven by separate
# settingsctl runs (each its own client).
# - A slow Bluetooth pairing is started; another client opens Sound while it
#   runs. The pairing still ends "succeeded", and simdev lists the device
#   paired.
# - A cancel never hides a known outcome: a change that has ended answers
#   its final state, not "cancelled"; a pairing under way is not stopped by
#   a cancel, so it is not answered "cancelled" and still ends paired.
#
# usage: operation_outlives_pane_e2e.sh <kalu-settings> <settingsctl> <simdev>
#          <kalu-test-dav-account> <output folder> (settings_e2e.sh)
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
# shellcheck source=settings_e2e.sh
source "$here/settings_e2e.sh" "$@"
e2e_begin operation_outlives_pane

simdev reset >/dev/null || fail "simdev could not seed the device"
simdev set 'delays["bluez.pair"]' 3000 >/dev/null || fail "simdev could not slow pairing"
start_settings

# The unpaired devices, from the Bluetooth section's device items: those
# whose actions offer "pair".
unpaired() {
  ctl list >"$out/list.txt" || fail "settingsctl list failed"
  python3 -c '
import json, sys
prefix = "settings.bluetooth-device:"
def walk(resources):
    for r in resources:
        yield r
        yield from walk(r.get("children", []))
for r in walk(json.load(open(sys.argv[1]))):
    if r["id"].startswith(prefix) and any(a["name"] == "pair" for a in r["actions"]):
        print(r["id"][len(prefix):])' "$out/list.txt"
}
path="$(unpaired | head -n 1)"
[[ -n "$path" ]] || fail "no device item offers \"pair\""

paired() {
  simdev show bluetooth >"$out/device-$2.txt" || fail "simdev show failed"
  python3 -c '
import json, sys
devices = json.load(open(sys.argv[1]))["devices"]
d = next(d for d in devices if d["path"] == sys.argv[2])
sys.exit(0 if d["paired"] else 1)' "$out/device-$2.txt" "$1"
}

state_of() {
  python3 -c 'import json, sys; print(json.load(open(sys.argv[1]))["state"])' "$1"
}

# Another client opens Sound while the pairing runs.
id="$(ctl start settings.bluetooth-operation 1 "{\"Pair\":{\"path\":\"$path\"}}")" ||
  fail "the pairing was refused"
sleep 0.7
ctl invoke settings.section:sound open >"$out/open-sound.txt" || fail "Sound did not open"
ctl wait "$id" >"$out/pair.txt" || fail "the pairing did not succeed after Sound was opened"
[[ "$(state_of "$out/pair.txt")" == succeeded ]] || fail "the pairing did not end succeeded"
paired "$path" first || fail "simdev does not list $path as paired"

# A change that has ended, cancelled before anyone polled it: its outcome.
id="$(ctl start settings.bluetooth-operation 1 '{"SetPowered":{"enabled":false}}')" ||
  fail "power off was refused"
powered_off() { [[ "$(simdev get bluetooth.powered)" == false ]]; }
wait_until 30 powered_off || fail "the adapter did not go off"
ctl poll "$id" --cancel >"$out/power-cancel.txt" || true
[[ "$(state_of "$out/power-cancel.txt")" != cancelled ]] ||
  fail "a change that had ended was answered cancelled"
ctl wait "$id" >"$out/power.txt" || fail "power off did not end succeeded"
run_operation settings.bluetooth-operation power-on '{"SetPowered":{"enabled":true}}'

# A pairing under way cannot be stopped: the cancel does not say cancelled,
# and the pairing ends as it truly does.
# The device unpaired again from outside, as at the start.
index="$(python3 -c '
import json, sys
devices = json.load(open(sys.argv[1]))["devices"]
print(next(i for i, d in enumerate(devices) if d["path"] == sys.argv[2]))' \
  "$out/device-first.txt" "$path")" || fail "simdev does not list $path"
for member in paired trusted connected; do
  simdev set "bluetooth.devices[$index].$member" false >/dev/null ||
    fail "simdev could not unpair $path"
done
! paired "$path" unpaired || fail "simdev still lists $path as paired"
id="$(ctl start settings.bluetooth-operation 1 "{\"Pair\":{\"path\":\"$path\"}}")" ||
  fail "the second pairing was refused"
sleep 0.8
ctl poll "$id" --cancel >"$out/pair-cancel.txt" || true
[[ "$(state_of "$out/pair-cancel.txt")" != cancelled ]] ||
  fail "a pairing under way was answered cancelled"
ctl wait "$id" >"$out/pair-second.txt" || fail "the second pairing did not succeed"
paired "$path" second || fail "simdev does not list $path as paired"

echo "operation outlives its pane end to end: ok"
