#!/usr/bin/env bash
# The Agent Models pane end to end: kalu-settings runs on a virtual X server
# with a simulated device of its own, settingsctl starts agent model
# operations over the automation socket and waits for their outcome, and
# simdev shows what each did to the simulated model service.
# - StageAccelerator ends "Accelerator setup request accepted by the local
#   model manager" and the device's accelerator setup has left "available".
# - Stop, then Start, of the seeded running model each end "... request
#   accepted by the local model manager", the device showing it stopped, then
#   running.
# - With the install command made to fail, an Install of the recommendation
#   fails "Installation could not start: model service refused the
#   installation", and the next operation is still accepted.
#
# usage: agent_models_e2e.sh <kalu-settings> <settingsctl> <simdev> <output folder>
set -euo pipefail
program="$1"
ctl_program="$2"
simdev_program="$3"
out="$4"
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
# shellcheck source=../../../settings_app/tests/settings_e2e.sh
source "$here/../../../settings_app/tests/settings_e2e.sh"
e2e_begin agent-models
export KALU_DEVICE_STATE="$home/state/simulated-device.json"

simdev() {
  "$simdev_program" "$@"
}
# run NAME PAYLOAD: starts an agent model operation and waits for its outcome
# (in NAME.txt); fails unless it succeeded.
run() {
  local id
  id="$(ctl start settings.agent-model-operation 1 "$2")" || fail "$1 was refused"
  ctl wait "$id" >"$out/$1.txt" || fail "$1 did not succeed"
}
# said NAME TEXT: the outcome of NAME carries TEXT.
said() {
  grep -qF "\"$2\"" "$out/$1.txt" || fail "$1 did not end with \"$2\""
}
# holds NAME CHECK: `simdev show models` (kept in NAME.txt) passes the Python
# assertion CHECK on its JSON, `models`.
holds() {
  simdev show models >"$out/$1.txt" || fail "simdev could not show the model service"
  python3 -c "import json, sys; models = json.load(open(sys.argv[1])); assert $2, models" \
    "$out/$1.txt" || fail "the device does not hold $2"
}
running='[m["phase"]["running"] for m in models["installed"] if m["package"]["id"] == "lumen-3b-instruct"]'

simdev reset >/dev/null || fail "simdev could not seed the device"
start_settings "$program"

run stage '"StageAccelerator"'
said stage "Accelerator setup request accepted by the local model manager"
holds after-stage 'models["accelerator_setup"]["status"]["state"] != "available"'

run stop '{"Stop":{"id":"lumen-3b-instruct"}}'
said stop "Stop request accepted by the local model manager"
holds after-stop "$running == [False]"

run start '{"Start":{"id":"lumen-3b-instruct"}}'
said start "Start request accepted by the local model manager"
holds after-start "$running == [True]"

simdev fault kalu-model-manager.install "No space left on device" >/dev/null ||
  fail "simdev could not set the install fault"
id="$(ctl start settings.agent-model-operation 1 \
  '{"Install":{"id":"lumen-8b-instruct","revision":"2025.03.2"}}')" || fail "Install was refused"
status=0
ctl wait "$id" >"$out/install.txt" || status=$?
[[ $status -eq 1 ]] || fail "the refused install answered status $status, not 1"
said install "Installation could not start: model service refused the installation"

# Nothing is left waiting: the running model's Start is a no-op that succeeds.
run again '{"Start":{"id":"lumen-3b-instruct"}}'
said again "Lumen 3B Instruct is already running"

echo "agent models end to end: ok"
