#!/usr/bin/env bash
# One road for a preference, end to end: kalu-settings runs on a virtual X
# server with folders of its own, and settingsctl sets a preference of a pane
# that is not shown (About is), for each of Appearance, Region & Formats,
# Notifications, Keyboard Shortcuts and Mouse & Keyboard's spell checking.
# Each pane was visited before, so the state document holds what it showed
# then. For each:
# - the value is in its file as soon as the client's invoke is answered;
# - the pane opened next shows it (a switch's action then offers to turn it
#   off again) and writes nothing older over it;
# - after the pane was opened and left, the file still holds it.
#
# usage: preference_road_e2e.sh <kalu-settings> <settingsctl> <simdev> <kalu-test-dav-account>
#          <output folder> (settings_e2e.sh)
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
# shellcheck source=settings_e2e.sh
source "$here/settings_e2e.sh" "$@"
e2e_begin preference-road
start_settings
config="$home/config/kalu"

open() {
  ctl invoke "settings.section:$1" open >/dev/null || fail "opening $1 was refused"
}

# road PANE FILE PATTERN ACTION [ARGS]: PANE's ACTION set by the client while
# About is shown; PATTERN (a grep -E expression) is in FILE at once, and
# still after PANE was opened and left.
road() {
  local pane="$1" file="$config/$2" pattern="$3" action="$4"
  shift 4
  open "$pane"
  open about
  ctl invoke "settings.section:$pane" "$action" "$@" >"$out/$pane-$action.txt" ||
    fail "$pane: $action was refused"
  [[ -f "$file" ]] && grep -Eq "$pattern" "$file" ||
    fail "$pane: $2 does not hold $pattern once the invoke was answered"
  open "$pane"
  # Answered a frame after the open: the new pane has synced.
  ctl get "settings.section:$pane" >"$out/$pane-shown.txt" || fail "no $pane section"
  open about
  cp "$file" "$out/$pane-$(basename "$file").txt"
  grep -Eq "$pattern" "$file" || fail "$pane: opening the pane took $pattern out of $2"
}

road appearance settings.json '"theme": "Light"' theme '{"choice":"Light"}'
road region_formats settings.json '"currency": "EUR"' currency '{"choice":"EUR"}'
road notifications settings.json '"weekdays": 96' focus-days '{"choice":"Weekends"}'
road keyboard_shortcuts desktop-controls.json '"vim_mode": true' vim-mode
grep -q 'Turn off Vim-style desktop navigation' "$out/keyboard_shortcuts-shown.txt" ||
  fail "Keyboard Shortcuts did not show Vim navigation on"
road mouse_keyboard settings.json '"check_spelling": false' spell-checking
grep -q 'Turn on spell checking while typing' "$out/mouse_keyboard-shown.txt" ||
  fail "Mouse & Keyboard did not show spell checking off"

# Every change is still there, whichever pane saved last.
for pattern in '"theme": "Light"' '"currency": "EUR"' '"weekdays": 96' '"check_spelling": false'; do
  grep -q "$pattern" "$config/settings.json" || fail "the settings file lost $pattern"
done

# A value the preference cannot hold is refused, not answered "completed".
if ctl invoke settings.section:keyboard_shortcuts search '{"choice":"Hello"}' \
  >"$out/unparsable.txt" 2>&1; then
  fail "an unparsable chord was answered as set"
fi
e2e_serving

echo "preference road end to end: ok"
