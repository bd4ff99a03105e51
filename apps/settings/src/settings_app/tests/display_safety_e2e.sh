#!/usr/bin/env bash
# The display safety test is the device's, end to end: kalu-settings runs on
# a virtual X server with a simulated device of its own (whose delays make
# the test last 3 s), settingsctl stages and applies a new scale for DP-2,
# and simdev shows the layout afterwards.
# - Applied, then Sound shown: the application restores the previous layout
#   at the deadline by itself (the device's file says so before anything
#   else reads it), and simdev shows the old scale.
# - Applied, then the application closed: after the deadline simdev shows
#   the previous layout back, restored once, for the first reader.
#
# usage: display_safety_e2e.sh <kalu-settings> <settingsctl> <simdev> <kalu-test-dav-account>
#          <output folder> (settings_e2e.sh)
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
# shellcheck source=settings_e2e.sh
source "$here/settings_e2e.sh" "$@"
e2e_begin display-safety

# The device's file as it is, read past simdev (which would end an overdue
# test itself): prints the transaction's state and DP-2's scale.
in_file() {
  python3 -c '
import json, sys
d = json.load(open(sys.argv[1]))["display"]
t = d["transaction"] or {}
print(t.get("state"), d["config"]["DP-2"]["scale"])' "$KALU_DEVICE_STATE"
}

# Waits (at most a minute) until the file's transaction is reverted.
reverted_in_file() {
  [[ "$(in_file)" == "5 "* ]]
}

# The deadline of the test in the file, in Unix milliseconds.
deadline_in_file() {
  python3 -c '
import json, sys
print(int(json.load(open(sys.argv[1]))["display"]["transaction"]["deadline_unix_ms"]))' "$KALU_DEVICE_STATE"
}
# Whether the clock is past DEADLINE (Unix milliseconds).
past() {
  ((${EPOCHREALTIME/./} / 1000 > $1))
}

apply_125() {
  run_operation settings.display-operation stage \
    '{"SetOutputScale":{"connector":"DP-2","label":"125%"}}'
  run_operation settings.display-operation apply '"Apply"'
  # The change was applied: the transaction asks for 1.25 (it may be over
  # already on a slow machine; the previous layout is 1.5 either way).
  [[ "$(simdev get 'display.transaction.requested["DP-2"].scale')" == 1.25 ]] ||
    fail "the transaction does not carry the new scale"
}

simdev reset >/dev/null || fail "simdev could not seed the device"
simdev delay display.safety_test 3000 >/dev/null || fail "simdev could not shorten the test"
[[ "$(simdev get 'display.config["DP-2"].scale')" == 1.5 ]] || fail "the fresh device is not at 150%"

# 1. Another pane is shown at the deadline.
start_settings
apply_125
ctl invoke settings.section:sound open >"$out/sound.txt" || fail "Sound did not open"
wait_until 60 reverted_in_file || fail "the application did not restore the layout: $(in_file)"
[[ "$(simdev get 'display.config["DP-2"].scale')" == 1.5 ]] ||
  fail "simdev shows $(simdev get 'display.config["DP-2"].scale') after the deadline"

# 2. The application is closed before the deadline.
apply_125
kill "$app_pid"
wait "$app_pid" 2>/dev/null || true
app_pid=""
deadline="$(deadline_in_file)" || fail "the test in the file has no deadline"
wait_until 60 past "$deadline" || fail "the deadline never passed"
[[ "$(simdev get 'display.config["DP-2"].scale')" == 1.5 ]] ||
  fail "simdev shows $(simdev get 'display.config["DP-2"].scale') after the deadline"
[[ "$(simdev get display.transaction.state)" == 5 ]] || fail "the test did not end reverted"
simdev get display.transaction.message >"$out/message.txt"
grep -q "not kept in time" "$out/message.txt" || fail "the restore does not say why"

echo "display safety end to end: ok"
