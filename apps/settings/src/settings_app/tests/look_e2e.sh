#!/usr/bin/env bash
# The look is applied, end to end: kalu-settings runs on a virtual X server
# with a settings file of its own, and settingsctl changes the Appearance
# section while Network is shown. Screenshots of the whole screen show:
# - the dark default, then the Light theme (far brighter) once "theme" is set;
# - a changed window once high contrast is switched on, and again once the
#   text size is "Larger";
# - after a restart, the stored look: the last screenshot's look, not the
#   default.
# Each change is waited for (a screenshot taken until it shows it); the
# screenshots are kept as PNG in the output folder.
#
# usage: look_e2e.sh <kalu-settings> <settingsctl> <simdev> <kalu-test-dav-account>
#          <output folder> (settings_e2e.sh)
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
# shellcheck source=settings_e2e.sh
source "$here/settings_e2e.sh" "$@"
e2e_begin look
unset KALU_UI_THEME
start_settings

# shellcheck source=look_checks.sh
source "$here/look_checks.sh"

wait_until 60 shows default dark || fail "the window is not drawn dark at first"
keep default

ctl invoke settings.section:appearance theme '{"choice":"Light"}' >"$out/theme.txt" ||
  fail "the theme action was refused"
wait_until 60 shows light light || fail "the window did not turn light"
keep light

ctl invoke settings.section:appearance high_contrast >"$out/contrast.txt" ||
  fail "the high contrast action was refused"
wait_until 60 shows contrast changed_from light || fail "high contrast did not change the window"
keep contrast

ctl invoke settings.section:appearance text_size '{"choice":"Larger"}' >"$out/text.txt" ||
  fail "the text size action was refused"
wait_until 60 shows larger changed_from contrast || fail "text size Larger did not change the window"
keep larger
cp "$home/config/kalu/settings.json" "$out/settings.json.txt"

# A restart draws what is stored.
kill "$app_pid"
wait "$app_pid" 2>/dev/null || true
start_settings
# like_larger DUMP: the stored look, nearer to the last screenshot than to
# the default.
like_larger() {
  local to_larger to_default
  to_larger="$(measure changed "$out/larger.xwd" "$1")"
  to_default="$(measure changed "$out/default.xwd" "$1")"
  python3 -c "import sys; sys.exit(0 if $to_larger < 0.02 and $to_default > 0.02 else 1)"
}
wait_until 60 shows restarted like_larger || fail "the restarted window does not draw the stored look"
keep restarted
rm -f "$out"/*.xwd

echo "look end to end: ok"
