#!/usr/bin/env bash
# The External Accounts pane end to end: kalu-settings runs on a virtual X
# server with directories of its own, a WebDAV account is in its store, and
# settingsctl talks to it over its automation socket.
# - Pressing the account row's "Remove" button only asks for a confirmation:
#   the confirmation card's buttons appear and the account stays.
# - The destructive "remove" action of the account's item removes it from the
#   account list, the sync statuses and the credential vault at once.
#
# usage: accounts_e2e.sh <kalu-settings> <settingsctl> <simdev> <kalu-test-dav-account>
#          <output folder> (settings_e2e.sh)
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
# shellcheck source=../../../settings_app/tests/settings_e2e.sh
source "$here/../../../settings_app/tests/settings_e2e.sh" "$@"
e2e_begin accounts

root="$home/config/kalu"
start_dav_account "$root" files1 'Fi1es-Secret' webdav
[[ "$(dav_command 'secret files1')" == yes ]] || fail "the account's secret was not saved"

start_settings SSL_CERT_FILE="$ca_file" SSL_CERT_DIR="$home/no-certs"

ctl start settings.open-pane 2 '"external_accounts"' >/dev/null ||
  fail "opening External Accounts was refused"

# press ID: presses the page's button ID as a click does.
press() {
  ctl start kalu.ui.control.invoke 1 "\"$1\"" >/dev/null 2>&1
}
row_remove_pressed() { press settings.accounts.remove.files1; }
wait_until 60 row_remove_pressed || fail "the row's Remove button could not be pressed"
# The confirmation card shows up; pressing its Cancel proves it is there.
cancel_pressed() { press settings.accounts.remove.cancel; }
wait_until 60 cancel_pressed || fail "no confirmation card after the row's Remove"
grep -q '"files1"' "$root/accounts/accounts.json" ||
  fail "the row's Remove button removed the account without a confirmation"
[[ "$(dav_command 'secret files1')" == yes ]] || fail "the row's Remove button removed the secret"

# The account item's destructive "remove" action, polled to its end.
ctl get settings.account:files1 >"$out/item.txt" || fail "the account has no item"
python3 - "$out/item.txt" <<'PY' || fail "the item's remove action is not marked destructive"
import json, sys
item = json.load(open(sys.argv[1]))
remove = {a["name"]: a for a in item["actions"]}["remove"]
sys.exit(0 if remove.get("destructive") else 1)
PY
invoke remove settings.account:files1 remove
grep -q '"state": "succeeded"' "$out/remove-end.txt" || fail "the removal did not report success"
grep -q '"files1"' "$root/accounts/accounts.json" && fail "the account is still listed"
grep -q '"files1"' "$root/accounts/sync-status.json" && fail "the account's sync status is still there"
[[ "$(dav_command 'secret files1')" == no ]] || fail "the account's secret is still in the vault"
[[ -e "$root/accounts/mutation-journal.json" ]] && fail "the removal left its journal behind"
grep -q 'Fi1es-Secret' "$out/app-stdout.txt" "$out/app-stderr.txt" &&
  fail "the secret appeared in the application's output"

echo "accounts end to end: ok"
