#!/usr/bin/env bash
# The Updates pane driven end to end on the simulated device: kalu-settings
# runs on a virtual X server with directories of its own, settingsctl starts
# update operations over the automation socket and waits for them, and simdev
# shows what they changed.
# - "Check" stages the available image and records when it checked in the
#   settings file's "updates" section.
# - SetSchedule Weekly rewrites the simulated policy file.
# - "Rollback" swaps the booted and the previous image.
# - "RefreshFirmware" reads the firmware metadata again; "InstallFirmware"
#   installs what is offered (the device's job sends its events from its own
#   thread), so the simulated firmware list empties and its history grows.
# - With a fault on the update unit, "Check" fails with the unit's text.
#
# usage: updates_e2e.sh <kalu-settings> <settingsctl> <simdev> <output folder>
set -euo pipefail
program="$1"
ctl_program="$2"
simdev_program="$3"
out="$4"
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
# shellcheck source=settings_e2e.sh
source "$here/settings_e2e.sh"
e2e_begin updates

# The program and simdev run as they do for a person, on the simulated device
# in $home/state: outside test mode (a test table would refuse every
# program), their programs are this build's simdev and never the machine's
# (KALU_DEVICE is not "system").
unset KALU_TEST KALU_DEVICE KALU_DEVICE_STATE
export KALU_SIMDEV="$simdev_program" XDG_STATE_HOME="$home/state"
simdev() {
  "$simdev_program" "$@"
}

# run NAME PAYLOAD: starts an update operation and waits for its end; the
# answer is in $out/NAME.txt and the status of the wait is answered.
run() {
  local id status=0
  id="$(ctl start settings.update-operation 1 "$2")" || fail "$1 was refused"
  ctl wait "$id" >"$out/$1.txt" || status=$?
  return $status
}

start_settings "$program"

previous="$(simdev get updates.rollback.image)"
booted="$(simdev get updates.booted.image)"

# A check stages the available image and is recorded in the settings file.
run check '"Check"' || fail "the update check did not succeed"
grep -q '"update check finished"' "$out/check.txt" || fail "the check did not finish as expected"
settings="$home/config/kalu/settings.json"
[[ -f "$settings" ]] || fail "no settings file was written"
grep -q '"last_checked"' "$settings" || fail "the settings file has no last_checked"
grep -q '"last_checked": "Never"' "$settings" && fail "last_checked was not recorded"
simdev get updates.staged >"$out/staged.txt"
grep -q "image" "$out/staged.txt" || fail "no image was staged"

# The schedule reaches the simulated policy file.
run schedule '{"SetSchedule":{"schedule":"Weekly"}}' || fail "the schedule change did not succeed"
grep -q '"update schedule changed"' "$out/schedule.txt" || fail "the schedule did not change"
policy="$home/state/kalu/simulated-device.update-policy"
grep -qx "schedule=weekly" "$policy" || fail "the policy file does not say weekly"

# The rollback swaps the images.
run rollback '"Rollback"' || fail "the rollback did not succeed"
grep -q '"previous system image selected for next boot"' "$out/rollback.txt" ||
  fail "the rollback did not report the previous image"
simdev show updates >"$out/show-updates.txt"
[[ "$(simdev get updates.booted.image)" == "$previous" ]] ||
  fail "the previous image is not the one booted next"
[[ "$(simdev get updates.rollback.image)" == "$booted" ]] ||
  fail "the image booted before is not kept as the rollback"

# Firmware: the metadata refreshed, then what it offers installed.
simdev add firmware.pending_metadata '{"device_id": "dock", "device_name": "USB-C Dock",
  "current_version": "3.0", "new_version": "3.1", "note": null, "requirements": [],
  "restart_required": false}' >/dev/null
run firmware-refresh '"RefreshFirmware"' || fail "the firmware refresh did not succeed"
grep -q '"firmware metadata refreshed"' "$out/firmware-refresh.txt" ||
  fail "the firmware refresh did not report the metadata refreshed"
[[ "$(simdev get firmware.updates | grep -c '"device_id"')" == 2 ]] ||
  fail "the refresh did not bring the published update"
history_before="$(simdev get firmware.history | grep -c '"device_name"')"
run firmware-install '"InstallFirmware"' || fail "the firmware installation did not succeed"
grep -q '"firmware installation finished"' "$out/firmware-install.txt" ||
  fail "the firmware installation did not finish"
simdev show firmware >"$out/show-firmware.txt"
simdev get firmware.updates | grep -q '"device_id"' && fail "firmware updates are still offered"
[[ "$(simdev get firmware.history | grep -c '"device_name"')" == $((history_before + 2)) ]] ||
  fail "the firmware history did not grow by the two updates installed"

# A fault on the update unit fails the check with its text.
simdev fault kalu-deployment-update.service "registry unreachable" >/dev/null
status=0
run check-fault '"Check"' || status=$?
[[ $status -eq 1 ]] || fail "the failing check answered status $status, not 1"
grep -q '"message": "Updates could not be checked: registry unreachable"' "$out/check-fault.txt" ||
  fail "the failing check did not carry the unit's text"

echo "updates end to end: ok"
