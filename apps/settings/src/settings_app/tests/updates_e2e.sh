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
# usage: updates_e2e.sh <kalu-settings> <settingsctl> <simdev> <kalu-test-dav-account>
#          <output folder> (settings_e2e.sh)
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
# shellcheck source=settings_e2e.sh
source "$here/settings_e2e.sh" "$@"
e2e_begin updates

# The program and simdev find the simulated device where a person's is, in
# $home/state; their programs are this build's simdev.
unset KALU_DEVICE_STATE
export KALU_SIMDEV="$simdev_program" XDG_STATE_HOME="$home/state"
operation_action=settings.update-operation

start_settings

previous="$(simdev get updates.rollback.image)"
booted="$(simdev get updates.booted.image)"

# A check stages the available image and is recorded in the settings file.
run check '"Check"'
grep -q '"Update check finished: .* is staged; restart to apply it."' "$out/check.txt" ||
  fail "the check did not say what it staged"
settings="$home/config/kalu/settings.json"
[[ -f "$settings" ]] || fail "no settings file was written"
grep -q '"last_checked"' "$settings" || fail "the settings file has no last_checked"
grep -q '"last_checked": "Never"' "$settings" && fail "last_checked was not recorded"
simdev get updates.staged >"$out/staged.txt"
grep -q "image" "$out/staged.txt" || fail "no image was staged"

# The schedule reaches the simulated policy file.
run schedule '{"SetSchedule":{"schedule":"Weekly"}}'
grep -q '"update schedule changed"' "$out/schedule.txt" || fail "the schedule did not change"
policy="$home/state/kalu/simulated-device.update-policy"
grep -qx "schedule=weekly" "$policy" || fail "the policy file does not say weekly"

# The rollback swaps the images.
run rollback '"Rollback"'
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
run firmware-refresh '"RefreshFirmware"'
grep -q '"firmware metadata refreshed"' "$out/firmware-refresh.txt" ||
  fail "the firmware refresh did not report the metadata refreshed"
[[ "$(simdev get firmware.updates | grep -c '"device_id"')" == 2 ]] ||
  fail "the refresh did not bring the published update"
history_before="$(simdev get firmware.history | grep -c '"device_name"')"
run firmware-install '"InstallFirmware"'
grep -q '"firmware installation finished"' "$out/firmware-install.txt" ||
  fail "the firmware installation did not finish"
simdev show firmware >"$out/show-firmware.txt"
simdev get firmware.updates | grep -q '"device_id"' && fail "firmware updates are still offered"
[[ "$(simdev get firmware.history | grep -c '"device_name"')" == $((history_before + 2)) ]] ||
  fail "the firmware history did not grow by the two updates installed"

# A fault on the update unit fails the check with its text.
simdev fault kalu-deployment-update.service "registry unreachable" >/dev/null
run_failing check-fault '"Check"' "Updates could not be checked: registry unreachable"

echo "updates end to end: ok"
