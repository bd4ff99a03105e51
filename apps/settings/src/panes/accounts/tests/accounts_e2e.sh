#!/usr/bin/env bash
# The External Accounts pane end to end: kalu-settings runs on a virtual X
# server with directories of its own, a WebDAV account is in its store, and
# settingsctl talks to it over its automation socket.
# - Pressing the account row's "Remove" button only asks for a confirmation:
#   the confirmation card's buttons appear and the account stays.
# - The account's removal operation removes it from the account list, the
#   sync statuses and the credential vault at once.
#
# usage: accounts_e2e.sh <kalu-settings> <settingsctl> <kalu-test-dav-account> <output folder>
set -euo pipefail
program="$1"
ctl_program="$2"
dav_program="$3"
out="$4"
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
xvfb_script="$here/../../../../../../platform/kalu_ui/app/tests/xvfb.sh"
mkdir -p "$out"
# shellcheck source=../../../../../../platform/kalu_ui/app/tests/xvfb.sh
source "$xvfb_script"

xvfb_pid=""
app_pid=""
home="$(mktemp -d /tmp/kalu-accounts-XXXXXX)"
mkdir -p "$home/config" "$home/data" "$home/state" "$home/runtime" "$home/no-certs"
chmod 700 "$home/runtime"
cleanup() {
  [[ -n "$app_pid" ]] && kill "$app_pid" 2>/dev/null || true
  [[ -n "${dav_PID:-}" ]] && kill "$dav_PID" 2>/dev/null || true
  [[ -n "$xvfb_pid" ]] && kill "$xvfb_pid" 2>/dev/null || true
  wait 2>/dev/null || true
  rm -rf "$home"
}
trap cleanup EXIT

fail() {
  echo "FAILED: $*" >&2
  for f in "$out"/*.txt; do
    echo "--- $f" >&2
    cat "$f" >&2
  done
  exit 1
}

ctl() {
  XDG_RUNTIME_DIR="$home/runtime" "$ctl_program" --timeout 10 "$@"
}

start_xvfb "$out/xvfb.log"

root="$home/config/kalu"
coproc dav { "$dav_program" "$root" files1 'Fi1es-Secret' webdav 2>"$out/dav-stderr.txt"; }
read -r -u "${dav[0]}" _ port || fail "the DAV server did not start"
read -r -u "${dav[0]}" _ ca_file || fail "the DAV server gave no certificate file"
dav_command() {
  echo "$1" >&"${dav[1]}"
  local answer
  read -r -u "${dav[0]}" answer
  echo "$answer"
}
[[ "$(dav_command 'secret files1')" == yes ]] || fail "the account's secret was not saved"

DISPLAY="$display" XDG_CONFIG_HOME="$home/config" XDG_DATA_HOME="$home/data" \
  XDG_STATE_HOME="$home/state" XDG_RUNTIME_DIR="$home/runtime" \
  SSL_CERT_FILE="$ca_file" SSL_CERT_DIR="$home/no-certs" \
  "$program" >"$out/app-stdout.txt" 2>"$out/app-stderr.txt" &
app_pid=$!
serving() {
  kill -0 "$app_pid" 2>/dev/null || fail "kalu-settings ended early"
  ctl list >/dev/null 2>&1
}
wait_until 30 serving || fail "kalu-settings did not serve its socket within 30 s"

ctl start settings.open-pane 2 '"external_accounts"' >/dev/null ||
  fail "opening External Accounts was refused"

# press ID: presses the page's button ID as a click does.
press() {
  ctl start kalu.ui.control.invoke 1 "\"$1\"" >/dev/null 2>&1
}
row_remove_pressed() { press settings.accounts.remove.files1; }
wait_until 10 row_remove_pressed || fail "the row's Remove button could not be pressed"
# The confirmation card shows up; pressing its Cancel proves it is there.
cancel_pressed() { press settings.accounts.remove.cancel; }
wait_until 10 cancel_pressed || fail "no confirmation card after the row's Remove"
grep -q '"files1"' "$root/accounts/accounts.json" ||
  fail "the row's Remove button removed the account without a confirmation"
[[ "$(dav_command 'secret files1')" == yes ]] || fail "the row's Remove button removed the secret"

# The account's removal operation, polled to its end.
id="$(ctl start settings.account-operation 1 '{"Remove":{"id":"files1"}}')" ||
  fail "the removal was refused"
ctl wait "$id" >"$out/remove.txt" || fail "the removal did not succeed"
grep -q '"state": "succeeded"' "$out/remove.txt" || fail "the removal did not report success"
grep -q '"files1"' "$root/accounts/accounts.json" && fail "the account is still listed"
grep -q '"files1"' "$root/accounts/sync-status.json" && fail "the account's sync status is still there"
[[ "$(dav_command 'secret files1')" == no ]] || fail "the account's secret is still in the vault"
[[ -e "$root/accounts/mutation-journal.json" ]] && fail "the removal left its journal behind"
grep -q 'Fi1es-Secret' "$out/app-stdout.txt" "$out/app-stderr.txt" &&
  fail "the secret appeared in the application's output"

echo "accounts end to end: ok"
