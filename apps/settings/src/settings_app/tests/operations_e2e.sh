#!/usr/bin/env bash
# The application's operation entry points driven end to end: kalu-settings
# runs on a virtual X server with directories of its own, and settingsctl
# talks to it over its automation socket.
# - A provider operation completes at once and the provider file holds the
#   new profile.
# - "settings.open-pane" opens a pane by its id and refuses its title.
# - The account connection check of a CalDAV account runs against a loopback
#   DAV server over HTTPS: started by the account item's "test" action, 207
#   polls to success; started through the entry point, 401 polls to the
#   connection failure with the probe's message.
#
# usage: operations_e2e.sh <kalu-settings> <settingsctl> <simdev> <kalu-test-dav-account>
#          <output folder> (settings_e2e.sh)
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
# shellcheck source=settings_e2e.sh
source "$here/settings_e2e.sh" "$@"
e2e_begin operations

# The DAV server and the account "cal1" that points at it, in the accounts
# root the application reads.
start_dav_account "$home/config/kalu" cal1 's3cret-Pa55'

# The application trusts the test authority and nothing else.
start_settings SSL_CERT_FILE="$ca_file" SSL_CERT_DIR="$home/no-certs"

# A provider operation completes at once and is saved.
ctl send '{"method":"start","action_id":"settings.agent-provider-operation","kind":1,"payload":{"Add":{"protocol":"anthropic"}}}' \
  >"$out/provider-add.txt" || fail "adding a provider was refused"
grep -q '"state":"completed"' "$out/provider-add.txt" || fail "adding a provider did not complete"
providers="$home/config/kalu/model-providers.json"
[[ -f "$providers" ]] || fail "no provider file was written"
grep -q '"protocol": "anthropic"' "$providers" || fail "the provider file holds no Anthropic profile"
grep -q '"id": "anthropic-' "$providers" || fail "the new profile has no hosted id"

# A pane opens by its id; its title is no id.
ctl start settings.open-pane 2 '"sound"' >/dev/null || fail "opening Sound was refused"
status=0
ctl start settings.open-pane 2 '"Sound"' >/dev/null 2>"$out/open-title.txt" || status=$?
[[ $status -eq 3 ]] || fail "opening by title answered status $status, not 3"
grep -q "rejected: Settings pane is no longer available" "$out/open-title.txt" ||
  fail "opening by title was not refused with the expected text"

# The connection check of the account, through the account item's "test"
# action: accepted, then polled to success.
invoke check-ok settings.account:cal1 test
grep -q '"state": "succeeded"' "$out/check-ok-end.txt" || fail "the check did not report success"
grep -q "Server accepted the signed-in DAV request" "$out/check-ok-end.txt" ||
  fail "the check did not report the server's answer"
[[ "$(dav_command requests)" == 1 ]] || fail "the DAV server did not see one request"

# The server now refuses the credential.
[[ "$(dav_command 'status 401')" == ok ]] || fail "the DAV server did not take the new status"
status=0
operation settings.account-operation check-401 '{"Test":{"id":"cal1"}}' || status=$?
[[ $status -eq 1 ]] || fail "the refused check answered status $status, not 1"
grep -q '"code": "account_connection_failed"' "$out/check-401.txt" ||
  fail "the refused check did not carry account_connection_failed"
grep -q '"message": "server rejected the saved credential"' "$out/check-401.txt" ||
  fail "the refused check did not carry the probe's message"
# The secret never reaches the application's output.
grep -q 's3cret-Pa55' "$out/app-stdout.txt" "$out/app-stderr.txt" &&
  fail "the secret appeared in the application's output"

echo "operations end to end: ok"
