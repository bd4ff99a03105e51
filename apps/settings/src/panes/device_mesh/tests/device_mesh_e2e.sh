#!/usr/bin/env bash
# The Devices & Sync pane driven end to end: kalu-settings runs on a virtual X
# server with a simulated device of its own and two workspaces in the
# desktop's state file; settingsctl starts device-mesh operations over the
# automation socket and waits for their outcome; simdev stands in for the
# privileged home-peer control program (through pkexec) that writes the
# simulated relay configuration.
# - "Always-on server" ends "Device & Sync settings saved on this device"
#   once the setup has run, and the relay configuration is then always-on
#   with both workspaces bound, fully replicated.
# - With a fault on the setup, the next change fails "Not saved: <fault>"
#   and the configuration is left as it was.
# - A Continuity change lands in the settings file's "continuity" section,
#   and the save it runs does not carry the change whose save failed.
#
# usage: device_mesh_e2e.sh <kalu-settings> <settingsctl> <simdev> <kalu-test-dav-account>
#          <output folder> (settings_e2e.sh)
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
# shellcheck source=../../../settings_app/tests/settings_e2e.sh
source "$here/../../../settings_app/tests/settings_e2e.sh" "$@"
e2e_begin device-mesh
# The program's table points pkexec and the device mesh's programs at this
# simdev.
export KALU_SIMDEV="$simdev_program"
export KALU_IDENTITY_ROOT="$home/identity-root"
export KALU_IDENTITY_DIR="$home/data/identities"
mkdir -p "$KALU_IDENTITY_ROOT"
relay="$home/state/relay.toml"
settings="$home/config/kalu/settings.json"
operation_action=settings.device-mesh-operation

simdev reset >/dev/null || fail "simdev could not seed the device"
mkdir -p "$home/config/kalu"
cat >"$home/config/kalu/state.json" <<'JSON'
{"workspaces": [{"name": "Studio", "id": 11}, {"name": "Family photos", "id": 7}]}
JSON

start_settings

run always-on '{"SetRole":{"role":"Always-on server"}}'
said always-on "Device & Sync settings saved on this device"
python3 - "$relay" <<'PY' || fail "the relay configuration is not always-on with both workspaces: $(cat "$relay")"
import sys, tomllib
config = tomllib.load(open(sys.argv[1], "rb"))
assert config["role"] == "always-on", config
assert config["relay_enabled"] is True and config["full_replication"] is True, config
bound = sorted(int(w["workspace_id"]) for w in config["workspaces"])
assert bound == [7, 11], bound
assert all(w["replication"] == "full" and w["active"] for w in config["workspaces"]), config
assert config["services"]["inbound_relay"] is True, config
PY
cp "$relay" "$out/relay-always-on.toml"

simdev fault kalu-home-peer-control.apply "authentication agent is not available" >/dev/null
run_failing faulted '{"SetService":{"service":"compute","enabled":true}}' \
  "Not saved: authentication agent is not available"
cmp -s "$relay" "$out/relay-always-on.toml" || fail "a failed setup changed the relay configuration"
simdev fault kalu-home-peer-control.apply >/dev/null

run clipboard '{"SetService":{"service":"continuity.clipboard","enabled":true}}'
said clipboard "Device & Sync settings saved on this device"
python3 - "$settings" <<'PY' || fail "the settings file's continuity section: $(cat "$settings")"
import json, sys
continuity = json.load(open(sys.argv[1]))["continuity"]
assert continuity["clipboard"] is True, continuity
assert continuity["audit"][-1]["capability"] == "clipboard", continuity
PY
if grep -q 'compute = true' "$relay"; then
  fail "the change whose save failed was written by the next save: $(cat "$relay")"
fi
grep -q "role = 'always-on'" "$relay" || fail "the relay configuration lost its role: $(cat "$relay")"

echo "device mesh end to end: ok"
