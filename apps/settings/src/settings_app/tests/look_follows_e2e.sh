#!/usr/bin/env bash
# The look has one reader, end to end: kalu-settings runs on a virtual X
# server with a settings file of its own, and settingsctl changes it.
# Screenshots of the whole screen show:
# - with Appearance shown, Accessibility's high contrast changes the window
#   (how long the picture took to change is kept in measures.txt);
# - a settings file holding only {"appearance": {"theme": "Light"}} is drawn
#   light, and a text-size change keeps "Light" in the file;
# - the file replaced by another writer while Appearance is shown is drawn
#   without any input.
# Each change is waited for (a screenshot taken until it shows it); the
# screenshots are kept as PNG in the output folder.
#
# usage: look_follows_e2e.sh <kalu-settings> <settingsctl> <simdev> <kalu-test-dav-account>
#          <output folder> (settings_e2e.sh)
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
# shellcheck source=settings_e2e.sh
source "$here/settings_e2e.sh" "$@"
e2e_begin look-follows
unset KALU_UI_THEME
settings_file="$home/config/kalu/settings.json"

# shellcheck source=look_checks.sh
source "$here/look_checks.sh"
now_ms() { date +%s%3N; }
theme_in_file() {
  python3 -c "import json,sys; print(json.load(open(sys.argv[1]))['appearance'].get('theme',''))" \
    "$settings_file"
}

# 1. Appearance shown; Accessibility turns high contrast on.
start_settings
ctl invoke settings.section:appearance open >"$out/open.txt" || fail "Appearance did not open"
wait_until 60 shows appearance dark || fail "Appearance is not drawn dark"
# Drawn in full: two screenshots a moment apart alike.
settled() {
  shoot before
  sleep 0.3
  shows appearance same_as before
}
wait_until 60 settled || fail "the Appearance page did not settle"
keep appearance
started="$(now_ms)"
ctl invoke settings.section:accessibility high-contrast '{"value":true}' >"$out/contrast.txt" ||
  fail "the high contrast action was refused"
answered="$(now_ms)"
wait_until 60 shows contrast changed_from appearance ||
  fail "high contrast did not change the window while Appearance is shown"
drawn="$(now_ms)"
# What one screenshot and its measure take, for reading the times above.
shows probe changed_from appearance || true
echo "high contrast: answered after $((answered - started)) ms, drawn after" \
  "$((drawn - answered)) ms more (one screenshot and measure: $(($(now_ms) - drawn)) ms)" \
  >>"$out/measures.txt"
keep contrast

# 2. A partial section: drawn light, and kept light by a text-size change.
kill "$app_pid"
wait "$app_pid" 2>/dev/null || true
mkdir -p "$(dirname "$settings_file")"
printf '%s\n' '{"appearance": {"theme": "Light"}}' >"$settings_file"
start_settings
wait_until 60 shows partial light || fail "a section holding only its theme is not drawn light"
keep partial
ctl invoke settings.section:appearance text_size '{"choice":"Larger"}' >"$out/text.txt" ||
  fail "the text size action was refused"
wait_until 60 shows larger changed_from partial || fail "text size Larger did not change the window"
cp "$settings_file" "$out/settings.json.txt"
[[ "$(theme_in_file)" == "Light" ]] || fail "the text-size change did not keep the theme Light"
light "$out/larger.xwd" || fail "the window is no longer light after the text-size change"
keep larger

# 3. Another writer replaces the file while Appearance is shown.
ctl invoke settings.section:appearance open >"$out/open-again.txt" || fail "Appearance did not open"
wait_until 60 shows light-appearance light || fail "Appearance is not drawn light"
printf '%s\n' '{"appearance": {"theme": "Dark"}}' >"$settings_file.new"
mv "$settings_file.new" "$settings_file"
wait_until 60 shows replaced dark || fail "a settings file replaced from outside was not drawn"
keep replaced
rm -f "$out"/*.xwd

echo "look follows end to end: ok"
