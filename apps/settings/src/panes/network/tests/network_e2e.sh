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
# usage: network_e2e.sh <kalu-settings> <settingsctl> <simdev> <kalu-test-dav-account>
#          <output folder> (settings_e2e.sh)
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
# shellcheck source=../../../settings_app/tests/settings_e2e.sh
source "$here/../../../settings_app/tests/settings_e2e.sh" "$@"
e2e_begin network
operation_action=settings.network-operation

simdev reset >/dev/null || fail "simdev could not seed the device"
[[ "$(simdev get network.wifi_enabled)" == true ]] || fail "the seeded device has Wi-Fi off"

start_settings

run wifi-off '{"SetWifiEnabled":{"enabled":false}}'
said wifi-off "Wi-Fi disabled."
simdev show network >"$out/network-after-wifi-off.txt" || fail "simdev show failed"
[[ "$(simdev get network.wifi_enabled)" == false ]] || fail "Wi-Fi is still on"

simdev fault network.set_airplane_mode "radio jammed" >/dev/null
run_failing airplane-fault '{"SetAirplaneMode":{"enabled":true}}' \
  "Could not change airplane state: radio jammed"
[[ "$(simdev get network.airplane_mode)" == false ]] || fail "airplane mode changed"
simdev fault network.set_airplane_mode >/dev/null

run diagnostics '"RunDiagnostics"'
said diagnostics "Network diagnostics completed."

run wifi-on '{"SetWifiEnabled":{"enabled":true}}'
said wifi-on "Wi-Fi enabled."
[[ "$(simdev get network.wifi_enabled)" == true ]] || fail "Wi-Fi is still off"
run wifi-on-again '{"SetWifiEnabled":{"enabled":true}}'
said wifi-on-again "Wi-Fi is already enabled."

sleep 0.3
screenshot network-e2e

echo "network end to end: ok (screenshot: $out/network-e2e.png)"
