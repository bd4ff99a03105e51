#!/usr/bin/env bash
# Time & Date end to end: kalu-settings runs on a virtual X server with
# state, configuration and runtime directories of its own (so its simulated
# device is a fresh one), and settingsctl talks to it over its automation
# socket.
# - With Time & Date open, {"SetTimezone":{"timezone":"Asia/Tokyo"}} through
#   "settings.time-date-operation" polls to "Time zone set to Asia/Tokyo." and the
#   device holds the zone.
# - With Region & Formats open, the Region section's "currency" action with
#   "EUR" sets the key the pane adopts, and the settings file's locale holds
#   EUR.
#
# usage: time_region_e2e.sh <kalu-settings> <settingsctl> <simdev> <kalu-test-dav-account>
#          <output folder> (settings_e2e.sh)
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
# shellcheck source=settings_e2e.sh
source "$here/settings_e2e.sh" "$@"
e2e_begin time-region
start_settings

# The time zone, from the client to the device, with the page shown.
ctl start settings.open-pane 2 '"time_date"' >/dev/null || fail "opening Time & Date was refused"
simdev show time >"$out/time-before.txt"
grep -q '"Asia/Tokyo"' "$out/time-before.txt" && fail "the fresh device is already on Asia/Tokyo"
id="$(ctl start settings.time-date-operation 1 '{"SetTimezone":{"timezone":"Asia/Tokyo"}}')" ||
  fail "setting the time zone was refused"
ctl wait "$id" >"$out/timezone.txt" || fail "setting the time zone did not succeed"
grep -q '"state": "succeeded"' "$out/timezone.txt" || fail "the operation did not succeed"
grep -q 'Time zone set to Asia/Tokyo.' "$out/timezone.txt" ||
  fail "the operation did not say what it did"
simdev show >"$out/device.txt"
grep -q '"timezone": "Asia/Tokyo"' "$out/device.txt" || fail "the device does not hold Asia/Tokyo"

# The currency, from the client through the pane to the settings file.
settings_file="$home/config/kalu/settings.json"
ctl start settings.open-pane 2 '"region_formats"' >/dev/null || fail "opening Region & Formats was refused"
ctl get settings.section:region_formats >"$out/region-section.txt" || fail "no Region section"
grep -q '"name": "currency"' "$out/region-section.txt" || fail "the Region section has no currency action"
ctl invoke settings.section:region_formats currency '{"choice":"EUR"}' >"$out/currency.txt" ||
  fail "the currency action was refused"
holds_euro() {
  [[ -f "$settings_file" ]] && grep -q '"currency": "EUR"' "$settings_file"
}
wait_until 60 holds_euro || fail "the settings file's locale does not hold EUR"
cp "$settings_file" "$out/settings.json.txt"

echo "time and region end to end: ok"
