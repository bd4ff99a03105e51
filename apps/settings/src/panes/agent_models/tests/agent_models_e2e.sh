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
# usage: agent_models_e2e.sh <kalu-settings> <settingsctl> <simdev> <kalu-test-dav-account>
#          <output folder> (settings_e2e.sh)
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
# shellcheck source=../../../settings_app/tests/settings_e2e.sh
source "$here/../../../settings_app/tests/settings_e2e.sh" "$@"
e2e_begin agent-models
operation_action=settings.agent-model-operation
running='[m["phase"]["running"] for m in state["installed"] if m["package"]["id"] == "lumen-3b-instruct"]'

simdev reset >/dev/null || fail "simdev could not seed the device"
start_settings

run stage '"StageAccelerator"'
said stage "Accelerator setup request accepted by the local model manager"
device_holds after-stage models 'state["accelerator_setup"]["status"]["state"] != "available"'

run stop '{"Stop":{"id":"lumen-3b-instruct"}}'
said stop "Stop request accepted by the local model manager"
device_holds after-stop models "$running == [False]"

run start '{"Start":{"id":"lumen-3b-instruct"}}'
said start "Start request accepted by the local model manager"
device_holds after-start models "$running == [True]"

simdev fault kalu-model-manager.install "No space left on device" >/dev/null ||
  fail "simdev could not set the install fault"
run_failing install '{"Install":{"id":"lumen-8b-instruct","revision":"2025.03.2"}}' \
  "Installation could not start: model service refused the installation"

# Nothing is left waiting: the running model's Start is a no-op that succeeds.
run again '{"Start":{"id":"lumen-3b-instruct"}}'
said again "Lumen 3B Instruct is already running"

echo "agent models end to end: ok"
