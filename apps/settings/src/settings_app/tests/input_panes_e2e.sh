#!/usr/bin/env bash
# Mouse & Keyboard and Keyboard Shortcuts end to end: kalu-settings runs on a
# virtual X server with configuration, state and runtime directories of its
# own, and settingsctl talks to it over its automation socket.
# - With Mouse & Keyboard open, {"Add":{"label":"German"}} through
#   "settings.keyboard-source-operation" succeeds, the settings file lists
#   "de", and the rebuilt pane's section offers German's row with "remove".
# - With Keyboard Shortcuts open, the section's "search" action with
#   "Super+K" reaches the shortcut file; an unparsable chord is refused,
#   changes nothing there, and the program keeps serving.
#
# usage: input_panes_e2e.sh <kalu-settings> <settingsctl> <simdev> <kalu-test-dav-account>
#          <output folder> (settings_e2e.sh)
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
# shellcheck source=settings_e2e.sh
source "$here/settings_e2e.sh" "$@"
e2e_begin input-panes
start_settings
settings_file="$home/config/kalu/settings.json"
shortcuts_file="$home/config/kalu/shortcuts.json"

# A keyboard source, from the client to the settings file and the next page.
ctl start settings.open-pane 2 '"mouse_keyboard"' >/dev/null || fail "opening Mouse & Keyboard was refused"
id="$(ctl start settings.keyboard-source-operation 1 '{"Add":{"label":"German"}}')" ||
  fail "adding German was refused"
ctl wait "$id" >"$out/add-source.txt" || fail "adding German did not succeed"
grep -q '"state": "succeeded"' "$out/add-source.txt" || fail "the operation did not succeed"
[[ -f "$settings_file" ]] || fail "no settings file"
cp "$settings_file" "$out/settings.json.txt"
grep -q '"de"' "$settings_file" || fail "the settings file does not list de"
ctl get settings.input-source:de >"$out/source-de.txt" || fail "no item for de"
grep -q '"German' "$out/source-de.txt" || fail "de is not labelled German"
grep -q '"name": "remove"' "$out/source-de.txt" || fail "German cannot be removed"

# A chord, from the client to the shortcut file.
ctl start settings.open-pane 2 '"keyboard_shortcuts"' >/dev/null ||
  fail "opening Keyboard Shortcuts was refused"
ctl invoke settings.section:keyboard_shortcuts search '{"choice":"Super+K"}' >"$out/search.txt" ||
  fail "the search action was refused"
holds_super_k() {
  [[ -f "$shortcuts_file" ]] && grep -q '"open_search": "Super+K"' "$shortcuts_file"
}
holds_super_k || fail "the shortcut file does not hold Super+K for search"
cp "$shortcuts_file" "$out/shortcuts-before.json.txt"

# An unparsable chord: refused, the file keeps Super+K.
if ctl invoke settings.section:keyboard_shortcuts search '{"choice":"Hello"}' >"$out/hello.txt"; then
  fail "the unparsable chord was answered as set"
fi
e2e_serving
cp "$shortcuts_file" "$out/shortcuts-after.json.txt"
cmp -s "$out/shortcuts-before.json.txt" "$out/shortcuts-after.json.txt" ||
  fail "the unparsable chord changed the shortcut file"

echo "input panes end to end: ok"
