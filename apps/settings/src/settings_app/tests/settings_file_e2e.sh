#!/usr/bin/env bash
# The settings file under faults, end to end: kalu-settings on a virtual X
# server with folders of its own, driven with settingsctl.
# - A FIFO at settings.json: the program starts and `list` answers; a file
#   of 64 MiB in its place: `list` answers.
# - Every writer of the settings file (each pane's save, the executor's, the
#   set-setting road, the locale, the continuity record) meets a document
#   that is cut off, one that is not UTF-8 and one nested too deep: after the
#   change, the change is saved in a fresh document and the document's bytes
#   are still on disk, in the one copy kept aside beside it.
# - The other files it reads (the credential vault and its key, the model
#   gateway's keys, the account list, the sync status, the provider
#   configuration) as a FIFO, a link to /dev/zero, a sparse 300 MB file and a
#   directory, with External Accounts and Agent Models shown: `list` answers.
# - The simulated device's file the same four ways at start-up: the program
#   comes up serving, and the file is kept aside.
# Every wait has a generous bound against a hang; none is a measure of speed.
#
# usage: settings_file_e2e.sh <kalu-settings> <settingsctl> <simdev> <kalu-test-dav-account>
#          <output folder> (settings_e2e.sh)
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
# shellcheck source=settings_e2e.sh
source "$here/settings_e2e.sh" "$@"
e2e_begin settings-file
settings="$home/config/kalu/settings.json"
mkdir -p "$(dirname "$settings")"

# Start-up and `list` with a FIFO, then a 64 MiB file, in the file's place.
mkfifo "$settings"
start_settings
ctl list >"$out/list-fifo.txt" || fail "list did not answer with a FIFO at settings.json"
rm "$settings"
truncate -s 64M "$settings"
ctl list >"$out/list-huge.txt" || fail "list did not answer with a 64 MiB settings.json"
[[ "$(stat -c %s "$settings")" == $((64 << 20)) ]] || fail "the 64 MiB file was changed"
rm "$settings"

# The documents no writer can edit in place.
deep="$(printf '[%.0s' {1..200})$(printf ']%.0s' {1..200})"
documents=(
  '{"version":1,"appearance":{"theme":"Nor'
  $'{"version":1,"foreign":"caf\xe9"}'
  "{\"version\":1,\"other\":$deep}"
)
document_names=("cut off" "not UTF-8" "nested too deep")

# holds SECTION KEY JSON: the settings file is a JSON object whose SECTION
# holds JSON under KEY.
holds() {
  python3 - "$settings" "$1" "$2" "$3" <<'EOF' 2>/dev/null
import json, sys
path, section, key, value = sys.argv[1:]
document = json.load(open(path, encoding="utf-8"))
sys.exit(0 if document.get(section, {}).get(key) == json.loads(value) else 1)
EOF
}

# One row per writer: the pane to show first ("-": none), the section's
# resource and action, the argument's name and its two values (taken in
# turn, so each change differs from the one before; "-": a switch that flips
# and takes no argument, so each damaged document flips it from its default),
# and where the file holds it (section, key, and the two stored values).
writers=(
  "- power lid choice Lock_screen Do_nothing power lid_close_action lock ignore"
  "- sound mono value true false audio mono_output true false"
  "- displays night_light value true false display night_light true false"
  "- mouse_keyboard tap-to-click value false true input tap_to_click false true"
  "- mouse_keyboard spell-checking - - - text_assistance check_spelling false false"
  "- updates automatic value false true updates auto false true"
  "- time_date 24-hour value false true locale time_format H12 H24"
  "- devices_sync continuity-enabled value true false continuity enabled true false"
  "appearance appearance theme choice Light Nord appearance theme Light Nord"
  "accessibility accessibility large-cursor value true false accessibility large_cursor true false"
  "notifications notifications dnd - - - notifications do_not_disturb true true"
  "region_formats region_formats currency choice EUR GBP locale currency EUR GBP"
)

for row in "${writers[@]}"; do
  read -r pane resource action name first second section key stored_first stored_second <<<"$row"
  if [[ "$pane" != "-" ]]; then
    ctl start settings.open-pane 2 "\"$pane\"" >/dev/null || fail "opening $pane was refused"
  fi
  for i in "${!documents[@]}"; do
    label="$resource $action, ${document_names[$i]}"
    value="$first" stored="$stored_first"
    if ((i % 2 == 1)); then value="$second" stored="$stored_second"; fi
    value="${value//_/ }"
    [[ "$name" == "choice" ]] && value="\"$value\""
    [[ "$stored" =~ ^(true|false)$ ]] || stored="\"$stored\""
    rm -f "$settings".unreadable-*
    printf '%s' "${documents[$i]}" >"$settings"
    if [[ "$name" == "-" ]]; then
      invoke change "settings.section:$resource" "$action"
    else
      invoke change "settings.section:$resource" "$action" "{\"$name\":$value}"
    fi
    saved() { holds "$section" "$key" "$stored"; }
    wait_until 30 saved || fail "$label: the file does not hold $section.$key = $stored"
    copies=("$settings".unreadable-*)
    [[ ${#copies[@]} == 1 && -f "${copies[0]}" ]] || fail "$label: kept aside ${copies[*]}"
    cmp -s "${copies[0]}" <(printf '%s' "${documents[$i]}") ||
      fail "$label: the copy kept aside does not hold the document's bytes"
    [[ "$(stat -c %a "${copies[0]}")" == 600 ]] || fail "$label: the copy is not private"
  done
done
grep -q "unreadable document kept aside" "$out/app-stderr.txt" ||
  fail "no warning named the copies kept aside"

# put_bad KIND PATH: puts at PATH what no reader may block on or read whole.
put_bad() {
  mkdir -p "$(dirname "$2")"
  rm -rf "$2"
  case "$1" in
    fifo) mkfifo "$2" ;;
    zero) ln -s /dev/zero "$2" ;;
    huge) truncate -s 300M "$2" ;;
    directory) mkdir "$2" ;;
  esac
}
kinds=(fifo zero huge directory)

kalu="$home/config/kalu"
others=(
  "$kalu/vault/vault.enc" "$kalu/vault/vault.key" "$kalu/model-gateway/keys.enc"
  "$kalu/accounts/accounts.json" "$kalu/accounts/sync-status.json" "$kalu/model-providers.json"
)
for file in "${others[@]}"; do
  for kind in "${kinds[@]}"; do
    label="${file#"$kalu/"} as $kind"
    put_bad "$kind" "$file"
    for pane in external_accounts agent_models; do
      ctl start settings.open-pane 2 "\"$pane\"" >/dev/null || fail "$label: opening $pane was refused"
      ctl list >"$out/list-other.txt" || fail "$label: list did not answer with $pane shown"
    done
    rm -rf "$file"
  done
done

# The device's file, bad before the program starts: it comes up and serves.
device="$KALU_DEVICE_STATE"
for kind in "${kinds[@]}"; do
  kill "$app_pid"
  wait "$app_pid" 2>/dev/null || true
  rm -f "$device".corrupt-*
  put_bad "$kind" "$device"
  start_settings
  ctl list >"$out/list-device.txt" || fail "device file as $kind: list did not answer"
  aside=("$device".corrupt-*)
  [[ -e "${aside[0]}" || -L "${aside[0]}" ]] || fail "device file as $kind: not kept aside"
  rm -rf "$device".corrupt-*
done

echo "settings file under faults end to end: ok"
