#!/usr/bin/env bash
# The Bluetooth pane driven end to end: kalu-settings runs on a virtual X
# server with a simulated device of its own, settingsctl starts Bluetooth
# operations over the automation socket and waits for their outcome, and
# simdev shows what they did to the device.
# - An unpaired seeded device, found among the "settings.bluetooth-device:"
#   items of the resource tree, pairs on the pane's worker (the simulated
#   pairing takes a while) and ends "<name> is paired and connected.", and
#   simdev lists it paired and connected.
# - Power off, then on again, ends "Bluetooth enabled.".
# - Discovery asked twice starts, then stops.
#
# usage: bluetooth_e2e.sh <kalu-settings> <settingsctl> <simdev> <kalu-test-dav-account>
#          <output folder> (settings_e2e.sh)
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
# shellcheck source=../../../settings_app/tests/settings_e2e.sh
source "$here/../../../settings_app/tests/settings_e2e.sh" "$@"
e2e_begin bluetooth
operation_action=settings.bluetooth-operation

# The device is seeded before the application starts, pairing made slow.
simdev reset >/dev/null || fail "simdev could not seed the device"
simdev delay bluez.pair 400 >/dev/null || fail "simdev could not slow pairing"

start_settings

# An unpaired device, from the Bluetooth section's device items: the one
# whose actions offer "pair".
ctl list >"$out/list.txt" || fail "settingsctl list failed"
read -r path name < <(python3 -c '
import json, sys
prefix = "settings.bluetooth-device:"
def walk(resources):
    for r in resources:
        yield r
        yield from walk(r.get("children", []))
for r in walk(json.load(open(sys.argv[1]))):
    if r["id"].startswith(prefix) and any(a["name"] == "pair" for a in r["actions"]):
        print(r["id"][len(prefix):], r["label"])
        break' "$out/list.txt") || true
[[ -n "${path:-}" ]] || fail "no device item offers \"pair\""

run pair "{\"Pair\":{\"path\":\"$path\"}}"
said pair "$name is paired and connected."
simdev show bluetooth >"$out/device-after.txt" || fail "simdev show failed"
python3 -c '
import json, sys
devices = json.load(open(sys.argv[1]))["devices"]
d = next(d for d in devices if d["path"] == sys.argv[2])
sys.exit(0 if d["paired"] and d["connected"] else 1)' "$out/device-after.txt" "$path" ||
  fail "simdev does not list $path as paired and connected"
# The item now offers what a connected, paired device allows.
ctl get "settings.bluetooth-device:$path" >"$out/item-after.txt" || fail "the item is gone"
python3 -c '
import json, sys
item = json.load(open(sys.argv[1]))
item = item.get("resource", item)
sys.exit(0 if [a["name"] for a in item["actions"]] == ["disconnect", "forget"] else 1)' \
  "$out/item-after.txt" || fail "the paired item does not offer disconnect and forget"

run power-off '{"SetPowered":{"enabled":false}}'
said power-off "Bluetooth disabled."
[[ "$(simdev get bluetooth.powered)" == false ]] || fail "the adapter is still on"
run power-on '{"SetPowered":{"enabled":true}}'
said power-on "Bluetooth enabled."
[[ "$(simdev get bluetooth.powered)" == true ]] || fail "the adapter is still off"

run scan-first '"StartScan"'
said scan-first "Bluetooth discovery started."
run scan-second '"StartScan"'
said scan-second "Bluetooth discovery stopped."
[[ "$(simdev get bluetooth.scanning)" == false ]] || fail "discovery still runs"

echo "bluetooth end to end: ok"
