#!/usr/bin/env bash
# The Network pane driven end to end: kalu-settings runs on a virtual X server
# with a simulated device of its own, settingsctl starts network operations
# over the automation socket and waits for their outcome, and simdev shows
# what they did to the device.
# - Wi-Fi switched off ends "Wi-Fi disabled." and simdev shows it off.
# - With a fault on airplane mode, switching it on fails with the fault's
#   text and the device keeps airplane mode off.
# - The diagnostics end "Network diagnostics completed.".
# - Every operation after one that ended is accepted (the executor is never
#   left busy), and one asking for the value in place succeeds at once.
# - A screenshot of the window is kept as network-e2e.png.
#
# usage: network_e2e.sh <kalu-settings> <settingsctl> <simdev> <output folder>
set -euo pipefail
program="$1"
ctl_program="$2"
simdev_program="$3"
out="$4"
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
# shellcheck source=../../../settings_app/tests/settings_e2e.sh
source "$here/../../../settings_app/tests/settings_e2e.sh"
e2e_begin network
export KALU_DEVICE_STATE="$home/state/simulated-device.json"

simdev() {
  "$simdev_program" "$@"
}

# run NAME PAYLOAD: starts a network operation (refused: the test fails) and
# waits for its end; the answer is in NAME.txt, the wait's status answered.
run() {
  local id status=0
  id="$(ctl start settings.network-operation 1 "$2")" || fail "$1 was refused"
  ctl wait "$id" >"$out/$1.txt" || status=$?
  return $status
}
# said NAME TEXT: the outcome of NAME carries TEXT as its value.
said() {
  grep -qF "\"value\": \"$2\"" "$out/$1.txt" || fail "$1 did not end with \"$2\""
}

simdev reset >/dev/null || fail "simdev could not seed the device"
[[ "$(simdev get network.wifi_enabled)" == true ]] || fail "the seeded device has Wi-Fi off"

start_settings "$program"

run wifi-off '{"SetWifiEnabled":{"enabled":false}}' || fail "switching Wi-Fi off did not succeed"
said wifi-off "Wi-Fi disabled."
simdev show network >"$out/network-after-wifi-off.txt" || fail "simdev show failed"
[[ "$(simdev get network.wifi_enabled)" == false ]] || fail "Wi-Fi is still on"

simdev fault network.set_airplane_mode "radio jammed" >/dev/null
status=0
run airplane-fault '{"SetAirplaneMode":{"enabled":true}}' || status=$?
[[ $status -eq 1 ]] || fail "the failing airplane switch answered status $status, not 1"
grep -qF '"message": "Could not change airplane state: radio jammed"' "$out/airplane-fault.txt" ||
  fail "the airplane failure did not carry the fault's text"
[[ "$(simdev get network.airplane_mode)" == false ]] || fail "airplane mode changed"
simdev fault network.set_airplane_mode >/dev/null

run diagnostics '"RunDiagnostics"' || fail "the diagnostics did not succeed"
said diagnostics "Network diagnostics completed."

run wifi-on '{"SetWifiEnabled":{"enabled":true}}' || fail "switching Wi-Fi on did not succeed"
said wifi-on "Wi-Fi enabled."
[[ "$(simdev get network.wifi_enabled)" == true ]] || fail "Wi-Fi is still off"
run wifi-on-again '{"SetWifiEnabled":{"enabled":true}}' || fail "Wi-Fi on again did not succeed"
said wifi-on-again "Wi-Fi is already enabled."

sleep 0.3
xwd -root -silent -display "$display" >"$out/network-e2e.xwd"
python3 "$here/../../../../../../platform/kalu_ui/app/tests/xwd_to_png.py" "$out/network-e2e.xwd" "$out/network-e2e.png"
rm -f "$out/network-e2e.xwd"

echo "network end to end: ok (screenshot: $out/network-e2e.png)"
