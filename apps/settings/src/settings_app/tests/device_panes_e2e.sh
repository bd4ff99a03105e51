#!/usr/bin/env bash
# The Power and Printers panes driven end to end: the real application on a
# virtual X server with a simulated device, configuration and runtime
# directories of its own, operations started and awaited with settingsctl,
# their effects read back with simdev and from the settings document.
#
# usage: device_panes_e2e.sh <kalu-settings> <settingsctl> <simdev> <output folder>
set -euo pipefail
program="$1"
ctl_program="$2"
simdev_bin="$3"
out="$4"
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
toolkit_tests="$here/../../../../../platform/kalu_ui/app/tests"
# shellcheck source=settings_e2e.sh
source "$here/settings_e2e.sh"
e2e_begin device-panes
mkdir -p "$home/config/kalu"
export KALU_DEVICE_STATE="$home/device.json"
settings="$home/config/kalu/settings.json"
simdev() { "$simdev_bin" "$@"; }

# run_operation ACTION PAYLOAD EXPECTED: starts the operation, waits for its
# end and checks that its answer carries EXPECTED; answers the client's
# status.
run_operation() {
  local id status=0
  id="$(ctl start "$1" 1 "$2")" || fail "starting $1 $2 was refused"
  ctl wait "$id" >"$out/answer.txt" 2>&1 || status=$?
  grep -qF "$3" "$out/answer.txt" || fail "$1 $2 answered $(cat "$out/answer.txt"), not \"$3\""
  return $status
}

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
start_settings "$program"

# Power: a profile, then a timer whose save touches only the "power" section.
run_operation settings.power-operation '{"SetProfile":{"profile":"Power Saver"}}' \
  "Power Saver is now active." || fail "SetProfile failed"
[[ "$(simdev get power.profile)" == '"power-saver"' ]] ||
  fail "the device's profile is $(simdev get power.profile)"

python3 - "$settings" >"$out/settings-before.json" <<'EOF'
import json, sys
print(json.dumps(json.load(open(sys.argv[1])), sort_keys=True))
EOF
run_operation settings.power-operation '{"SetBlankTimeout":{"label":"1 minute"}}' \
  "Screen blank timeout saved." || fail "SetBlankTimeout failed"
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
run_operation settings.printer-operation '{"SetEnabled":{"name":"Office Laser","enabled":false}}' \
  "Printer operation completed." || fail "SetEnabled failed"
[[ "$(simdev get 'printing.queues[0].state')" == '"paused"' ]] ||
  fail "the queue is $(simdev get 'printing.queues[0].state')"
run_operation settings.printer-operation '"Refresh"' "Printer status refreshed." ||
  fail "Refresh failed"

simdev fault printing.jobs "the print scheduler is not running" >/dev/null
status=0
run_operation settings.printer-operation '"Refresh"' \
  "Jobs: the print scheduler is not running" || status=$?
[[ $status -eq 1 ]] || fail "a refresh with a failing jobs read ended with status $status"
# The attention card says the same; kept as a screenshot for people.
sleep 0.5
xwd -root -silent -display "$display" >"$out/printers-attention.xwd"
python3 "$toolkit_tests/xwd_to_png.py" "$out/printers-attention.xwd" "$out/printers-attention.png"
rm -f "$out/printers-attention.xwd"

echo "device panes end to end: ok"
