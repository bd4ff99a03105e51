#!/usr/bin/env bash
# The Agent Models page end to end: kalu-settings on a virtual X server with
# a simulated device of its own, driven by settingsctl.
# - "add-openai-compatible" on the Agent Models section adds a provider; the
#   section has its item and the page its card (agent-models-added.png).
# - "disable" on that provider, polled to its end, leaves it disabled in the
#   provider configuration file.
# - The simulated running model makes the page keep a local provider profile
#   in the same file, which is never listed among the hosted providers.
# - An Install of the simulated recommendation, polled to success, shows a
#   download on the page: a progress bar (screenshot agent-models-page.png).
#
# usage: page_e2e.sh <kalu-settings> <settingsctl> <simdev> <kalu-test-dav-account>
#          <output folder> (settings_e2e.sh)
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
# shellcheck source=../../../settings_app/tests/settings_e2e.sh
source "$here/../../../settings_app/tests/settings_e2e.sh" "$@"
e2e_begin agent-models-page
providers="$home/config/kalu/model-providers.json"

# config CHECK: the provider configuration passes the Python assertion CHECK
# on its JSON, `c`.
config() {
  cp "$providers" "$out/providers.txt" 2>/dev/null || fail "there is no provider configuration"
  python3 -c "import json, sys; c = json.load(open(sys.argv[1])); assert $1, c" "$providers" ||
    fail "the provider configuration does not hold $1"
}
# scroll STEPS: turns the mouse wheel over the page, down for positive steps.
scroll() {
  python3 "$toolkit_tests/x11_wheel.py" "$display" 770 500 "$1" ||
    fail "the wheel could not be turned over the page"
  sleep 0.3
}

simdev reset >/dev/null || fail "simdev could not seed the device"
# The install takes long enough to be seen downloading.
simdev delay kalu-model-manager.install 60000 >/dev/null ||
  fail "simdev could not slow the install down"
start_settings

invoke add settings.section:agent_models add-openai-compatible
config 'any(p["id"].startswith("openai-compatible-") and p["enabled"] for p in c["providers"])'
id="$(python3 -c "import json, sys; print([p['id'] for p in json.load(open(sys.argv[1]))['providers'] if p['id'].startswith('openai-compatible-')][0])" "$providers")"
ctl get "settings.agent-provider:$id" >"$out/provider.txt" || fail "the section has no $id"
# The add selected Agent Models, whose new page lists the provider.
sleep 1
scroll 60
screenshot agent-models-added
scroll -60

invoke disable "settings.agent-provider:$id" disable
config "[p['enabled'] for p in c['providers'] if p['id'] == '$id'] == [False]"

# The seeded model runs on the loopback address: the local profile follows it.
config "any(p['location'] == 'local' and p['enabled'] and p['endpoint'] == 'http://127.0.0.1:8470/v1' for p in c['providers'])"
if ctl get settings.agent-provider:local-vllm >/dev/null 2>&1; then
  fail "the local profile is listed among the hosted providers"
fi

run_operation settings.agent-model-operation install \
  '{"Install":{"id":"lumen-8b-instruct","revision":"2025.03.2"}}'
device_holds models models \
  "[i['phase']['state'] for i in state['installed'] if i['package']['id'] == 'lumen-8b-instruct'] == ['downloading']"

# The page reads the service again while the download runs.
sleep 2
scroll 12
screenshot agent-models-page

echo "agent models page end to end: ok (screenshot: $out/agent-models-page.png)"
