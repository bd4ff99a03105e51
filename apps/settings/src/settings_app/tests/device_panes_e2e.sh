#!/usr/bin/env bash
# The Power and Printers panes driven end to end: the real application on a
# virtual X server with a simulated device, configuration and runtime
# directories of its own, operations started and awaited with settingsctl,
# their effects read back with simdev and from the settings document.
#
# usage: device_panes_e2e.sh <kalu-settings> <settingsctl> <simdev> <kalu-test-dav-account>
#          <output folder> (settings_e2e.sh)
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
# shellcheck source=settings_e2e.sh
source "$here/settings_e2e.sh" "$@"
e2e_begin device-panes
mkdir -p "$home/config/kalu"
export KALU_DEVICE_STATE="$home/device.json"
settings="$home/config/kalu/settings.json"

# A settings document with other sections and another program's key, which
# a power change must leave as they are.
cat >"$settings" <<'EOF'
{
  "version": 1,
  "appearance": {"theme": "Light", "high_contrast": false, "reduce_motion": true, "text_scale": 1.15, "ui_scale": 1.0},
  "another_program": {"keep": [1, 2, 3]},
  "power": {"auto_suspend": true, "blank_minutes": 10}
}
EOF
simdev reset >/dev/null
start_settings

# Power: a profile, then a timer whose save touches only the "power" section.
run_operation settings.power-operation profile '{"SetProfile":{"profile":"Power Saver"}}'
said profile "Power Saver is now active."
[[ "$(simdev get power.profile)" == '"power-saver"' ]] ||
  fail "the device's profile is $(simdev get power.profile)"

python3 - "$settings" >"$out/settings-before.json" <<'EOF'
import json, sys
print(json.dumps(json.load(open(sys.argv[1])), sort_keys=True))
EOF
run_operation settings.power-operation blank '{"SetBlankTimeout":{"label":"1 minute"}}'
said blank "Screen blank timeout saved."
python3 - "$settings" "$out/settings-before.json" <<'EOF' || fail "the settings document changed outside \"power\""
import json, sys
after = json.load(open(sys.argv[1]))
before = json.loads(open(sys.argv[2]).read())
assert after["power"]["blank_minutes"] == 1, after["power"]
for key in set(before) | set(after):
    if key != "power":
        assert before.get(key) == after.get(key), key
for key in before["power"]:
    if key != "blank_minutes":
        assert before["power"][key] == after["power"][key], key
EOF

# Printers: a seeded queue paused as asked, a refresh, then a failing jobs read.
run_operation settings.printer-operation pause \
  '{"SetEnabled":{"name":"Office Laser","enabled":false}}'
said pause "Office Laser is paused."
[[ "$(simdev get 'printing.queues[0].state')" == '"paused"' ]] ||
  fail "the queue is $(simdev get 'printing.queues[0].state')"
run_operation settings.printer-operation refresh '"Refresh"'
said refresh "Printer status refreshed."

simdev fault printing.jobs "the print scheduler is not running" >/dev/null
operation_action=settings.printer-operation
run_failing refresh-failing '"Refresh"' "Jobs: the print scheduler is not running"
# The attention card says the same; kept as a screenshot for people.
sleep 0.5
screenshot printers-attention

echo "device panes end to end: ok"
